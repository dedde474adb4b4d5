// The small files beside config.ini: calibration, counters, SMS journal.
// The saves replace their file whole (temporary file and rename), so a
// failed or interrupted save keeps the old file.
#pragma once

/// 1 when /APP/gain.ini was read (out-of-range values replaced), 0 when it
/// is missing or holds an unexpected line (all four values back to 1/0/1/0).
int read_gain_offset();
/// 1 when written, 0 when the old file was kept.
int save_gain_offset();
/// Whether read_gain_offset keeps a gain (0 < gain <= 5) or an offset
/// (-5 <= offset <= 5) as written; NaN is neither.
bool GainInRange(double v);
bool OffsetInRange(double v);
/// 1 when /APP/CTStatus.ini was read into counter_status and
/// counter_status_old, 0 when it is missing or unreadable.
int read_counter_status();
/// 1 when written, 0 when the old file was kept. Safe from any thread.
int save_counter_status();
/// direction 0 = sent, 1 = received; 0 on success, -1 when the journal
/// cannot be opened. Safe from any thread: lines never mix.
int save_sms_log(const char* text, const char* phone, int sms_mode, int direction);
int clear_sms_log();
