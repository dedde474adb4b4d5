// The SMS steps of a modem pass: send the message of the send mailbox, and
// fetch one stored message into the receive mailbox.
#include <cstdio>
#include <cstring>
#include <deque>
#include <string>

#include "base/console.h"
#include "log/log_store.h"
#include "modem/at_answers.h"
#include "modem/modem_state.h"
#include "modem/sms_transport.h"

namespace {

constexpr int kQueryWaitMs = 100;
constexpr int kCmgsLineWaitMs = 100;
// The network's confirmation comes some hundreds of ms after the Ctrl-Z;
// a later one is reported as late when it turns up.
constexpr int kCmgsPduWaitMs = 3000;
// A read answer is awaited up to its final result code: the module deletes
// the message as it answers, so an answer cut short would lose it.
constexpr AtChannel::CollectWaits kReadWaits{kQueryWaitMs, 100, 3000};
// Sends still awaiting their confirmation, oldest first: the module answers
// in order, so a late "+CMGS:" belongs to the oldest of them.
constexpr size_t kUnconfirmedMax = 4;
// Messages read along with another one, handed over one per pass. Only the
// answers of read commands already sent can add to them, a handful at most.
constexpr size_t kReadAheadMax = 16;

// Everything here belongs to the modem thread alone.
struct UnconfirmedSend {
  std::string log_command;  // "AT+CMGS=%d\r\n", as the AT log shows the send
  std::string phone;
};

std::deque<UnconfirmedSend>& Unconfirmed() {
  static std::deque<UnconfirmedSend> sends;
  return sends;
}

std::deque<sms_msg>& ReadAhead() {
  static std::deque<sms_msg> messages;
  return messages;
}

// Seen by the modem thread alone.
bool& ModuleRestarted() {
  static bool restarted = false;
  return restarted;
}

bool IsBlank(const std::string& text) { return text.find_first_not_of("\r\n") == std::string::npos; }

// Every "+CMGS:" in text that answers no command of the message being sent:
// the confirmation of an earlier message that had been given up as failed.
// It was sent after all; its status stays as published (the sender may have
// sent it again meanwhile).
void ReportLateConfirmations(const std::string& text) {
  char line[64];
  for (const char* p = FindCmgsLine(text.c_str(), line, sizeof line); p != nullptr;
       p = FindCmgsLine(p + 1, line, sizeof line)) {
    UnconfirmedSend send{"AT+CMGS\r\n", ""};
    if (!Unconfirmed().empty()) {
      send = Unconfirmed().front();
      Unconfirmed().pop_front();
    }
    const std::string whom = send.phone.empty() ? "an earlier SMS" : "the SMS to " + send.phone;
    PrintMsg(">late %s for %s: it was sent after all\r\n", line, whom.c_str());
    AtCmdLog(("(late) " + send.log_command).c_str(), (std::string(line) + " for " + whom + "\n").c_str());
  }
}

// Keeps every stored message whose whole answer is in `text`; returns where
// an answer begins that has not come whole yet (text.size() when none).
size_t KeepStoredMessages(const std::string& text, const char* where) {
  const char* p = text.c_str();
  for (;;) {
    CmgrdAnswer answer;
    CmgrdFind found = FindCmgrdAnswer(p, &answer);
    if (found == CmgrdFind::kNone) return text.size();
    if (found == CmgrdFind::kIncomplete) return static_cast<size_t>(answer.header - text.c_str());
    p = answer.next;
    sms_msg message;
    // The module deleted what it returned: a message that does not decode
    // (or whose answer came garbled) is gone, and says so.
    if (answer.pdu == nullptr || DecodeDeliverPdu(answer.pdu, &message) != 1) {
      PrintMsg(">SMS %s could not be decoded and is dropped\r\n", where);
    } else if (ReadAhead().size() >= kReadAheadMax) {
      PrintMsg(">SMS %s dropped: %d messages already wait\r\n", where, static_cast<int>(kReadAheadMax));
    } else {
      ReadAhead().push_back(message);
    }
  }
}

// What the channel set aside (input that came before a command, or behind
// an answer's final result code): late confirmations and stored messages
// are taken from it; an answer that has only begun goes back aside for its
// rest. False when such a begun answer is left.
bool ExamineSetAside(AtChannel& channel) {
  std::string text = channel.TakeSetAside();
  if (IsBlank(text)) return true;
  // A line still coming (a late confirmation cut in pieces) waits for its
  // end: read in parts, it would be recognised in neither.
  const size_t line_end = text.rfind('\n');
  const size_t whole = line_end == std::string::npos ? 0 : line_end + 1;
  const std::string coming = text.substr(whole);
  text.erase(whole);
  if (IsBlank(text)) {
    channel.SetAside(coming);
    return true;
  }
  AtCmdLog("(set aside)\r\n", text.c_str());
  if (text.find("\r\nRDY\r\n") != std::string::npos) ModuleRestarted() = true;
  ReportLateConfirmations(text);
  size_t begun = KeepStoredMessages(text, "read late");
  channel.SetAside(text.substr(begun) + coming);
  return begun == text.size();
}

bool HandOverReadAhead() {
  if (ReadAhead().empty()) return false;
  recv_new_sms = ReadAhead().front();
  ReadAhead().pop_front();
  is_new_sms.store(1);
  return true;
}

// The final status of one message: 3 when the network confirmed it, 4 when
// not (or when it could not be put on the air at all).
int32_t SendOne(AtChannel& channel, const sms_msg& job) {
  char text[kSmsSendTextSize];
  if (gmSMS_SendMsg(&job, text) != 1) {
    PrintMsg(">SMS destination refused: \"%.49s\"\r\n", job.phone);
    return kSmsSendFailed;
  }
  const char* cr = std::strchr(text, '\r');
  std::string command_line(text, static_cast<size_t>(cr - text + 1));
  const char* rest = cr + 1;

  char response[kAtResponseSize];
  channel.Exchange(command_line.c_str(), response, kCmgsLineWaitMs, true);
  const std::string log_command = command_line + "\n";
  const std::string first_answer = response;
  // Nothing of this message has gone out yet: a confirmation here is late.
  ReportLateConfirmations(first_answer);
  if (std::strstr(response, "ERROR") != nullptr) {
    AtCmdLog(log_command.c_str(), first_answer.c_str());
    return kSmsSendFailed;
  }

  channel.Exchange(rest, response, kCmgsPduWaitMs);
  // The log keeps the PDU as text, without its Ctrl-Z.
  std::string pdu(rest);
  if (!pdu.empty() && pdu.back() == 0x1A) pdu.pop_back();
  AtCmdLog(log_command.c_str(), (first_answer + pdu + "\n").c_str());
  // The verdict comes behind the module's echo of this PDU; what came before
  // the echo belongs to earlier exchanges (a late confirmation among it).
  const char* own = response;
  if (const char* echo = pdu.empty() ? nullptr : std::strstr(response, pdu.c_str())) {
    ReportLateConfirmations(std::string(response, static_cast<size_t>(echo - response)));
    own = echo + pdu.size();
  }
  size_t end = 0;
  CmgsAnswer verdict = ParseCmgsAnswer(own, &end);
  if (verdict == CmgsAnswer::kNoVerdict) {
    if (Unconfirmed().size() >= kUnconfirmedMax) Unconfirmed().pop_front();
    Unconfirmed().push_back({log_command, job.phone});
    // An answer begun within the wait ("+CMGS: N" without its "OK" yet) is
    // kept aside with what follows it: dropped here, the confirmation of
    // this message would never be seen, and the next late one would be
    // taken for it.
    if (!IsBlank(own)) channel.SetAside(own);
    return kSmsSendFailed;
  }
  // Behind this message's own final result code: answers to earlier ones.
  ReportLateConfirmations(own + end);
  return verdict == CmgsAnswer::kConfirmed ? kSmsSendDone : kSmsSendFailed;
}

}  // namespace

