// Keeping the card from filling up: the oldest day of all three logs goes
// first, as listed in the AT-command log.
#include <unistd.h>

#include <string>
#include <vector>

#include "log/log_files.h"
#include "log/log_store.h"
#include "platform/paths.h"
#include "platform/sd_card.h"

int SdUsePersent() {
  int pct = platform::SdCardBackend().UsePercent();
  // Unmeasurable counts as full enough to start deleting.
  return pct < 0 ? logMaxSize.load() : pct;
}

int LogDelete() {
  const int limit = logMaxSize.load();
  if (SdUsePersent() < limit) return 0;
  if (FileExist(kLogRootDir, kAtCmdLogDir) != 0) return -1;

  const int target = limit + 10;
  const std::string at_root = std::string(kLogRootDir) + "/" + kAtCmdLogDir;
  std::vector<std::string> years;
  if (!LogListNames(at_root, true, &years)) return -1;
  for (const std::string& year : years) {
    std::vector<std::string> months;
    // A folder that cannot be read lists nothing, as `ls` printed nothing.
    LogListNames(at_root + "/" + year, true, &months);
    for (const std::string& month : months) {
      std::vector<std::string> days;
      LogListNames(at_root + "/" + year + "/" + month, false, &days);
      for (const std::string& day : days) {
        for (const char* sub : {kAtCmdLogDir, kQmiLogDir, kUserLogDir}) {
          ::unlink(platform::Path(LogDayFile(sub, year, month, day)).c_str());
        }
        if (SdUsePersent() < target) return 0;
      }
    }
  }
  return -1;
}
