#include "support/firmware_process.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace fs = std::filesystem;

namespace testsupport {
namespace {

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

}  // namespace

TempDir::TempDir() {
  char tmpl[] = "/tmp/qrv806-test-XXXXXX";
  char* p = mkdtemp(tmpl);
  if (!p) throw std::runtime_error("mkdtemp failed");
  path_ = p;
}

TempDir::~TempDir() {
  std::error_code ec;
  // Make read-only folders left by a test removable again.
  for (auto it = fs::recursive_directory_iterator(path_, ec); !ec && it != fs::recursive_directory_iterator();
       it.increment(ec)) {
    if (it->is_directory(ec)) fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
  }
  fs::remove_all(path_, ec);
}

void TempDir::Write(const std::string& relative, const std::string& content) const {
  fs::path p = fs::path(path_) / relative;
  fs::create_directories(p.parent_path());
  std::ofstream out(p, std::ios::binary | std::ios::trunc);
  out << content;
}

std::string TempDir::Read(const std::string& relative) const { return ReadFile(path_ + "/" + relative); }

bool TempDir::Exists(const std::string& relative) const { return fs::exists(fs::path(path_) / relative); }

ChildProcess::ChildProcess(const std::string& program, const std::vector<std::string>& args,
                           const std::string& output_file)
    : output_file_(output_file) {
  pid_ = fork();
  if (pid_ < 0) throw std::runtime_error("fork failed");
  if (pid_ == 0) {
    // Its own process group, so that Stop() also reaches its children.
    setpgid(0, 0);
    int fd = open(output_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd >= 0) {
      dup2(fd, STDOUT_FILENO);
      dup2(fd, STDERR_FILENO);
      close(fd);
    }
    int devnull = open("/dev/null", O_RDONLY);
    if (devnull >= 0) dup2(devnull, STDIN_FILENO);
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execv(program.c_str(), argv.data());
    _exit(127);
  }
  setpgid(pid_, pid_);
}

ChildProcess::~ChildProcess() { Stop(); }

std::string ChildProcess::Output() const { return ReadFile(output_file_); }

bool ChildProcess::Running() {
  if (pid_ <= 0) return false;
  int st = 0;
  pid_t r = waitpid(pid_, &st, WNOHANG);
  if (r == pid_) {
    status_ = WIFEXITED(st) ? WEXITSTATUS(st) : 128 + WTERMSIG(st);
    pid_ = -1;
    return false;
  }
  return true;
}

bool ChildProcess::WaitForOutput(const std::string& text, std::chrono::milliseconds timeout) const {
  auto* self = const_cast<ChildProcess*>(this);
  bool found = WaitUntil([&] { return Output().find(text) != std::string::npos || !self->Running(); }, timeout);
  return found && Output().find(text) != std::string::npos;
}

int ChildProcess::WaitForExit(std::chrono::milliseconds timeout) {
  if (!WaitUntil([&] { return !Running(); }, timeout)) return -1;
  return status_;
}

int ChildProcess::Stop() {
  if (pid_ > 0) {
    kill(-pid_, SIGTERM);
    kill(pid_, SIGTERM);
    if (WaitForExit(std::chrono::seconds(10)) == -1 && pid_ > 0) {
      kill(-pid_, SIGKILL);
      kill(pid_, SIGKILL);
      WaitForExit(std::chrono::seconds(10));
    }
  }
  return status_;
}

std::string BuiltProgram(const std::string& name) { return std::string(QRV_BUILD_DIR) + "/" + name; }

}  // namespace testsupport
