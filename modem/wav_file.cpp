#include "modem/wav_file.h"

#include <sys/stat.h>

#include <cstdio>
#include <cstring>
#include <new>

namespace {

constexpr long kFormatTagAt = 8;     // "WAVEfmt"
constexpr long kFormatSizeAt = 16;   // the format chunk's size S
constexpr long kFormatBodyAt = 20;   // its body; "data" follows at 20 + S
constexpr size_t kHeaderBytes = 16;  // what the format record takes of the body

uint32_t Le32(const uint8_t* b) {
  return static_cast<uint32_t>(b[0]) | static_cast<uint32_t>(b[1]) << 8 | static_cast<uint32_t>(b[2]) << 16 |
         static_cast<uint32_t>(b[3]) << 24;
}
int16_t Le16(const uint8_t* b) { return static_cast<int16_t>(static_cast<uint16_t>(b[0] | b[1] << 8)); }

// Reads exactly `len` bytes at `at`; false when the file ends first.
bool ReadAt(FILE* f, long long at, void* out, size_t len) {
  return fseeko(f, static_cast<off_t>(at), SEEK_SET) == 0 && std::fread(out, 1, len, f) == len;
}

struct FileCloser {
  void operator()(FILE* f) const { std::fclose(f); }  // NOLINT(cert-err33-c): wave files are only read: nothing to lose
};

}  // namespace

std::unique_ptr<uint8_t[]> wavread(const char* path, wav_header* header, uint32_t* data_size) {
  std::unique_ptr<FILE, FileCloser> file(std::fopen(path, "rb"));
  if (!file) {
    std::fprintf(stderr, "Can not open the wave file: %s.\n", path);
    return nullptr;
  }
  FILE* f = file.get();
  struct stat st {};
  const long long file_size = fstat(fileno(f), &st) == 0 ? static_cast<long long>(st.st_size) : 0;

  char tag[7];
  if (!ReadAt(f, kFormatTagAt, tag, sizeof tag) || std::memcmp(tag, "WAVEfmt", sizeof tag) != 0) {
    std::fprintf(stderr, "The file is not in WAVE format!\n");
    return nullptr;
  }
  uint8_t b[kHeaderBytes];
  if (!ReadAt(f, kFormatSizeAt, b, 4)) {
    std::fprintf(stderr, "The file is not in WAVE format!\n");
    return nullptr;
  }
  const long long format_size = Le32(b);
  if (header != nullptr && ReadAt(f, kFormatBodyAt, b, kHeaderBytes)) {
    header->audio_format = Le16(b);
    header->num_channels = Le16(b + 2);
    header->sample_rate = static_cast<int32_t>(Le32(b + 4));
    header->byte_rate = static_cast<int32_t>(Le32(b + 8));
    header->block_align = Le16(b + 12);
    header->bits_per_sample = Le16(b + 14);
  }

  // Offsets are 64-bit: a format size near 4 GiB cannot wrap around.
  const long long data_tag_at = kFormatBodyAt + format_size;
  if (data_tag_at + 8 > file_size || !ReadAt(f, data_tag_at, b, 8) || std::memcmp(b, "data", 4) != 0) {
    std::fprintf(stderr, "Locating data start point failed!\n");
    return nullptr;
  }
  const uint32_t size = Le32(b + 4);
  if (data_tag_at + 8 + size > file_size) {
    std::fprintf(stderr, "The wave data is cut short!\n");
    return nullptr;
  }
  std::unique_ptr<uint8_t[]> data(new (std::nothrow) uint8_t[size == 0 ? 1 : size]);
  if (!data) {
    std::fprintf(stderr, "Memory alloc failed!\n");
    return nullptr;
  }
  if (size > 0 && !ReadAt(f, data_tag_at + 8, data.get(), size)) {
    std::fprintf(stderr, "The wave data is cut short!\n");
    return nullptr;
  }
  if (data_size) *data_size = size;
  return data;
}
