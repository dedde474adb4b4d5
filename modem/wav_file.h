// Reading the WAV prompts: the format record and the sample data.
#pragma once

#include <cstdint>
#include <memory>

/// The first 16 bytes of a WAV format chunk.
struct wav_header {
  int16_t audio_format;
  int16_t num_channels;
  int32_t sample_rate;
  int32_t byte_rate;
  int16_t block_align;
  int16_t bits_per_sample;
};

/// Reads `path`: the format chunk must follow "WAVE" at once and the data
/// chunk must follow the format chunk. Fills `header` as soon as the format
/// chunk is read (so a file refused later still shows its format) and
/// returns the sample data, `*data_size` bytes; null on any failure, with
/// the reason on standard error. Sizes are checked against the file: a
/// damaged header never causes a huge allocation or a read past the end.
std::unique_ptr<uint8_t[]> wavread(const char* path, wav_header* header, uint32_t* data_size = nullptr);
