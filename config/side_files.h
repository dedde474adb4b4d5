// The small files beside config.ini: calibration, counters, SMS journal.
#pragma once

int read_gain_offset();
int save_gain_offset();
int read_counter_status();
int save_counter_status();
/// direction 0 = sent, 1 = received; 0 on success, -1 when the journal
/// cannot be opened.
int save_sms_log(const char* text, const char* phone, int sms_mode, int direction);
int clear_sms_log();
