#include "qc/qc_test.h"

#include <cstdint>

#include "base/console.h"
#include "config/side_files.h"
#include "modem/serial_port.h"
#include "platform/paths.h"
#include "qc/qc_calibration.h"
#include "qc/qc_dialogue.h"
#include "qc/qc_pauses.h"

std::atomic<int> qc_io_settle_ms{10};
std::atomic<int> qc_calibration_pause_ms{50};
std::atomic<int> qc_sms_check_pause_ms{1000};
std::atomic<int> qc_readout_pause_ms{1000};

int qc_test(int mode) {
  const uint32_t baud = mode == 1 ? 9600 : 115200;
  const int fd = uart_open(platform::Path("/dev/ttyHSL3").c_str(), baud, 8, 'N', 1);
  if (fd < 0) {
    // Nothing cleared yet: the unit goes on with its calibration.
    PrintMsg("open qel_uart1 fails\r\n");
    return -1;
  }
  QcClearCalibration();
  PrintMsg("--> QCTESTFC\r\n");
  PrintMsg(">QC test: the serial port takes factory commands until @BREAK\r\n");
  if (QcRunDialogue(fd) == QcNext::kReadOut) QcReadOutForever();
  uart_close(fd);
  if (QcEndCalibration()) {
    PrintMsg(">QC test ends: saving the calibration to gain.ini\r\n");
    save_gain_offset();
  } else {
    PrintMsg(">QC test ends: no range calibrated, gain.ini kept\r\n");
  }
  return 0;
}
