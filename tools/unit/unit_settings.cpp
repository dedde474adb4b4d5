#include "tools/unit/unit_settings.h"

#include <cstdlib>

namespace unitlink {

namespace {

// Reads one query's values; false (with `error`) unless the unit said OK.
bool Query(const AskFn& ask, const std::string& request, UnitReply* reply, std::string* error) {
  *reply = ask(request);
  if (reply->ok()) return true;
  *error = request + ": " + (reply->kind == ReplyKind::kEr ? std::string("the unit answered ER") : reply->Describe());
  return false;
}

// "count;number;number..." behind OK, as @PHONE and @CTRLPH answer.
std::vector<std::string> PhoneList(const UnitReply& r) {
  std::vector<std::string> out;
  const size_t count = r.values.empty() ? 0 : std::strtoul(r.values[0].c_str(), nullptr, 10);
  for (size_t i = 1; i <= count && i < r.values.size() && out.size() < static_cast<size_t>(kMaxPhones); ++i) {
    out.push_back(r.values[i]);
  }
  return out;
}

std::string Joined(const std::vector<std::string>& phones) {
  std::string out = std::to_string(phones.size());
  for (const std::string& p : phones) out += ";" + p;
  return out;
}

bool HasSeparator(const std::string& text) { return text.find(';') != std::string::npos; }

// The set form of a definition as the query answers it. A report is
// answered with the output and voice parts too ("REPORT;7;083000;
// DO_ALL_OFF;0;VOICE_OFF;SMSDBS_ON"), but set with days, time and the SMS
// form alone.
std::string SetForm(const std::string& definition) {
  if (definition.rfind("REPORT;", 0) != 0) return definition;
  size_t cut = 0;
  for (int i = 0; i < 3 && cut != std::string::npos; ++i) cut = definition.find(';', cut + 1);
  const size_t last = definition.rfind(';');
  if (cut == std::string::npos || last < cut) return definition;
  return definition.substr(0, cut) + definition.substr(last);
}

}  // namespace

bool ReadSettings(const AskFn& ask, UnitSettings* out, std::string* error) {
  UnitSettings s;
  UnitReply r;
  if (!Query(ask, "@DEVNAME", &r, error)) return false;
  s.model = r.ValuesFrom(0);
  if (!Query(ask, "@STAN", &r, error)) return false;
  s.name = r.ValuesFrom(0) == "N/A" ? "" : r.ValuesFrom(0);
  if (!Query(ask, "@FVER", &r, error)) return false;
  s.firmware = r.ValuesFrom(0);
  if (!Query(ask, "@CTRLPH", &r, error)) return false;
  s.control_phones = PhoneList(r);
  if (!Query(ask, "@UARTPH", &r, error)) return false;
  s.bridge_phone = r.ValuesFrom(0) == "N/A" ? "" : r.ValuesFrom(0);
  if (!Query(ask, "@UARTSET", &r, error)) return false;
  s.bridge_port = r.ValuesFrom(0);
  for (int i = 0; i < kCounters; ++i) {
    if (!Query(ask, "@ACTV" + std::to_string(i), &r, error)) return false;
    if (r.values.size() != 2) {
      *error = "@ACTV" + std::to_string(i) + ": unexpected answer " + r.Describe();
      return false;
    }
    s.counters[i].count = std::strtoul(r.values[0].c_str(), nullptr, 10);
    s.counters[i].preset = std::strtoul(r.values[1].c_str(), nullptr, 10);
  }
  for (int n = 0; n < kEvents; ++n) {
    EventSettings& ev = s.events[n];
    const std::string num = std::to_string(n);
    if (!Query(ask, "@EVNT" + num, &r, error)) return false;
    ev.definition = r.ValuesFrom(0);
    if (!Query(ask, "@PHONE" + num, &r, error)) return false;
    ev.phones = PhoneList(r);
    if (!Query(ask, "@MSG" + num, &r, error)) return false;
    if (r.values.size() < 2) {
      *error = "@MSG" + num + ": unexpected answer " + r.Describe();
      return false;
    }
    ev.coding = r.values[0];
    ev.length = std::atoi(r.values[1].c_str());
    ev.message = r.ValuesFrom(2);
    if (!Query(ask, "@SMSDBS" + num, &r, error)) return false;
    ev.smsdbs = r.ValuesFrom(0) == "1" ? 1 : 0;
  }
  *out = s;
  return true;
}

std::vector<SetRequest> SetRequests(const UnitSettings& s) {
  std::vector<SetRequest> out;
  auto add = [&](std::string request, std::string comment = "", bool carried = true) {
    out.push_back({std::move(comment), std::move(request), carried});
  };
  if (s.name.empty()) {
    add("@STAN;", "the unit has no name, and the protocol cannot set an empty one", false);
  } else {
    add("@STAN;" + s.name, "the unit: name, control phones, the bridge's phone and port settings");
  }
  add("@CTRLPH;" + Joined(s.control_phones));
  add("@UARTPH;" + (s.bridge_phone.empty() ? std::string("(CLR)") : s.bridge_phone));
  add("@UARTSET;" + s.bridge_port);
  for (int i = 0; i < kCounters; ++i) {
    const CounterSettings& c = s.counters[i];
    const std::string head = i == 0 ? "counters of DI0 to DI4: count at the backup;preset" : "";
    const std::string ch = std::to_string(i);
    if (c.preset >= c.count + 10) {
      add("@ACTV" + ch + ";" + std::to_string(c.count) + ";" + std::to_string(c.preset), head);
    } else if (c.preset >= 10) {
      // The unit takes a preset only 10 or more above the count.
      add("@ACTV" + ch + ";0;" + std::to_string(c.preset),
          (head.empty() ? "" : head + "\n# ") + "DI" + ch + ": count " + std::to_string(c.count) +
              " is within 10 of its preset, which the unit refuses: restored with count 0");
    } else {
      add("@ACTV" + ch + ";" + std::to_string(c.count) + ";" + std::to_string(c.preset),
          (head.empty() ? "" : head + "\n# ") + "DI" + ch + ": a preset below 10 cannot be set", false);
    }
  }
  for (int n = 0; n < kEvents; ++n) {
    const EventSettings& ev = s.events[n];
    const std::string num = std::to_string(n);
    add("@EVNT" + num + ";" + SetForm(ev.definition), "event " + num);
    add("@PHONE" + num + ";" + Joined(ev.phones));
    if (ev.length == 0) {
      add("@MSG" + num + ";(CLR)");
    } else if (ev.coding == "UCS2") {
      add("@MSG" + num + ";UCS2;" + std::to_string(ev.length) + ";" + ev.message);
    } else if (HasSeparator(ev.message)) {
      add("@MSG" + num + ";7BIT;" + std::to_string(ev.message.size()) + ";" + ev.message,
          "the message holds a \";\", which the protocol cannot carry", false);
    } else {
      add("@MSG" + num + ";7BIT;" + std::to_string(ev.message.size()) + ";" + ev.message);
    }
    add("@SMSDBS" + num + ";" + std::to_string(ev.smsdbs));
  }
  return out;
}

}  // namespace unitlink
