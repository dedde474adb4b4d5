#include "qc/qc_calibration.h"

#include <cmath>

#include "base/console.h"
#include "base/sleep.h"
#include "config/config_data.h"
#include "hw/analog_input.h"
#include "qc/qc_pauses.h"

// The calibration globals (gain, offset, gain2, offset2) carry no lock: in
// utility mode the command thread, which runs this dialogue, is their only
// user, as for @GAIN; the event and report threads that read them in
// normal mode do not run.
double AIsave[3] = {0.0, 0.0, 0.0};
double AIV_CAL = 0.0;
double AIV_ORG = 0.0;

namespace {

constexpr int kPasses = 5;

double Reading(int ch) { return ai_hex2double(AI_read(ch)); }

}  // namespace

void QcClearCalibration() {
  for (double& v : AIsave) v = 0.0;
  gain = 0.0;
  offset = 0.0;
  gain2 = 0.0;
  offset2 = 0.0;
  AIV_CAL = 0.0;
  AIV_ORG = 0.0;
}

double QcFold(double s, double v, int pass) {
  s += v;
  return pass > 0 ? s / 2 : s;
}

bool QcLineThrough(double hi_reading, double lo_reading, double hi_volts, double lo_volts, double* gain_out,
                   double* offset_out) {
  const double g = (hi_volts - lo_volts) / (hi_reading - lo_reading);
  const double o = hi_volts - hi_reading * g;
  if (!std::isfinite(g) || !std::isfinite(o)) return false;
  *gain_out = g;
  *offset_out = o;
  return true;
}

double QcAveragedReading(int ch, const char* label) {
  double s = 0.0;
  for (int pass = 0; pass < kPasses; ++pass) {
    s = QcFold(s, Reading(ch), pass);
    // The second reading is shown only, to see how steady the input is.
    PrintMsg("ai_hex2double(AI_read(%d))=%.4lf\n%s=%.4lf\n", ch, Reading(ch), label, s);
  }
  return s;
}

bool QcCalibrate(QcRange range) {
  const bool positive = range == QcRange::kPositive;
  double& g = positive ? gain : gain2;
  double& o = positive ? offset : offset2;
  double new_gain = g;
  double new_offset = o;
  const bool finite = positive ? QcLineThrough(AIsave[0], AIsave[1], 10.0, 0.0, &new_gain, &new_offset)
                               : QcLineThrough(AIsave[1], AIsave[2], 0.0, -10.0, &new_gain, &new_offset);
  if (!finite) {
    // Equal readings at both references (no voltage applied, a dead
    // input): an infinite gain would make every later reading useless.
    PrintMsg(">%s: equal readings at both reference voltages, gain and offset kept\r\n",
             positive ? "@QCAI10" : "@QCAI20");
  }
  g = new_gain;
  SleepMilliseconds(qc_calibration_pause_ms.load());
  o = new_offset;
  SleepMilliseconds(qc_calibration_pause_ms.load());
  PrintMsg("gain=%.4lf\noffset=%.4lf\n", g, o);
  return finite;
}

double QcCalibratedReading(int ch) {
  if (Reading(ch) >= 0.0) {
    AIV_CAL = Reading(ch) * gain + offset;
  } else {
    AIV_CAL = Reading(ch) * gain2 + offset2;
  }
  return AIV_CAL;
}
