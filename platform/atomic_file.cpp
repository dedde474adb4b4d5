#include "platform/atomic_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "platform/fd_io.h"

namespace platform {
namespace {

std::string FolderOf(const std::string& path) {
  size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

constexpr char kTemporaryMark[] = ".tmp.";

// "NAME.tmp.PID.TID" as ReplaceFileAtomically names it: the saver's process
// id in `pid`. Anything else is some other file and is never touched.
bool IsTemporaryName(const std::string& name, long* pid) {
  const size_t mark = name.rfind(kTemporaryMark);
  if (mark == std::string::npos || mark == 0) return false;
  const std::string ids = name.substr(mark + sizeof kTemporaryMark - 1);
  const size_t dot = ids.find('.');
  if (dot == std::string::npos || dot == 0 || dot + 1 == ids.size() || dot > 9 || ids.size() - dot - 1 > 9) {
    return false;
  }
  for (size_t i = 0; i < ids.size(); ++i) {
    if (i != dot && (ids[i] < '0' || ids[i] > '9')) return false;
  }
  *pid = std::strtol(ids.substr(0, dot).c_str(), nullptr, 10);
  return true;
}

// A save of another process still under way must keep its file.
bool SaverGone(long pid) {
  if (pid == static_cast<long>(getpid()) || pid <= 0) return true;
  return ::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH;
}

}  // namespace

int RemoveLeftoverTemporaryFiles(const std::string& folder) {
  DIR* dir = ::opendir(folder.c_str());
  if (dir == nullptr) return 0;
  int removed = 0;
  while (const dirent* entry = ::readdir(dir)) {
    const std::string name = entry->d_name;
    long pid = 0;
    if (!IsTemporaryName(name, &pid) || !SaverGone(pid)) continue;
    std::string path = folder;
    path += '/';
    path += name;
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) continue;
    if (::unlink(path.c_str()) == 0) ++removed;
  }
  ::closedir(dir);
  return removed;
}

bool ReplaceFileAtomically(const std::string& path, const std::string& content) {
  // The temporary name carries the thread id so two savers never share it.
  char suffix[48];
  std::snprintf(suffix, sizeof suffix, "%s%d.%lu", kTemporaryMark, static_cast<int>(getpid()),
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
