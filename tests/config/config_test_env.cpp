#include "config_test_env.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "platform/paths.h"

namespace configtest {

ConsoleCapture::ConsoleCapture() {
  std::fflush(stdout);
  char name[] = "/tmp/qrv806-console-XXXXXX";
  file_fd_ = mkstemp(name);
  unlink(name);
  saved_fd_ = dup(STDOUT_FILENO);
  dup2(file_fd_, STDOUT_FILENO);
}

ConsoleCapture::~ConsoleCapture() {
  std::fflush(stdout);
  dup2(saved_fd_, STDOUT_FILENO);
  // gtest reports a failure on standard output as it happens: give back
  // what was captured, the report included, when the test failed.
  if (::testing::Test::HasFailure()) {
    std::string text = Text();
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
  }
  close(saved_fd_);
  close(file_fd_);
}

std::string ConsoleCapture::Text() const {
  std::string text;
  char buf[4096];
  off_t at = 0;
  for (;;) {
    ssize_t n = pread(file_fd_, buf, sizeof buf, at);
    if (n <= 0) break;
    text.append(buf, static_cast<size_t>(n));
    at += n;
  }
  return text;
}

void ConfigTest::SetUp() {
  setenv("TZ", "UTC", 1);
  tzset();
  root_ = std::make_unique<testsupport::TempDir>();
  ASSERT_EQ(mkdir((root_->path() + "/APP").c_str(), 0755), 0);
  platform::SetRoot(root_->path());
  auto clock = std::make_unique<platform::FakeClock>(kStartUs);
  clock_ = clock.get();
  platform::InstallClock(std::move(clock));
}

void ConfigTest::TearDown() { platform::SetRoot(""); }

std::string ConfigTest::AppPath(const std::string& name) const { return root_->path() + "/APP/" + name; }
std::string ConfigTest::ReadApp(const std::string& name) const { return root_->Read("APP/" + name); }
void ConfigTest::WriteApp(const std::string& name, const std::string& content) const {
  root_->Write("APP/" + name, content);
}

std::vector<std::string> SplitCrLf(const std::string& text) {
  std::vector<std::string> lines;
  size_t at = 0;
  while (at < text.size()) {
    size_t end = text.find("\r\n", at);
    if (end == std::string::npos) {
      lines.push_back(text.substr(at));
      break;
    }
    lines.push_back(text.substr(at, end - at));
    at = end + 2;
  }
  return lines;
}

std::string JoinCrLf(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\r\n";
  return text;
}

}  // namespace configtest
