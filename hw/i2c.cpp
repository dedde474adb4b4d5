#include "hw/i2c.h"

#include <errno.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "base/console.h"
#include "base/log_ring.h"
#include "platform/i2c_bus.h"

std::atomic<int> i2c_fd{-1};

std::recursive_mutex& I2cBusMutex() {
  // Never destroyed: threads may still be on the bus while the process exits.
  static auto* mu = new std::recursive_mutex;
  return *mu;
}

namespace {

void ReportOpenFailure(const char* who, const platform::I2cResult& r) {
  PrintMsg("%s>> open %s error %d\n", who, platform::I2c().Name().c_str(), r.ret);
  LogPush(0, 0, 0);
}

void ReportNoBuffer(const char* who) {
  PrintMsg("%s>> malloc error\r\n", who);
  LogPush(0, 1, 0);
}

void PerrorWith(int error, const char* text) {
  errno = error;
  std::perror(text);
}

}  // namespace

int InitI2C() {
  std::lock_guard<std::recursive_mutex> lock(I2cBusMutex());
  platform::I2cResult r = platform::I2c().Probe();
  i2c_fd = r.ret;
  if (!r.ok()) {
    ReportOpenFailure("I2C_W", r);
    return 0;
  }
  return 1;
}

int I2C_Write(uint8_t addr, uint8_t reg, int len, const uint8_t* data) {
  // The message is the register number and the data; a length the buffer
  // cannot hold is refused as the allocation failure it would have been.
  uint8_t buf[kI2cMaxData + 1];
  if (len < 0 || len > kI2cMaxData || (len > 0 && data == nullptr)) {
    ReportNoBuffer("I2C_W");
    return -2;
  }
  buf[0] = reg;
  if (len > 0) std::memcpy(buf + 1, data, static_cast<size_t>(len));
  platform::I2cMessage msg;
  msg.address = static_cast<uint16_t>(addr >> 1);
  msg.read = false;
  msg.data = buf;
  msg.length = static_cast<uint16_t>(len + 1);

  std::lock_guard<std::recursive_mutex> lock(I2cBusMutex());
  platform::I2cResult r = platform::I2c().Transfer(&msg, 1);
  if (r.status == platform::I2cResult::kOpenFailed) {
    ReportOpenFailure("I2C_W", r);
    return -1;
  }
  if (r.status == platform::I2cResult::kTransferFailed) {
    PerrorWith(r.error, "ioctl error");
    PrintMsg("I2C_W>> Write error, ret=%d\r\n", r.ret);
    LogPush(0, 2, 0);
    return -3;
  }
  return 1;
}

int I2C_Read(uint8_t addr, uint8_t reg, int len, uint8_t* out) {
  uint8_t buf[kI2cMaxData];
  if (len < 1 || len > kI2cMaxData || out == nullptr) {
    ReportNoBuffer("I2C_R");
    return -2;
  }
  uint8_t reg_byte = reg;
  platform::I2cMessage msgs[2];
  msgs[0].address = static_cast<uint16_t>(addr >> 1);
  msgs[0].read = false;
  msgs[0].data = &reg_byte;
  msgs[0].length = 1;
  msgs[1].address = msgs[0].address;
  msgs[1].read = true;
  msgs[1].data = buf;
  msgs[1].length = static_cast<uint16_t>(len);

  std::lock_guard<std::recursive_mutex> lock(I2cBusMutex());
  platform::I2cResult r = platform::I2c().Transfer(msgs, 2);
  if (r.status == platform::I2cResult::kOpenFailed) {
    ReportOpenFailure("I2C_R", r);
    return -1;
  }
  if (r.status == platform::I2cResult::kTransferFailed) {
    PerrorWith(r.error, "ioctl error");
    PrintMsg("I2C_R>> Read error, ret=%d(0x%X)\r\n", r.ret, static_cast<unsigned>(r.ret));
    LogPush(0, 3, 0);
    return -3;
  }
  std::memcpy(out, buf, static_cast<size_t>(len));
  return 1;
}
