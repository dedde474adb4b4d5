// A board root for the fuzz targets that touch files: made once, in memory
// (/dev/shm) where the machine has it, with the folders given (and their
// parents), removed at exit. The console is discarded (the readers and
// handlers trace every line; a write per line would cost more than the
// reading) and standard output goes to /dev/null for the few texts printed
// past the console. Returns the /dev/null descriptor, for targets that need
// a port that goes nowhere.
#pragma once

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "base/console.h"
#include "hw/analog_input.h"
#include "platform/clock.h"
#include "platform/paths.h"

namespace fuzzroot {

inline std::string* g_root = nullptr;

// 2021-07-13 08:15:00 UTC: a clock that stands still keeps every run of an
// input the same.
constexpr int64_t kNowUs = 1626164100LL * 1000000;

inline int MakeRoot(const char* name, std::initializer_list<const char*> dirs) {
  // A file written per input then costs no disk write-back.
  const char* base = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
  std::string pattern = std::string(base) + "/qrv806-" + name + "-XXXXXX";
  if (mkdtemp(&pattern[0]) == nullptr) abort();
  g_root = new std::string(pattern);
  atexit([] {
    std::error_code ec;
    std::filesystem::remove_all(*g_root, ec);
  });
  for (const char* dir : dirs) {
    std::error_code ec;
    std::filesystem::create_directories(*g_root + dir, ec);
  }
  platform::SetRoot(*g_root);
  platform::SetSimulated(true);
  // @TIME and the clock commands set this clock, never the host's.
  platform::InstallClock(std::make_unique<platform::FakeClock>(kNowUs));
  // No converter to wait for: its settle pause would be most of a run.
  ai_settle_ms = 0;
  ConsoleDiscard(true);
  const int null_fd = open("/dev/null", O_WRONLY);
  if (null_fd < 0) abort();
  dup2(null_fd, STDOUT_FILENO);
  return null_fd;
}

/// The input's bytes up to `max` as a terminated text, cut at its first
/// NUL as a C string would be.
inline std::string Text(const uint8_t* data, size_t size, size_t max) {
  std::string s(reinterpret_cast<const char*>(data), size < max ? size : max);
  return s.substr(0, s.find('\0'));
}

/// The input as a sequence of requests on the terminal port: split at LF
/// (at most `max` of them), each one as the framing hands it over (at most
/// `line_max` bytes, leading CRs skipped, cut at the next CR); empty ones
/// are left out.
inline std::vector<std::string> Requests(const uint8_t* data, size_t size, size_t max, size_t line_max) {
  std::vector<std::string> out;
  const std::string input(reinterpret_cast<const char*>(data), size);
  for (size_t at = 0; out.size() < max && at <= input.size();) {
    size_t end = input.find('\n', at);
    if (end == std::string::npos) end = input.size();
    std::string line = input.substr(at, end - at < line_max ? end - at : line_max);
    at = end + 1;
    line = line.substr(0, line.find('\0'));
    line.erase(0, line.find_first_not_of('\r') == std::string::npos ? line.size() : line.find_first_not_of('\r'));
    line = line.substr(0, line.find('\r'));
    if (!line.empty()) out.push_back(line);
  }
  return out;
}

}  // namespace fuzzroot
