// Remote control by SMS in normal mode: messages from the control phones
// read and set the clock, switch the outputs, read and preset the pulse
// counters, read the inputs, and forward text to the terminal port. Each
// answer goes back to the sender through the SMS queue.
#pragma once

#include <atomic>

#include "modem/sms_transport.h"

/// Pause after each reply, so the sender has taken it before the next
/// message is looked at (tests shorten it).
extern std::atomic<int> sms_reply_pause_ms;
/// Poll period of the received-message mailbox, and the pause after a
/// message from a stranger.
extern std::atomic<int> sms_poll_ms;

/// Handles one received message completely: authorisation, journal line,
/// the command it holds and its reply (with the pause after it). Returns
/// -1 when the sender is not a control phone (nothing journalled or sent),
/// else the number of replies handed to the SMS queue (0 or 1).
int HandleSmsCommand(const sms_msg& in);

/// Thread body, started in normal mode: waits for the settings, then
/// handles every received message for ever.
void* thread_recv_SMS(void*);
