// The modem supervisor: thread_modem runs one fixed AT dialogue with the
// SIM7100 (a pass) every second. A pass keeps the published SIM,
// registration, signal and GPS state current, recovers a module without a
// usable SIM (radio restart every fifth answer, device reboot at the 1300th
// "SIM failure"), and works at most one job of each mailbox: send one SMS,
// fetch one received SMS, place one voice call.
#pragma once

#include <atomic>
#include <cstdint>

#include "modem/at_channel.h"

/// 0 until the first-pass commands have been sent, then 1.
extern std::atomic<int32_t> is_do_first_time_cmd;
/// "SIM PIN" answers since the last "+CPIN: READY".
extern std::atomic<int32_t> is_input_pin;
/// SIM answers neither ready nor a PIN request since the last radio restart.
extern std::atomic<int32_t> modem_count4reset;
/// "SIM failure" answers over the life of the process.
extern std::atomic<int32_t> counterReboot;

/// One pass on /dev/smd8: 0 after a complete pass, -1 when the channel
/// cannot be opened.
int get_modem_info();
/// Reboots the whole device ("init 6").
void ResetSIM7100();

/// One pass over an open channel. After a reboot request the pass waits for
/// the reboot to end the process; `stop` (tests only) ends that wait, and
/// the pass then returns -1.
int ModemPass(AtChannel& channel, const std::atomic<bool>& stop);
/// Forgets what the passes remember of the module (silent passes, jobs
/// waiting): a fresh start.
void ResetModuleWatch();
/// get_modem_info with a stop flag for the reboot wait.
int ModemPassOnPort(const std::atomic<bool>& stop);
/// The thread's loop: a pass, one second of rest, again, until `stop`.
void RunModemLoop(const std::atomic<bool>& stop);

/// The modem thread (started by main in every mode).
void* thread_modem(void*);
