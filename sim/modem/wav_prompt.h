// The module's audio player as far as the simulator needs it: where a
// prompt named by a board path is on the host, and how long it plays.
#pragma once

#include <cstdint>
#include <string>

namespace sim {

/// A prompt longer than this plays for this long: a broken or hostile
/// header must not keep a call open for hours.
constexpr int64_t kMaxPromptMs = 10 * 60 * 1000;

struct WavInfo {
  int format = 0;  // 1 = PCM, 0xFFFE = extensible
  int channels = 0;
  int64_t sample_rate = 0;
  int64_t byte_rate = 0;
  int bits = 0;
  int64_t data_bytes = 0;   // what the file really holds of the data chunk
  int64_t duration_ms = 0;  // data_bytes / byte_rate, at most kMaxPromptMs
};

/// The host file behind `board_path` (e.g. "/var/qrv_806_voice/EVNT0.wav")
/// on a board whose file system is the folder `root` (empty: the host's own).
/// Links are followed as the board sees them: an absolute target outside
/// `root` is a board path too. False, with the reason, for a path that is
/// not absolute, climbs with "..", holds control characters or loops.
bool ResolveBoardPath(const std::string& root, const std::string& board_path, std::string* host_path,
                      std::string* why);

/// Reads the RIFF chunks of a WAV file up to its data chunk. The module
/// plays what the firmware accepts: PCM, 1 channel, 8000 Hz, 16 bits. False,
/// with the reason, for anything it cannot play.
bool ReadWavInfo(const std::string& host_path, WavInfo* out, std::string* why);

}  // namespace sim
