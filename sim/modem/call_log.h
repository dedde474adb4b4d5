// The voice calls the firmware placed, one record per dial command, shown
// by `ctl calls` as JSON lines.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>

namespace sim {

/// The log keeps this many finished calls; older ones are dropped first.
constexpr size_t kCallRecords = 1000;

struct CallRecord {
  std::string number;    // as dialled
  std::string prompt;    // file name of the prompt played into the call; empty: none
  int64_t prompt_ms = -1;
  // answered, voicemail, rejected, no answer, dial error; empty while the
  // far end has not decided yet
  std::string outcome;
  std::string dialled;   // host local time, "YYYY-MM-DD HH:MM:SS"
  std::string answered;  // when the far end (or its voicemail) connected
  std::string ended;
  int rings = 0;         // alerting periods the far end rang
  std::string error;     // the last command of the call the module refused, and why
};

class CallLog {
 public:
  void Add(CallRecord record);
  void Clear() { records_.clear(); }
  size_t size() const { return records_.size(); }
  const std::deque<CallRecord>& records() const { return records_; }
  /// One compact JSON object per line, oldest first, then `in_progress`
  /// when given.
  std::string JsonLines(const CallRecord* in_progress) const;

 private:
  std::deque<CallRecord> records_;
};

}  // namespace sim
