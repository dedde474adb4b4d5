// Test support: temporary roots and child processes that are always stopped.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <string>
#include <vector>

namespace testsupport {

/// A fresh folder under /tmp, removed with everything in it at the end.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& path() const { return path_; }
  /// Creates the parent folders and writes the file.
  void Write(const std::string& relative, const std::string& content) const;
  std::string Read(const std::string& relative) const;
  bool Exists(const std::string& relative) const;

 private:
  std::string path_;
};

/// A program started with its output captured in a file. The destructor
/// stops it (TERM, then KILL) and reaps it.
class ChildProcess {
 public:
  ChildProcess(const std::string& program, const std::vector<std::string>& args,
               const std::string& output_file);
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  std::string Output() const;
  /// Waits until the output contains `text`; false on time-out or when the
  /// process ended first without printing it.
  bool WaitForOutput(const std::string& text,
                     std::chrono::milliseconds timeout = std::chrono::seconds(30)) const;
  /// Waits for the process to end; returns its exit status, or -1 on
  /// time-out, or 128 + signal when a signal ended it.
  int WaitForExit(std::chrono::milliseconds timeout = std::chrono::seconds(30));
  /// TERM, a grace period, then KILL. Returns the status as WaitForExit.
  int Stop();
  bool Running();

 private:
  pid_t pid_ = -1;
  int status_ = -1;
  std::string output_file_;
};

/// Path of a program built in this build folder.
std::string BuiltProgram(const std::string& name);

/// Polls `condition` every 20 ms until it holds or the time-out passes.
template <typename F>
bool WaitUntil(F condition, std::chrono::milliseconds timeout = std::chrono::seconds(30)) {
  auto end = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    if (condition()) return true;
    if (std::chrono::steady_clock::now() > end) return false;
    struct timespec ts {0, 20 * 1000 * 1000};
    nanosleep(&ts, nullptr);
  }
}

}  // namespace testsupport
