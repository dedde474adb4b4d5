// Any sequence of frames of the factory dialogue (the input split at LF,
// each as the framing hands it over) through its command table, as one
// dialogue from its start to its end. Every command must answer with whole
// CR LF lines or stay silent, never read or write out of bounds; a
// calibration the dialogue ends with must be saved so that gain.ini reads
// back.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "config/config_data.h"
#include "config/config_file.h"
#include "config/side_files.h"
#include "qc/qc_calibration.h"
#include "qc/qc_commands.h"
#include "qc/qc_pauses.h"
#include "queue/sms_queue.h"
#include "fuzz_root.h"

namespace {

bool g_ready = false;
constexpr int kMaxFrames = 16;
constexpr size_t kFrameMax = 1000;  // the framing reads at most 1000 bytes

void SetUpOnce() {
  fuzzroot::MakeRoot("qc-fuzz", {"/APP", "/media/card", "/sim/ai"});
  init_orvel_config();
  set_default();
  // The jig, the converter, the card and the returning SMS are waited for
  // by nothing here.
  qc_io_settle_ms = 0;
  qc_calibration_pause_ms = 0;
  qc_sms_check_pause_ms = 0;
  g_ready = true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (!g_ready) SetUpOnce();
  gain = 1, offset = 0, gain2 = 1, offset2 = 0;
  QcClearCalibration();
  for (const std::string& frame : fuzzroot::Requests(data, size, kMaxFrames, kFrameMax)) {
    evt_in = evt_out = 0;  // no sender thread here: the SMS loop's message is dropped
    std::string reply;
    const QcNext next = QcInterpret(frame.c_str(), &reply);
    if (!reply.empty() && (reply.size() < 2 || reply.compare(reply.size() - 2, 2, "\r\n") != 0)) abort();
    if (next != QcNext::kContinue) break;  // @BREAK ends it; the endless read-out is not run
  }
  if (QcEndCalibration()) {
    if (save_gain_offset() != 1 || read_gain_offset() != 1) abort();
  }
  return 0;
}
