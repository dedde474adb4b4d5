// Waiting for level changes of GPIO lines instead of reading them over and
// over.
//
// On the device the kernel reports edges of an input line on its sysfs value
// file: with the line's `edge` attribute at "both", poll() flags POLLPRI on
// the open value file, and reading the value again from offset 0 clears the
// flag. On the simulated board the value files are plain files that the
// simulator writes in place, so inotify on their folders tells when one
// changed.
//
// A waiter only says that a watched line may have changed; the caller reads
// the levels itself. A change that happens while nobody waits is kept and
// ends the next wait at once, so no edge goes unnoticed.
#pragma once

#include <memory>
#include <string>

namespace platform {

class GpioEdgeWaiter {
 public:
  virtual ~GpioEdgeWaiter() = default;

  /// Watches the value file at `value_path` (a real path, after Path()).
  /// False when changes of that line cannot be reported: Wait then ends
  /// every kFallbackStepMs, so the caller still looks at the line often.
  bool Add(const std::string& value_path);
  /// Waits until a watched line may have changed (true) or `timeout_ms` has
  /// passed (false). Signals never end a wait early.
  bool Wait(int timeout_ms);

  /// The longest wait while a line has no change reports.
  static constexpr int kFallbackStepMs = 2;

 private:
  virtual bool DoAdd(const std::string& value_path) = 0;
  virtual bool DoWait(int timeout_ms) = 0;

  bool fallback_ = false;
};

/// The kernel's edge reports: `edge` set to "both", poll() for POLLPRI.
class DeviceGpioEdgeWaiter final : public GpioEdgeWaiter {
 public:
  DeviceGpioEdgeWaiter();
  ~DeviceGpioEdgeWaiter() override;
  DeviceGpioEdgeWaiter(const DeviceGpioEdgeWaiter&) = delete;
  DeviceGpioEdgeWaiter& operator=(const DeviceGpioEdgeWaiter&) = delete;

 private:
  bool DoAdd(const std::string& value_path) override;
  bool DoWait(int timeout_ms) override;

  struct Impl;
  std::unique_ptr<Impl> impl_;
};

/// inotify on the folders of the simulated board's value files.
class SimulatedGpioEdgeWaiter final : public GpioEdgeWaiter {
 public:
  SimulatedGpioEdgeWaiter();
  ~SimulatedGpioEdgeWaiter() override;
  SimulatedGpioEdgeWaiter(const SimulatedGpioEdgeWaiter&) = delete;
  SimulatedGpioEdgeWaiter& operator=(const SimulatedGpioEdgeWaiter&) = delete;

 private:
  bool DoAdd(const std::string& value_path) override;
  bool DoWait(int timeout_ms) override;

  struct Impl;
  std::unique_ptr<Impl> impl_;
};

/// A waiter of this board's kind (simulated when `--sim` was given); each
/// caller owns its own.
std::unique_ptr<GpioEdgeWaiter> MakeGpioEdgeWaiter();

}  // namespace platform
