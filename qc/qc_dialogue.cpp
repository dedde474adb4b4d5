#include "qc/qc_dialogue.h"

#include <atomic>
#include <string>

#include "base/console.h"
#include "base/sleep.h"
#include "cmd/utility_thread.h"
#include "hw/analog_input.h"
#include "modem/serial_port.h"
#include "qc/qc_pauses.h"

namespace {

// One dialogue at a time, on the command thread; the framing reaches the
// port and hands back the outcome through these.
std::atomic<int> g_port{-1};
QcNext g_next = QcNext::kContinue;

int Port() { return g_port.load(); }

int Answer(const char* command) {
  std::string reply;
  g_next = QcInterpret(command, &reply);
  if (!reply.empty()) uart_write(g_port.load(), reply.data(), static_cast<int>(reply.size()));
  return 1;
}

}  // namespace

QcNext QcServeFrame(int fd, int idle_timeout_ms) {
  static const LineFraming kQcFraming{Port, nullptr, nullptr, "--> uart1 time-up\r\n"};
  g_port = fd;
  g_next = QcNext::kContinue;
  ServeLineOnce(kQcFraming, idle_timeout_ms, Answer);
  return g_next;
}

QcNext QcRunDialogue(int fd) {
  for (;;) {
    const QcNext next = QcServeFrame(fd, -1);
    if (next != QcNext::kContinue) return next;
  }
}

void QcReadOutForever() {
  PrintMsg(">@AIREADPR: analog read-out every %d ms until the unit restarts\r\n", qc_readout_pause_ms.load());
  for (;;) {
    AI_read_all();
    double v[4];
    for (int ch = 0; ch < 4; ++ch) v[ch] = ai_hex2double(AI_read(ch));
    PrintMsg("--> AI0=%.4lf AI1=%.4lf AI2=%.4lf AI3=%.4lf\r\n", v[0], v[1], v[2], v[3]);
    SleepMilliseconds(qc_readout_pause_ms.load());
  }
}
