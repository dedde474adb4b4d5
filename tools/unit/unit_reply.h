// One answer of the unit's serial command protocol, taken apart:
// "!" id ";" command ";" OK|ER [";" value ...] CR LF.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace unitlink {

enum class ReplyKind {
  kNone,      // nothing came back (or the line could not be used)
  kOk,        // "!id;CMD;OK..." for this request
  kEr,        // "!id;CMD;ER" for this request
  kForeign,   // bytes that are no answer of utility mode to this request
};

struct UnitReply {
  ReplyKind kind = ReplyKind::kNone;
  std::string id;                   // the unit's name as it answered
  std::string command;              // the echoed command, e.g. EVNT3
  std::vector<std::string> values;  // the fields behind OK
  std::string raw;                  // every byte that came back
  std::string error;                // why the line could not be used

  bool ok() const { return kind == ReplyKind::kOk; }
  // The values joined again by ";" (a 7-bit message may hold one).
  std::string ValuesFrom(size_t first) const;
  // What a person reads for this answer: the raw line, or why there is none.
  std::string Describe() const;
};

// Takes `raw` apart as the answer to `request`: its first line must carry
// the echoed command (the request's first field without "@").
UnitReply ParseReply(const std::string& request, const std::string& raw);

// One request out, its answer back: what backup, restore and the page use.
using AskFn = std::function<UnitReply(const std::string& request)>;

}  // namespace unitlink
