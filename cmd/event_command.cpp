// @EVNT: the trigger part of one event definition (what starts it, its
// timing, the outputs it switches, voice and the SMS form).
//
//   @EVNTn                       query: the definition text
//   @EVNTn;DAI_NO_USE            the whole event cleared
//   @EVNTn;COUNTERi;NC_PULSE|NO_PULSE;hold;reset;DO;DOhold;VOICE;SMSDBS
//   @EVNTn;DIi;NC|NO;hold;reset;DO;DOhold;VOICE;SMSDBS
//   @EVNTn;AIi;HIGH|LOW;hold;reset;limit;DO;DOhold;VOICE;SMSDBS
//   @EVNTn;AIi;HL;hold;reset;high;low;DO;DOhold;VOICE;SMSDBS
//   @EVNTn;REPORT;days;HHMMSS;SMSDBS
//
// Every field is checked before the first write, so a refused set changes
// nothing.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "base/console.h"
#include "cmd/command_fields.h"
#include "cmd/command_reply.h"
#include "cmd/handlers.h"
#include "config/config_data.h"
#include "config/config_file.h"
#include "config/string_format.h"
#include "config/text_utils.h"
#include "config/time_utils.h"

// The trigger defaults of event n, applied before every trigger set.
void set_evnt_clear(int n);
// With the phone and message commands, which clear them the same way.
void ClearEventPhones(int n);
void ClearEventMessage(int n);

