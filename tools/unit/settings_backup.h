// A unit's settings as a backup file, and the file sent back into a unit.
//
// The file is text a person can read and edit: one set-request a line, in
// the order that restores cleanly; lines starting with "#" are comments
// (the first ones name the unit, its model, its firmware and the date).
#pragma once

#include <string>
#include <vector>

#include "tools/unit/unit_reply.h"
#include "tools/unit/unit_settings.h"

namespace unitlink {

/// The most a backup file may hold: no unit's settings come near it.
constexpr size_t kBackupMaxBytes = size_t{1024} * 1024;

// The backup file of `s`, dated `date` (e.g. "2026-12-07 16:30:00").
std::string BackupText(const UnitSettings& s, const std::string& date);

// Asks the unit for everything and gives its backup file; false with
// `error` when a query failed (then nothing is to be written).
bool MakeBackup(const AskFn& ask, const std::string& date, std::string* text, std::string* error);

// A request line of a backup file and where it stands.
struct RestoreLine {
  int line_no;
  std::string request;
};

// The requests of a backup file. Refuses the whole file (false, `error`
// naming the line) when a line is not a request the restore may send: a
// request starts with "@", fits the unit's 1000-byte line, holds no control
// character; @SAVE, @REBOOT, @QCTEST and @TEST do not belong in a backup.
// With `keep_name` the @STAN lines are left out.
bool ParseBackup(const std::string& text, bool keep_name, std::vector<RestoreLine>* out, std::string* error);

struct RestoreStep {
  int line_no;  // 0 for the closing @SAVE
  std::string request;
  UnitReply reply;
};

struct RestoreResult {
  std::vector<RestoreStep> steps;
  bool accepted = false;  // every line accepted
  bool saved = false;     // and @SAVE done
  std::string error;      // what stopped it, naming the line
};

// Sends each line, stops at the first that is not answered with OK, and
// ends with @SAVE only when every line was accepted.
RestoreResult Restore(const AskFn& ask, const std::vector<RestoreLine>& lines);

}  // namespace unitlink
