// Every setting the serial command protocol can read, as the unit answers
// them, and the set-requests that recreate them on a unit.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "tools/unit/unit_reply.h"

namespace unitlink {

constexpr int kEvents = 16;
constexpr int kCounters = 5;
constexpr int kMaxPhones = 10;

struct EventSettings {
  // The @EVNT definition text: "DAI_NO_USE" or e.g.
  // "DI1;NO;200;50;DO0_ON;1000;VOICE_OFF;SMSDBS_ON".
  std::string definition = "DAI_NO_USE";
  std::vector<std::string> phones;
  std::string coding = "7BIT";  // "7BIT" or "UCS2"
  int length = 0;               // characters (UCS2: pairs of bytes)
  std::string message;          // the text, or for UCS2 its hexadecimal form
  int smsdbs = 0;
};

struct CounterSettings {
  unsigned long count = 0;
  unsigned long preset = 999999999;
};

struct UnitSettings {
  std::string name;      // empty when the unit has none ("N/A")
  std::string model;
  std::string firmware;
  std::vector<std::string> control_phones;
  std::string bridge_phone;   // empty when none ("N/A")
  std::string bridge_port;    // "baud;parity;databits;stopbits;ON|OFF"
  std::array<CounterSettings, kCounters> counters;
  std::array<EventSettings, kEvents> events;
};

// Asks the unit for all of it, one query at a time. False with `error`
// naming the request when a query is not answered with OK.
bool ReadSettings(const AskFn& ask, UnitSettings* out, std::string* error);

// One set-request of the backup, with a comment line to go before it
// (empty: none). `carried` is false when the protocol cannot set the value
// as the unit holds it: the request is then written as a comment.
struct SetRequest {
  std::string comment;
  std::string request;
  bool carried = true;
};

// The requests that recreate `s`, in an order that restores cleanly: the
// unit's own settings, then for each event its trigger first (a cleared
// event also loses its phones and message), then phones, message and SMS form.
std::vector<SetRequest> SetRequests(const UnitSettings& s);

}  // namespace unitlink
