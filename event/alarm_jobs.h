// Turning a fired event into queued work: one SMS job for all of the
// event's phones, one voice job that plays its prompt, and the output
// request, in the order a firing takes them.
#pragma once

#include <atomic>

/// The pause after an SMS job is queued (tests shorten it).
extern std::atomic<int> send_msg_pause_ms;

/// Queues the SMS job of event `n` (a report text when the event is a
/// report) and leaves a copy of the text in `out` (161 bytes); then pauses.
void send_msg(int n, char* out);
/// Queues the voice job of event `n` when its prompt is on the card and has
/// the accepted format.
void call_voice(int n);

/// The firing of event `n`: its output request, `send_line` (when not null)
/// and its SMS job, then its voice job when it asks for one and the prompt
/// is usable, or the console line that says why not.
void FireEvent(int n, const char* send_line);
