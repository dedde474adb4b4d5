#include "cmd/utility_thread.h"

#include <poll.h>

#include <cstring>

#include "base/console.h"
#include "base/sleep.h"
#include "base/thread_start.h"
#include "cmd/command_table.h"
#include "config/config_data.h"
#include "config/time_utils.h"
#include "modem/serial_port.h"
#include "platform/paths.h"

namespace {

constexpr int kSettleMs = 100;     // the count must hold still this long
constexpr int kLineMax = 1000;     // more waiting is taken at once
constexpr int kPollMs = 10;        // pace of the count checks while settling
constexpr int kIdleWaitMs = 1000;  // longest single wait for a first byte

static_assert(kLineMax < static_cast<int>(sizeof cDataBuf), "a full read must leave room for the NUL");

int OpenUtilityPort() {
  return uart_open(platform::Path("/dev/ttyHSL3").c_str(), 115200, 8, 'N', 1);
}

// Waits up to `ms` for input on the port without using the CPU. A port in
// error or hung up reports readiness with nothing to read; the short sleep
// keeps that from turning into a busy loop.
void WaitForInput(int fd, int ms) {
  pollfd p{fd, POLLIN, 0};
  const int ready = poll(&p, 1, ms);
  if (ready < 0 || (ready > 0 && (p.revents & (POLLERR | POLLHUP | POLLNVAL)) != 0)) SleepMilliseconds(kPollMs);
}

// The port handed back by a handler that closed it (the factory test
// reopens it itself; if that failed, we try again every second and say so
// once).
int CurrentPort() {
  int fd = uart1.load();
  if (fd > 0) return fd;
  static bool reported = false;
  fd = OpenUtilityPort();
  if (fd > 0) {
    uart1 = fd;
    reported = false;
    return fd;
  }
  if (!reported) PrintMsg("Open utility uart fails\r\n");
  reported = true;
  SleepMilliseconds(1000);
  return -1;
}

}  // namespace

int ServeLineOnce(const LineFraming& framing, int idle_timeout_ms, LineHandler handle) {
  uint32_t settle_start = GetTimeTicks();
  int remembered = 0;
  int idle_left = idle_timeout_ms;
  for (;;) {
    const int fd = framing.port();
    if (fd < 0) {
      if (idle_timeout_ms >= 0) return -1;
      continue;
    }
    const int waiting = uart_datasize_in_com(fd);
    if (waiting <= 0) {
      if (idle_timeout_ms >= 0 && idle_left <= 0) return -1;
      const int wait = idle_timeout_ms < 0 ? kIdleWaitMs : (idle_left < kIdleWaitMs ? idle_left : kIdleWaitMs);
      const uint32_t before = GetTimeTicks();
      WaitForInput(fd, wait);
      idle_left -= static_cast<int>(GetTimeTicks() - before);
      continue;
    }
    if (waiting != remembered) {
      remembered = waiting;
      settle_start = GetTimeTicks();
    }
    if (remembered > kLineMax) {
      remembered = kLineMax;
      PrintMsg("--> reach uart1_len_max\r\n");
    } else {
      const uint32_t settled = GetTimeTicks() - settle_start;
      if (settled < static_cast<uint32_t>(kSettleMs)) {
        const int left = kSettleMs - static_cast<int>(settled);
        SleepMilliseconds(left < kPollMs ? left : kPollMs);
        continue;
      }
      if (framing.settle_trace != nullptr) PrintMsg("%s", framing.settle_trace);
    }

    if (framing.read_trace != nullptr) PrintMsg(framing.read_trace, remembered);
    const int got = uart_read(fd, cDataBuf, remembered);
    if (got <= 0) {
      remembered = 0;
      SleepMilliseconds(kPollMs);
      continue;
    }
    uiDataBufLen = static_cast<uint32_t>(got);
    cDataBuf[got] = '\0';

    // The first CR-delimited token; an LF stays part of it, and whatever
    // follows the first CR of this read is dropped.
    char* token = cDataBuf + std::strspn(cDataBuf, "\r");
    token[std::strcspn(token, "\r")] = '\0';
    if (*token != '\0') {
      if (framing.line_trace != nullptr) PrintMsg(framing.line_trace, token);
      handle(token);
    }
    SleepMilliseconds(kPollMs);
    return got;
  }
}

int UtilityServeOnce(int idle_timeout_ms, LineHandler handle) {
  static const LineFraming kUtility{CurrentPort, ">[Read] Size = %d\r\n", " [Command] Content = %s\r\n"};
  return ServeLineOnce(kUtility, idle_timeout_ms, handle);
}

void* thread_sms_utility(void*) {
  NameThisThread("sms_utility");
  PrintMsg("[thread_sms_utility is start]\r\n");
  const int fd = OpenUtilityPort();
  if (fd < 0) {
    PrintMsg("Open utility uart fails\r\n");
    return nullptr;
  }
  uart1 = fd;
  for (;;) UtilityServeOnce(-1, DispatchCommandLine);
  return nullptr;
}
