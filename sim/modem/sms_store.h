// The module's message store ("SM" on the SIM): numbered places from 0 that
// each hold one received SMS-DELIVER until it is read with AT+CMGRD (which
// deletes it) or deleted with AT+CMGD.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "sim/control/json.h"

namespace sim {

struct StoredSms {
  std::string pdu;      // hexadecimal, service centre part included
  int tpdu_octets = 0;  // the length +CMGRD shows
  // For the state report; empty when the PDU was stored as given and does
  // not decode.
  std::string from;
  std::string coding;
  std::string text;
};

class SmsStore {
 public:
  explicit SmsStore(int places) : places_(static_cast<size_t>(places)) {}

  int size() const { return static_cast<int>(places_.size()); }
  int used() const;
  /// Puts a message into the first free place and returns its index; -1
  /// when the store is full.
  int Put(StoredSms message);
  /// The message at an index, or null for an empty place or an index
  /// outside the store.
  const StoredSms* At(int index) const;
  /// Deletes the message at an index (nothing when the place is empty).
  void Delete(int index);
  void Clear();

  /// {"used", "total", "messages": [{"index", "from", "coding", "text", "pdu"}]}
  Json ToJson() const;

 private:
  std::vector<std::optional<StoredSms>> places_;
};

}  // namespace sim
