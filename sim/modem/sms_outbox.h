// What the firmware submitted with AT+CMGS, one record per message, shown
// by `ctl outbox` as JSON lines.
#pragma once

#include <cstddef>
#include <deque>
#include <string>

namespace sim {

/// The outbox keeps this many records; older ones are dropped first.
constexpr size_t kOutboxRecords = 1000;

struct OutboxRecord {
  std::string time;    // host local time, "YYYY-MM-DD HH:MM:SS"
  bool decoded = false;  // the PDU was a readable SMS-SUBMIT
  std::string number;  // "+" and digits for an international destination
  std::string coding;  // gsm7, ucs2 or 8bit
  std::string text;    // UTF-8, for gsm7 and ucs2
  std::string hex;     // the user data after any header, for ucs2 and 8bit
  std::string pdu;     // as the firmware sent it
  int length = 0;      // as AT+CMGS announced it
  bool accepted = false;
  int mr = -1;         // message reference given when accepted
  std::string error;   // the module's error answer and the reason, when failed
  bool own_number = false;  // addressed to the unit itself: it comes back
};

class SmsOutbox {
 public:
  void Add(OutboxRecord record);
  void Clear();
  size_t size() const { return records_.size(); }
  size_t dropped() const { return dropped_; }
  const std::deque<OutboxRecord>& records() const { return records_; }
  /// One compact JSON object per line, oldest first.
  std::string JsonLines() const;

 private:
  std::deque<OutboxRecord> records_;
  size_t dropped_ = 0;
};

}  // namespace sim
