#include "platform/gpio_edges.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/inotify.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <map>
#include <set>
#include <vector>

#include "platform/clock.h"
#include "platform/fd_io.h"
#include "platform/paths.h"

namespace platform {
namespace {

int64_t MonotonicMs() { return MonotonicUs() / 1000; }

int RemainingMs(int64_t deadline_ms) {
  const int64_t left = deadline_ms - MonotonicMs();
  return left > 0 ? static_cast<int>(left) : 0;
}

// Folder and file name of a path ("dir/value" -> "dir", "value").
void SplitPath(const std::string& path, std::string* dir, std::string* name) {
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) {
    *dir = ".";
    *name = path;
  } else {
    *dir = slash == 0 ? "/" : path.substr(0, slash);
    *name = path.substr(slash + 1);
  }
}

// Reading the value from the start is what re-arms the kernel's report.
void ClearEdge(int fd) {
  char buf[8];
  if (::lseek(fd, 0, SEEK_SET) < 0) return;
  ssize_t n = ::read(fd, buf, sizeof buf);
  (void)n;
}

}  // namespace

bool GpioEdgeWaiter::Add(const std::string& value_path) {
  const bool ok = DoAdd(value_path);
  if (!ok) fallback_ = true;
  return ok;
}

bool GpioEdgeWaiter::Wait(int timeout_ms) {
  if (timeout_ms < 0) timeout_ms = 0;
  if (fallback_ && timeout_ms > kFallbackStepMs) {
    // A line without reports may have changed at any time: say so.
    DoWait(kFallbackStepMs);
    return true;
  }
  return DoWait(timeout_ms);
}

// ---- device: sysfs edge reports ----

struct DeviceGpioEdgeWaiter::Impl {
  std::vector<UniqueFd> values;
};

DeviceGpioEdgeWaiter::DeviceGpioEdgeWaiter() : impl_(std::make_unique<Impl>()) {}
DeviceGpioEdgeWaiter::~DeviceGpioEdgeWaiter() = default;

bool DeviceGpioEdgeWaiter::DoAdd(const std::string& value_path) {
  std::string dir, name;
  SplitPath(value_path, &dir, &name);
  // A line whose controller cannot interrupt refuses the attribute.
  UniqueFd edge(::open((dir + "/edge").c_str(), O_WRONLY | O_CLOEXEC));
  if (!edge.valid() || WriteAll(edge.get(), "both", 4) != 0 || edge.Close() != 0) return false;
  UniqueFd value(::open(value_path.c_str(), O_RDONLY | O_CLOEXEC));
  if (!value.valid()) return false;
  // Without a first read poll() reports at once.
  ClearEdge(value.get());
  impl_->values.push_back(std::move(value));
  return true;
}

bool DeviceGpioEdgeWaiter::DoWait(int timeout_ms) {
  std::vector<pollfd> fds;
  for (const UniqueFd& v : impl_->values) fds.push_back(pollfd{v.get(), POLLPRI | POLLERR, 0});
  const int64_t deadline = MonotonicMs() + timeout_ms;
  for (;;) {
    const int r = ::poll(fds.data(), fds.size(), RemainingMs(deadline));
    if (r == 0) return false;
    if (r < 0) {
      if (errno == EINTR) continue;
      // poll itself failing: wait out the time so the caller does not spin.
      ::usleep(static_cast<useconds_t>(RemainingMs(deadline)) * 1000);
      return false;
    }
    for (const pollfd& p : fds) {
      if (p.revents & (POLLPRI | POLLERR)) ClearEdge(p.fd);
    }
    return true;
  }
}

// ---- simulated board: inotify on the value files' folders ----

struct SimulatedGpioEdgeWaiter::Impl {
  UniqueFd inotify;
  // Watch descriptor -> names of the watched files in that folder. The folder
  // is watched, not the file: a file made anew stays watched.
  std::map<int, std::set<std::string>> names;

  // Takes every pending notification; true when one concerns a watched file.
  bool Drain() {
    alignas(inotify_event) char buf[4096];
    bool changed = false;
    for (;;) {
      const ssize_t n = ::read(inotify.get(), buf, sizeof buf);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) return changed;
      for (ssize_t off = 0; off < n;) {
        const auto* ev = reinterpret_cast<const inotify_event*>(buf + off);
        off += static_cast<ssize_t>(sizeof(inotify_event) + ev->len);
        // Lost notifications may have been about a watched file.
        if (ev->mask & IN_Q_OVERFLOW) changed = true;
        auto it = names.find(ev->wd);
        if (it != names.end() && ev->len > 0 && it->second.count(ev->name) > 0) changed = true;
      }
    }
  }
};

SimulatedGpioEdgeWaiter::SimulatedGpioEdgeWaiter() : impl_(std::make_unique<Impl>()) {
  impl_->inotify = UniqueFd(inotify_init1(IN_NONBLOCK | IN_CLOEXEC));
}
SimulatedGpioEdgeWaiter::~SimulatedGpioEdgeWaiter() = default;

bool SimulatedGpioEdgeWaiter::DoAdd(const std::string& value_path) {
  if (!impl_->inotify.valid()) return false;
  std::string dir, name;
  SplitPath(value_path, &dir, &name);
  const int wd =
      inotify_add_watch(impl_->inotify.get(), dir.c_str(), IN_CLOSE_WRITE | IN_MODIFY | IN_MOVED_TO | IN_CREATE);
  if (wd < 0) return false;
  impl_->names[wd].insert(name);
  return true;
}

bool SimulatedGpioEdgeWaiter::DoWait(int timeout_ms) {
  const int64_t deadline = MonotonicMs() + timeout_ms;
  for (;;) {
    pollfd p{impl_->inotify.get(), POLLIN, 0};
    const int r = ::poll(&p, impl_->inotify.valid() ? 1 : 0, RemainingMs(deadline));
    if (r == 0) return false;
    if (r < 0) {
      if (errno == EINTR) continue;
      ::usleep(static_cast<useconds_t>(RemainingMs(deadline)) * 1000);
      return false;
    }
    // Writes of other files in the folders only shorten the wait; it goes
    // on for the rest of its time.
    if (impl_->Drain()) return true;
  }
}

std::unique_ptr<GpioEdgeWaiter> MakeGpioEdgeWaiter() {
  if (IsSimulated()) return std::make_unique<SimulatedGpioEdgeWaiter>();
  return std::make_unique<DeviceGpioEdgeWaiter>();
}

}  // namespace platform
