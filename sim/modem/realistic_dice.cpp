#include "sim/modem/realistic_dice.h"

#include <time.h>
#include <unistd.h>

#include <algorithm>

namespace sim {

void RealisticDice::Reseed(uint32_t seed) {
  seed_ = seed;
  for (uint32_t s = 0; s < kStreams; ++s) {
    std::seed_seq sequence{seed, s};
    streams_[s].seed(sequence);
  }
}

int64_t RealisticDice::Uniform(Stream s, int64_t lo, int64_t hi) {
  if (hi <= lo) return lo;
  return std::uniform_int_distribution<int64_t>(lo, hi)(streams_[s]);
}

std::vector<RealisticDice::Piece> RealisticDice::Split(const std::string& bytes, int max_cuts, int64_t spread_us) {
  std::vector<size_t> cuts;
  if (bytes.size() > 1) {
    int n = static_cast<int>(Uniform(kSplit, 0, max_cuts));
    for (int i = 0; i < n; ++i) cuts.push_back(static_cast<size_t>(Uniform(kSplit, 1, int64_t(bytes.size()) - 1)));
    std::sort(cuts.begin(), cuts.end());
    cuts.erase(std::unique(cuts.begin(), cuts.end()), cuts.end());
  }
  std::vector<int64_t> offsets;
  for (size_t i = 0; i <= cuts.size(); ++i) offsets.push_back(Uniform(kSplit, 0, spread_us));
  std::sort(offsets.begin(), offsets.end());
  std::vector<Piece> pieces;
  size_t from = 0;
  for (size_t i = 0; i <= cuts.size(); ++i) {
    size_t to = i < cuts.size() ? cuts[i] : bytes.size();
    pieces.push_back({offsets[i], bytes.substr(from, to - from)});
    from = to;
  }
  return pieces;
}

bool ParseSeed(const std::string& text, uint32_t* seed) {
  if (text.empty() || text.size() > 10) return false;
  uint64_t v = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    v = v * 10 + static_cast<uint64_t>(c - '0');
  }
  if (v > UINT32_MAX) return false;
  *seed = static_cast<uint32_t>(v);
  return true;
}

uint32_t FreshSeed() {
  // The clock and the process mixed: no two runs started together share it.
  timespec ts{};
  clock_gettime(CLOCK_REALTIME, &ts);
  std::seed_seq mix{static_cast<uint32_t>(ts.tv_sec), static_cast<uint32_t>(ts.tv_nsec),
                    static_cast<uint32_t>(::getpid())};
  uint32_t out = 0;
  mix.generate(&out, &out + 1);
  return out;
}

}  // namespace sim
