#include "log/log_writer.h"

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <thread>

#include "base/console.h"
#include "base/sd_flags.h"
#include "base/thread_start.h"
#include "log/log_files.h"
#include "log/log_store.h"

char logData[256];

namespace {

// Pause after a pass that could not make room on the card, so a full card
// costs a measurement a second instead of a busy core.
constexpr int kRetryPauseMs = 1000;
// Longest wait for a record; the deletion policy is checked at least this often.
constexpr int kIdleWaitMs = 1000;

void PauseUnlessStopped(const std::atomic<bool>& stop, int ms) {
  for (int waited = 0; waited < ms && !stop.load(); waited += 100) {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
}

}  // namespace

void LogWriterClear() { std::memset(logData, 0, sizeof logData); }

int LogFormatRecord(const LogRecord& r, char* out, size_t size) {
  int n;
  if (r.with_modem_info == 1) {
    n = std::snprintf(out, size,
                      "{\"T\":\"%s\",\"E\":{\"M\":\"%s\",\"S\":\"%s\"},\"MI\":{\"R\":\"%d\",\"SQ\":\"%d\"},"
                      "\"P\":\"%s\"},\r\n",
                      r.time, r.main_code, r.sub_code, r.creg, r.csq, r.phone);
  } else {
    n = std::snprintf(out, size,
                      "{\"T\":\"%s\",\"E\":{\"M\":\"%s\",\"S\":\"%s\"},\"MI\":{\"R\":\"*\",\"SQ\":\"*\"},"
                      "\"P\":\"*\"},\r\n",
                      r.time, r.main_code, r.sub_code);
  }
  if (n < 0 || size == 0) return 0;
  return static_cast<size_t>(n) < size ? n : static_cast<int>(size - 1);
}

void LogDump() { LogAppendToday(kUserLogDir, logData, std::strlen(logData)); }

LogWriterStep LogWriterPass() {
  if (LogDelete() == -1) return LogWriterStep::kCardFull;
  LogRecord r;
  if (!LogPeekOldest(&r)) return LogWriterStep::kIdle;
  LogFormatRecord(r, logData, sizeof logData);
  // A record that cannot be written is dropped all the same: keeping it
  // would stop every later record behind it.
  LogDump();
  LogPopIdx();
  return LogWriterStep::kWrote;
}

void RunLogWriter(const std::atomic<bool>& stop) {
  while (!stop.load()) {
    switch (LogWriterPass()) {
      case LogWriterStep::kCardFull:
        PauseUnlessStopped(stop, kRetryPauseMs);
        break;
      case LogWriterStep::kIdle:
        LogWaitForRecord(kIdleWaitMs);
        break;
      case LogWriterStep::kWrote:
        break;
    }
  }
}

void* ThreadLog(void*) {
  NameThisThread("log_writer");
  PrintMsg("[ThreadLog is start]\r\n");
  // Without a card or with logging off the thread ends at once: the start
  // line is all the console gets.
  if (if_sd_card.load() == 0 || logEnable.load() != 1) return nullptr;
  static const std::atomic<bool> never{false};
  RunLogWriter(never);
  return nullptr;
}
