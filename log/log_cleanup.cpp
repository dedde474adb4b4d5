// Keeping the card from filling up: the oldest day of all three logs goes
// first, as listed in the AT-command log. The day being written is never
// removed: a card filled by other files would otherwise lose today's logs
// as fast as they are written.
#include <unistd.h>

#include <atomic>
#include <string>
#include <vector>

#include "base/console.h"
#include "log/log_files.h"
#include "log/log_store.h"
#include "platform/paths.h"
#include "platform/sd_card.h"

namespace {

// Set once the console has been told that only today's logs are left, so a
// card that stays full says it once, not at every check; cleared as soon as
// a check finds room again.
std::atomic<bool> g_full_told{false};

int StillFull(int use) {
  if (!g_full_told.exchange(true)) {
    PrintMsg(">SD card %d%% used and no log older than today is left to delete: user log waits for room.\r\n",
             use);
  }
  return -1;
}

}  // namespace

int SdUsePersent() {
  int pct = platform::SdCardBackend().UsePercent();
  // Unmeasurable counts as full enough to start deleting.
  return pct < 0 ? logMaxSize.load() : pct;
}

int LogDelete() {
  const int limit = logMaxSize.load();
  if (SdUsePersent() < limit) {
    g_full_told = false;
    return 0;
  }
  if (FileExist(kLogRootDir, kAtCmdLogDir) != 0) return -1;

  const int target = limit + 10;
  // Without a readable date nothing is written today, so nothing is spared.
  std::string today_year, today_month, today_file;
  LogToday(&today_year, &today_month, &today_file);
  const std::string at_root = std::string(kLogRootDir) + "/" + kAtCmdLogDir;
  std::vector<std::string> years;
  if (!LogListNames(at_root, true, &years)) return -1;
  for (const std::string& year : years) {
    std::vector<std::string> months;
    // A folder that cannot be read lists nothing, as `ls` printed nothing.
    LogListNames(at_root + "/" + year, true, &months);  // NOLINT(performance-inefficient-string-concatenation): one path per folder listed; plain reads better
    for (const std::string& month : months) {
      std::vector<std::string> days;
      LogListNames(at_root + "/" + year + "/" + month, false, &days);  // NOLINT(performance-inefficient-string-concatenation): one path per folder listed; plain reads better
      for (const std::string& day : days) {
        if (year == today_year && month == today_month && day == today_file) continue;
        for (const char* sub : {kAtCmdLogDir, kQmiLogDir, kUserLogDir}) {
          ::unlink(platform::Path(LogDayFile(sub, year, month, day)).c_str());
        }
        if (SdUsePersent() < target) {
          g_full_told = false;
          return 0;
        }
      }
    }
  }
  return StillFull(SdUsePersent());
}
