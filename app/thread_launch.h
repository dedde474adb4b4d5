// Starting the threads of an operating mode, in their fixed order.
#pragma once

/// Normal mode: the full set of threads.
void StartNormalModeThreads();
/// Utility mode: the command protocol on the serial port, no event engine.
void StartUtilityModeThreads();
/// Firmware-update mode: the LED thread alone; false when it could not start.
bool StartUpdateModeThreads();
