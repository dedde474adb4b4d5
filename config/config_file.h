// /APP/config.ini: its writer, its strict reader, the start values and the
// factory defaults.
#pragma once

/// Start values of every setting; clears, then raises flg_init_clear.
void init_orvel_config();
/// Factory defaults (does not save); raises flg_init_config.
void set_default();
struct OrvelEvent;
/// An event record's triggers, output and report as the factory has them,
/// disabled; its phones and message stay. The caller holds the settings lock
/// where other threads may read the record.
void ClearEventTriggers(OrvelEvent& ev);
/// 1 when the file was read, 0 on failure (values read so far stay set).
/// Waits, in 50 ms steps, until flg_init_clear is 1. Lines may end in CR LF,
/// LF or CR; a line longer than 511 characters fails the read.
int read_orvel_config();
/// 1 when the whole file was written, 0 when the old file was kept.
int save_orvel_config();
/// An analog limit as the file keeps it (four decimals), so a command can
/// check what will come back at the next start rather than what was typed.
double LimitAsStored(double v);
