// Sleeping a number of milliseconds, for the threads that pace themselves.
#pragma once

/// Sleeps `ms` milliseconds, going on after signals; nothing for ms <= 0.
void SleepMilliseconds(int ms);
