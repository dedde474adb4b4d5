// The wait before the SMS and voice senders try a failed number again. The
// tries of one number are spread out so that a module that is away for a
// while (a radio restart, a reset) does not use them all up at once.
#pragma once

/// Tries one number gets before it is given up.
constexpr int kTriesPerNumber = 3;
/// The wait before the second try (after the first failure) and before
/// the third (after the second), in milliseconds.
constexpr int kRetryWaitMs[kTriesPerNumber - 1] = {10000, 30000};

/// Waits `ms` milliseconds before a number is tried again (sleeps, unless
/// a test has put its own wait in).
void RetryWait(int ms);

/// Lets a test note the waits instead of sleeping them. Returns the
/// previous hook; a null hook restores the real wait.
using RetryWaitHook = void (*)(int ms);
RetryWaitHook SetRetryWaitHook(RetryWaitHook hook);
