// The SD card of the simulated board. DIR/media/card is the mount point.
// While the card is in, its files are there; `remove` moves them aside and
// leaves the bare mount point (with whatever was written into it while no
// card was mounted), `insert` swaps the two sets back, so nothing on either
// side is ever lost. The firmware learns of the card by DIR/sim/sd-removed.
// A full card is DIR/sim/sd-full: its use reads 100 % and the firmware's
// writes to it fail with ENOSPC until `use` or `insert` ends it.
#pragma once

#include <string>

#include "sim/board/board_root.h"

namespace sim {

class SdCard {
 public:
  explicit SdCard(const BoardRoot& root) : root_(root) {}

  bool present() const;
  /// Each returns an empty text, or why it could not be done. Insert also
  /// ends a full card (a card swapped for one with room).
  std::string Remove() const;
  std::string Insert() const;
  /// Fixes the use the firmware sees (0 to 100 per cent); ends a full card.
  std::string SetUse(int percent) const;
  /// Fills the card: writes fail with "no space", the use reads 100 %.
  std::string Fill() const;
  bool full() const;

  /// The use in per cent the firmware sees: the fixed value, else the host
  /// file system's; -1 when neither can be had.
  int UsePercent() const;
  /// True when the use was fixed by SetUse.
  bool use_fixed() const;

 private:
  std::string CardFolder() const { return root_.Path("/media/card"); }
  std::string CardFilesAside() const { return root_.Path("/sim/sd-card-files"); }
  std::string MountPointFiles() const { return root_.Path("/sim/sd-mount-point-files"); }
  std::string Marker() const { return root_.Path("/sim/sd-removed"); }
  std::string UseFile() const { return root_.Path("/sim/sd-use"); }
  std::string FullMarker() const { return root_.Path("/sim/sd-full"); }
  std::string EndFull() const;

  const BoardRoot& root_;
};

/// Moves every entry of `from` into `to` (created when missing). Stops at
/// the first entry that cannot be moved, leaving the rest in place; an entry
/// whose name is taken in `to` is not overwritten.
std::string MoveFolderEntries(const std::string& from, const std::string& to);

}  // namespace sim
