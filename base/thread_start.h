// Starting one of the firmware's threads: default attributes, no argument,
// never joined.
#pragma once

using ThreadBody = void* (*)(void*);

/// Starts `body` on a new thread; false when the thread cannot be created.
bool StartThread(ThreadBody body);

/// Names the calling thread for its role (at most 15 characters), so `top -H`,
/// /proc and a debugger tell the threads apart.
void NameThisThread(const char* name);
