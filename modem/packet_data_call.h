// Supervision of the packet-data call: thread_net dials until the call is
// up, keeps it while its status stays connected, and stops and dials again
// once it has dropped. net_status (modem/modem_state.h) tells the status LED.
#pragma once

#include <atomic>
#include <cstdint>

/// 1 = the next pass dials; 0 = the call is up and the next pass checks it.
extern std::atomic<int32_t> is_net;

/// Pauses of the supervision, shortened by tests: the settling time after a
/// start, the gap between the status checks that follow it, and the rest
/// between passes.
extern std::atomic<int> net_dial_settle_ms;
extern std::atomic<int> net_status_poll_ms;
extern std::atomic<int> net_pass_pause_ms;

/// One dial-up pass: 0 when the call is (or comes) up, -1 when it does not.
int dialup_actions2();
/// Stops the call; prints the stop's result and returns 1.
int hangup_actions();
/// One supervision pass, without the rest that follows it; false (and
/// nothing done) when this firmware has no packet data.
bool NetSupervisionPass();
void* thread_net(void*);
