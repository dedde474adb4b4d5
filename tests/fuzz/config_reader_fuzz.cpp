// Any bytes as /APP/config.ini: the reader must refuse or accept them
// without reading or writing out of bounds.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "base/log_ring.h"
#include "config/config_file.h"
#include "platform/paths.h"
#include "fuzz_root.h"

namespace {

std::string* g_config_path = nullptr;

void SetUpOnce() {
  fuzzroot::MakeRoot("config-fuzz", {"/APP"});  // the reader echoes every line: kept quiet
  g_config_path = new std::string(platform::Path("/APP/config.ini"));
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
