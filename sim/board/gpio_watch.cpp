#include "sim/board/gpio_watch.h"

#include <sys/inotify.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <set>

namespace sim {

GpioWatch::GpioWatch(const BoardRoot& root, std::vector<int> gpios) : root_(root), gpios_(std::move(gpios)) {
  for (int g : gpios_) last_[g] = -1;
}

GpioWatch::~GpioWatch() {
  if (fd_ >= 0) ::close(fd_);
}

bool GpioWatch::Start(std::string* error) {
  fd_ = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  if (fd_ < 0) {
    *error = std::string("inotify: ") + std::strerror(errno);
    return false;
  }
  for (int g : gpios_) {
    // The folder, not the file: a value file made anew stays watched.
    std::string dir = root_.Path("/sys/class/gpio/gpio" + std::to_string(g));
    int wd = inotify_add_watch(fd_, dir.c_str(), IN_CLOSE_WRITE | IN_MODIFY | IN_MOVED_TO | IN_CREATE);
    if (wd < 0) {
      *error = "cannot watch " + dir + ": " + std::strerror(errno);
      return false;
    }
    gpio_by_watch_[wd] = g;
  }
  return true;
}

std::vector<GpioWatch::Change> GpioWatch::TakeChanges() {
  std::set<int> touched;
  if (fd_ >= 0) {
    alignas(inotify_event) char buf[8192];
    for (;;) {
      ssize_t n = ::read(fd_, buf, sizeof buf);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;
      for (ssize_t off = 0; off < n;) {
        const auto* ev = reinterpret_cast<const inotify_event*>(buf + off);
        off += static_cast<ssize_t>(sizeof(inotify_event) + ev->len);
        if (ev->mask & IN_Q_OVERFLOW) {
          // Notifications were lost: look at every line.
          touched.insert(gpios_.begin(), gpios_.end());
          continue;
        }
        auto it = gpio_by_watch_.find(ev->wd);
        if (it == gpio_by_watch_.end()) continue;
        if (ev->len > 0 && std::strcmp(ev->name, "value") == 0) touched.insert(it->second);
      }
    }
  }
  std::vector<Change> changes;
  for (int g : gpios_) {
    bool first = last_[g] < 0;
    if (!first && touched.count(g) == 0) continue;
    int level = root_.ReadLine(g) ? 1 : 0;
    if (level != last_[g]) changes.push_back({g, level == 1});
    last_[g] = level;
  }
  return changes;
}

}  // namespace sim
