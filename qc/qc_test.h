// The factory QC dialogue on the terminal serial port.
#pragma once

/// Runs the factory test dialogue; returns when the station ends it.
int qc_test(int flag);
