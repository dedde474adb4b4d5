#include "sim/run/master_port.h"

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
    if (n <= 0) return;  // full (EAGAIN): the loop waits for room
    pending_.erase(0, static_cast<size_t>(n));
  }
}

}  // namespace sim
