// The folder tree of a simulated board: the firmware's file system under
// DIR (/APP, /media/card, /var, /dev, /sys/class/gpio) plus DIR/sim, where
// the simulator keeps the state of the parts it models.
#pragma once

#include <string>

namespace sim {

class BoardRoot {
 public:
  explicit BoardRoot(std::string dir);

  const std::string& dir() const { return dir_; }
  /// DIR + device path, e.g. Path("/sim/ai/0").
  std::string Path(const std::string& device_path) const;
  std::string GpioValuePath(int gpio) const;
  std::string AiPath(int n) const;
  std::string SocketPath() const { return Path("/sim/ctl.sock"); }

  /// Lays the tree out for a power-up. Kept between runs like a board's
  /// flash and card: existing settings, card files and analog levels stay;
  /// the lines are exported afresh with every input inactive, every output
  /// off and the init pin as given. Returns an empty text or what failed.
  std::string Layout(bool init_pin_on) const;

  /// Logical level of a line as the firmware reads it (the first byte of its
  /// value file is '1'); false when it cannot be read.
  bool ReadLine(int gpio) const;
  /// Sets the logical level of a line (for an active-low input that is the
  /// inverse of the electrical level, as the kernel would report it).
  bool WriteLine(int gpio, bool active) const;

 private:
  std::string dir_;
};

}  // namespace sim
