// The log switch: start-up state and /APP/log.ini.
#include <climits>
#include <cstdlib>
#include <string>

#include "base/log_ring.h"
#include "log/log_files.h"
#include "log/log_store.h"
#include "log/log_writer.h"
#include "platform/fd_io.h"
#include "platform/paths.h"

std::atomic<int> logEnable{0};
std::atomic<int> logMaxSize{kLogDefaultMaxSize};

namespace {

constexpr const char* kLogIni = "/APP/log.ini";
constexpr const char kEnableKey[] = "@LOGEN;";
constexpr size_t kKeptLineChars = 511;
// log.ini is a few short lines; what lies beyond this is not read.
constexpr size_t kLogIniMax = size_t{64} * 1024;

// The number behind the key as atoi reads it (a CR or LF ends it), kept
// within an int instead of overflowing.
int ParseSwitch(const char* text) {
  long v = std::strtol(text, nullptr, 10);
  if (v > INT_MAX) return INT_MAX;
  if (v < INT_MIN) return INT_MIN;
  return static_cast<int>(v);
}

}  // namespace

void LogInit() {
  logMaxSize = kLogDefaultMaxSize;
  logEnable = 0;
  LogRingClear();
  LogWriterClear();
  // Made even before the card is looked for, as the board always did.
  for (const char* sub : {kUserLogDir, kAtCmdLogDir, kQmiLogDir}) {
    LogMakeDirs(std::string(kLogRootDir) + "/" + sub);
  }
}

void ReadLogConfig() {
  std::string text;
  // No file: logging stays as it is (off after LogInit).
  if (!platform::ReadFileText(platform::Path(kLogIni), kLogIniMax, &text)) return;
  // Whole lines are read, so a long line can never pass part of itself off
  // as a line of its own; CR LF, LF and CR alone all end a line.
  std::string line;
  auto take = [&line] {
    if (line.compare(0, sizeof kEnableKey - 1, kEnableKey) == 0) {
      logEnable = ParseSwitch(line.c_str() + sizeof kEnableKey - 1);
    }
    line.clear();
  };
  bool after_cr = false;
  for (const char c : text) {
    if (c == '\n' && after_cr) {
      after_cr = false;
      continue;  // the LF of a CR LF
    }
    after_cr = c == '\r';
    if (c == '\r' || c == '\n') {
      take();
    } else if (line.size() < kKeptLineChars) {
      line.push_back(c);  // the rest of an absurdly long line is not needed
    }
  }
  if (!line.empty()) take();
}
