#include "app/sd_update_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

#include "platform/dir_listing.h"
#include "platform/fd_io.h"
#include "platform/sd_card.h"

namespace sd_update_files {
namespace {

// Copies SRC into a new file beside DST and renames it over DST.
int CopyInto(const std::string& src, const std::string& dst, bool keep_mode) {
  platform::UniqueFd in(::open(src.c_str(), O_RDONLY | O_CLOEXEC));
  if (in.get() < 0) return errno;
  struct stat st {};
  if (::fstat(in.get(), &st) != 0) return errno;
  if (!S_ISREG(st.st_mode)) return S_ISDIR(st.st_mode) ? EISDIR : EINVAL;

  const std::string tmp = dst + ".part";
  const mode_t mode = st.st_mode & 07777;
  platform::UniqueFd out(::open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, mode & 0777));
  if (out.get() < 0) return errno;
  const bool to_card = platform::IsOnCard(dst);
  int err = 0;
  char buf[64 * 1024];
  for (;;) {
    ssize_t n = ::read(in.get(), buf, sizeof buf);
    if (n < 0) {
      if (errno == EINTR) continue;
      err = errno;
      break;
    }
    if (n == 0) break;
    err = to_card ? platform::CardWriteAll(out.get(), buf, static_cast<size_t>(n))
                  : platform::WriteAll(out.get(), buf, static_cast<size_t>(n));
    if (err != 0) break;
  }
  if (err == 0 && keep_mode && ::fchmod(out.get(), mode) != 0) err = errno;
  if (err == 0 && ::fsync(out.get()) != 0) err = errno;
  if (out.Close() != 0 && err == 0) err = errno;
  if (err == 0 && ::rename(tmp.c_str(), dst.c_str()) != 0) err = errno;
  if (err != 0) ::unlink(tmp.c_str());
  return err;
}

// Reads until `len` bytes or the end of the file; -1 on an error.
ssize_t ReadFull(int fd, char* buf, size_t len) {
  size_t got = 0;
  while (got < len) {
    ssize_t n = ::read(fd, buf + got, len - got);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return -1;
    if (n == 0) break;
    got += static_cast<size_t>(n);
  }
  return static_cast<ssize_t>(got);
}

}  // namespace

bool ListRegularFiles(const std::string& dir, std::vector<std::string>* names) {
  // A folder or a device that happens to carry the name is no update file.
  bool listed = platform::ListSortedNames(dir, names, [](const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
  });
  return listed || errno == ENOENT || errno == ENOTDIR;
}

int CopyFile(const std::string& src, const std::string& dst) { return CopyInto(src, dst, false); }

int MoveFile(const std::string& src, const std::string& dst) {
  if (::rename(src.c_str(), dst.c_str()) == 0) return 0;
  // Across file systems, and out of a folder that refuses changes (a
  // write-protected card), the file is copied; its removal may then fail.
  if (errno != EXDEV && errno != EROFS && errno != EPERM && errno != EACCES) return errno;
  int err = CopyInto(src, dst, true);
  if (err != 0) return err;
  return ::unlink(src.c_str()) == 0 ? 0 : errno;
}

bool SameContent(const std::string& a, const std::string& b) {
  platform::UniqueFd fa(::open(a.c_str(), O_RDONLY | O_CLOEXEC));
  platform::UniqueFd fb(::open(b.c_str(), O_RDONLY | O_CLOEXEC));
  struct stat sa {}, sb {};
  if (!fa.valid() || !fb.valid() || ::fstat(fa.get(), &sa) != 0 || ::fstat(fb.get(), &sb) != 0) return false;
  if (!S_ISREG(sa.st_mode) || !S_ISREG(sb.st_mode) || sa.st_size != sb.st_size) return false;
  char bufa[8 * 1024], bufb[8 * 1024];
  for (;;) {
    ssize_t n = ReadFull(fa.get(), bufa, sizeof bufa);
    if (n < 0 || ReadFull(fb.get(), bufb, sizeof bufb) != n) return false;
    if (n == 0) return true;
    if (std::memcmp(bufa, bufb, static_cast<size_t>(n)) != 0) return false;
  }
}

}  // namespace sd_update_files
