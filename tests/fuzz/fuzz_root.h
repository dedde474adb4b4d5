// A board root for the fuzz targets that touch files: made once under /tmp
// with the folders given (and their parents), removed at exit, and the console sent to
// /dev/null (the handlers trace every line). Returns the /dev/null
// descriptor, for targets that need a port that goes nowhere.
#pragma once

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <initializer_list>
#include <string>

#include "platform/paths.h"

namespace fuzzroot {

inline std::string* g_root = nullptr;

inline int MakeRoot(const char* name, std::initializer_list<const char*> dirs) {
  std::string pattern = std::string("/tmp/qrv806-") + name + "-XXXXXX";
  if (mkdtemp(&pattern[0]) == nullptr) abort();
  g_root = new std::string(pattern);
  atexit([] {
    std::error_code ec;
    std::filesystem::remove_all(*g_root, ec);
  });
  for (const char* dir : dirs) {
    std::error_code ec;
    std::filesystem::create_directories(*g_root + dir, ec);
  }
  platform::SetRoot(*g_root);
  const int null_fd = open("/dev/null", O_WRONLY);
  if (null_fd < 0) abort();
  dup2(null_fd, STDOUT_FILENO);
  return null_fd;
}

}  // namespace fuzzroot
