// The texts of alarm and report SMS: the event's own message, the
// machine-readable alarm line "ALARM;ID;date;time;message(CC)", the status
// report "CRPT<n>;..." and the counter report "CRPT;...;0(CC)".
#pragma once

/// Size of a composed text: 160 characters and a zero.
constexpr int kAlarmTextSize = 161;

/// Writes the text of event `n` into `out` (kAlarmTextSize bytes): an
/// alarm text for `is_report` 0, a report text for 1. Returns 0, or -1 for
/// any other `is_report` or an event outside 0..15. A line with a check
/// number always fits whole: the message field is shortened for it.
int set_msg(char* out, int n, int is_report);
