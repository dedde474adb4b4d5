// Text messages in and out of the modem thread: the send and receive
// mailboxes, the AT texts of one message, and the two SMS steps of a modem
// pass.
//
// Each mailbox has one filler and one emptier and its flag is the ownership
// token: the filler writes the record (and, for sending, the status) and
// sets the flag last; the emptier reads the record and clears the flag last.
// The send side frees the mailbox before it publishes the final status, so
// a sender that reads 3 or 4 can hand over its next message at once.
#pragma once

#include <atomic>
#include <cstdint>

#include "base/change_signal.h"
#include "modem/at_channel.h"

/// The message record of both mailboxes and of the SMS queue.
struct sms_msg {
  /// Destination (sending) or originator (receiving), zero-terminated.
  char phone[50];
  /// Coding 0: ISO-8859-1 text, zero-terminated; 8: UCS2 big-endian units;
  /// other codings: raw octets.
  char msg[161];
  /// Valid bytes in `msg` (septets for a received 7-bit message).
  uint8_t msg_len;
  /// 0 = GSM 7-bit, 8 = UCS2, other = 8-bit data; a received message has
  /// 0, 4 (8-bit data) or 8, whatever class its coding byte carried.
  uint8_t sms_mode;
};

/// Most bytes a record's body holds before its terminator.
constexpr int kSmsBodyMax = 160;
/// Size of the sending text built by gmSMS_SendMsg.
constexpr int kSmsSendTextSize = 512;

/// send_sms_status values.
enum SmsSendStatus : int32_t {
  kSmsSendNone = 0,
  kSmsSendHandedOver = 1,
  kSmsSendSending = 2,
  kSmsSendDone = 3,
  kSmsSendFailed = 4,
};

extern sms_msg send_sms;
/// 1 while send_sms holds a message not yet finished.
extern std::atomic<int32_t> is_send_sms;
extern sms_msg recv_new_sms;
/// 1 while recv_new_sms holds a message not yet taken. Its changes wake the
/// waiters of NewSmsSignal.
extern SignalledWord is_new_sms;
ChangeSignal& NewSmsSignal();

/// Hands one message to the modem thread: 0 (nothing changed) while the
/// mailbox is busy, else 1 with send_sms_status 1. The caller then polls
/// send_sms_status for 3 (sent) or 4 (failed).
int sms_send_one(const sms_msg& msg);
/// Takes the received message into `dst`: 1 when there was one, else 0.
int sms_check_new_one(sms_msg* dst);

/// The sending text of one message into `out` (kSmsSendTextSize bytes):
/// "AT+CMGS=%d\r" with the TPDU length, the PDU as hexadecimal text and
/// 0x1A. The body is cut to 160 characters (coding 0) or 140 octets.
/// Returns 1, or 0 with `out` empty when the codec refuses the destination
/// (empty, more than 15 digits, any character but digits after an optional
/// "+", or longer than the codec's address field).
int gmSMS_SendMsg(const sms_msg* msg, char* out);

/// Reads the answer to "AT+CMGRD=%d\r\n" into `msg`: 1 when it held a
/// message that decodes, 0 otherwise (no "+CMGRD: ", a field missing, or a
/// PDU the decoder refuses).
int gmSMS_getReadMsg(const char* answer, sms_msg* msg);
/// Decodes the SMS-DELIVER whose hexadecimal text starts at `pdu` into
/// `msg`: 1, or 0 when the decoder refuses it.
int DecodeDeliverPdu(const char* pdu, sms_msg* msg);

/// Step 8 of a modem pass: sends the message of the send mailbox (the caller
/// checked is_send_sms), frees the mailbox, then publishes 3 or 4. Only a
/// "+CMGS:" that follows the message's own PDU, before that PDU's final
/// result code, confirms it; a later one is reported as late for the
/// message it belongs to.
void SendSmsJob(AtChannel& channel);
/// Step 9 of a modem pass: when the storage holds messages, reads (and so
/// deletes) the first one found into recv_new_sms and sets is_new_sms (the
/// caller checked that it was clear). Every answer is collected up to its
/// final result code, and every stored message in it is kept: those read
/// along with the first are handed over in the next passes before the
/// storage is read again.
void FetchNewSms(AtChannel& channel);
/// The end of a pass: what the channel set aside is looked at (late
/// confirmations, stored messages read late), waiting a bounded time for
/// the rest of a stored message's answer that has begun to come.
void SettleSetAside(AtChannel& channel);
/// True once after the set-aside input held the module's boot line ("RDY"):
/// the module was reset, and the settings the first pass made are gone.
bool TakeModuleRestarted();
/// A fresh process: no message read ahead, no send awaiting a confirmation.
void ResetSmsTransport();
