#include "sim/control/control_client.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "sim/board/board_root.h"
#include "sim/control/command.h"
#include "sim/control/control_protocol.h"
#include "sim/control/watch.h"

namespace sim {

namespace {

// A command such as `stop` waits for the firmware to end.
constexpr int kAnswerTimeoutMs = 15000;

int64_t NowMs() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return int64_t(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

bool SendAll(int fd, const std::string& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = ::send(fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

}  // namespace

bool SendCommand(const std::string& socket_path, const std::string& line, int timeout_ms, Reply* reply,
                 std::string* error) {
  sockaddr_un addr{};
  if (!SocketAddress(socket_path, &addr, error)) return false;
  int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) {
    *error = std::string("socket: ") + std::strerror(errno);
    return false;
  }
  if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
    int err = errno;
    ::close(fd);
    if (err == ENOENT || err == ECONNREFUSED) {
      *error = "no simulator is running here (nothing answers on " + socket_path + ")";
    } else {
      *error = "cannot reach the simulator on " + socket_path + ": " + std::strerror(err);
    }
    return false;
  }
  if (!SendAll(fd, line + "\n")) {
    *error = std::string("cannot send the command: ") + std::strerror(errno);
    ::close(fd);
    return false;
  }
  std::string answer;
  int64_t end = NowMs() + timeout_ms;
  for (;;) {
    int64_t left = end - NowMs();
    pollfd p{fd, POLLIN, 0};
    int r = left > 0 ? ::poll(&p, 1, static_cast<int>(left)) : 0;
    if (r < 0 && errno == EINTR) continue;
    if (r <= 0) {
      *error = "the simulator did not answer within " + std::to_string(timeout_ms / 1000) + " s";
      ::close(fd);
      return false;
    }
    char buf[4096];
    ssize_t n = ::recv(fd, buf, sizeof buf, 0);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    answer.append(buf, static_cast<size_t>(n));
  }
  ::close(fd);
  if (!DecodeReply(answer, reply)) {
    *error = answer.empty() ? "the simulator closed the connection without an answer" : "garbled answer: " + answer;
    return false;
  }
  return true;
}

std::string CtlDefaultRoot() {
  const std::string here = "./sim-root";
  if (::access(BoardRoot(here).SocketPath().c_str(), F_OK) == 0) return here;
  char self[PATH_MAX];
  ssize_t n = ::readlink("/proc/self/exe", self, sizeof self - 1);
  if (n <= 0) return here;
  self[n] = '\0';
  std::string pointer = self;
  pointer = pointer.substr(0, pointer.rfind('/') + 1) + "make-run-root";
  FILE* f = std::fopen(pointer.c_str(), "r");
  if (f == nullptr) return here;
  char line[PATH_MAX];
  const bool got = std::fgets(line, sizeof line, f) != nullptr;
  std::fclose(f);
  if (!got) return here;
  std::string root = line;
  while (!root.empty() && (root.back() == '\n' || root.back() == '\r')) root.pop_back();
  return root.empty() ? here : root;
}

int RunCtl(const std::string& root, const std::vector<std::string>& words) {
  // The list is the program's own: it needs no running board.
  if (words.size() == 1 && words[0] == "help") {
    std::fputs(CommandSummary(), stdout);
    return 0;
  }
  if (!words.empty() && words[0] == "watch") {
    if (words.size() != 1) {
      std::fprintf(stderr, "qrv806-sim: usage: ctl [--root DIR] watch\n");
      return 1;
    }
    return RunWatch(root);
  }
  std::string line;
  for (const std::string& w : words) {
    if (w.find('\n') != std::string::npos) {
      std::fprintf(stderr, "qrv806-sim: a command is one line\n");
      return 1;
    }
    if (!line.empty()) line += ' ';
    line += w;
  }
  if (line.empty()) {
    std::fprintf(stderr, "qrv806-sim: ctl needs a command ('qrv806-sim ctl help' lists them)\n");
    return 1;
  }
  BoardRoot board(root);
  Reply reply;
  std::string error;
  if (!SendCommand(board.SocketPath(), line, kAnswerTimeoutMs, &reply, &error)) {
    std::fprintf(stderr, "qrv806-sim: %s\n", error.c_str());
    return 2;
  }
  if (!reply.ok) {
    std::fprintf(stderr, "qrv806-sim: %s", reply.text.c_str());
    if (reply.text.empty() || reply.text.back() != '\n') std::fputc('\n', stderr);
    return 1;
  }
  std::fputs(reply.text.c_str(), stdout);
  return 0;
}

}  // namespace sim