namespace {

constexpr uint32_t kMinHoldMs = 50;
constexpr uint32_t kMaxHoldMs = 86400000;  // 24 hours
constexpr uint32_t kMaxReportDays = 31;
constexpr double kLimitLow = -10.0;
constexpr double kLimitHigh = 10.0;
constexpr int kDefinitionSize = 100;

// DI cType values and AI cType values as stored.
constexpr uint8_t kNcPulse = 1, kNoPulse = 2, kDiNc = 3, kDiNo = 4;
constexpr uint8_t kAiHigh = 1, kAiLow = 2, kAiHl = 3;

const char* const kDoWords[] = {"DO_ALL_OFF", "DO0_ON", "DO1_ON", "DO_ALL_ON"};

bool StartsWith(const char* text, const char* word) { return std::strncmp(text, word, std::strlen(word)) == 0; }

// A keyword field: shorter than `limit` characters and starting with one of
// `words`; the index of the word, or -1.
int Keyword(const char* field, size_t limit, const char* const* words, int count) {
  if (std::strlen(field) >= limit) return -1;
  for (int i = 0; i < count; ++i) {
    if (StartsWith(field, words[i])) return i;
  }
  return -1;
}

int DoWord(const char* field) { return Keyword(field, 11, kDoWords, 4); }

// 1 for VOICE_ON, 0 for VOICE_OFF, -1 for anything else.
int VoiceWord(const char* field) {
  static const char* const kWords[] = {"VOICE_ON", "VOICE_OFF"};
  int i = Keyword(field, 10, kWords, 2);
  return i < 0 ? -1 : (i == 0 ? 1 : 0);
}

// 1 for SMSDBS_ON, 0 for SMSDBS_OFF, -1 for anything else.
int SmsdbsWord(const char* field) {
  static const char* const kWords[] = {"SMSDBS_ON", "SMSDBS_OFF"};
  int i = Keyword(field, 11, kWords, 2);
  return i < 0 ? -1 : (i == 0 ? 1 : 0);
}

bool HoldInRange(uint32_t ms) { return ms >= kMinHoldMs && ms <= kMaxHoldMs; }

// The fields behind the name (the longest form has ten).
using Fields = CommandFields<11>;

// The tail shared by counter, DI and AI sets: DO word, DO hold, VOICE word,
// SMSDBS word, and nothing after them.
struct Action {
  int do_on;
  uint32_t do_hold;
  int voice;
  int smsdbs;
};

bool ReadAction(const Fields& f, int first, Action* a) {
  if (f.count != first + 4) return false;
  a->do_on = DoWord(f.at[first]);
  a->do_hold = ReadUnsigned(f.at[first + 1]);
  a->voice = VoiceWord(f.at[first + 2]);
  a->smsdbs = SmsdbsWord(f.at[first + 3]);
  return a->do_on >= 0 && a->do_hold <= kMaxHoldMs && a->voice >= 0 && a->smsdbs >= 0;
}

void ApplyAction(OrvelEvent& ev, const Action& a) {
  ev.iIs_do_on = a.do_on;
  ev.uiDOHoldTime = a.do_hold;
  ev.iIsVoice = a.voice;
  ev.iIsSMSDBS = static_cast<uint8_t>(a.smsdbs);
}

// COUNTERi or DIi: channel, type, hold, reset and the action.
int SetDigital(int n, const Fields& f, bool counter) {
  const int64_t channel = NumberBehindName(f.at[0], counter ? 7 : 2, kDiCount - 1);
  if (channel < 0 || f.count < 4) return 0;
  static const char* const kPulse[] = {"NC_PULSE", "NO_PULSE"};
  static const char* const kLevel[] = {"NC", "NO"};
  const int type = counter ? Keyword(f.at[1], 9, kPulse, 2) : Keyword(f.at[1], 3, kLevel, 2);
  const uint32_t hold = ReadUnsigned(f.at[2]);
  const uint32_t reset = ReadUnsigned(f.at[3]);
  Action a{};
  if (type < 0 || !HoldInRange(hold) || !HoldInRange(reset) || !ReadAction(f, 4, &a)) return 0;

  std::lock_guard<std::recursive_mutex> lock(ConfigMutex());
  set_evnt_clear(n);
  OrvelEvent& ev = orvel_event[n];
  DiConfig& di = ev.di[channel];
  ev.is_event_enable = 1;
  di.cIsEnable = 1;
  di.cType = counter ? (type == 0 ? kNcPulse : kNoPulse) : (type == 0 ? kDiNc : kDiNo);
  di.uiHoldTime = hold;
  di.uiResetTime = reset;
  di.cIsCounter = counter ? 1 : 0;
  ApplyAction(ev, a);
  return 1;
}

bool HighLimitOk(double v) { return v > kLimitLow && v <= kLimitHigh; }
bool LowLimitOk(double v) { return v >= kLimitLow && v < kLimitHigh; }

// AIi: channel, HIGH/LOW with one limit or HL with two, and the action.
int SetAnalog(int n, const Fields& f) {
  const int64_t channel = NumberBehindName(f.at[0], 2, kAiCount - 1);
  if (channel < 0 || f.count < 5) return 0;
  static const char* const kTypes[] = {"HIGH", "LOW", "HL"};
  const int type = Keyword(f.at[1], 5, kTypes, 3);
  if (type < 0) return 0;
  const uint32_t hold = ReadUnsigned(f.at[2]);
  const uint32_t reset = ReadUnsigned(f.at[3]);
  const double first = LimitAsStored(std::strtod(f.at[4], nullptr));
  double high = kLimitHigh, low = kLimitLow;
  int action_at = 5;
  bool limits_ok = false;
  if (type == 0) {
    high = first;
    limits_ok = HighLimitOk(high);
  } else if (type == 1) {
    low = first;
    limits_ok = LowLimitOk(low);
  } else {
    if (f.count < 6) return 0;
    high = first;
    low = LimitAsStored(std::strtod(f.at[5], nullptr));
    limits_ok = HighLimitOk(high) && LowLimitOk(low) && high > low;
    action_at = 6;
  }
  Action a{};
  if (!limits_ok || !HoldInRange(hold) || !HoldInRange(reset) || !ReadAction(f, action_at, &a)) return 0;

  std::lock_guard<std::recursive_mutex> lock(ConfigMutex());
  set_evnt_clear(n);
  OrvelEvent& ev = orvel_event[n];
  AiConfig& ai = ev.ai[channel];
  ev.is_event_enable = 1;
  ai.cIsEnable = 1;
  ai.cType = static_cast<uint8_t>(type == 0 ? kAiHigh : (type == 1 ? kAiLow : kAiHl));
  ai.uiHoldTime = hold;
  ai.uiResetTime = reset;
  if (type != 1) ai.fAI_high = high;
  if (type != 0) ai.fAI_low = low;
  ApplyAction(ev, a);
  return 1;
}

// REPORT;days;HHMMSS;SMSDBS word.
int SetReport(int n, const Fields& f) {
  if (f.count != 4) return 0;
  const uint32_t days = ReadUnsigned(f.at[1]);
  const int smsdbs = SmsdbsWord(f.at[3]);
  if (days > kMaxReportDays || !IsReportHMS(f.at[2]) || smsdbs < 0) return 0;
  const char* hms = f.at[2];

  std::lock_guard<std::recursive_mutex> lock(ConfigMutex());
  OrvelEvent& ev = orvel_event[n];
  // Sent again unchanged, the schedule already computed must stay. Only an
  // event that already is a report qualifies: otherwise the defaults of a
  // free event (every day at 000000) would answer OK and set nothing.
  const bool is_report = ev.is_event_enable == 1 && ev.auto_report.cIsEnable == 1;
  if (is_report && ev.auto_report.report_days == days &&
      config::Bounded(ev.auto_report.report_HMS, sizeof ev.auto_report.report_HMS - 1) == hms &&
      (ev.iIsSMSDBS == 1) == (smsdbs == 1)) {
    PrintMsg("Report Parameters not change.\r\n");
    return 1;
  }
  set_evnt_clear(n);
  ev.is_event_enable = 1;
  ev.auto_report.cIsEnable = 1;
  ev.auto_report.report_days = days;
  std::memset(ev.auto_report.report_HMS, 0, sizeof ev.auto_report.report_HMS);
  std::memcpy(ev.auto_report.report_HMS, hms, 6);
  // The next start computes a fresh schedule from these values.
  ev.cIsNewUtilitySet = 1;
  ev.iIsVoice = 0;
  ev.iIsSMSDBS = static_cast<uint8_t>(smsdbs);
  return 1;
}

// DAI_NO_USE: the whole event, phones and message too.
int ClearEvent(int n, const Fields& f) {
  if (f.count != 1) return 0;
  std::lock_guard<std::recursive_mutex> lock(ConfigMutex());
  set_evnt_clear(n);
  ClearEventPhones(n);
  ClearEventMessage(n);
  event_status[n].ulNextReportTimeSt = GetSystemTimeSeconds();
  orvel_event[n].iIsVoice = 0;
  return 1;
}

// The trigger item of the definition text, or false when the event has none.
bool AppendTrigger(const OrvelEvent& ev, char* out, size_t size) {
  for (int i = 0; i < kDiCount; ++i) {
    const DiConfig& di = ev.di[i];
    if (di.cIsEnable != 1) continue;
    const char* form = nullptr;
    if (di.cType == kNcPulse && di.cIsCounter != 0) form = "COUNTER%d;NC_PULSE;%u;%u;";
    if (di.cType == kNoPulse && di.cIsCounter != 0) form = "COUNTER%d;NO_PULSE;%u;%u;";
    if (di.cType == kDiNc && di.cIsCounter != 1) form = "DI%d;NC;%u;%u;";
    if (di.cType == kDiNo && di.cIsCounter != 1) form = "DI%d;NO;%u;%u;";
    if (form == nullptr) continue;
    std::snprintf(out, size, form, i, di.uiHoldTime, di.uiResetTime);
    return true;
  }
  for (int i = 0; i < kAiCount; ++i) {
    const AiConfig& ai = ev.ai[i];
    if (ai.cIsEnable != 1) continue;
    if (ai.cType == kAiHigh) {
      std::snprintf(out, size, "AI%d;HIGH;%u;%u;%f;", i, ai.uiHoldTime, ai.uiResetTime, ai.fAI_high);
    } else if (ai.cType == kAiLow) {
      std::snprintf(out, size, "AI%d;LOW;%u;%u;%f;", i, ai.uiHoldTime, ai.uiResetTime, ai.fAI_low);
    } else if (ai.cType == kAiHl) {
      std::snprintf(out, size, "AI%d;HL;%u;%u;%f;%f;", i, ai.uiHoldTime, ai.uiResetTime, ai.fAI_high, ai.fAI_low);
    } else {
      continue;
    }
    return true;
  }
  if (ev.auto_report.cIsEnable == 1) {
    std::snprintf(out, size, "REPORT;%u;%s;", ev.auto_report.report_days,
                  config::Bounded(ev.auto_report.report_HMS, sizeof ev.auto_report.report_HMS - 1).c_str());
    return true;
  }
  return false;
}

int Query(int n, const EchoedCommand& cmd) {
  OrvelEvent ev;
  {
    std::lock_guard<std::recursive_mutex> lock(ConfigMutex());
    std::memcpy(&ev, &orvel_event[n], sizeof ev);
  }
  char text[kDefinitionSize] = {0};
  if (!AppendTrigger(ev, text, sizeof text)) return ReplyValues(cmd, "%s", "DAI_NO_USE");
  if (ev.iIs_do_on < 0 || ev.iIs_do_on > 3) return ReplyEr(cmd);
  size_t used = std::strlen(text);
  std::snprintf(text + used, sizeof text - used, "%s;%u;%s;%s", kDoWords[ev.iIs_do_on], ev.uiDOHoldTime,
                ev.iIsVoice == 1 ? "VOICE_ON" : "VOICE_OFF", ev.iIsSMSDBS == 1 ? "SMSDBS_ON" : "SMSDBS_OFF");
  return ReplyValues(cmd, "%s", text);
}

}  // namespace

