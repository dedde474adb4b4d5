#include "sim/run/master_port.h"

#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>

namespace sim {

std::string MasterPort::ReadAvailable() {
  std::string out;
  char buf[4096];
  // Bounded, so one chatty line cannot starve the others.
  for (int i = 0; i < 16; ++i) {
    ssize_t n = ::read(fd_, buf, sizeof buf);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    out.append(buf, static_cast<size_t>(n));
    if (static_cast<size_t>(n) < sizeof buf) break;
  }
  return out;
}

void MasterPort::Send(const std::string& bytes) {
  pending_ += bytes;
  if (pending_.size() > max_pending_) {
    size_t drop = pending_.size() - max_pending_;
    pending_.erase(0, drop);
    dropped_ += drop;
  }
  Flush();
}

void MasterPort::Flush() {
  while (!pending_.empty()) {
    ssize_t n = ::write(fd_, pending_.data(), pending_.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;  // full (EAGAIN): the loop waits for room
    if (slave_fd_ >= 0) {
      recent_.append(pending_, 0, static_cast<size_t>(n));
      if (recent_.size() > keep_) recent_.erase(0, recent_.size() - keep_);
    }
    pending_.erase(0, static_cast<size_t>(n));
  }
  if (slave_fd_ >= 0) TrimUnread();
}

void MasterPort::BoundUnread(int slave_fd, size_t keep) {
  slave_fd_ = slave_fd;
  keep_ = keep;
}

void MasterPort::TrimUnread() {
  int unread = 0;
  if (::ioctl(slave_fd_, FIONREAD, &unread) != 0 || static_cast<size_t>(unread) <= keep_ + keep_ / 2) return;
  // Discarding is all or nothing; the newest bytes go out again, ahead of
  // those still waiting here.
  ::tcflush(slave_fd_, TCIFLUSH);
  dropped_ += static_cast<size_t>(unread);
  std::string again = recent_ + pending_;
  if (again.size() > keep_) again.erase(0, again.size() - keep_);
  recent_.clear();
  pending_.swap(again);
  while (!pending_.empty()) {
    ssize_t n = ::write(fd_, pending_.data(), pending_.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    recent_.append(pending_, 0, static_cast<size_t>(n));
    pending_.erase(0, static_cast<size_t>(n));
  }
}

}  // namespace sim
