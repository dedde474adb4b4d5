// Starting the threads of an operating mode, in their fixed order.
#pragma once

#include "base/thread_start.h"

/// Starts one thread; tests pass their own to see the order.
using ThreadStarter = bool (*)(ThreadBody body);

/// Normal mode: the full set of threads. A thread that cannot be created is
/// reported and the rest are started.
void StartNormalModeThreads(ThreadStarter start = StartThread);
/// Utility mode: the command protocol on the serial port, no event engine.
void StartUtilityModeThreads(ThreadStarter start = StartThread);
/// Firmware-update mode: the LED thread alone; false when it could not start.
bool StartUpdateModeThreads(ThreadStarter start = StartThread);
