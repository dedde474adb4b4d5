// Shortening the modem thread's rest: a message or call handed to a mailbox
// starts the next pass at once instead of up to a second later.
#pragma once

/// Ends the rest between two passes (a later pass takes the job).
void WakeModemLoop();
/// Waits `ms`, or less when woken; true when it was woken.
bool ModemRest(int ms);
