// Watches the value files of the lines the firmware drives (outputs and
// LEDs) through inotify, so the simulator sees every switch when it
// happens without polling the files.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "sim/board/board_root.h"

namespace sim {

class GpioWatch {
 public:
  GpioWatch(const BoardRoot& root, std::vector<int> gpios);
  ~GpioWatch();
  GpioWatch(const GpioWatch&) = delete;
  GpioWatch& operator=(const GpioWatch&) = delete;

  /// Sets the watches; false with a message when inotify cannot be had.
  bool Start(std::string* error);
  /// The descriptor to poll for reading.
  int fd() const { return fd_; }

  struct Change {
    int gpio;
    bool level;
  };
  /// Takes the pending notifications and returns the lines whose level
  /// differs from the last one reported (each line once, with its present
  /// level). The first call after Start reports every line.
  std::vector<Change> TakeChanges();

 private:
  const BoardRoot& root_;
  std::vector<int> gpios_;
  int fd_ = -1;
  std::map<int, int> gpio_by_watch_;
  std::map<int, int> last_;  // gpio -> last level reported (-1 none yet)
};

}  // namespace sim
