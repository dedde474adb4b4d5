#include "sim/board/board_root.h"

#include <unistd.h>

#include <cerrno>
#include <utility>

#include "sim/board/board_files.h"
#include "sim/board/pin_map.h"

namespace sim {

BoardRoot::BoardRoot(std::string dir) : dir_(std::move(dir)) {
  while (dir_.size() > 1 && dir_.back() == '/') dir_.pop_back();
}

std::string BoardRoot::Path(const std::string& device_path) const {
  if (!device_path.empty() && device_path[0] == '/') return dir_ + device_path;
  return dir_ + "/" + device_path;
}

std::string BoardRoot::GpioValuePath(int gpio) const {
  return Path("/sys/class/gpio/gpio" + std::to_string(gpio) + "/value");
}

std::string BoardRoot::AiPath(int n) const { return Path("/sim/ai/" + std::to_string(n)); }

std::string BoardRoot::Layout(bool init_pin_on) const {
  for (const char* d : {"/APP", "/media/card", "/var", "/dev", "/sim/ai", "/sys/class/gpio"}) {
    if (!MakeDirs(Path(d))) return "cannot create " + Path(d) + ": " + ErrnoText();
  }
  // The kernel's export files exist on every board; writing to them here
  // exports nothing, as on a board without the line.
  for (const char* f : {"/sys/class/gpio/export", "/sys/class/gpio/unexport"}) {
    if (!CreateFileIfMissing(Path(f), "")) return "cannot create " + Path(f) + ": " + ErrnoText();
  }
  const Pin* pins = Pins();
  for (int i = 0; i < kPinCount; ++i) {
    const Pin& p = pins[i];
    std::string dir = Path("/sys/class/gpio/gpio" + std::to_string(p.gpio));
    if (!MakeDirs(dir)) return "cannot create " + dir + ": " + ErrnoText();
    bool level = p.role == PinRole::kInitPin && init_pin_on;
    if (!ReplaceFile(dir + "/direction", p.output ? "out\n" : "in\n") ||
        !ReplaceFile(dir + "/active_low", p.active_low ? "1\n" : "0\n") ||
        !WriteInPlace(dir + "/value", level ? "1\n" : "0\n")) {
      return "cannot write the files of " + dir + ": " + ErrnoText();
    }
  }
  for (int n = 0; n < kAnalogInputs; ++n) {
    if (!CreateFileIfMissing(AiPath(n), "0\n")) return "cannot create " + AiPath(n) + ": " + ErrnoText();
  }
  // The board powers up without the jig (`jig on` fits it), whatever the
  // last run left.
  if (::unlink(Path("/sim/jig").c_str()) != 0 && errno != ENOENT) {
    return "cannot remove " + Path("/sim/jig") + ": " + ErrnoText();
  }
  // The packet-data model's answer, defined from the first start on.
  if (!CreateFileIfMissing(Path("/sim/qmi"), "up\n")) {
    return "cannot create " + Path("/sim/qmi") + ": " + ErrnoText();
  }
  return "";
}

bool BoardRoot::ReadLine(int gpio) const {
  std::string text;
  return ReadFile(GpioValuePath(gpio), &text, 8) && !text.empty() && text[0] == '1';
}

bool BoardRoot::WriteLine(int gpio, bool active) const {
  return WriteInPlace(GpioValuePath(gpio), active ? "1\n" : "0\n");
}

}  // namespace sim
