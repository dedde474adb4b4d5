// /APP/sms_log.ini: one line per SMS sent or received.
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>

#include "base/console.h"
#include "config/config_data.h"
#include "config/side_files.h"
#include "config/string_format.h"
#include "config/time_utils.h"
#include "platform/paths.h"

namespace {

// The sender and the receiver journal from their own threads; their lines
// must not mix.
std::mutex& JournalMutex() {
  static std::mutex mu;
  return mu;
}

std::string JournalPath() { return platform::Path("/APP/sms_log.ini"); }

// One SMS is one line: line breaks inside a message or a number become
// blanks.
std::string OneLine(const char* text) {
  std::string s = text != nullptr ? text : "";
  for (char& ch : s) {
    if (ch == '\r' || ch == '\n') ch = ' ';
  }
  return s;
}

}  // namespace

int save_sms_log(const char* text, const char* phone, int sms_mode, int direction) {
  std::lock_guard<std::mutex> lock(JournalMutex());
  FILE* file = std::fopen(JournalPath().c_str(), "ab");
  if (file == nullptr) {
    PrintMsg(">Open file(sms_log.ini) fail\r\n");
    return -1;
  }
  char when[40];
  getTimeStr(when, 'w');
  // The number too comes from outside (a sender, a number set by command):
  // a line break in it must not split the line either.
  const std::string number = OneLine(config::Bounded(phone != nullptr ? phone : "", kPhoneMaxLen).c_str());
  const bool received = direction == 1;
  PrintMsg(">Open file(sms_log.ini) success for saving\r\n");
  PrintMsg(" [Log content]\n => %s\r\n", text != nullptr ? text : "");
  if (received) {
    PrintMsg(" [Receive from]\n => %s\r\n", number.c_str());
  } else {
    PrintMsg(" [Send to]\n => %s\r\n", number.c_str());
  }
  // The direction is always the one given: a received message of another
  // coding (8-bit data) is journalled as received, not as sent.
  std::string line;
  config::AppendFormat(&line, "%s>%s>%s>%s>%s\r\n", OneLine(text).c_str(), sms_mode == 8 ? "UCS2" : "7BIT",
                       received ? "RECV" : "SEND", number.c_str(), when);
  // A full or failing card must not pass for a journalled message.
  const bool written = std::fwrite(line.data(), 1, line.size(), file) == line.size();
  if (std::fclose(file) != 0 || !written) {
    PrintMsg(">Write file(sms_log.ini) fail\r\n");
    return -1;
  }
  return 0;
}

int clear_sms_log() {
  std::lock_guard<std::mutex> lock(JournalMutex());
  FILE* file = std::fopen(JournalPath().c_str(), "wb");
  if (file == nullptr) {
    PrintMsg(">Open file(sms_log.ini) fail\r\n");
    return -1;
  }
  std::fclose(file);  // NOLINT(cert-err33-c): opened only to empty it: nothing was written through it
  return 0;
}
