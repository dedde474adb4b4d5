#include "qc/qc_loopback.h"

#include <cstdint>

#include "base/console.h"
#include "base/sleep.h"
#include "hw/gpio.h"
#include "qc/qc_pauses.h"

namespace {

constexpr int kOnMark = 3;  // read 1 with the outputs on; the off half decides

// The line's value now: the output's read-back or the input.
int Read(int line) {
  if (line == kQcDo0) return DOV(0);
  if (line == kQcDo1) return DOV(1);
  return DIV(static_cast<uint8_t>(line - kQcDi0));
}

}  // namespace

void QcLoopbackTest(int pass[kQcLines]) {
  ONDO(0);
  ONDO(1);
  SleepMilliseconds(qc_io_settle_ms.load());
  for (int line = 0; line < kQcLines; ++line) pass[line] = Read(line) == 1 ? kOnMark : 0;
  PrintMsg("DIO(0)=%d,%d,%d,%d,%d,%d,%d\r\n", pass[kQcDo0], pass[kQcDo1], pass[kQcDi0], pass[kQcDi1],
           pass[kQcDi2], pass[kQcDi3], pass[kQcDi4]);
  OFFDO(0);
  OFFDO(1);
  SleepMilliseconds(qc_io_settle_ms.load());
  for (int line = 0; line < kQcLines; ++line) pass[line] = Read(line) == 0 && pass[line] == kOnMark ? 1 : 0;
}
