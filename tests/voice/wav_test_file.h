// WAV files for the prompt tests: RIFF header, a PCM format chunk of
// `fmt_size` bytes, an optional chunk between, and a data chunk that claims
// `claimed` bytes and holds `held`.
#pragma once

#include <cstdint>
#include <string>

namespace voicetest {

inline std::string Le(uint32_t v, int bytes) {
  std::string s;
  for (int i = 0; i < bytes; ++i) s += static_cast<char>((v >> (8 * i)) & 0xFF);
  return s;
}

inline std::string Wav(int channels, int rate, int bits, uint32_t claimed, size_t held,
                       const std::string& between = "", uint32_t fmt_size = 16) {
  std::string fmt = Le(1, 2) + Le(channels, 2) + Le(rate, 4) + Le(rate * channels * bits / 8, 4) +
                    Le(channels * bits / 8, 2) + Le(bits, 2);
  fmt.resize(fmt_size > 16 && fmt_size < 64 ? fmt_size : 16, '\0');  // a huge size: a chunk that overruns
  std::string body = "WAVEfmt " + Le(fmt_size, 4) + fmt + between + "data" + Le(claimed, 4);
  return "RIFF" + Le(static_cast<uint32_t>(body.size() + held), 4) + body + std::string(held, '\x11');
}

}  // namespace voicetest
