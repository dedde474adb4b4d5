// The AT-command and QMI logs: each record is written by the calling thread
// straight to the day's file.
#include <string>

#include "config/time_utils.h"
#include "log/log_files.h"
#include "log/log_store.h"

namespace {

std::string Now() {
  char t[40] = {0};
  getTimeStr(t, 't');
  return t;
}

const char* OrEmpty(const char* s) { return s ? s : ""; }

}  // namespace

// A record is built in storage of its own size: a sent SMS logs its answer
// and the whole PDU, far more than a fixed line buffer holds.
std::string AtCmdLogPush(const char* command, const char* response) {
  return "Time=>" + Now() + "\r\nCmmand=>" + OrEmpty(command) + "\r\nResponse=>\r\n" + OrEmpty(response) +
         "\r\n";
}

void AtCmdLogDump(const std::string& record) { LogAppendToday(kAtCmdLogDir, record.data(), record.size()); }

std::string QmiLogPush(const char* api, const char* result) {
  return "Time=>" + Now() + "\r\nAPI=>" + OrEmpty(api) + "\r\nResponse=>" + OrEmpty(result) + "\r\n";
}

void QmiLogDump(const std::string& record) { LogAppendToday(kQmiLogDir, record.data(), record.size()); }

void AtCmdLog(const char* command, const char* response) {
  if (logEnable.load() != 1) return;
  AtCmdLogDump(AtCmdLogPush(command, response));
}

void QmiLog(const char* api, const char* result) {
  if (logEnable.load() != 1) return;
  QmiLogDump(QmiLogPush(api, result));
}
