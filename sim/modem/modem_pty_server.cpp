#include "sim/modem/modem_pty_server.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "sim/control/command.h"
#include "sim/run/monotonic.h"

namespace sim {

namespace {
// A master whose line is hung up polls ready at once; this keeps such a
// loop from spinning.
constexpr int kHangupPauseMs = 20;
}  // namespace

bool ModemPtyServer::Open(std::string* error) {
  if (running()) {
    *error = "the server is already running";
    return false;
  }
  pty_ = PtyPair::Open(error);
  if (!pty_) return false;
  device_ = pty_->slave_path();
  return Start(pty_->master(), error);
}

bool ModemPtyServer::Start(int master_fd, std::string* error) {
  if (running()) {
    *error = "the server is already running";
    return false;
  }
  int flags = ::fcntl(master_fd, F_GETFL);
  if (flags < 0 || ::fcntl(master_fd, F_SETFL, flags | O_NONBLOCK) < 0) {
    *error = std::string("cannot use the terminal: ") + std::strerror(errno);
    return false;
  }
  wake_fd_ = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
  if (wake_fd_ < 0) {
    *error = std::string("eventfd: ") + std::strerror(errno);
    return false;
  }
  {
    std::lock_guard<std::mutex> lock(mutex_);
    port_ = std::make_unique<ModemPort>(master_fd, model_);
  }
  stop_.store(false);
  thread_ = std::thread([this] { Loop(); });
  return true;
}

void ModemPtyServer::Stop() {
  if (thread_.joinable()) {
    stop_.store(true);
    Wake();
    thread_.join();
  }
  std::lock_guard<std::mutex> lock(mutex_);
  if (port_) {
    model_.SetSender(nullptr);
    port_.reset();
  }
  if (wake_fd_ >= 0) {
    ::close(wake_fd_);
    wake_fd_ = -1;
  }
  pty_.reset();
  device_.clear();
}

void ModemPtyServer::Wake() {
  if (wake_fd_ < 0) return;
  uint64_t one = 1;
  ssize_t n = ::write(wake_fd_, &one, sizeof one);
  (void)n;  // a full counter wakes the loop as well
}

Reply ModemPtyServer::Control(const std::string& line) {
  std::vector<std::string> words = SplitWords(line);
  if (words.empty() || !IsModemCommand(words[0])) return Reply::Error("'" + line + "' is no command of the module");
  return WithModel([&] { return model_.Command(words, line, MonotonicUs()); });
}

Json ModemPtyServer::State() {
  Json state = Json::Object();
  WithModel([&] { model_.AddState(state, MonotonicUs()); });
  return state;
}

void ModemPtyServer::Loop() {
  while (!stop_.load()) {
    int64_t deadline = -1;
    pollfd fds[2] = {};
    {
      std::lock_guard<std::mutex> lock(mutex_);
      deadline = port_->NextDeadlineUs();
      fds[0] = {port_->fd(), static_cast<short>(POLLIN | (port_->wants_write() ? POLLOUT : 0)), 0};
    }
    fds[1] = {wake_fd_, POLLIN, 0};
    timespec timeout{};
    timespec* timeout_ptr = TimeoutUntil(deadline, &timeout);
    int r = ::ppoll(fds, 2, timeout_ptr, nullptr);
    if (r < 0 && errno != EINTR) break;
    if (fds[1].revents & POLLIN) {
      uint64_t count = 0;
      ssize_t n = ::read(wake_fd_, &count, sizeof count);
      (void)n;
    }
    int64_t now = MonotonicUs();
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (fds[0].revents & POLLIN) port_->OnReadable(now);
      if (fds[0].revents & POLLOUT) port_->OnWritable();
      port_->RunTimers(now);
    }
    if ((fds[0].revents & (POLLHUP | POLLERR)) && !(fds[0].revents & POLLIN)) {
      ::usleep(kHangupPauseMs * 1000);
    }
  }
}

}  // namespace sim
