// Any bytes as /APP/config.ini: the reader must refuse or accept them
// without reading or writing out of bounds.
#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>

#include "base/log_ring.h"
#include "config/config_file.h"
#include "platform/paths.h"

namespace {

std::string* g_config_path = nullptr;
std::string* g_root = nullptr;

void RemoveRoot() {
  std::error_code ec;
  std::filesystem::remove_all(*g_root, ec);
}

void SetUpOnce() {
  char root[] = "/tmp/qrv806-config-fuzz-XXXXXX";
  if (mkdtemp(root) == nullptr) abort();
  g_root = new std::string(root);
  atexit(RemoveRoot);
  mkdir((std::string(root) + "/APP").c_str(), 0755);
  platform::SetRoot(root);
  g_config_path = new std::string(platform::Path("/APP/config.ini"));
  // The reader echoes every line: keep the console quiet.
  int null_fd = open("/dev/null", O_WRONLY);
  if (null_fd >= 0) dup2(null_fd, STDOUT_FILENO);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (g_config_path == nullptr) SetUpOnce();
  FILE* f = std::fopen(g_config_path->c_str(), "wb");
  if (f == nullptr) return 0;
  std::fwrite(data, 1, size, f);
  std::fclose(f);
  init_orvel_config();
  read_orvel_config();
  LogRingClear();  // no writer thread drains the failure records here
  return 0;
}
