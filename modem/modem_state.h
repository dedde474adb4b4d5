// Modem and network state published by the modem and packet-data threads.
// Every value is written by one thread and read by others: words are
// atomics, texts are read as copies under their own lock. The words the
// status LED shows wake the status loop and the LED thread when they change.
#pragma once

#include <atomic>
#include <cstdint>

#include "base/change_signal.h"
#include "modem/guarded_text.h"

/// 0 = SIM ready, 1 = the SIM waits for its PIN, 2 = anything else.
extern SignalledWord modem_cpin_status;
/// Registration state from +CREG (1 home, 5 roaming).
extern SignalledWord modem_creg;
/// Signal quality from +CSQ.
extern std::atomic<int32_t> modem_csq;
/// Result of the last packet-data dial-up, 0 = connected; -1 at start.
extern SignalledWord net_status;
/// GPS LED selector: 0 no fix, 1 fix, 5 and 6 the update patterns.
extern SignalledWord gps_flag;
/// Final status of the SMS send mailbox (0 to 4).
extern std::atomic<int32_t> send_sms_status;

/// The module's whole answer to "AT+GMM\r\n" (echo included), first pass.
extern GuardedText<100> str_gmm;
/// The last GPS fix as an RMC sentence.
extern GuardedText<200> str_gprmc;

/// Packet-data credentials; empty unless "-resetconfig" filled them in.
extern char modem_APN[64];
extern char modem_usr[32];
extern char modem_pwd[32];
/// The module's IMEI as text (written by the modem thread's first pass).
extern char modem_imei[16];

/// Copies modem_creg and modem_csq, for the user-log records that carry them
/// (handed to the log ring at start-up).
void ReadModemLogInfo(int32_t* creg, int32_t* csq);
