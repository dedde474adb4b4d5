// The log commands: list, fetch and delete user-log days on the SD card,
// switch logging and store the switch, and show the card's use and presence.
//
// @LOGFILE and @LOGDATA answer with raw lines and send nothing at all when
// they fail; the others answer OK or ER. The year, month and day of a
// request are digits of the stored width (YYYY, MM, DD) and nothing else,
// so no request can reach a file outside the log folders.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "base/sd_flags.h"
#include "cmd/command_fields.h"
#include "cmd/command_reply.h"
#include "cmd/handlers.h"
#include "config/file_lines.h"
#include "config/text_utils.h"
#include "log/log_files.h"
#include "log/log_store.h"
#include "platform/atomic_file.h"
#include "platform/dir_listing.h"
#include "platform/fd_io.h"
#include "platform/paths.h"
#include "platform/sd_card.h"

namespace {

constexpr const char* kLogIni = "/APP/log.ini";
constexpr int kDataPiece = 127;  // a day file is sent in pieces of at most this
// No log command takes more than three fields.
using Fields = CommandFields<3>;

bool AllDigits(const std::string& text, size_t width) {
  if (text.size() != width) return false;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

// A day of the logs as the request names it: "YYYY", "MM", "DD".
struct Day {
  std::string year, month, day;
};

bool ReadDay(const Fields& f, Day* d) {
  if (f.count != 3) return false;
  d->year = f.at[0];
  d->month = f.at[1];
  d->day = f.at[2];
  return AllDigits(d->year, 4) && AllDigits(d->month, 2) && AllDigits(d->day, 2);
}

std::string DayFile(const char* subdir, const Day& d) {
  return platform::Path(LogDayFile(subdir, d.year, d.month, d.day + ".txt"));
}

bool IsFile(const std::string& real_path) {
  struct stat st {};
  return ::stat(real_path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// A day file as the writer names it: two digits and ".txt".
bool IsDayFileName(const std::string& name) {
  return name.size() == 6 && AllDigits(name.substr(0, 2), 2) && name.compare(2, 4, ".txt") == 0;
}

}  // namespace

int CmdLogFile(char* line, int) {
  if (Fields(line).count != 0) return 0;
  if (FileExist(kLogRootDir, kUserLogDir) != 0) return 0;
  const std::string root = std::string(kLogRootDir) + "/" + kUserLogDir;
  std::vector<std::string> years;
  if (!LogListNames(root, true, &years)) return 0;
  // Only names the writer makes are days: anything else put on the card
  // could not be fetched or deleted by the other commands.
  for (const std::string& year : years) {
    if (!AllDigits(year, 4)) continue;
    std::vector<std::string> months;
    if (!LogListNames(root + "/" + year, true, &months)) return 0;  // NOLINT(performance-inefficient-string-concatenation): one path per folder listed; plain reads better
    for (const std::string& month : months) {
      if (!AllDigits(month, 2)) continue;
      std::vector<std::string> days;
      if (!platform::ListSortedNames(platform::Path(root + "/" + year + "/" + month), &days, IsFile)) return 0;  // NOLINT(performance-inefficient-string-concatenation): one path per folder listed; plain reads better
      for (const std::string& day : days) {
        if (!IsDayFileName(day)) continue;
        ReplyPrintf("%s;%s;%s\r\n", year.c_str(), month.c_str(), day.substr(0, 2).c_str());
      }
    }
  }
  return 1;
}

int CmdLogData(char* line, int) {
  Day d;
  if (!ReadDay(Fields(line), &d)) return 0;
  // Not blocking: a day "file" that is a pipe must not hang the port.
  platform::UniqueFd file(::open(DayFile(kUserLogDir, d).c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
  if (!file.valid()) return 0;
  char piece[kDataPiece];
  for (ssize_t n; (n = ::read(file.get(), piece, sizeof piece)) > 0;) ReplyWrite(piece, static_cast<int>(n));
  return 1;
}

int CmdLogDelete(char* line, int) {
  const EchoedCommand cmd(line);
  Day d;
  if (!ReadDay(Fields(line), &d)) return ReplyEr(cmd);
  if (::unlink(DayFile(kUserLogDir, d).c_str()) != 0) return ReplyEr(cmd);
  // The other two logs of that day may well be missing; that is no error.
  ::unlink(DayFile(kAtCmdLogDir, d).c_str());
  ::unlink(DayFile(kQmiLogDir, d).c_str());
  return ReplyOk(cmd);
}

int CmdLogEnable(char* line, int) {
  const EchoedCommand cmd(line);
  const Fields f = Fields(line);
  if (f.count != 1) return ReplyEr(cmd);
  const int64_t v = config::ParseLong(f.at[0]);
  logEnable = v > INT_MAX ? INT_MAX : (v < INT_MIN ? INT_MIN : static_cast<int>(v));
  return ReplyOk(cmd);
}

int CmdLogSave(char* line, int) {
  const EchoedCommand cmd(line);
  if (Fields(line).count != 0) return ReplyEr(cmd);
  char text[32];
  std::snprintf(text, sizeof text, "@LOGEN;%d\r\n", logEnable.load());
  if (!platform::ReplaceFileAtomically(platform::Path(kLogIni), text)) return ReplyEr(cmd);
  return ReplyOk(cmd);
}

int CmdLogSdInfo(char* line, int) {
  const EchoedCommand cmd(line);
  if (Fields(line).count != 0) return ReplyEr(cmd);
  const std::optional<platform::SdUsage> use = platform::SdCardBackend().Usage();
  if (!use) return ReplyEr(cmd);
  // df -h's Used, Size and Use% columns.
  return ReplyValues(cmd, "%s;%s;%d%%", platform::DfHumanSize(use->used_bytes).c_str(),
                     platform::DfHumanSize(use->size_bytes).c_str(), use->use_percent);
}

int CmdLogStatus(char* line, int) {
  const EchoedCommand cmd(line);
  if (Fields(line).count != 0) return ReplyEr(cmd);
  return ReplyValues(cmd, "%d", logEnable.load());
}

int CmdSdExist(char* line, int) {
  const EchoedCommand cmd(line);
  if (Fields(line).count != 0) return ReplyEr(cmd);
  return ReplyValues(cmd, "%d", static_cast<int>(if_sd_card.load()));
}
