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

  /// Bounds what waits unread at the far end, `slave_fd` (which stays owned
  /// by the caller): once more than half as much again as `keep` bytes
  /// wait there, they are discarded and only the newest `keep` bytes sent
  /// are offered again. A pseudo-terminal would otherwise hold many
  /// kilobytes for a reader who comes minutes later; a serial line nobody
  /// listens to keeps nothing.
  void BoundUnread(int slave_fd, size_t keep);

 private:
  void TrimUnread();

  int fd_;
  size_t max_pending_;
  std::string pending_;
  size_t dropped_ = 0;
  int slave_fd_ = -1;
  size_t keep_ = 0;
  std::string recent_;  // the newest bytes written, at most keep_
};

}  // namespace sim
