// Any bytes as a prompt file: wavread must refuse or give exactly the data
// the file holds, never allocate beyond the file or read past it.
#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "modem/wav_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static int fd = memfd_create("wav", 0);
  static const std::string path = "/proc/self/fd/" + std::to_string(fd);
  if (fd < 0 || ftruncate(fd, 0) != 0 || pwrite(fd, data, size, 0) != static_cast<ssize_t>(size)) abort();
  wav_header header{};
  uint32_t data_size = 0;
  auto samples = wavread(path.c_str(), &header, &data_size);
  if (samples && data_size > size) abort();
  return 0;
}