void set_evnt_clear(int n) {
  if (n < 0 || n >= kEventCount) return;
  std::lock_guard<std::recursive_mutex> lock(ConfigMutex());
  ClearEventTriggers(orvel_event[n]);
  orvel_event[n].iIsSMSDBS = 0;
}

int cmd_evnt(char* line, int match_len) {
  const EchoedCommand cmd(line);
  const int64_t n = NumberBehindName(line, static_cast<size_t>(match_len), kEventCount - 1);
  if (n < 0) return ReplyEr(cmd);
  const int event = static_cast<int>(n);

  const Fields f(line);
  if (f.count == 0) return Query(event, cmd);
  const char* kind = f.at[0];
  int ok = 0;
  if (StartsWith(kind, "DAI_NO_USE")) {
    ok = ClearEvent(event, f);
  } else if (StartsWith(kind, "COUNTER")) {
    ok = SetDigital(event, f, true);
  } else if (StartsWith(kind, "DI")) {
    ok = SetDigital(event, f, false);
  } else if (StartsWith(kind, "AI")) {
    ok = SetAnalog(event, f);
  } else if (StartsWith(kind, "REPORT")) {
    ok = SetReport(event, f);
  }
  return ok ? ReplyOk(cmd) : ReplyEr(cmd);
}
