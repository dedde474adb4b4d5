// /APP/gain.ini: the analog calibration.
#include <cstdlib>
#include <cstring>
#include <string>

#include "base/console.h"
#include "config/config_data.h"
#include "config/file_lines.h"
#include "config/side_files.h"
#include "config/string_format.h"
#include "config/text_utils.h"
#include "platform/atomic_file.h"
#include "platform/paths.h"

namespace {

constexpr double kGainMax = 5.0;
constexpr double kOffsetMax = 5.0;

void SetDefaultCalibration() {
  gain = 1;
  offset = 0;
  gain2 = 1;
  offset2 = 0;
}

// One line of the file: its key, where its value goes, and what a value
// out of range becomes.
struct CalibrationLine {
  const char* key;
  double* value;
  bool is_gain;
  const char* range_error;
};

bool Accept(const CalibrationLine& line, double v) { return line.is_gain ? GainInRange(v) : OffsetInRange(v); }

int UnknownContent(FILE* file) {
  std::fclose(file);  // NOLINT(cert-err33-c): read only: nothing to lose
  SetDefaultCalibration();
  PrintMsg(">Unknown content, set all value as default.\r\n");
  return 0;
}

}  // namespace

// Written so that NaN is refused too.
bool GainInRange(double v) { return v > 0 && v <= kGainMax; }
bool OffsetInRange(double v) { return v >= -kOffsetMax && v <= kOffsetMax; }

int read_gain_offset() {
  FILE* file = std::fopen(platform::Path("/APP/gain.ini").c_str(), "r");
  if (file == nullptr) {
    PrintMsg(">Open file fail(gain.ini)\r\n");
    SetDefaultCalibration();
    PrintMsg(">Use default value: gain=1, offset=0, gain2=1, offset2=0.\r\n");
    return 0;
  }
  PrintMsg(">Open file(gain.ini) success for reading\r\n");

  const CalibrationLine lines[] = {
      {"gain", &gain, true, ">Gain value err(%f)!! Set value as 1.\r\n"},
      {"offset", &offset, false, ">Offset value err(%f)!! Set value as 0.\r\n"},
      {"gain2", &gain2, true, ">Gain2 value err(%f)!! Set value as 1.\r\n"},
      {"offset2", &offset2, false, ">Offset2 value err(%f)!! Set value as 0.\r\n"},
  };
  for (const CalibrationLine& line : lines) {
    char text[config::kLineBufferSize];
    int len = 0;
    config::LineRead r = config::ReadFileLine(file, text, &len);
    if (r == config::LineRead::kEnd) return UnknownContent(file);
    PrintMsg("%s", "----------------------------------\r\n");
    PrintMsg("[Totle]len: %d, %s", static_cast<int>(std::strlen(text)), text);
    if (r == config::LineRead::kTooLong) return UnknownContent(file);
    config::StripLineEnd(text);
    char* value = nullptr;
    char* key = get_next_str(text, &value, '=');
    if (!config::KeyIs(key, line.key)) return UnknownContent(file);
    double v = value != nullptr ? std::strtod(value, nullptr) : 0.0;
    if (Accept(line, v)) {
      *line.value = v;
    } else {
      *line.value = line.is_gain ? 1.0 : 0.0;
      PrintMsg(line.range_error, v);
    }
  }
  std::fclose(file);  // NOLINT(cert-err33-c): read only: nothing to lose
  return 1;
}

int save_gain_offset() {
  std::string text;
  config::AppendFormat(&text, "gain=%f\r\n", gain);
  config::AppendFormat(&text, "offset=%f\r\n", offset);
  config::AppendFormat(&text, "gain2=%f\r\n", gain2);
  config::AppendFormat(&text, "offset2=%f\r\n", offset2);
  if (!platform::ReplaceFileAtomically(platform::Path("/APP/gain.ini"), text)) {
    PrintMsg(">Open file fail(gain.ini)\r\n");
    return 0;
  }
  PrintMsg(">Open file(gain.ini) success for saving\r\n");
  PrintMsg(">Save file(gain.ini) success!!\r\n");
  return 1;
}
