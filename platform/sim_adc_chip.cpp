#include "platform/sim_adc_chip.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>

namespace platform {
namespace {

// Register pointer values of the converter.
constexpr uint8_t kConversionReg = 0;
constexpr uint8_t kConfigReg = 1;
constexpr uint8_t kLoThreshReg = 2;
constexpr uint8_t kHiThreshReg = 3;

// The board's input stage in front of the converter, per polarity.
constexpr double kPositiveStage = 2.04 / 10;
constexpr double kNegativeStage = 1.996 / 10;

// Full-scale volts of the gain field (bits 11..9 of the configuration).
double FullScale(uint16_t config) {
  static const double kScale[8] = {6.144, 4.096, 2.048, 1.024, 0.512, 0.256, 0.256, 0.256};
  return kScale[(config >> 9) & 0x7];
}

// Reads at most `size - 1` bytes of a small text file; false when absent.
bool ReadSmallFile(const std::string& path, char* buf, size_t size) {
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  ssize_t n = read(fd, buf, size - 1);
  close(fd);  // NOLINT(cert-err33-c): read only: nothing to lose
  if (n < 0) return false;
  buf[n] = 0;
  return true;
}

int LineValue(const std::string& root, int gpio) {
  char buf[8];
  std::string path = root + "/sys/class/gpio/gpio" + std::to_string(gpio) + "/value";
  return ReadSmallFile(path, buf, sizeof buf) && buf[0] == '1' ? 1 : 0;
}

}  // namespace

uint16_t SimAdcCode(double volts, uint16_t config) {
  if (!std::isfinite(volts) || volts == 0) return 0;
  double fs = FullScale(config);
  if (volts > 0) {
    double n = std::round(volts * kPositiveStage * 32767 / fs);
    return static_cast<uint16_t>(n >= 32767 ? 32767 : n);
  }
  double n = std::round(-volts * kNegativeStage * 32768 / fs);
  if (n <= 0) return 0;
  if (n > 32768) n = 32768;
  return static_cast<uint16_t>(65536 - static_cast<int>(n));
}

double SimAdcInputVolts(const std::string& root, int ch) {
  char buf[64];
  if (!ReadSmallFile(root + "/sim/ai/" + std::to_string(ch), buf, sizeof buf)) return 0;
  char* end = nullptr;
  double v = std::strtod(buf, &end);
  if (end == buf || !std::isfinite(v)) return 0;
  return v;
}

int SimAdcSelectedChannel(const std::string& root) {
  return LineValue(root, 25) | (LineValue(root, 6) << 1);
}

bool SimAdcChip::Present(const std::string& root) const {
  struct stat st {};
  return stat((root + "/sim/ai").c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool SimAdcChip::Write(const std::string&, const uint8_t* data, size_t len) {
  if (len == 0) return true;
  pointer_ = data[0] & 0x03;
  // A register is written whole, most significant byte first; a single data
  // byte is ignored as the chip does.
  if (len >= 3) {
    uint16_t v = static_cast<uint16_t>((data[1] << 8) | data[2]);
    switch (pointer_) {
      case kConfigReg:
        config_ = v;
        break;
      case kLoThreshReg:
        lo_thresh_ = v;
        break;
      case kHiThreshReg:
        hi_thresh_ = v;
        break;
      default:  // the conversion register is read-only
        break;
    }
  }
  return true;
}

uint16_t SimAdcChip::RegisterValue(const std::string& root, uint8_t reg) const {
  switch (reg) {
    case kConversionReg:
      return SimAdcCode(SimAdcInputVolts(root, SimAdcSelectedChannel(root)), config_);
    case kConfigReg:
      return config_;
    case kLoThreshReg:
      return lo_thresh_;
    case kHiThreshReg:
    default:
      return hi_thresh_;
  }
}

bool SimAdcChip::Read(const std::string& root, uint8_t* out, size_t len) {
  // Longer reads repeat the register, as the chip does.
  uint16_t v = RegisterValue(root, pointer_);
  for (size_t i = 0; i < len; ++i) out[i] = static_cast<uint8_t>(i % 2 == 0 ? v >> 8 : v & 0xFF);
  return true;
}

}  // namespace platform
