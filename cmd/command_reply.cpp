#include "cmd/command_reply.h"

#include <cstdio>
#include <cstring>
#include <mutex>

#include "base/console.h"
#include "config/config_data.h"
#include "platform/fd_io.h"

char strCMDTemp[kReplySize];
const char* const ErrFormat = "!%s;%s;%s\r\n";

namespace {

// The machine ID as it stands, copied under the settings lock.
void MachineId(char* out) {
  std::lock_guard<std::recursive_mutex> lock(ConfigMutex());
  std::snprintf(out, kMachineIdSize, "%s", sys_config.cMachineID);
}

int VReply(const char* format, va_list ap) {
  std::memset(strCMDTemp, 0, sizeof strCMDTemp);
  int n = std::vsnprintf(strCMDTemp, sizeof strCMDTemp, format, ap);
  if (n < 0) return 0;
  if (n > kReplySize - 1) {
    n = kReplySize - 1;
    // A cut reply still ends its line, so the host is not left waiting.
    const size_t f = std::strlen(format);
    if (f >= 2 && std::strcmp(format + f - 2, "\r\n") == 0) std::memcpy(strCMDTemp + n - 2, "\r\n", 2);  // NOLINT(bugprone-not-null-terminated-result): the text still ends at n, where vsnprintf put its zero
  }
  ReplyWrite(strCMDTemp, n);
  return n;
}

}  // namespace

EchoedCommand::EchoedCommand(const char* line) {
  const char* from = line[0] != '\0' ? line + 1 : line;
  size_t n = std::strcspn(from, ";");
  if (n > sizeof text - 1) n = sizeof text - 1;
  std::memcpy(text, from, n);
  text[n] = '\0';
}

void ReplyWrite(const char* text, int len) {
  const int port = uart1.load();
  if (port <= 0 || len <= 0) return;
  platform::WriteAll(port, text, static_cast<size_t>(len));
}

int ReplyPrintf(const char* format, ...) {
  va_list ap;
  va_start(ap, format);
  int n = VReply(format, ap);
  va_end(ap);
  return n;
}

int ReplyOk(const EchoedCommand& cmd, const char* id) {
  char own[kMachineIdSize];
  if (id == nullptr) {
    MachineId(own);
    id = own;
  }
  ReplyPrintf("!%s;%s;%s\r\n", id, cmd.text, "OK");
  return 1;
}

int ReplyEr(const EchoedCommand& cmd) {
  char id[kMachineIdSize];
  MachineId(id);
  ReplyPrintf(ErrFormat, id, cmd.text, "ER");
  return 0;
}

int ReplyValues(const EchoedCommand& cmd, const char* format, ...) {
  char id[kMachineIdSize];
  MachineId(id);
  char values[kReplySize];
  va_list ap;
  va_start(ap, format);
  std::vsnprintf(values, sizeof values, format, ap);
  va_end(ap);
  ReplyPrintf("!%s;%s;%s;%s\r\n", id, cmd.text, "OK", values);
  return 1;
}
