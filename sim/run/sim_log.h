// The simulator's own console lines, "[sim] ..." on standard output, each
// written with one call so they never split a line of the firmware, which
// shares the output.
#pragma once

namespace sim {

void SimLog(const char* format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace sim
