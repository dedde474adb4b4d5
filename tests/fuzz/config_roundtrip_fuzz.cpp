// Any sequence of setting requests (the input split at LF, each line up to
// its first CR, as the framing hands them over), then "@SAVE" and a fresh
// read of config.ini: the reader must take back what the device wrote, and
// give the very settings that were saved. Aborts, naming the first field
// that differs, when the read refuses the file or changes a setting.
//
// A line that is not a setting request (a query, the clock, the outputs,
// the logs) is skipped. The round trip is a function of the settings alone,
// so a settings state already checked is not saved and read again.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "base/log_ring.h"
#include "cmd/command_pause.h"
#include "cmd/command_table.h"
#include "config/config_data.h"
#include "config/config_file.h"
#include "fuzz_root.h"

namespace {

int g_port = -1;
constexpr int kMaxRequests = 16;
constexpr size_t kMaxCheckedStates = 1 << 20;

const char* const kSettingCommands[] = {"@STAN",   "@EVNT",   "@PHONE",    "@MSG",  "@ACTV",  "@CPIN", "@DEFT",
                                        "@CTRLPH", "@UARTPH", "@UARTSET", "@VOICE", "@SMSDBS"};

bool IsSettingRequest(const char* line) {
  const std::vector<int> entries = MatchingEntries(line);
  if (entries.empty()) return false;
  for (int i : entries) {
    bool setting = false;
    for (const char* name : kSettingCommands) setting = setting || std::strcmp(u_cmd[i].name, name) == 0;
    if (!setting) return false;
  }
  return true;
}

// Every setting the file holds, field by field: `f(name, event, index,
// bytes, count)`. Texts are given up to their terminator (what lies behind
// it is no setting), lists up to their count, a UCS2 message up to its
// length.
using Visit = std::function<void(const char*, int, int, const void*, size_t)>;

void Text(const Visit& f, const char* name, int ev, int idx, const char* s, size_t size) {
  f(name, ev, idx, s, strnlen(s, size));
}

template <typename T>
void Value(const Visit& f, const char* name, int ev, int idx, const T& v) {
  f(name, ev, idx, &v, sizeof v);
}

void VisitSettings(const Visit& f) {
  const SysConfig& c = sys_config;
  Text(f, "cMachineID", -1, 0, c.cMachineID, sizeof c.cMachineID);
  Text(f, "cPIN", -1, 0, c.cPIN, sizeof c.cPIN);
  Value(f, "CtrlPhoneNo", -1, 0, c.CtrlPhoneNo);
  for (uint32_t i = 0; i < c.CtrlPhoneNo && i < kCtrlPhoneCount; ++i) {
    Text(f, "CtrlPhone", -1, static_cast<int>(i), c.CtrlPhone[i], kPhoneSize);
  }
  Value(f, "cIsUart2SMS", -1, 0, c.cIsUart2SMS);
  Text(f, "UartPhone", -1, 0, c.UartPhone, sizeof c.UartPhone);
  Value(f, "uiBaudrate", -1, 0, c.uiBaudrate);
  Value(f, "uiDataBit", -1, 0, c.uiDataBit);
  Value(f, "cParity", -1, 0, c.cParity);
  Value(f, "uiStopBit", -1, 0, c.uiStopBit);
  for (int i = 0; i < kDiCount; ++i) {
    Value(f, "counter_status", -1, i, c.counter_status[i].load());
    Value(f, "uiCounter", -1, i, c.uiCounter[i].load());
    Value(f, "cIsCounterTriggered", -1, i, c.cIsCounterTriggered[i].load());
  }
  for (int n = 0; n < kEventCount; ++n) {
    const OrvelEvent& e = orvel_event[n];
    Value(f, "is_event_enable", n, 0, e.is_event_enable);
    Value(f, "phone_n_now", n, 0, e.phone_n_now);
    for (int i = 0; i < e.phone_n_now && i < kPhonesPerEvent; ++i) Text(f, "phone", n, i, e.phone[i], kPhoneSize);
    Value(f, "sms_mode", n, 0, e.sms_mode);
    Value(f, "msg_len", n, 0, e.msg_len);
    if (e.sms_mode == 8) {
      f("msg", n, 0, e.msg, e.msg_len < kMsgSize ? e.msg_len : kMsgSize);
    } else {
      Text(f, "msg", n, 0, e.msg, kMsgSize);
    }
    for (int j = 0; j < kDiCount; ++j) {
      const DiConfig& d = e.di[j];
      Value(f, "di.cIsEnable", n, j, d.cIsEnable);
      Value(f, "di.cType", n, j, d.cType);
      Value(f, "di.uiHoldTime", n, j, d.uiHoldTime);
      Value(f, "di.uiResetTime", n, j, d.uiResetTime);
      Value(f, "di.cIsCounter", n, j, d.cIsCounter);
    }
    for (int j = 0; j < kAiCount; ++j) {
      const AiConfig& a = e.ai[j];
      Value(f, "ai.cIsEnable", n, j, a.cIsEnable);
      Value(f, "ai.cType", n, j, a.cType);
      Value(f, "ai.uiHoldTime", n, j, a.uiHoldTime);
      Value(f, "ai.uiResetTime", n, j, a.uiResetTime);
      Value(f, "ai.fAI_high", n, j, a.fAI_high);
      Value(f, "ai.fAI_low", n, j, a.fAI_low);
    }
    Value(f, "rp_cIsEnable", n, 0, e.auto_report.cIsEnable);
    Value(f, "rp_report_days", n, 0, e.auto_report.report_days);
    Text(f, "rp_report_HMS", n, 0, e.auto_report.report_HMS, sizeof e.auto_report.report_HMS);
    Value(f, "rp_ulNextReportTimeSt", n, 0, event_status[n].ulNextReportTimeSt);
    Value(f, "iIs_do_on", n, 0, e.iIs_do_on);
    Value(f, "uiDOHoldTime", n, 0, e.uiDOHoldTime);
    Value(f, "cIsNewUtilitySet", n, 0, e.cIsNewUtilitySet);
    Value(f, "iIsVoice", n, 0, e.iIsVoice);
    Value(f, "iIsSMSDBS", n, 0, e.iIsSMSDBS);
  }
}

std::string Packed() {
  std::string out;
  out.reserve(16384);
  VisitSettings([&out](const char*, int, int, const void* p, size_t n) {
    out.append(static_cast<const char*>(p), n);
    out.push_back('\0');  // so that two texts cannot pass for one
  });
  return out;
}

struct Field {
  std::string name;
  std::string bytes;
};

std::vector<Field> Fields() {
  std::vector<Field> out;
  VisitSettings([&out](const char* name, int ev, int idx, const void* p, size_t n) {
    std::string label = ev >= 0 ? std::to_string(ev) + "#" + name : name;
    out.push_back({label + "[" + std::to_string(idx) + "]", std::string(static_cast<const char*>(p), n)});
  });
  return out;
}

std::string Hex(const std::string& s) {
  std::string out;
  char two[4];
  for (unsigned char ch : s) {
    std::snprintf(two, sizeof two, "%02X", ch);
    out += two;
  }
  return out;
}

[[noreturn]] void Differs(const std::vector<Field>& saved, const std::vector<Field>& read) {
  for (size_t i = 0; i < saved.size() || i < read.size(); ++i) {
    const Field* a = i < saved.size() ? &saved[i] : nullptr;
    const Field* b = i < read.size() ? &read[i] : nullptr;
    if (a != nullptr && b != nullptr && a->name == b->name && a->bytes == b->bytes) continue;
    std::fprintf(stderr, "config round trip: %s saved as %s, read back as %s %s\n", a ? a->name.c_str() : "(none)",
                 a ? Hex(a->bytes).c_str() : "-", b ? b->name.c_str() : "(none)", b ? Hex(b->bytes).c_str() : "-");
    break;
  }
  abort();
}

void SetUpOnce() {
  g_port = fuzzroot::MakeRoot("config-roundtrip-fuzz", {"/APP", "/media/card", "/var"});
  command_pause_ms = 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static std::unordered_set<size_t> checked;
  if (g_port < 0) SetUpOnce();
  init_orvel_config();  // forgets the port: it comes after
  set_default();
  uart1 = g_port;
  for (const std::string& request : fuzzroot::Requests(data, size, kMaxRequests, kCommandLineMax)) {
    if (IsSettingRequest(request.c_str())) DispatchCommandLine(request.c_str());
  }
  LogRingClear();

  const std::string saved = Packed();
  if (checked.size() >= kMaxCheckedStates) checked.clear();
  if (!checked.insert(std::hash<std::string_view>{}(saved)).second) return 0;
  const std::vector<Field> saved_fields = Fields();
  char save[] = "@SAVE";
  DispatchCommandLine(save);
  init_orvel_config();
  if (read_orvel_config() != 1) {
    std::fprintf(stderr, "config round trip: the reader refused the file the device wrote\n");
    abort();
  }
  LogRingClear();
  if (Packed() != saved) Differs(saved_fields, Fields());
  return 0;
}
