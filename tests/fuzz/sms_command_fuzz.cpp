// Any received message through the SMS command handler: whatever the
// sender and the text, it must answer within one SMS or stay silent, and
// never read or write out of bounds.
//
// Input layout: the first byte's low bit selects UCS2, then the sender up to
// the first LF, then the text (as much as a record holds).
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

#include "base/console.h"
#include "base/log_ring.h"
#include "cmd/sms_remote.h"
#include "config/config_data.h"
#include "config/config_file.h"
#include "config/side_files.h"
#include "platform/clock.h"
#include "platform/paths.h"
#include "queue/sms_queue.h"
#include "fuzz_root.h"

namespace {

void SetUpOnce() {
  const int null_fd = fuzzroot::MakeRoot("sms-command-fuzz", {"/APP", "/sim"});
  init_orvel_config();
  set_default();
  std::strcpy(sys_config.CtrlPhone[0], "0911111111");
  std::strcpy(sys_config.CtrlPhone[9], "+886912345678");
  // "+++" text goes nowhere; no reply waits its two seconds.
  uart1 = null_fd;
  sms_reply_pause_ms = 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (fuzzroot::g_root == nullptr) SetUpOnce();
  if (size == 0) return -1;
  sms_msg in;
  std::memset(&in, 0, sizeof in);
  in.sms_mode = (data[0] & 1) != 0 ? 8 : 0;
  const char* rest = reinterpret_cast<const char*>(data + 1);
  size_t left = size - 1;
  const void* lf = std::memchr(rest, '\n', left);
  const size_t sender = lf != nullptr ? static_cast<size_t>(static_cast<const char*>(lf) - rest) : left;
  std::memcpy(in.phone, rest, sender < sizeof in.phone ? sender : sizeof in.phone);  // maybe unterminated
  if (lf != nullptr) {
    rest += sender + 1;
    left -= sender + 1;
    const size_t n = left < static_cast<size_t>(kSmsBodyMax) ? left : kSmsBodyMax;
    std::memcpy(in.msg, rest, n);
    in.msg_len = static_cast<uint8_t>(n);
  }
  evt_in = evt_out = 0;
  const int result = HandleSmsCommand(in);
  if (result < -1 || result > 1 || evt_in.load() != (result > 0 ? 1 : 0)) abort();
  if (evt_in.load() == 1) {
    const sms_msg& reply = sms_evt[0].sms;
    if (reply.msg_len > kSmsBodyMax || std::strlen(reply.msg) != reply.msg_len) abort();
  }
  LogRingClear();  // no writer thread drains the log records here
  // The journal would grow without end; emptied now and then, not per input.
  static int runs = 0;
  if (++runs % 1000 == 0) clear_sms_log();
  return 0;
}
