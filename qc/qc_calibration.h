// Calibration of the analog inputs by the factory dialogue: averaged
// readings at the reference voltages and the two straight lines through
// them.
#pragma once

/// Averaged raw readings taken at +10 V, 0 V and -10 V (@QCAI0/1/2).
extern double AIsave[3];
/// Last calibrated reading of @AIV.
extern double AIV_CAL;
/// Cleared at the start of the dialogue, not otherwise used.
extern double AIV_ORG;

/// Starts a dialogue: notes the calibration in use (what gain.ini gave, or
/// an earlier dialogue stored) and clears AIsave, gain, offset, gain2,
/// offset2, AIV_CAL and AIV_ORG to 0.0.
void QcClearCalibration();

/// Ends a dialogue: each range that no @QCAI10/@QCAI20 of it calibrated, or
/// whose new line gain.ini would not keep (the console says so), gets the
/// noted values back. True when a range holds a new calibration, so that
/// gain.ini is to be saved; false when the stored file is to stay as it is.
bool QcEndCalibration();

/// The running value after folding reading `v` of pass `pass` (0 first):
/// s + v, halved from the second pass on, so later readings weigh more.
double QcFold(double s, double v, int pass);

/// The line through (hi_reading, hi_volts) and (lo_reading, lo_volts):
/// gain = (hi_volts - lo_volts) / (hi_reading - lo_reading), offset =
/// hi_volts - hi_reading * gain. False, with gain and offset untouched,
/// when either would not be a finite number (equal readings).
bool QcLineThrough(double hi_reading, double lo_reading, double hi_volts, double lo_volts, double* gain,
                   double* offset);

/// Five folded readings of channel `ch` (0 to 3) with their console lines
/// (`label` names the value: "aio_data" or "ai1_data"); the final value.
double QcAveragedReading(int ch, const char* label);

enum class QcRange {
  kPositive,  // gain/offset from AIsave[0] (+10 V) and AIsave[1] (0 V)
  kNegative,  // gain2/offset2 from AIsave[1] (0 V) and AIsave[2] (-10 V)
};
/// Calibrates one range. When the readings allow no finite line, the
/// range's gain and offset keep their values and the console says why.
/// False in that case; otherwise the range counts as calibrated by this
/// dialogue.
bool QcCalibrate(QcRange range);

/// The calibrated reading of channel `ch` (0 to 3) into AIV_CAL, through
/// the range its first reading falls in.
double QcCalibratedReading(int ch);
