// The configuration tests: the hardware tests' simulated board with its /APP
// folder and a hand-stepped clock.
#pragma once

#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <optional>
#include <string>
#include <vector>

#include "hw/hw_test_env.h"

namespace configtest {

using testsupport::ConsoleCapture;

/// Every file write is cut off after `bytes` while it lives, as if power
/// failed half-way through a save (the write fails rather than the process).
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) {
    signal(SIGXFSZ, SIG_IGN);
    getrlimit(RLIMIT_FSIZE, &old_);
    rlimit cut = {bytes, old_.rlim_max};
    setrlimit(RLIMIT_FSIZE, &cut);
  }
  ~FileSizeLimit() { setrlimit(RLIMIT_FSIZE, &old_); }

 private:
  rlimit old_{};
};

/// 2021-07-13 08:15:09.123456 UTC, the time every test starts at.
constexpr int64_t kStartUs = 1626164109LL * 1000000 + 123456;

class ConfigTest : public hwtest::SimBoardTest {
 protected:
  void SetUp() override {
    SimBoardTest::SetUp();
    ASSERT_EQ(mkdir((dir_.path() + "/APP").c_str(), 0755), 0);
    platform::InstallClock(std::make_unique<platform::FakeClock>(kStartUs));
    quiet_.emplace();  // shown if the test fails
  }
  void TearDown() override {
    quiet_.reset();
    SimBoardTest::TearDown();
  }

  std::string ReadApp(const std::string& name) const { return dir_.Read("APP/" + name); }
  void WriteApp(const std::string& name, const std::string& content) const { dir_.Write("APP/" + name, content); }

  std::optional<ConsoleCapture> quiet_;
};

/// Splits a file into its lines, each without its CR LF, and joins them back.
inline std::vector<std::string> SplitCrLf(const std::string& text) {
  std::vector<std::string> lines;
  for (size_t at = 0, end; at < text.size(); at = end == std::string::npos ? text.size() : end + 2) {
    end = text.find("\r\n", at);
    lines.push_back(text.substr(at, end == std::string::npos ? end : end - at));
  }
  return lines;
}

inline std::string JoinCrLf(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\r\n";
  return text;
}

}  // namespace configtest
