#include <errno.h>
#include <fcntl.h>
#include <linux/i2c-dev.h>
#include <linux/i2c.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include "platform/i2c_bus.h"
#include "platform/paths.h"

namespace platform {
namespace {

// Bus time-out in units of 10 ms, and the adapter's retries on a lost
// arbitration, as the board has always used them.
constexpr unsigned long kBusTimeout = 10;
constexpr unsigned long kBusRetries = 2;

class Fd {
 public:
  explicit Fd(int fd) : fd_(fd) {}
  ~Fd() {
    if (fd_ >= 0) close(fd_);  // NOLINT(cert-err33-c): an I2C transfer fails at its ioctl, never at close
  }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  int get() const { return fd_; }

 private:
  int fd_;
};

}  // namespace

DeviceI2cBus::DeviceI2cBus(std::string device_path) : path_(std::move(device_path)) {}

std::string DeviceI2cBus::DoName() const { return path_.empty() ? Path(kI2cDevice) : path_; }

I2cResult DeviceI2cBus::DoProbe() {
  Fd fd(open(DoName().c_str(), O_RDWR | O_CLOEXEC));
  if (fd.get() < 0) return {I2cResult::kOpenFailed, fd.get(), errno};
  I2cResult ok;
  ok.ret = fd.get();
  return ok;
}

I2cResult DeviceI2cBus::DoTransfer(I2cMessage* messages, size_t count) {
  Fd fd(open(DoName().c_str(), O_RDWR | O_CLOEXEC));
  if (fd.get() < 0) return {I2cResult::kOpenFailed, fd.get(), errno};
  // A failure here shows in the transfer itself.
  ioctl(fd.get(), I2C_TIMEOUT, kBusTimeout);
  ioctl(fd.get(), I2C_RETRIES, kBusRetries);

  i2c_msg msgs[kMaxMessages] = {};
  for (size_t i = 0; i < count; ++i) {
    msgs[i].addr = messages[i].address;
    msgs[i].flags = messages[i].read ? I2C_M_RD : 0;
    msgs[i].len = messages[i].length;
    msgs[i].buf = messages[i].data;
  }
  i2c_rdwr_ioctl_data data{};
  data.msgs = msgs;
  data.nmsgs = static_cast<__u32>(count);
  int ret = ioctl(fd.get(), I2C_RDWR, &data);
  if (ret < 0) return {I2cResult::kTransferFailed, ret, errno};
  return {};
}

}  // namespace platform
