#include "qc/qc_calibration.h"

#include <cmath>

#include "base/console.h"
#include "base/sleep.h"
#include "config/config_data.h"
#include "config/side_files.h"
#include "hw/analog_input.h"
#include "qc/qc_pauses.h"

// The calibration globals (gain, offset, gain2, offset2) and the values
// noted here carry no lock: in utility mode the command thread, which runs
// this dialogue, is their only user, as for @GAIN; the event and report threads that read them in
// normal mode do not run.
double AIsave[3] = {0.0, 0.0, 0.0};
double AIV_CAL = 0.0;
double AIV_ORG = 0.0;

namespace {

constexpr int kPasses = 5;

double Reading(int ch) { return ai_hex2double(AI_read(ch)); }

// Per range: the calibration in use when the dialogue began, and whether
// the dialogue has calibrated the range since. The dialogue starts from
// cleared values, but only a range it calibrated may replace the stored
// one: a test aborted early must not leave the unit with gain 0.
struct StoredRange {
  double gain = 1.0;
  double offset = 0.0;
  bool calibrated = false;
};
StoredRange g_stored[2];

StoredRange& Stored(QcRange range) { return g_stored[range == QcRange::kPositive ? 0 : 1]; }
double& Gain(QcRange range) { return range == QcRange::kPositive ? gain : gain2; }
double& Offset(QcRange range) { return range == QcRange::kPositive ? offset : offset2; }
const char* Command(QcRange range) { return range == QcRange::kPositive ? "@QCAI10" : "@QCAI20"; }
constexpr QcRange kRanges[] = {QcRange::kPositive, QcRange::kNegative};

}  // namespace

void QcClearCalibration() {
  for (QcRange range : kRanges) Stored(range) = StoredRange{Gain(range), Offset(range), false};
  for (double& v : AIsave) v = 0.0;
  gain = 0.0;
  offset = 0.0;
  gain2 = 0.0;
  offset2 = 0.0;
  AIV_CAL = 0.0;
  AIV_ORG = 0.0;
}

bool QcEndCalibration() {
  bool any = false;
  for (QcRange range : kRanges) {
    StoredRange& stored = Stored(range);
    double& g = Gain(range);
    double& o = Offset(range);
    if (stored.calibrated && !(GainInRange(g) && OffsetInRange(o))) {
      // Stored, it would come back at the next start as gain 1 or offset 0
      // beside the other half of this bad line.
      PrintMsg(">%s: gain %.4lf, offset %.4lf are outside what gain.ini keeps; the stored values stay\r\n",
               Command(range), g, o);
      stored.calibrated = false;
    }
    if (!stored.calibrated) {
      g = stored.gain;
      o = stored.offset;
    }
    any = any || stored.calibrated;
  }
  return any;
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
  double& g = Gain(range);
  double& o = Offset(range);
  double new_gain = g;
  double new_offset = o;
  const bool finite = positive ? QcLineThrough(AIsave[0], AIsave[1], 10.0, 0.0, &new_gain, &new_offset)
                               : QcLineThrough(AIsave[1], AIsave[2], 0.0, -10.0, &new_gain, &new_offset);
  if (finite) {
    Stored(range).calibrated = true;
  } else {
    // Equal readings at both references (no voltage applied, a dead
    // input): an infinite gain would make every later reading useless.
    PrintMsg(">%s: equal readings at both reference voltages, gain and offset kept\r\n", Command(range));
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
