// Where the firmware finds the board's files.
//
// On the device every path is used as written (/sys/class/gpio, /APP,
// /media/card, /dev/smd8 ...). On a PC the same absolute paths are placed
// under a root folder given by `--root DIR`, so the simulated board is a
// plain folder tree.
#pragma once

#include <string>

namespace platform {

/// Sets the root folder; empty means the device's own file system.
/// Called once at start-up, before any thread exists.
void SetRoot(const std::string& root);
const std::string& Root();

/// Goes up by one at every SetRoot: a holder of open descriptors under the
/// old root knows to open them again.
unsigned RootGeneration();

/// The real location of a device path, e.g. Path("/APP/config.ini").
std::string Path(const std::string& device_path);

/// True when the simulated backends were chosen (`--sim`).
bool IsSimulated();
void SetSimulated(bool simulated);

}  // namespace platform
