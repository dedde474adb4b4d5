#include "sim/control/control_server.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>

#include "sim/control/control_protocol.h"
#include "sim/run/monotonic.h"

namespace sim {

namespace {

// A client gets this long to send its line, and again to take its answer.
constexpr int64_t kClientTimeoutUs = 5 * 1000 * 1000;

}  // namespace

const char* const ControlServer::kDeferredMark = "\x01" "deferred";

ControlServer::~ControlServer() { Close(); }

bool ControlServer::Listen(const std::string& path, std::string* error) {
  sockaddr_un addr{};
  if (!SocketAddress(path, &addr, error)) return false;

  // Someone answering on the socket means a simulator runs on this root.
  int probe = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (probe >= 0) {
    bool live = ::connect(probe, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
    ::close(probe);
    if (live) {
      *error = "a simulator is already running on this root (" + path + " answers)";
      return false;
    }
  }
  ::unlink(path.c_str());  // the socket of a simulator that died

  listen_fd_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (listen_fd_ < 0) {
    *error = std::string("socket: ") + std::strerror(errno);
    return false;
  }
  if (::bind(listen_fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || ::listen(listen_fd_, 16) != 0) {
    *error = "cannot listen on " + path + ": " + std::strerror(errno);
    ::close(listen_fd_);
    listen_fd_ = -1;
    return false;
  }
  path_ = path;
  return true;
}

void ControlServer::Close() {
  for (Client& c : clients_) ::close(c.fd);
  clients_.clear();
  if (listen_fd_ >= 0) {
    ::close(listen_fd_);
    listen_fd_ = -1;
    ::unlink(path_.c_str());
  }
}

int64_t ControlServer::AddPollFds(std::vector<pollfd>* fds) const {
  int64_t deadline = -1;
  if (listen_fd_ >= 0) fds->push_back({listen_fd_, POLLIN, 0});
  for (const Client& c : clients_) {
    short events = 0;
    if (!c.answered) events |= POLLIN;
    if (!c.out.empty()) events |= POLLOUT;
    fds->push_back({c.fd, events, 0});
    if (!c.deferred && (deadline < 0 || c.deadline_us < deadline)) deadline = c.deadline_us;
  }
  return deadline;
}

void ControlServer::Handle(const std::vector<pollfd>& fds, int64_t now_us, const Handler& handler) {
  bool accept = false;
  for (const pollfd& p : fds) {
    if (p.fd == listen_fd_ && (p.revents & POLLIN)) accept = true;
  }
  // Walk by descriptor: the handler may answer or add connections.
  for (const pollfd& p : fds) {
    if (p.fd == listen_fd_ || p.revents == 0) continue;
    for (size_t i = 0; i < clients_.size(); ++i) {
      if (clients_[i].fd != p.fd) continue;
      if (p.revents & (POLLIN | POLLHUP | POLLERR)) Read(clients_[i], now_us, handler);
      if (i < clients_.size() && clients_[i].fd == p.fd && !clients_[i].out.empty()) Write(clients_[i]);
      break;
    }
  }
  if (accept) Accept(now_us);
  DropFinished(now_us);
}

void ControlServer::DropFinished(int64_t now_us) {
  // Done (answer sent), gone (fd closed), or out of time.
  for (size_t i = 0; i < clients_.size();) {
    Client& c = clients_[i];
    bool finished = c.fd < 0 || (c.answered && !c.deferred && c.out.empty());
    bool late = !c.deferred && now_us >= c.deadline_us;
    if (finished || late) {
      if (c.fd >= 0) ::close(c.fd);
      clients_.erase(clients_.begin() + static_cast<long>(i));
    } else {
      ++i;
    }
  }
}

void ControlServer::Accept(int64_t now_us) {
  for (;;) {
    int fd = ::accept4(listen_fd_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd < 0) return;
    clients_.push_back(Client{fd, "", "", false, false, now_us + kClientTimeoutUs});
  }
}

void ControlServer::Read(Client& c, int64_t now_us, const Handler& handler) {
  char buf[1024];
  for (;;) {
    ssize_t n = ::recv(c.fd, buf, sizeof buf, 0);
    if (n < 0 && errno == EINTR) continue;
    if (n == 0 || (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK)) {
      // The client went away; a deferred command is still carried out,
      // only its answer has nowhere to go.
      ::close(c.fd);
      c.fd = -1;
      return;
    }
    if (n < 0) return;
    if (c.answered) continue;  // anything after the line is ignored
    c.in.append(buf, static_cast<size_t>(n));
    size_t nl = c.in.find('\n');
    if (nl == std::string::npos && c.in.size() <= kMaxCommandLine) continue;
    c.answered = true;
    Reply reply;
    if (nl == std::string::npos || nl > kMaxCommandLine) {
      reply = Reply::Error("command too long (at most " + std::to_string(kMaxCommandLine) + " characters)");
    } else {
      reply = handler(c.in.substr(0, nl), c.fd);
    }
    if (reply.ok && reply.text == kDeferredMark) {
      c.deferred = true;
      return;
    }
    c.out = EncodeReply(reply);
    c.deadline_us = now_us + kClientTimeoutUs;
    return;
  }
}

void ControlServer::Write(Client& c) {
  while (!c.out.empty()) {
    ssize_t n = ::send(c.fd, c.out.data(), c.out.size(), MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return;
    if (n <= 0) {
      c.out.clear();  // the client is gone
      return;
    }
    c.out.erase(0, static_cast<size_t>(n));
  }
}

void ControlServer::Answer(int client, const Reply& reply) {
  for (Client& c : clients_) {
    if (c.fd != client || !c.deferred) continue;
    c.deferred = false;
    c.out = EncodeReply(reply);
    c.deadline_us = MonotonicUs() + kClientTimeoutUs;
    Write(c);
    return;
  }
}

void ControlServer::Drain(int timeout_ms) {
  int64_t end = MonotonicUs() + int64_t(timeout_ms) * 1000;
  for (;;) {
    std::vector<pollfd> fds;
    for (Client& c : clients_) {
      if (c.fd >= 0 && !c.out.empty()) fds.push_back({c.fd, POLLOUT, 0});
    }
    int64_t left = end - MonotonicUs();
    if (fds.empty() || left <= 0) break;
    ::poll(fds.data(), fds.size(), static_cast<int>(left / 1000) + 1);
    for (Client& c : clients_) {
      if (c.fd >= 0 && !c.out.empty()) Write(c);
    }
  }
  DropFinished(MonotonicUs());
}

}  // namespace sim
