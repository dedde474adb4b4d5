// Shared set-up of the configuration tests: a temporary board root with its
// /APP folder, a hand-stepped clock in UTC, and the console captured.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "support/firmware_process.h"

namespace configtest {

/// Everything written to standard output (where PrintMsg prints) while the
/// capture lives.
class ConsoleCapture {
 public:
  ConsoleCapture();
  ~ConsoleCapture();
  ConsoleCapture(const ConsoleCapture&) = delete;
  ConsoleCapture& operator=(const ConsoleCapture&) = delete;
  std::string Text() const;

 private:
  int saved_fd_ = -1;
  int file_fd_ = -1;
};

/// 2021-07-13 08:15:09.123456 UTC, the time every test starts at.
constexpr int64_t kStartUs = 1626164109LL * 1000000 + 123456;

class ConfigTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  std::string AppPath(const std::string& name) const;
  std::string ReadApp(const std::string& name) const;
  void WriteApp(const std::string& name, const std::string& content) const;

  std::unique_ptr<testsupport::TempDir> root_;
  platform::FakeClock* clock_ = nullptr;
};

/// Splits a file into its lines, each without its CR LF.
std::vector<std::string> SplitCrLf(const std::string& text);
std::string JoinCrLf(const std::vector<std::string>& lines);

}  // namespace configtest