bool TakeModuleRestarted() {
  const bool restarted = ModuleRestarted();
  ModuleRestarted() = false;
  return restarted;
}

void ResetSmsTransport() {
  ModuleRestarted() = false;
  Unconfirmed().clear();
  ReadAhead().clear();
}

void SendSmsJob(AtChannel& channel) {
  send_sms_status.store(kSmsSendSending);
  PrintMsg("======= Send SMS ========\r\n");
  ExamineSetAside(channel);
  // The modem thread owns the record while the flag is set.
  const sms_msg job = send_sms;
  int32_t status = SendOne(channel, job);
  PrintMsg(">send_sms_status --> %d\r\n", status);
  is_send_sms.store(0);
  send_sms_status.store(status);
  PrintMsg("======== End SMS ========\r\n");
}

void FetchNewSms(AtChannel& channel) {
  ExamineSetAside(channel);
  // Messages already read come first; the storage waits meanwhile.
  if (HandOverReadAhead()) return;

  char response[kAtResponseSize];
  const char* storage_query = "AT+CPMS?\r\n";
  channel.Exchange(storage_query, response, kQueryWaitMs);
  AtCmdLog(storage_query, response);
  int used = 0;
  int total = 0;
  ParseCpmsQuery(response, &used, &total);
  if (used == 0) return;
  PrintMsg("--> new SMS coming (%d/%d)\r\n", used, total);

  for (int index = 0; index < total && ReadAhead().empty(); ++index) {
    char command[32];
    std::snprintf(command, sizeof command, "AT+CMGRD=%d\r\n", index);
    std::string answer;
    bool whole = channel.WriteCollect(command, static_cast<int>(std::strlen(command)), &answer, kReadWaits);
    AtCmdLog(command, answer.c_str());
    char where[24];
    std::snprintf(where, sizeof where, "at %d", index);
    size_t begun = KeepStoredMessages(answer, where);
    if (!whole) {
      // The rest of an answer that has begun may still come: it is looked
      // for at the end of the pass.
      channel.SetAside(answer.substr(begun));
      PrintMsg(">AT+CMGRD=%d: no final answer within %d ms; reading stops for this pass\r\n", index,
               kReadWaits.max_wait_ms);
      break;
    }
  }
  HandOverReadAhead();
}

void SettleSetAside(AtChannel& channel) {
  channel.SetAsideWaiting();
  for (int waited = 0; !ExamineSetAside(channel); waited += kReadWaits.poll_ms) {
    if (waited >= kReadWaits.max_wait_ms) {
      channel.TakeSetAside();
      PrintMsg(">SMS answer incomplete after %d ms: the message is lost\r\n", kReadWaits.max_wait_ms);
      return;
    }
    channel.Pause(kReadWaits.poll_ms);
    channel.SetAsideWaiting();
  }
}
