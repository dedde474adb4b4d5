#include "platform/atomic_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "platform/fd_io.h"

namespace platform {
namespace {

std::string FolderOf(const std::string& path) {
  size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

}  // namespace

bool ReplaceFileAtomically(const std::string& path, const std::string& content) {
  // The temporary name carries the thread id so two savers never share it.
  char suffix[48];
  std::snprintf(suffix, sizeof suffix, ".tmp.%d.%lu", static_cast<int>(getpid()),
                static_cast<unsigned long>(gettid()));
  const std::string tmp = path + suffix;
  int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  bool ok = WriteAll(fd, content.data(), content.size()) == 0 && ::fsync(fd) == 0;
  if (::close(fd) != 0) ok = false;
  if (ok && ::rename(tmp.c_str(), path.c_str()) != 0) ok = false;
  if (!ok) {
    ::unlink(tmp.c_str());
    return false;
  }
  int dir = ::open(FolderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir >= 0) {
    ::fsync(dir);  // NOLINT(cert-err33-c): the file is whole and in place; this only hastens the rename onto the card
    ::close(dir);  // NOLINT(cert-err33-c): read only: nothing to lose
  }
  return true;
}

}  // namespace platform
