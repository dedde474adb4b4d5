// The factory QC dialogue on the terminal serial port.
#pragma once

/// Runs the factory test dialogue on /dev/ttyHSL3 (mode 1: 9600 baud,
/// otherwise 115200; 8N1). Returns 0 when the station ends it with @BREAK
/// (the port closed; gain.ini saved when the dialogue calibrated a range,
/// the other range keeping its stored values), or -1 at once when the port
/// cannot be opened (the calibration untouched). Never returns after
/// @AIREADPR.
int qc_test(int mode);
