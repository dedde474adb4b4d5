#include "log/log_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cctype>
#include <cstring>
#include <functional>
#include <memory>
#include <mutex>

#include "base/console.h"
#include "config/time_utils.h"
#include "log/log_store.h"
#include "platform/dir_listing.h"
#include "platform/fd_io.h"
#include "platform/paths.h"
#include "platform/sd_card.h"

namespace {

// One append at a time, so records of the modem and packet-data threads
// never mix inside a file.
std::mutex g_append_mu;
// Set while appends fail (guarded by g_append_mu): the console hears of a
// failing card once, and once again when it takes records again, not at
// every record in between.
bool g_failing = false;

void TellFailure(const std::string& file, int error) {
  if (g_failing) return;
  g_failing = true;
  PrintMsg(">Cannot write %s: %s; log records are lost until the card takes them again.\r\n", file.c_str(),
           std::strerror(error));  // NOLINT(concurrency-mt-unsafe): glibc keeps an unknown code's text per thread
}

void TellRecovered() {
  if (!g_failing) return;
  g_failing = false;
  PrintMsg(">The SD card takes log records again.\r\n");
}

bool IsDir(const std::string& real_path) {
  struct stat st {};
  return ::stat(real_path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// "YYYY/MM/DD" and nothing else: anything else would put a file elsewhere.
bool IsDayText(const char* d) {
  if (std::strlen(d) != 10 || d[4] != '/' || d[7] != '/') return false;
  for (int i : {0, 1, 2, 3, 5, 6, 8, 9}) {
    if (!std::isdigit(static_cast<unsigned char>(d[i]))) return false;
  }
  return true;
}

}  // namespace

std::string LogDayFile(const char* subdir, const std::string& year, const std::string& month,
                       const std::string& day_file) {
  return std::string(kLogRootDir) + "/" + subdir + "/" + year + "/" + month + "/" + day_file;
}

bool LogToday(std::string* year, std::string* month, std::string* day_file) {
  char day[40] = {0};
  getTimeStr(day, 'd');
  if (!IsDayText(day)) return false;
  *year = std::string(day, 4);
  *month = std::string(day + 5, 2);
  *day_file = std::string(day + 8, 2) + ".txt";
  return true;
}

std::string LogTodayFile(const char* subdir) {
  std::string year, month, day_file;
  if (!LogToday(&year, &month, &day_file)) return std::string();
  return LogDayFile(subdir, year, month, day_file);
}

bool LogMakeDirs(const std::string& device_dir, int* error) {
  const std::string real = platform::Path(device_dir);
  int failure = 0;
  for (size_t pos = 1; pos <= real.size() && failure == 0; ++pos) {
    if (pos != real.size() && real[pos] != '/') continue;
    const std::string part = real.substr(0, pos);
    if (::mkdir(part.c_str(), 0755) != 0 && errno != EEXIST) failure = errno;
  }
  // A file where a folder should be: "File exists" would not say why.
  if (failure == 0 && !IsDir(real)) failure = ENOTDIR;
  if (error != nullptr) *error = failure;
  return failure == 0;
}

bool LogAppendToday(const char* subdir, const char* text, size_t len) {
  // Without the card the mount point is a bare folder of the board's own
  // flash: logs written there would fill it, so they are dropped instead.
  const std::string file = LogTodayFile(subdir);
  if (file.empty()) return false;
  std::lock_guard<std::mutex> lock(g_append_mu);
  if (!platform::SdCardBackend().IsPresent()) {
    TellFailure(file, ENOMEDIUM);
    return false;
  }
  int error = 0;
  if (!LogMakeDirs(file.substr(0, file.rfind('/')), &error)) {
    TellFailure(file, error);
    return false;
  }
  platform::UniqueFd fd(::open(platform::Path(file).c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644));
  if (!fd.valid()) {
    TellFailure(file, errno);
    return false;
  }
  struct stat before {};
  const bool sized = ::fstat(fd.get(), &before) == 0;
  error = platform::CardWriteAll(fd.get(), text, len);
  // A card that fills up in the middle of a record keeps part of it; that
  // part is cut off again, so the next record starts on a line of its own.
  if (error != 0 && sized && ::ftruncate(fd.get(), before.st_size) != 0) {
    PrintMsg(">%s may end in a cut record: %s\r\n", file.c_str(), std::strerror(errno));  // NOLINT(concurrency-mt-unsafe): glibc keeps an unknown code's text per thread
  }
  if (fd.Close() != 0 && error == 0) error = errno;
  if (error != 0) {
    TellFailure(file, error);
    return false;
  }
  TellRecovered();
  return true;
}

bool LogListNames(const std::string& device_dir, bool dirs_only, std::vector<std::string>* names) {
  std::function<bool(const std::string&)> keep;
  if (dirs_only) keep = IsDir;
  return platform::ListSortedNames(platform::Path(device_dir), names, keep);
}

int FileExist(const char* dir, const char* name) {
  if (!dir || !name) return -1;
  const std::string path = platform::Path(std::string(dir) + "/" + name);
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return -1;
  ::close(fd);  // NOLINT(cert-err33-c): opened only to see that it exists
  return 0;
}
