#include "sim/run/firmware_process.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <ctime>

namespace sim {

namespace {

// The program `name` as execvp would find it; empty when there is none.
std::string FindProgram(const std::string& name) {
  if (name.find('/') != std::string::npos) return ::access(name.c_str(), X_OK) == 0 ? name : "";
  const char* path = std::getenv("PATH");
  std::string dirs = path ? path : "/usr/local/bin:/usr/bin:/bin";
  for (size_t at = 0; at <= dirs.size();) {
    size_t end = dirs.find(':', at);
    if (end == std::string::npos) end = dirs.size();
    std::string dir = dirs.substr(at, end - at);
    std::string candidate = (dir.empty() ? "." : dir) + "/" + name;
    if (::access(candidate.c_str(), X_OK) == 0) return candidate;
    at = end + 1;
  }
  return "";
}

}  // namespace

FirmwareProcess::FirmwareProcess(std::string binary, std::vector<std::string> args, int console_fd,
                                 std::vector<std::string> prefix)
    : binary_(std::move(binary)), args_(std::move(args)), console_fd_(console_fd), prefix_(std::move(prefix)) {}

FirmwareProcess::~FirmwareProcess() {
  if (running()) Stop(1000);
}

bool FirmwareProcess::Start(std::string* error) {
  if (::access(binary_.c_str(), X_OK) != 0) {
    *error = "cannot run the firmware " + binary_ + ": " + std::strerror(errno);
    return false;
  }
  // Looked up here, so a missing emulator is named instead of ending the
  // child with status 127.
  std::string program = binary_;
  if (!prefix_.empty()) {
    program = FindProgram(prefix_[0]);
    if (program.empty()) {
      *error = "cannot run the firmware under " + prefix_[0] + ": no such program (PATH is searched)";
      return false;
    }
  }
  std::vector<char*> argv;
  for (auto& p : prefix_) argv.push_back(const_cast<char*>(p.c_str()));
  argv.push_back(const_cast<char*>(binary_.c_str()));
  for (auto& a : args_) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);

  pid_t parent = ::getpid();
  pid_t pid = ::fork();
  if (pid < 0) {
    *error = std::string("fork: ") + std::strerror(errno);
    return false;
  }
  if (pid == 0) {
    // The simulator blocks and ignores signals for its own loop; the
    // firmware starts with the defaults.
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    signal(SIGPIPE, SIG_DFL);
    // Never outlive the board: if the simulator dies, so does the firmware.
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (::getppid() != parent) _exit(1);
    // Its own process group: Ctrl-C reaches the simulator, which then
    // stops the firmware in order.
    setpgid(0, 0);
    int null_fd = ::open("/dev/null", O_RDONLY);
    if (null_fd >= 0) {
      dup2(null_fd, STDIN_FILENO);
      if (null_fd != STDIN_FILENO) ::close(null_fd);
    }
    dup2(console_fd_, STDOUT_FILENO);  // without close-on-exec
    execv(program.c_str(), argv.data());
    const char msg[] = "[sim] cannot start the firmware\n";
    ssize_t ignored = ::write(STDERR_FILENO, msg, sizeof msg - 1);
    (void)ignored;
    _exit(127);
  }
  setpgid(pid, pid);  // also from here, whichever runs first
  pid_ = pid;
  ++starts_;
  return true;
}

bool FirmwareProcess::Reap(int* wait_status) {
  if (!running()) return false;
  int status = 0;
  pid_t r = ::waitpid(pid_, &status, WNOHANG);
  if (r != pid_) return false;
  pid_ = -1;
  *wait_status = status;
  return true;
}

void FirmwareProcess::Stop(int grace_ms) {
  if (!running()) return;
  ::kill(pid_, SIGTERM);
  const timespec step{0, 10 * 1000 * 1000};
  int status = 0;
  for (int waited = 0; waited < grace_ms; waited += 10) {
    if (::waitpid(pid_, &status, WNOHANG) == pid_) {
      pid_ = -1;
      return;
    }
    nanosleep(&step, nullptr);
  }
  ::kill(pid_, SIGKILL);
  while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
  }
  pid_ = -1;
}

std::string FirmwareBesideSelf() {
  char self[PATH_MAX];
  ssize_t n = ::readlink("/proc/self/exe", self, sizeof self - 1);
  if (n <= 0) return "";
  self[n] = '\0';
  std::string path = self;
  size_t slash = path.rfind('/');
  if (slash == std::string::npos) return "";
  return path.substr(0, slash + 1) + "qrv806";
}

std::string DescribeWaitStatus(int wait_status) {
  if (WIFEXITED(wait_status)) return "exit status " + std::to_string(WEXITSTATUS(wait_status));
  if (WIFSIGNALED(wait_status)) {
    int sig = WTERMSIG(wait_status);
    return "signal " + std::to_string(sig) + " (" + strsignal(sig) + ")";
  }
  return "status " + std::to_string(wait_status);
}

}  // namespace sim
