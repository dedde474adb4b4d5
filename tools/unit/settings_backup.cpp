#include "tools/unit/settings_backup.h"

namespace unitlink {

namespace {

// What the unit takes as one line.
constexpr size_t kMaxRequestBytes = 1000;

void Comment(std::string* out, const std::string& text) {
  size_t from = 0;
  for (;;) {
    const size_t nl = text.find('\n', from);
    const std::string piece = text.substr(from, nl == std::string::npos ? std::string::npos : nl - from);
    *out += piece.rfind("# ", 0) == 0 ? piece + "\n" : "# " + piece + "\n";
    if (nl == std::string::npos) return;
    from = nl + 1;
  }
}


// The request's name as the unit's table matches it ("@EVNT3;..." gives "@EVNT").
std::string NameOf(const std::string& request) {
  size_t end = 1;
  while (end < request.size() && request[end] >= 'A' && request[end] <= 'Z') ++end;
  return request.substr(0, end);
}

}  // namespace

std::string BackupText(const UnitSettings& s, const std::string& date) {
  std::string out;
  Comment(&out, "QRV-806 settings backup");
  Comment(&out, "name: " + (s.name.empty() ? std::string("(none)") : s.name));
  Comment(&out, "model: " + s.model);
  Comment(&out, "firmware: " + s.firmware);
  Comment(&out, "date: " + date);
  Comment(&out, "Restore: qrv806-term DEVICE --restore FILE [--keep-name]. One set-request a line, sent in this\n"
                "order; lines starting with # are comments. Not carried: the SIM PIN (the unit does not tell it),\n"
                "whether a counter has reached its preset, and the report schedule's next time (the unit works\n"
                "it out again).");
  for (const SetRequest& r : SetRequests(s)) {
    if (!r.comment.empty()) {
      out += "\n";
      Comment(&out, r.comment);
    }
    out += r.carried ? r.request + "\n" : "# not carried: " + r.request + "\n";
  }
  return out;
}

bool MakeBackup(const AskFn& ask, const std::string& date, std::string* text, std::string* error) {
  UnitSettings s;
  if (!ReadSettings(ask, &s, error)) return false;
  *text = BackupText(s, date);
  return true;
}

bool ParseBackup(const std::string& text, bool keep_name, std::vector<RestoreLine>* out, std::string* error) {
  out->clear();
  if (text.size() > kBackupMaxBytes) {
    *error = "the file is over 1 MiB: no backup of this unit is that long";
    return false;
  }
  int line_no = 0;
  size_t from = 0;
  while (from < text.size()) {
    const size_t nl = text.find('\n', from);
    std::string line = text.substr(from, nl == std::string::npos ? std::string::npos : nl - from);
    from = nl == std::string::npos ? text.size() : nl + 1;
    ++line_no;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const size_t first = line.find_first_not_of(" \t");
    if (first == std::string::npos || line[first] == '#') continue;
    const std::string where = "line " + std::to_string(line_no) + ": ";
    if (line[0] != '@') {
      *error = where + "a request starts with \"@\": " + line.substr(0, 80);
      return false;
    }
    if (line.size() > kMaxRequestBytes) {
      *error = where + "longer than the unit's 1000-byte line";
      return false;
    }
    for (unsigned char c : line) {
      if (c < 0x20 || c == 0x7f) {
        *error = where + "holds a control character";
        return false;
      }
    }
    const std::string name = NameOf(line);
    if (name == "@SAVE" || name == "@REBOOT" || name == "@QCTEST" || name == "@TEST") {
      *error = where + name + " does not belong in a backup (the restore saves at its end)";
      return false;
    }
    if (keep_name && name == "@STAN") continue;
    out->push_back({line_no, line});
  }
  if (out->empty()) {
    *error = "the file holds no request";
    return false;
  }
  return true;
}

RestoreResult Restore(const AskFn& ask, const std::vector<RestoreLine>& lines) {
  RestoreResult result;
  for (const RestoreLine& line : lines) {
    result.steps.push_back({line.line_no, line.request, ask(line.request)});
    const UnitReply& reply = result.steps.back().reply;
    if (!reply.ok()) {
      result.error = "line " + std::to_string(line.line_no) + " (" + line.request + "): " +
                     (reply.kind == ReplyKind::kEr ? std::string("the unit answered ER") : reply.Describe()) +
                     "; nothing was saved";
      return result;
    }
  }
  result.accepted = true;
  result.steps.push_back({0, "@SAVE", ask("@SAVE")});
  const UnitReply& save = result.steps.back().reply;
  if (!save.ok()) {
    result.error = "@SAVE: " + (save.kind == ReplyKind::kEr ? std::string("the unit answered ER") : save.Describe());
    return result;
  }
  result.saved = true;
  return result;
}

}  // namespace unitlink
