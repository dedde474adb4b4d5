// DIR/sim/registration: whether the simulated module is registered, for the
// firmware's simulated packet-data service, which brings a data call up
// only while it is and drops it when it is not.
#pragma once

#include <string>

#include "sim/board/board_root.h"

namespace sim {

class RegistrationFile {
 public:
  explicit RegistrationFile(const BoardRoot& root) : root_(root) {}

  /// Writes the file when the state differs from what it holds (and at the
  /// first call). False when it cannot be written (tried again next time).
  bool Update(bool registered);

 private:
  const BoardRoot& root_;
  int written_ = -1;  // -1 nothing yet, else 0 or 1
};

}  // namespace sim
