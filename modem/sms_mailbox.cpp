// The send and receive mailboxes between the modem thread and the rest.
#include <cstring>
#include <mutex>

#include "modem/modem_state.h"
#include "modem/modem_wake.h"
#include "modem/sms_transport.h"

sms_msg send_sms;
std::atomic<int32_t> is_send_sms{0};
sms_msg recv_new_sms;
SignalledWord is_new_sms{0, NewSmsSignal};

ChangeSignal& NewSmsSignal() {
  static auto* signal = new ChangeSignal;  // never destroyed: threads outlive exit
  return *signal;
}

namespace {

// Hand-over is claimed as a whole: the check of the flag and the filling of
// the record cannot interleave between two callers.
std::mutex& SendClaimMutex() {
  static std::mutex mu;
  return mu;
}

// Copies the fields the mailboxes carry; the body is bounded by the record
// and always followed by a zero byte.
void CopyMessage(sms_msg* dst, const sms_msg& src) {
  dst->sms_mode = src.sms_mode;
  size_t phone_len = strnlen(src.phone, sizeof src.phone - 1);
  std::memcpy(dst->phone, src.phone, phone_len);
  dst->phone[phone_len] = '\0';
  int n = src.msg_len > kSmsBodyMax ? kSmsBodyMax : src.msg_len;
  dst->msg_len = static_cast<uint8_t>(n);
  std::memcpy(dst->msg, src.msg, static_cast<size_t>(n));
  dst->msg[n] = '\0';
}

}  // namespace

int sms_send_one(const sms_msg& msg) {
  std::lock_guard<std::mutex> lock(SendClaimMutex());
  if (is_send_sms.load() != 0) return 0;
  CopyMessage(&send_sms, msg);
  send_sms_status.store(kSmsSendHandedOver);
  is_send_sms.store(1);
  WakeModemLoop();
  return 1;
}

int sms_check_new_one(sms_msg* dst) {
  if (dst == nullptr || is_new_sms.load() == 0) return 0;
  CopyMessage(dst, recv_new_sms);
  is_new_sms.store(0);
  return 1;
}
