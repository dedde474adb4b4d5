// What the code under test prints, captured for the test to read.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace testsupport {

/// Standard output and error from its making to the first Text(), into a
/// file (a pipe could fill and block the test). Captures nest. On a test
/// failure the text is given back, gtest's own report in it included.
class ConsoleCapture {
 public:
  ConsoleCapture() {
    std::fflush(nullptr);
    char name[] = "/tmp/qrv806-console-XXXXXX";
    fd_ = mkstemp(name);
    unlink(name);
    for (int i = 0; i < 2; ++i) {
      saved_[i] = dup(i + 1);
      dup2(fd_, i + 1);
    }
  }
  ~ConsoleCapture() {
    if (fd_ >= 0 && ::testing::Test::HasFailure()) std::fputs(Text().c_str(), stdout);
    Text();
  }
  ConsoleCapture(const ConsoleCapture&) = delete;
  ConsoleCapture& operator=(const ConsoleCapture&) = delete;

  const std::string& Text() {
    if (fd_ < 0) return text_;
    std::fflush(nullptr);
    for (int i = 0; i < 2; ++i) {
      dup2(saved_[i], i + 1);
      close(saved_[i]);
    }
    lseek(fd_, 0, SEEK_SET);
    char buf[4096];
    for (ssize_t n; (n = read(fd_, buf, sizeof buf)) > 0;) text_.append(buf, static_cast<size_t>(n));
    close(fd_);
    fd_ = -1;
    return text_;
  }

 private:
  int fd_ = -1;
  int saved_[2] = {-1, -1};
  std::string text_;
};

}  // namespace testsupport
