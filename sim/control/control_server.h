// The simulator's side of the control socket: accepts connections, reads
// one command line from each and sends back its answer, all without
// blocking the board's loop.
#pragma once

#include <poll.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "sim/control/reply.h"

namespace sim {

class ControlServer {
 public:
  /// Answers a command line; `client` identifies the connection for a
  /// deferred answer (see Defer).
  using Handler = std::function<Reply(const std::string& line, int client)>;

  ControlServer() = default;
  ~ControlServer();
  ControlServer(const ControlServer&) = delete;
  ControlServer& operator=(const ControlServer&) = delete;

  /// Binds the socket. Refuses when another simulator answers on it; a
  /// stale socket file of a simulator that died is replaced.
  bool Listen(const std::string& path, std::string* error);
  /// Closes everything and removes the socket file.
  void Close();

  /// Appends the descriptors to poll; returns the earliest deadline (µs,
  /// monotonic) of a connection that must be dropped, or -1.
  int64_t AddPollFds(std::vector<pollfd>* fds) const;
  /// Works the descriptors after poll: accepts, reads, answers, drops
  /// connections that sent nothing usable in time.
  void Handle(const std::vector<pollfd>& fds, int64_t now_us, const Handler& handler);

  /// A handler that cannot answer yet returns Deferred(); the answer is sent
  /// later with Answer().
  static Reply Deferred() { return Reply{true, kDeferredMark}; }
  void Answer(int client, const Reply& reply);
  /// Sends what is queued, waiting at most `timeout_ms`, and closes the
  /// connections that are done (used when stopping).
  void Drain(int timeout_ms);

 private:
  static const char* const kDeferredMark;
  struct Client {
    int fd;
    std::string in;
    std::string out;
    bool answered = false;
    bool deferred = false;
    int64_t deadline_us;
  };
  void Accept(int64_t now_us);
  void Read(Client& c, int64_t now_us, const Handler& handler);
  void Write(Client& c);
  void DropFinished(int64_t now_us);

  int listen_fd_ = -1;
  std::string path_;
  std::vector<Client> clients_;
};

}  // namespace sim
