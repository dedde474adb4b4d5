// The firmware run by the simulated board: started as `qrv806 --root DIR
// --sim ARGS...`, or under an emulator as `PREFIX... qrv806 --root DIR
// --sim ARGS...`, its console going to a descriptor the simulator reads.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace sim {

class FirmwareProcess {
 public:
  /// The firmware's standard output goes to `console_fd` (which stays
  /// owned by the caller). A non-empty `prefix` is the emulator's command
  /// line; its program is looked up in PATH like a shell would.
  FirmwareProcess(std::string binary, std::vector<std::string> args, int console_fd,
                  std::vector<std::string> prefix = {});
  ~FirmwareProcess();
  FirmwareProcess(const FirmwareProcess&) = delete;
  FirmwareProcess& operator=(const FirmwareProcess&) = delete;

  /// Starts it; false with a message when it cannot be started.
  bool Start(std::string* error);
  bool running() const { return pid_ > 0; }
  pid_t pid() const { return pid_; }
  /// How many times it was started.
  int starts() const { return starts_; }

  /// When it has ended, reaps it and returns true with its wait status.
  bool Reap(int* wait_status);
  /// Asks it to end (SIGTERM), kills it after `grace_ms`, and waits for it.
  void Stop(int grace_ms);

 private:
  std::string binary_;
  std::vector<std::string> args_;
  int console_fd_;
  std::vector<std::string> prefix_;
  pid_t pid_ = -1;
  int starts_ = 0;
};

/// The firmware binary beside the running program; empty when not found.
std::string FirmwareBesideSelf();
/// "exit status 3", "signal 11 (Segmentation fault)"...
std::string DescribeWaitStatus(int wait_status);

}  // namespace sim
