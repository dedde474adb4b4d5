// The end of the firmware on SIGTERM (the init script, systemd, a reboot)
// or SIGINT: the QMI clients go back to the modem first, then the process
// ends by the signal, as it would without this.
#pragma once

/// Blocks SIGTERM and SIGINT in the calling thread, so that every thread
/// started afterwards (libqmi's among them) leaves them to one watcher
/// thread, and starts that thread. Call before any other thread exists.
/// False when the watcher cannot start (the signals then act as before).
bool WatchStopSignals();
