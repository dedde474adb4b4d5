// /APP/CTStatus.ini: the five pulse counters, saved far more often than the
// configuration file.
#include <cstring>
#include <mutex>
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

// Saves come from the counter thread and from the configuration writer: one
// at a time, so an older snapshot can never be renamed over a newer one.
std::mutex& CounterFileMutex() {
  static std::mutex mu;
  return mu;
}

int UnknownContent(FILE* file) {
  std::fclose(file);  // NOLINT(cert-err33-c): read only: nothing to lose
  PrintMsg(">Unknown content, set all value as default.\r\n");
  return 0;
}

}  // namespace

int read_counter_status() {
  FILE* file = std::fopen(platform::Path("/APP/CTStatus.ini").c_str(), "r");
  if (file == nullptr) return 0;
  char text[config::kLineBufferSize];
  int len = 0;
  if (config::ReadFileLine(file, text, &len) != config::LineRead::kLine) return UnknownContent(file);
  config::StripLineEnd(text);
  char* rest = nullptr;
  char* key = get_next_str(text, &rest, '=');
  if (!config::KeyIs(key, "counter_status")) return UnknownContent(file);

  for (int i = 0; rest != nullptr; ++i) {
    char* item = get_next_str(rest, &rest, ',');
    if (i == kDiCount) {
      PrintMsg("=>Counter status Content error.\r\n");
      return UnknownContent(file);
    }
    int64_t v = config::ParseLong(item);
    // A negative count is out of range like a too large one (the counters
    // only hold 0 to 999999999), and the console says which it was.
    if (v >= 0 && v <= kCounterMax) {
      sys_config.counter_status[i] = static_cast<uint32_t>(v);
      counter_status_old[i] = static_cast<uint32_t>(v);
    } else {
      sys_config.counter_status[i] = 0;
      counter_status_old[i] = 0;
      if (v < 0) {
        PrintMsg("=>counter_status[%d] is negative, set as 0.\r\n", i);
      } else {
        PrintMsg("=>counter_status[%d] is over than %d.\r\n", i, static_cast<int>(kCounterMax));
      }
    }
  }
  std::fclose(file);  // NOLINT(cert-err33-c): read only: nothing to lose
  return 1;
}

int save_counter_status() {
  std::lock_guard<std::mutex> lock(CounterFileMutex());
  const auto& c = sys_config.counter_status;
  std::string text;
  config::AppendFormat(&text, "counter_status=%d,%d,%d,%d,%d\r\n", static_cast<int>(c[0].load()),
                       static_cast<int>(c[1].load()), static_cast<int>(c[2].load()), static_cast<int>(c[3].load()),
                       static_cast<int>(c[4].load()));
  if (!platform::ReplaceFileAtomically(platform::Path("/APP/CTStatus.ini"), text)) {
    PrintMsg(">Open file fail(CTStatus.ini)\r\n");
    return 0;
  }
  return 1;
}
