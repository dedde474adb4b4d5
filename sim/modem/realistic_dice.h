// The seeded chance behind the realistic module. Each kind of chance draws
// from a stream of its own, all derived from one seed, so a run repeats
// with the same seed and, say, the fifth message sent is late again even
// when the firmware's answers were cut into a different number of pieces.
#pragma once

#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace sim {

class RealisticDice {
 public:
  enum Stream { kSplit, kConfirm, kSim, kEvents, kStreams };

  struct Piece {
    int64_t offset_us;  // from the moment the whole answer was due
    std::string bytes;
  };

  explicit RealisticDice(uint32_t seed = 0) { Reseed(seed); }
  void Reseed(uint32_t seed);
  uint32_t seed() const { return seed_; }

  /// A whole number from `lo` to `hi`.
  int64_t Uniform(Stream s, int64_t lo, int64_t hi);
  /// True once in `n` times on average.
  bool OneIn(Stream s, int n) { return Uniform(s, 1, n) == 1; }
  /// `bytes` cut at up to `max_cuts` random points, the pieces at rising
  /// offsets from 0 to `spread_us`; the pieces joined give `bytes` back.
  std::vector<Piece> Split(const std::string& bytes, int max_cuts, int64_t spread_us);

 private:
  uint32_t seed_ = 0;
  std::mt19937 streams_[kStreams];
};

/// A seed as typed: decimal, 0 to 4294967295.
bool ParseSeed(const std::string& text, uint32_t* seed);
/// A seed for a run that names none (printed, so that it can be repeated).
uint32_t FreshSeed();

}  // namespace sim
