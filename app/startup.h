// Start-up: hardware, clock, SD card and updates, configuration, the choice
// of operating mode and the launch of its threads.
#pragma once

/// The firmware's whole life; returns only when the command line is
/// malformed (status 2).
int RunFirmware(int argc, char** argv);
