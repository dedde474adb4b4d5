// The sysfs GPIO file operations.
#include <errno.h>
#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <mutex>
#include <string>
#include <thread>

#include "base/console.h"
#include "hw/gpio.h"
#include "platform/paths.h"
#include "platform/sim_jig.h"

namespace {

std::string LinePath(int gpio, const char* attribute) {
  return platform::Path("/sys/class/gpio/gpio" + std::to_string(gpio) + "/" + attribute);
}

bool Exists(const std::string& path) { return access(path.c_str(), F_OK) == 0; }

// perror with the errno of the failing call, whatever ran since.
void PerrorWith(int error, const char* text) {
  errno = error;
  std::perror(text);
}

// Opens an attribute write-only and writes `len` bytes of `text` (the
// board's driver takes the terminating zero along). The write's result is
// not looked at: a refused value shows when the line is read back.
int WriteAttribute(const std::string& path, const char* text, size_t len, int* open_error) {
  int fd = open(path.c_str(), O_WRONLY | O_CLOEXEC);
  if (fd < 0) {
    *open_error = errno;
    return fd;
  }
  ssize_t n = write(fd, text, len);
  (void)n;
  close(fd);  // NOLINT(cert-err33-c): a sysfs attribute fails at write, never at close
  return 0;
}

// The value files stay open once used: a read is one pread from offset 0
// (sysfs produces the line's present level at every read from the start)
// and a write one pwrite, instead of an open, a seek and a close each time.
// The simulated board updates its value files in place for this reason.
// Reading and writing have descriptors of their own, opened as the old
// per-access opens were. They belong to the root they were opened under; a
// new root (tests) opens them again. One lock covers the table and each
// transfer, so no descriptor is closed under a reader.
class ValueFiles {
 public:
  static ValueFiles& Get() {
    static auto* files = new ValueFiles;  // never destroyed: threads outlive exit
    return *files;
  }

  /// The line's descriptor for reading or writing (opened on first use),
  /// or -1 with `*error` set.
  int Fd(int gpio, bool write, int* error) {
    const unsigned generation = platform::RootGeneration();
    if (generation != generation_) {
      for (Line& l : lines_) {
        for (int& fd : l.fd) {
          if (fd >= 0) close(fd);  // NOLINT(cert-err33-c): a value file of the old root: nothing to lose
          fd = -1;
        }
      }
      generation_ = generation;
    }
    if (gpio < 0 || gpio >= kLines) {
      *error = EINVAL;
      return -1;
    }
    int& fd = lines_[gpio].fd[write ? 1 : 0];
    if (fd < 0) {
      fd = open(LinePath(gpio, "value").c_str(), (write ? O_WRONLY : O_RDONLY) | O_CLOEXEC);
      if (fd < 0) *error = errno;
    }
    return fd;
  }

  std::mutex& mu() { return mu_; }

  static constexpr int kLines = 128;  // the board's GPIO numbers are below this

 private:
  struct Line {
    int fd[2] = {-1, -1};  // reading, writing
  };
  std::mutex mu_;
  unsigned generation_ = 0;
  Line lines_[kLines];
};

}  // namespace

int GPIO_open(int gpio) {
  const std::string value = LinePath(gpio, "value");
  if (Exists(value)) return 0;

  int fd = open(platform::Path("/sys/class/gpio/export").c_str(), O_WRONLY | O_CLOEXEC);
  if (fd < 0) {
    PerrorWith(errno, "open fail\n");
    return fd;
  }
  char number[16];
  int len = std::snprintf(number, sizeof number, "%d", gpio);
  ssize_t n = write(fd, number, static_cast<size_t>(len));
  int write_error = errno;
  close(fd);  // NOLINT(cert-err33-c): a sysfs attribute fails at write, never at close
  if (n != len) {
    PerrorWith(write_error, "write fail");
    // A short write is no success either.
    return n < 0 ? static_cast<int>(n) : -1;
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(1));
  if (Exists(value)) return 0;
  PerrorWith(errno, "create fail\n");
  return -1;
}

int GPIO_set_dir(int gpio, int out) {
  int error = 0;
  int ret = out ? WriteAttribute(LinePath(gpio, "direction"), "out", 4, &error)
                : WriteAttribute(LinePath(gpio, "direction"), "in", 3, &error);
  if (ret < 0) {
    char text[48];
    std::snprintf(text, sizeof text, "gpio(%d)/direction", gpio);
    PerrorWith(error, text);
  }
  return ret;
}

int GPIO_set_active(int gpio, int low) {
  int error = 0;
  int ret = WriteAttribute(LinePath(gpio, "active_low"), low ? "1" : "0", 2, &error);
  if (ret < 0) {
    char text[48];
    std::snprintf(text, sizeof text, "gpio(%d)/active_low", gpio);
    PerrorWith(error, text);
  }
  return ret;
}

int GPIO_set_value(int gpio, int v) {
  int ret = 0;
  {
    ValueFiles& files = ValueFiles::Get();
    std::lock_guard<std::mutex> lock(files.mu());
    int error = 0;
    const int fd = files.Fd(gpio, true, &error);
    if (fd < 0) {
      PerrorWith(error, "gpio/set-value");
      ret = -1;
    } else {
      // One write of the two bytes; its result is not looked at (a refused
      // value shows when the line is read back). A line that is no file
      // (a pipe standing in for one) takes a plain write.
      ssize_t n = pwrite(fd, v ? "1" : "0", 2, 0);
      if (n < 0 && errno == ESPIPE) n = write(fd, v ? "1" : "0", 2);
      (void)n;
    }
  }
  // The simulated board's loop-back jig is wired to the outputs: its inputs
  // follow before this write returns, as they would through a wire.
  if (ret == 0 && platform::IsSimulated()) platform::SimJigOutputWritten(platform::Root(), gpio);
  return ret;
}

int GPIO_get_value(int gpio) {
  char c = 0;
  ssize_t n = 0;
  {
    ValueFiles& files = ValueFiles::Get();
    std::lock_guard<std::mutex> lock(files.mu());
    int error = 0;
    const int fd = files.Fd(gpio, false, &error);
    if (fd < 0) {
      PrintMsg("usr_gpio_get_value open %s error %d\n", LinePath(gpio, "value").c_str(), -1);
      return -1;
    }
    n = pread(fd, &c, 1, 0);
  }
  if (n != 1) {
    PrintMsg("usr_gpio_get_value read %s error %d\n", LinePath(gpio, "value").c_str(), static_cast<int>(n));
    return static_cast<int>(n);
  }
  return c == '1' ? 1 : 0;
}

std::string GPIO_value_path(int gpio) { return LinePath(gpio, "value"); }

int GPIO_io_init(int gpio, int out, int active_low, int value) {
  if (GPIO_open(gpio) != 0) {
    PrintMsg("[%d]gpio init error\r\n", gpio);
    return -1;
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(1));
  GPIO_set_dir(gpio, out);
  // active_low comes before the first value, so that value is logical.
  GPIO_set_active(gpio, active_low);
  if (out) GPIO_set_value(gpio, value);
  return 0;
}
