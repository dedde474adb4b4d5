#include "platform/sim_jig.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "platform/fd_io.h"

namespace platform {
namespace {

constexpr int kDo0Gpio = 29;
constexpr int kDo1Gpio = 4;
constexpr int kDiGpio[kSimJigInputs] = {27, 26, 28, 30, 7};

std::string Marker(const std::string& root) { return root + "/sim/jig"; }

std::string ValuePath(const std::string& root, int gpio) {
  return root + "/sys/class/gpio/gpio" + std::to_string(gpio) + "/value";
}

bool LineOn(const std::string& root, int gpio) {
  UniqueFd fd(::open(ValuePath(root, gpio).c_str(), O_RDONLY | O_CLOEXEC));
  char c = 0;
  return fd.valid() && ::read(fd.get(), &c, 1) == 1 && c == '1';
}

// In place, as the simulator writes levels: the firmware keeps the value
// files open, so a file put in their place by a rename would go unseen. The
// level is the first byte and is never missing, so a reader sees the old
// level or the new one.
void WriteInput(const std::string& root, int gpio, bool active) {
  UniqueFd fd(::open(ValuePath(root, gpio).c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644));
  if (!fd.valid()) return;
  ssize_t n = ::pwrite(fd.get(), active ? "1\n" : "0\n", 2, 0);
  (void)n;
}

void FollowLocked(const std::string& root) {
  const bool active = LineOn(root, kDo0Gpio) || LineOn(root, kDo1Gpio);
  for (int gpio : kDiGpio) WriteInput(root, gpio, active);
}

// Holds the jig's lock for its lifetime; fitted() is false when there is
// no jig, or it was removed while this waited for the lock.
class JigLock {
 public:
  JigLock(const std::string& root, int open_flags) : fd_(::open(Marker(root).c_str(), open_flags, 0644)) {
    if (!fd_.valid()) return;
    while (::flock(fd_.get(), LOCK_EX) != 0) {
      if (errno != EINTR) return;
    }
    struct stat st {};
    fitted_ = ::fstat(fd_.get(), &st) == 0 && st.st_nlink > 0;
  }
  bool fitted() const { return fitted_; }

 private:
  UniqueFd fd_;  // closing it releases the lock
  bool fitted_ = false;
};

}  // namespace

void SimJigOutputWritten(const std::string& root, int gpio) {
  if (gpio == kDo0Gpio || gpio == kDo1Gpio) SimJigFollow(root);
}

void SimJigFollow(const std::string& root) {
  JigLock lock(root, O_RDONLY | O_CLOEXEC);
  if (lock.fitted()) FollowLocked(root);
}

bool SimJigFit(const std::string& root) {
  JigLock lock(root, O_RDONLY | O_CREAT | O_CLOEXEC);
  if (!lock.fitted()) return false;
  FollowLocked(root);
  return true;
}

bool SimJigRemove(const std::string& root, const bool levels[kSimJigInputs]) {
  JigLock lock(root, O_RDONLY | O_CLOEXEC);
  if (lock.fitted() && ::unlink(Marker(root).c_str()) != 0) return false;
  for (int n = 0; n < kSimJigInputs; ++n) WriteInput(root, kDiGpio[n], levels[n]);
  return true;
}

}  // namespace platform
