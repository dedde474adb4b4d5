// The simulator's end of one pseudo-terminal: non-blocking reads, and
// writes that wait in a bounded queue while the line is full.
#pragma once

#include <cstddef>
#include <string>

namespace sim {

class MasterPort {
 public:
  /// `fd` stays owned by the caller. At most `max_pending` bytes wait for
  /// the line; beyond that the oldest waiting bytes are dropped, as a line
  /// nobody reads loses them.
  MasterPort(int fd, size_t max_pending) : fd_(fd), max_pending_(max_pending) {}

  int fd() const { return fd_; }
  /// Everything that can be read now (empty when nothing is there).
  std::string ReadAvailable();
  /// Queues bytes for the line and writes what it takes now.
  void Send(const std::string& bytes);
  /// Writes queued bytes; call when the line is writable.
  void Flush();
  bool wants_write() const { return !pending_.empty(); }
  size_t dropped() const { return dropped_; }

 private:
  int fd_;
  size_t max_pending_;
  std::string pending_;
  size_t dropped_ = 0;
};

}  // namespace sim
