#include "sim/modem/call_log.h"

#include "sim/control/json.h"

namespace sim {

namespace {

Json TextOrNull(const std::string& s) { return s.empty() ? Json() : Json(s); }

std::string JsonLine(const CallRecord& r) {
  Json j = Json::Object();
  j.Set("number", r.number);
  j.Set("prompt", TextOrNull(r.prompt));
  j.Set("prompt_ms", r.prompt_ms >= 0 ? Json(r.prompt_ms) : Json());
  j.Set("outcome", TextOrNull(r.outcome));
  j.Set("dialled", r.dialled);
  j.Set("answered", TextOrNull(r.answered));
  j.Set("ended", TextOrNull(r.ended));
  j.Set("rings", r.rings);
  j.Set("error", TextOrNull(r.error));
  return j.Dump(false) + "\n";
}

}  // namespace

void CallLog::Add(CallRecord record) {
  records_.push_back(std::move(record));
  while (records_.size() > kCallRecords) records_.pop_front();
}

std::string CallLog::JsonLines(const CallRecord* in_progress) const {
  std::string out;
  for (const CallRecord& r : records_) out += JsonLine(r);
  if (in_progress) out += JsonLine(*in_progress);
  return out;
}

}  // namespace sim
