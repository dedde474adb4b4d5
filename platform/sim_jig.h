// The factory loop-back jig of the simulated board: wires from the two
// outputs to the five digital inputs, every input active while DO0 or DO1
// is on. It is fitted while ROOT/sim/jig exists (`ctl jig on`).
//
// A wire carries a level at once, and the factory test reads the inputs
// 10 ms after it switches the outputs. A simulator that follows the outputs
// from another process cannot promise that on a busy host, so the
// firmware's own write of an output on the simulated board sets the inputs
// before the write returns; the simulator sets them when the jig is fitted
// or removed and when it sees an output change. Each holds a lock on
// ROOT/sim/jig while it reads the outputs and writes the inputs, so no one
// leaves a level that an output has already changed.
#pragma once

#include <string>

namespace platform {

constexpr int kSimJigInputs = 5;

/// After the value file of line `gpio` under `root` was written: when the
/// line is DO0 or DO1 and the jig is fitted, the inputs follow. Does
/// nothing for any other line or without the jig.
void SimJigOutputWritten(const std::string& root, int gpio);

/// When the jig is fitted, sets the inputs from the outputs.
void SimJigFollow(const std::string& root);

/// Fits the jig and sets the inputs from the outputs. False (errno set)
/// when the marker cannot be made.
bool SimJigFit(const std::string& root);

/// Removes the jig and sets input n to `levels[n]` (true = active). False
/// (errno set) when the marker cannot be removed.
bool SimJigRemove(const std::string& root, const bool levels[kSimJigInputs]);

}  // namespace platform
