#include "sim/modem/sms_store.h"

namespace sim {

int SmsStore::used() const {
  int n = 0;
  for (const auto& p : places_) n += p ? 1 : 0;
  return n;
}

int SmsStore::Put(StoredSms message) {
  for (size_t i = 0; i < places_.size(); ++i) {
    if (!places_[i]) {
      places_[i] = std::move(message);
      return static_cast<int>(i);
    }
  }
  return -1;
}

const StoredSms* SmsStore::At(int index) const {
  if (index < 0 || index >= size() || !places_[static_cast<size_t>(index)]) return nullptr;
  return &*places_[static_cast<size_t>(index)];
}

void SmsStore::Delete(int index) {
  if (index >= 0 && index < size()) places_[static_cast<size_t>(index)].reset();
}

void SmsStore::Clear() {
  for (auto& p : places_) p.reset();
}

Json SmsStore::ToJson() const {
  Json messages = Json::Array();
  for (size_t i = 0; i < places_.size(); ++i) {
    if (!places_[i]) continue;
    const StoredSms& m = *places_[i];
    Json j = Json::Object();
    j.Set("index", static_cast<int>(i));
    j.Set("from", m.from.empty() ? Json() : Json(m.from));
    j.Set("coding", m.coding.empty() ? Json() : Json(m.coding));
    j.Set("text", m.coding.empty() || m.coding == "8bit" ? Json() : Json(m.text));
    j.Set("pdu", m.pdu);
    messages.Add(std::move(j));
  }
  Json s = Json::Object();
  s.Set("used", used());
  s.Set("total", size());
  s.Set("messages", std::move(messages));
  return s;
}

}  // namespace sim
