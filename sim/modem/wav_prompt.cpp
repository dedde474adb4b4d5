#include "sim/modem/wav_prompt.h"

#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace sim {

namespace {

constexpr int kMaxLinkHops = 8;
constexpr size_t kMaxBoardPath = 255;
// Chunks looked at before the data chunk; real files have a handful.
constexpr int kMaxChunks = 64;
constexpr int kFormatPcm = 1;
constexpr int kFormatExtensible = 0xFFFE;

uint32_t Le32(const unsigned char* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
int Le16(const unsigned char* p) { return p[0] | p[1] << 8; }

bool ReadAt(int fd, int64_t offset, unsigned char* buf, size_t n) {
  size_t got = 0;
  while (got < n) {
    ssize_t r = ::pread(fd, buf + got, n - got, static_cast<off_t>(offset + static_cast<int64_t>(got)));
    if (r < 0 && errno == EINTR) continue;
    if (r <= 0) return false;
    got += static_cast<size_t>(r);
  }
  return true;
}

bool Fail(std::string* why, const std::string& text) {
  if (why) *why = text;
  return false;
}

bool UnderRoot(const std::string& root, const std::string& path) {
  return path == root || (path.size() > root.size() && path.compare(0, root.size(), root) == 0 &&
                          path[root.size()] == '/');
}

class Fd {
 public:
  explicit Fd(int fd) : fd_(fd) {}
  ~Fd() {
    if (fd_ >= 0) ::close(fd_);
  }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  int get() const { return fd_; }

 private:
  int fd_;
};

}  // namespace

bool ResolveBoardPath(const std::string& root, const std::string& board_path, std::string* host_path,
                      std::string* why) {
  if (board_path.empty() || board_path[0] != '/') return Fail(why, "'" + board_path + "' is no absolute path");
  if (board_path.size() > kMaxBoardPath) return Fail(why, "the path is longer than 255 characters");
  for (char c : board_path) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) return Fail(why, "the path holds control characters");
  }
  for (size_t at = 0; at != std::string::npos;) {
    size_t next = board_path.find('/', at + 1);
    if (board_path.compare(at, next == std::string::npos ? std::string::npos : next - at, "/..") == 0) {
      return Fail(why, "the path climbs with '..'");
    }
    at = next;
  }
  std::string host = root + board_path;
  for (int hop = 0; hop <= kMaxLinkHops; ++hop) {
    struct stat st {};
    if (::lstat(host.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) {
      *host_path = host;  // a missing file is reported when it is opened
      return true;
    }
    char target[PATH_MAX];
    ssize_t n = ::readlink(host.c_str(), target, sizeof target - 1);
    if (n <= 0) return Fail(why, "cannot read the link " + host + ": " + std::strerror(errno));
    std::string t(target, static_cast<size_t>(n));
    if (t[0] == '/') {
      host = root.empty() || UnderRoot(root, t) ? t : root + t;
    } else {
      host = host.substr(0, host.rfind('/') + 1) + t;
    }
  }
  return Fail(why, "too many links from " + board_path);
}

bool ReadWavInfo(const std::string& host_path, WavInfo* out, std::string* why) {
  // Non-blocking, so a FIFO put there cannot stall the simulator's loop.
  Fd fd(::open(host_path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
  if (fd.get() < 0) return Fail(why, host_path + ": " + std::strerror(errno));
  struct stat st {};
  if (::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) return Fail(why, host_path + " is no regular file");
  const int64_t size = st.st_size;

  unsigned char head[12];
  if (size < 12 || !ReadAt(fd.get(), 0, head, sizeof head) || std::memcmp(head, "RIFF", 4) != 0 ||
      std::memcmp(head + 8, "WAVE", 4) != 0) {
    return Fail(why, "not a RIFF WAVE file");
  }
  WavInfo w;
  bool have_format = false;
  int64_t at = 12;
  for (int n = 0; n < kMaxChunks && at + 8 <= size; ++n) {
    unsigned char chunk[8];
    if (!ReadAt(fd.get(), at, chunk, sizeof chunk)) return Fail(why, "cannot read the chunk at " + std::to_string(at));
    const int64_t length = Le32(chunk + 4);
    const int64_t body = at + 8;
    const int64_t left = size - body;
    if (std::memcmp(chunk, "fmt ", 4) == 0) {
      if (length < 16 || length > left) return Fail(why, "the format chunk is cut short");
      unsigned char f[16];
      if (!ReadAt(fd.get(), body, f, sizeof f)) return Fail(why, "cannot read the format chunk");
      w.format = Le16(f);
      w.channels = Le16(f + 2);
      w.sample_rate = Le32(f + 4);
      w.byte_rate = Le32(f + 8);
      w.bits = Le16(f + 14);
      have_format = true;
    } else if (std::memcmp(chunk, "data", 4) == 0) {
      if (!have_format) return Fail(why, "the data chunk comes before the format chunk");
      // A header that claims more than the file holds (a streamed or cut
      // file) plays what is there.
      w.data_bytes = length < left ? length : left;
      if (w.format != kFormatPcm && w.format != kFormatExtensible) {
        return Fail(why, "audio format " + std::to_string(w.format) + " is not PCM");
      }
      if (w.channels != 1 || w.sample_rate != 8000 || w.bits != 16) {
        return Fail(why, std::to_string(w.channels) + " channel(s), " + std::to_string(w.sample_rate) + " Hz, " +
                             std::to_string(w.bits) + " bits: the module plays 1 channel, 8000 Hz, 16 bits");
      }
      if (w.byte_rate != 16000) {
        return Fail(why, "byte rate " + std::to_string(w.byte_rate) + " does not match 8000 Hz, 16 bits, 1 channel");
      }
      w.duration_ms = w.data_bytes * 1000 / w.byte_rate;
      if (w.duration_ms > kMaxPromptMs) w.duration_ms = kMaxPromptMs;
      *out = w;
      return true;
    }
    at = body + length + (length & 1);  // chunks are padded to an even size
  }
  return Fail(why, have_format ? "no data chunk" : "no format chunk");
}

}  // namespace sim
