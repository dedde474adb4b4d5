// Starting one of the firmware's threads: default attributes, no argument,
// never joined.
#pragma once

using ThreadBody = void* (*)(void*);

/// Starts `body` on a new thread; false when the thread cannot be created.
bool StartThread(ThreadBody body);
