// The small files beside config.ini. The first byte picks the file, the
// rest is its content: /APP/gain.ini, /APP/CTStatus.ini and /APP/log.ini as
// the readers find them at start, or a received message (sender up to the
// first LF, then the text) as the SMS journal takes it. Each reader must
// refuse or keep only values in its range, never reading or writing out of
// bounds; the journal must grow by exactly one CR LF line, whatever the
// message holds.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "config/config_data.h"
#include "config/side_files.h"
#include "log/log_store.h"
#include "platform/paths.h"
#include "fuzz_root.h"

namespace {

void Write(const char* name, const uint8_t* data, size_t size) {
  FILE* f = std::fopen(platform::Path(name).c_str(), "wb");
  if (f == nullptr) abort();
  std::fwrite(data, 1, size, f);
  std::fclose(f);
}

std::string Read(const char* name) {
  std::string text;
  if (FILE* f = std::fopen(platform::Path(name).c_str(), "rb")) {
    char buf[512];
    for (size_t n; (n = std::fread(buf, 1, sizeof buf, f)) > 0;) text.append(buf, n);
    std::fclose(f);
  }
  return text;
}

void Gain(const uint8_t* data, size_t size) {
  Write("/APP/gain.ini", data, size);
  gain = offset = gain2 = offset2 = -99;
  if (read_gain_offset() == 0) {
    if (gain != 1 || offset != 0 || gain2 != 1 || offset2 != 0) abort();  // all back to the defaults
  } else if (!GainInRange(gain) || !GainInRange(gain2) || !OffsetInRange(offset) || !OffsetInRange(offset2)) {
    abort();
  }
}

void Counters(const uint8_t* data, size_t size) {
  Write("/APP/CTStatus.ini", data, size);
  for (int i = 0; i < kDiCount; ++i) sys_config.counter_status[i] = counter_status_old[i] = 7;
  read_counter_status();
  for (int i = 0; i < kDiCount; ++i) {
    if (sys_config.counter_status[i] > kCounterMax || counter_status_old[i] != sys_config.counter_status[i]) abort();
  }
}

void LogSwitch(const uint8_t* data, size_t size) {
  Write("/APP/log.ini", data, size);
  logEnable = 0;
  ReadLogConfig();
}

void Journal(uint8_t mode, const uint8_t* data, size_t size) {
  const std::string input = fuzzroot::Text(data, size, 2 * kMsgSize + 1);
  const size_t lf = input.find('\n');
  const std::string phone = input.substr(0, lf);
  const std::string text = lf == std::string::npos ? "" : input.substr(lf + 1);
  if (clear_sms_log() != 0) abort();
  if (save_sms_log(text.c_str(), phone.c_str(), (mode & 1) != 0 ? 8 : 0, (mode >> 1) & 1) != 0) abort();
  const std::string line = Read("/APP/sms_log.ini");
  // One line: CR LF at its end and nowhere else.
  if (line.size() < 2 || line.compare(line.size() - 2, 2, "\r\n") != 0) abort();
  if (line.find_first_of("\r\n") != line.size() - 2) abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (fuzzroot::g_root == nullptr) fuzzroot::MakeRoot("side-files-fuzz", {"/APP"});
  if (size == 0) return -1;
  const uint8_t pick = data[0];
  switch (pick % 4) {
    case 0:
      Gain(data + 1, size - 1);
      break;
    case 1:
      Counters(data + 1, size - 1);
      break;
    case 2:
      LogSwitch(data + 1, size - 1);
      break;
    default:
      Journal(static_cast<uint8_t>(pick >> 2), data + 1, size - 1);
  }
  return 0;
}
