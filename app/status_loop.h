// The main thread's endless loop: modem and network state to the status LED.
#pragma once

#include <cstdint>

/// The status LED pattern for a state: PIN wanted 4, data call up 2,
/// registered 1, otherwise 0.
int32_t DeriveStatusLedStep(int32_t cpin_status, int32_t net, int32_t creg);

/// Runs one pass: nothing until 2000 ms have passed since `t0`, then the
/// pattern is derived. Returns true when it was derived.
bool StatusLoopPass(uint32_t t0);

/// Never returns.
[[noreturn]] void RunStatusLoop(uint32_t t0);
