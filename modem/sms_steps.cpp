// The SMS steps of a modem pass: send the message of the send mailbox, and
// fetch one stored message into the receive mailbox.
#include <cstdio>
#include <cstring>
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
// a later one is read with the next command of the loop.
constexpr int kCmgsPduWaitMs = 3000;

int Exchange(AtChannel& channel, const char* command, char* response, int wait_ms) {
  return channel.WriteRead(command, static_cast<int>(std::strlen(command)), response, wait_ms);
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
  channel.WriteRead(command_line.data(), static_cast<int>(command_line.size()), response, kCmgsLineWaitMs);
  const std::string log_command = command_line + "\n";
  const std::string first_answer = response;
  if (std::strstr(response, "ERROR") != nullptr) {
    AtCmdLog(log_command.c_str(), first_answer.c_str());
    return kSmsSendFailed;
  }

  channel.WriteRead(rest, static_cast<int>(std::strlen(rest)), response, kCmgsPduWaitMs);
  // The log keeps the PDU as text, without its Ctrl-Z.
  std::string pdu(rest);
  if (!pdu.empty() && pdu.back() == 0x1A) pdu.pop_back();
  AtCmdLog(log_command.c_str(), (first_answer + pdu + "\n").c_str());
  return IsCmgsConfirmed(response) ? kSmsSendDone : kSmsSendFailed;
}

}  // namespace

void SendSmsJob(AtChannel& channel) {
  send_sms_status.store(kSmsSendSending);
  PrintMsg("======= Send SMS ========\r\n");
  // The modem thread owns the record while the flag is set.
  const sms_msg job = send_sms;
  int32_t status = SendOne(channel, job);
  PrintMsg(">send_sms_status --> %d\r\n", status);
  is_send_sms.store(0);
  send_sms_status.store(status);
  PrintMsg("======== End SMS ========\r\n");
}

void FetchNewSms(AtChannel& channel) {
  char response[kAtResponseSize];
  const char* storage_query = "AT+CPMS?\r\n";
  Exchange(channel, storage_query, response, kQueryWaitMs);
  AtCmdLog(storage_query, response);
  int used = 0;
  int total = 0;
  ParseCpmsQuery(response, &used, &total);
  if (used == 0) return;
  PrintMsg("--> new SMS coming (%d/%d)\r\n", used, total);

  for (int index = 0; index < total; ++index) {
    char command[32];
    std::snprintf(command, sizeof command, "AT+CMGRD=%d\r\n", index);
    Exchange(channel, command, response, kQueryWaitMs);
    AtCmdLog(command, response);
    sms_msg message;
    if (gmSMS_getReadMsg(response, &message) == 1) {
      recv_new_sms = message;
      is_new_sms.store(1);
      return;
    }
    // The module deleted what it returned: a message that does not decode is
    // gone, and says so.
    if (std::strstr(response, "+CMGRD:") != nullptr) {
      PrintMsg(">SMS at %d could not be decoded and is dropped\r\n", index);
    }
  }
}
