// Any sequence of lines on the terminal port in normal mode (the input
// split at LF, each as the framing hands it over) through the UART-to-SMS
// bridge: "++InitPin" probes, "+++" texts and anything else. A text the
// bridge takes must be queued whole for UartPhone, never cut; nothing may
// read or write out of bounds.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "cmd/uart_bridge.h"
#include "config/config_data.h"
#include "config/config_file.h"
#include "queue/sms_queue.h"
#include "fuzz_root.h"

namespace {

int g_port = -1;
constexpr int kMaxLines = 16;
constexpr size_t kLineMax = 1000;  // the framing reads at most 1000 bytes

void SetUpOnce() {
  g_port = fuzzroot::MakeRoot("bridge-fuzz", {"/APP"});
  init_orvel_config();
  set_default();
  sys_config.cIsUart2SMS = 1;
  std::strcpy(sys_config.UartPhone, "0933333333");
  bridge_echo_pause_ms = 0;  // the echo waits for nothing here
  uart1 = g_port;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (g_port < 0) SetUpOnce();
  for (const std::string& line : fuzzroot::Requests(data, size, kMaxLines, kLineMax)) {
    evt_in = evt_out = 0;  // no sender thread here: the queue starts empty for every line
    const int queued = UartBridgeHandleLine(line.c_str());
    if (queued != 0 && queued != 1) abort();
    if (queued != (evt_in.load() == 1 ? 1 : 0)) abort();
    if (queued == 1) {
      const sms_event& job = sms_evt[0];
      if (line.compare(0, 3, "+++") != 0 || std::strcmp(job.sms.msg, line.c_str() + 3) != 0) abort();
      if (std::strncmp(job.phone[0], sys_config.UartPhone, kPhoneSize) != 0) abort();
    }
  }
  return 0;
}
