#include "sim/modem/sms_outbox.h"

#include "sim/control/json.h"

namespace sim {

void SmsOutbox::Add(OutboxRecord record) {
  records_.push_back(std::move(record));
  while (records_.size() > kOutboxRecords) {
    records_.pop_front();
    ++dropped_;
  }
}

void SmsOutbox::Clear() {
  records_.clear();
  dropped_ = 0;
}

std::string SmsOutbox::JsonLines() const {
  std::string out;
  for (const OutboxRecord& r : records_) {
    Json j = Json::Object();
    j.Set("time", r.time);
    j.Set("number", r.decoded ? Json(r.number) : Json());
    j.Set("coding", r.decoded ? Json(r.coding) : Json());
    bool has_text = r.decoded && r.coding != "8bit";
    bool has_hex = r.decoded && r.coding != "gsm7";
    j.Set("text", has_text ? Json(r.text) : Json());
    j.Set("hex", has_hex ? Json(r.hex) : Json());
    j.Set("pdu", r.pdu);
    j.Set("length", r.length);
    j.Set("result", r.accepted ? "accepted" : "failed");
    j.Set("mr", r.accepted ? Json(r.mr) : Json());
    j.Set("error", r.error.empty() ? Json() : Json(r.error));
    j.Set("own_number", r.own_number);
    out += j.Dump(false);
    out += '\n';
  }
  return out;
}

}  // namespace sim
