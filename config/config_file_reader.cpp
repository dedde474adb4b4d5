// read_orvel_config: the strict reader of /APP/config.ini.
//
// The file is read line by line in the order the writer puts the lines. The
// 13 header lines come first; then the event blocks are followed by a small
// position machine (event, field, DI or AI index and sub-field). A line
// whose key or value does not fit its position only marks the position bad,
// and the mark fails the read at the next line: a bad last line is dropped
// without failing the read.
#include <unistd.h>

#include <cstdlib>
#include <cstring>

#include "base/console.h"
#include "base/log_ring.h"
#include "config/config_data.h"
#include "config/config_file.h"
#include "config/file_lines.h"
#include "config/text_utils.h"
#include "config/time_utils.h"
#include "platform/paths.h"

namespace {

using config::KeyIs;
using config::ParseLong;

constexpr int kPollMs = 50;
constexpr int kWaitNoticePolls = 200;  // a notice every 10 s while waiting

constexpr size_t kMachineIdMax = kMachineIdSize - 1;
constexpr size_t kPinMax = kPinSize - 1;
constexpr int64_t kTimeMinMs = 50;
constexpr int64_t kTimeMaxMs = 86400000;
constexpr int64_t kTextMsgMax = 160;
// A UCS2 message is at most 70 characters: 140 bytes, 280 hexadecimal digits.
constexpr int64_t kUcs2MsgMaxBytes = 140;
// What @EVNT accepts; 0 days counts as one.
constexpr int64_t kReportDaysMax = 31;

const uint32_t kBaudrates[] = {2400, 4800, 9600, 19200, 38400, 57600, 115200, 230400, 460800};

void PrintRule() { PrintMsg("%s", "----------------------------------\r\n"); }

bool InRange(int64_t v, int64_t lo, int64_t hi) { return v >= lo && v <= hi; }

int ClampInt(int64_t v) {
  if (v > 0x7FFFFFFF) return 0x7FFFFFFF;
  if (v < -0x7FFFFFFF) return -0x7FFFFFFF;
  return static_cast<int>(v);
}

// `value` has already been checked to fit `size` with its zero.
void CopyText(char* field, size_t size, const char* value) {
  std::memset(field, 0, size);
  std::memcpy(field, value, std::strlen(value));  // NOLINT(bugprone-not-null-terminated-result): the field was zeroed above and the value fits with its zero
}

// A ","-separated phone list: up to ten entries are stored in order; more
// are ignored with a notice. False when an entry is longer than a phone
// field holds (the entries before it stay stored).
bool ReadPhoneList(char* value, char (*phones)[kPhoneSize], int* count) {
  *count = 0;
  char* rest = value;
  while (rest != nullptr) {
    if (*count == kPhonesPerEvent) {
      PrintMsg("=>Phone number is over than %d.\r\n", kPhonesPerEvent);
      break;
    }
    char* entry = get_next_str(rest, &rest, ',');
    if (std::strlen(entry) > static_cast<size_t>(kPhoneMaxLen)) {
      PrintMsg(">Phone number is longer than %d characters!!\r\n", kPhoneMaxLen);
      return false;
    }
    CopyText(phones[*count], kPhoneSize, entry);
    ++*count;
  }
  PrintMsg("=>Count the number of phone = %d\r\n", *count);
  return true;
}

// The five values of a counter line, in order; a sixth one is an error.
template <typename Store>
bool ReadCounterList(char* value, const char* sixth_value_error, Store store) {
  char* rest = value;
  for (int i = 0; rest != nullptr; ++i) {
    char* item = get_next_str(rest, &rest, ',');
    if (i == kDiCount) {
      PrintMsg("%s", sixth_value_error);
      return false;
    }
    store(i, ParseLong(item));
  }
  return true;
}

// Positions inside an event block, in the order of the file.
enum Field {
  kEnable,
  kPhoneCount,
  kPhones,
  kSmsMode,
  kMsgLen,
  kMsg,
  kDiPart,
  kAiPart,
  kReportEnable,
  kReportDays,
  kReportHms,
  kReportNext,
  kDoOn,
  kDoHoldTime,
  kNewUtilitySet,
  kVoice,
  kSmsDbs,
};
constexpr int kLastField = kSmsDbs;

const char* const kFieldKeys[] = {
    "is_event_enable", "phone_n_now",  "phone",         "sms_mode",
    "msg_len",         "msg",          nullptr,         nullptr,
    "rp_cIsEnable",    "rp_report_days", "rp_report_HMS", "rp_ulNextReportTimeSt",
    "iIs_do_on",       "uiDOHoldTime", "cIsNewUtilitySet", "iIsVoice",
    "iIsSMSDBS",
};
const char* const kDiKeys[] = {"cIsEnable", "cType", "uiHoldTime", "uiResetTime", "cIsCounter"};
const char* const kAiKeys[] = {"cIsEnable", "cType", "uiHoldTime", "uiResetTime", "fAI_high", "fAI_low"};
constexpr int kDiFields = sizeof kDiKeys / sizeof kDiKeys[0];
constexpr int kAiFields = sizeof kAiKeys / sizeof kAiKeys[0];

// "di[2]uiHoldTime": the prefix, the index after "[" and the sub-field
// after "]" must all be the expected ones.
bool IndexedKeyIs(const char* key, const char* prefix, int index, const char* sub) {
  if (!KeyIs(key, prefix)) return false;
  const char* open = key + std::strlen(prefix) - 1;
  if (ParseLong(open + 1) != index) return false;
  const char* close = std::strchr(open, ']');
  return close != nullptr && KeyIs(close + 1, sub);
}

bool StoreFlag(int64_t v, uint8_t* field) {
  if (!InRange(v, 0, 1)) return false;
  *field = static_cast<uint8_t>(v);
  return true;
}

bool StoreTime(int64_t v, uint32_t* field) {
  if (!InRange(v, kTimeMinMs, kTimeMaxMs)) return false;
  *field = static_cast<uint32_t>(v);
  return true;
}

bool StoreLimit(const char* text, double* field) {
  double v = std::strtod(text, nullptr);
  if (!(v >= -10.0 && v <= 10.0)) return false;  // also refuses NaN
  *field = v;
  return true;
}

class ConfigReader {
 public:
  explicit ConfigReader(FILE* file) : file_(file) {}

  bool Read() { return ReadHeader() && ReadEvents(); }

 private:
  enum class Got { kLine, kEnd, kFail };

  Got NextLine();
  bool HeaderLine(const char* name, char** value);
  bool ReadHeader();
  bool ReadSerialHeader();
  bool ReadCounterHeader();
  bool ReadEvents();
  bool KeyExpected(const char* key) const;
  bool StoreValue(char* value);
  void SkipField();
  void Advance();

  FILE* file_;
  char line_[config::kLineBufferSize] = {};
  int event_ = 0;
  int field_ = kEnable;
  int di_ = 0;
  int di_field_ = 0;
  int ai_ = 0;
  int ai_field_ = 0;
  bool bad_line_ = false;
};

ConfigReader::Got ConfigReader::NextLine() {
  int len = 0;
  config::LineRead r = config::ReadFileLine(file_, line_, &len);
  if (r == config::LineRead::kEnd) return Got::kEnd;
  PrintRule();
  PrintMsg("[Totle]len: %d, %s", static_cast<int>(std::strlen(line_)), line_);
  if (r == config::LineRead::kTooLong) {
    // The rest of the line was consumed, so it cannot pass for the next
    // line; such a file was not written by the device: fail the read.
    PrintMsg("\r\n>Line is longer than %d characters!!\r\n", config::kLineMaxChars);
    return Got::kFail;
  }
  config::StripLineEnd(line_);
  return Got::kLine;
}

bool ConfigReader::HeaderLine(const char* name, char** value) {
  Got got = NextLine();
  if (got == Got::kEnd) {
    PrintMsg(">No line of '%s'!!\r\n", name);
    return false;
  }
  if (got == Got::kFail) return false;
  char* key = get_next_str(line_, value, '=');
  if (!KeyIs(key, name)) {
    PrintMsg(">Unknown title '%s', '%s' expected!!\r\n", key, name);
    return false;
  }
  if (*value != nullptr) PrintMsg("=>%s: %s\r\n", name, *value);
  return true;
}

bool ConfigReader::ReadHeader() {
  SysConfig& c = sys_config;
  char* v = nullptr;

  if (!HeaderLine("cMachineID", &v)) return false;
  if (v == nullptr) {
    PrintMsg(">No content after \"cMachineID=\", use default value.\r\n");
  } else if (std::strlen(v) > kMachineIdMax) {
    PrintMsg(">cMachineID is longer than %d characters!!\r\n", static_cast<int>(kMachineIdMax));
    return false;
  } else {
    CopyText(c.cMachineID, sizeof c.cMachineID, v);
  }

  if (!HeaderLine("cPIN", &v)) return false;
  if (v == nullptr) {
    PrintMsg(">No content after 'cPIN=', use default value.\r\n");
  } else if (std::strlen(v) > kPinMax) {
    PrintMsg(">cPIN is longer than %d characters!!\r\n", static_cast<int>(kPinMax));
    return false;
  } else {
    CopyText(c.cPIN, sizeof c.cPIN, v);
  }

  if (!HeaderLine("CtrlPhoneNo", &v)) return false;
  if (v == nullptr) {
    PrintMsg(">No content after 'CtrlPhoneNo=', use default value.\r\n");
  } else {
    int64_t n = ParseLong(v);
    if (!InRange(n, 0, kCtrlPhoneCount)) {
      PrintMsg(">Illegal value after 'CtrlPhoneNo='!!\r\n");
      return false;
    }
    c.CtrlPhoneNo = static_cast<uint32_t>(n);
  }

  if (!HeaderLine("CtrlPhone", &v)) return false;
  int count = 0;
  if (v != nullptr && !ReadPhoneList(v, c.CtrlPhone, &count)) return false;
  if (v == nullptr) PrintMsg("=>Count the number of phone = %d\r\n", count);
  if (static_cast<uint32_t>(count) != c.CtrlPhoneNo) {
    PrintMsg(">Number of phone is not match, use count value.\r\n");
    c.CtrlPhoneNo = static_cast<uint32_t>(count);
  }

  if (!HeaderLine("cIsUart2SMS", &v)) return false;
  if (v == nullptr) {
    PrintMsg(">No content after 'cIsUart2SMS=', use default value.\r\n");
  } else if (!StoreFlag(ParseLong(v), &c.cIsUart2SMS)) {
    PrintMsg(">Illegal value after 'cIsUart2SMS='!!\r\n");
    return false;
  }

  if (!HeaderLine("UartPhone", &v)) return false;
  if (v == nullptr) {
    PrintMsg(">No content after 'UartPhone=', use default value.\r\n");
  } else if (std::strlen(v) > static_cast<size_t>(kPhoneMaxLen)) {
    // A bridge number that does not fit is refused like an over-long phone
    // entry: cutting it would send every bridged line to a wrong number.
    PrintMsg(">UartPhone is longer than %d characters!!\r\n", kPhoneMaxLen);
    return false;
  } else {
    CopyText(c.UartPhone, sizeof c.UartPhone, v);
  }

  return ReadSerialHeader() && ReadCounterHeader();
}

bool ConfigReader::ReadSerialHeader() {
  SysConfig& c = sys_config;
  char* v = nullptr;

  if (!HeaderLine("uiBaudrate", &v)) return false;
  if (v == nullptr) {
    PrintMsg(">No content after 'uiBaudrate=', use default value.\r\n");
  } else {
    int64_t n = ParseLong(v);
    bool known = false;
    for (uint32_t b : kBaudrates) known = known || n == b;
    if (known) {
      c.uiBaudrate = static_cast<uint32_t>(n);
    } else {
      c.uiBaudrate = 115200;
      PrintMsg(">Illegal value after 'uiBaudrate=', use default value.\r\n");
    }
  }

  if (!HeaderLine("uiDataBit", &v)) return false;
  if (v == nullptr) {
    PrintMsg(">No content after 'uiDataBit=', use default value.\r\n");
  } else {
    int64_t n = ParseLong(v);
    if (n == 7 || n == 8) {
      c.uiDataBit = static_cast<uint8_t>(n);
    } else {
      c.uiDataBit = 8;
      PrintMsg(">Illegal value after 'uiDataBit=', use default value.\r\n");
    }
  }

  if (!HeaderLine("cParity", &v)) return false;
  if (v == nullptr) {
    PrintMsg(">No content after 'cParity=', use default value.\r\n");
  } else {
    c.cParity = (v[0] == 'N' || v[0] == 'O' || v[0] == 'E') ? v[0] : 'N';
  }

  if (!HeaderLine("uiStopBit", &v)) return false;
  if (v == nullptr) {
    PrintMsg(">No content after 'uiStopBit=', use default value.\r\n");
  } else {
    int64_t n = ParseLong(v);
    if (n == 1 || n == 2) {
      c.uiStopBit = static_cast<uint8_t>(n);
    } else {
      c.uiStopBit = 1;
      PrintMsg(">Illegal value after 'uiStopBit=', use default value.\r\n");
    }
  }
  return true;
}

// A negative count is out of range like a too large one, but the console
// must not call it "over" the limit.
void SayCountOutOfRange(const char* name, int i, int64_t n, const char* stored) {
  if (n < 0) {
    PrintMsg("%s[%d] is negative, set as %s.\r\n", name, i, stored);
  } else {
    PrintMsg("%s[%d] is over than %d.\r\n", name, i, static_cast<int>(kCounterMax));
  }
}

bool ConfigReader::ReadCounterHeader() {
  char* v = nullptr;

  if (!HeaderLine("counter_status", &v)) return false;
  if (v != nullptr && !ReadCounterList(v, "=>Counter status Content error.\r\n", [](int i, int64_t n) {
        if (InRange(n, 0, kCounterMax)) {
          sys_config.counter_status[i] = static_cast<uint32_t>(n);
        } else {
          sys_config.counter_status[i] = 0;
          SayCountOutOfRange("counter_status", i, n, "0");
        }
      })) {
    return false;
  }

  if (!HeaderLine("uiCounter", &v)) return false;
  if (v != nullptr && !ReadCounterList(v, "=>Counter alarm Content error.\r\n", [](int i, int64_t n) {
        if (InRange(n, 0, kCounterMax)) {
          sys_config.uiCounter[i] = static_cast<uint32_t>(n);
        } else {
          sys_config.uiCounter[i] = kCounterMax;
          SayCountOutOfRange("uiCounter", i, n, "999999999");
        }
      })) {
    return false;
  }

  if (!HeaderLine("cIsCounterTriggered", &v)) return false;
  if (v != nullptr && !ReadCounterList(v, "=>IsCounterTriggered Content error.\r\n", [](int i, int64_t n) {
        if (InRange(n, 0, 1)) {
          sys_config.cIsCounterTriggered[i] = static_cast<uint8_t>(n);
        } else {
          sys_config.cIsCounterTriggered[i] = 0;
          PrintMsg("cIsCounterTriggered[%d] is error, set value as 0.\r\n", i);
        }
      })) {
    return false;
  }
  return true;
}

bool ConfigReader::ReadEvents() {
  while (event_ < kEventCount) {
    Got got = NextLine();
    if (got == Got::kEnd) return true;  // a short file leaves the rest at their start values
    if (got == Got::kFail) return false;

    char* rest = nullptr;
    char* number = get_next_str(line_, &rest, '#');
    int64_t n = ParseLong(number);
    PrintMsg("     ->Event: %d\r\n", ClampInt(n));
    if (rest == nullptr) {
      PrintMsg(">Title is empty!!\r\n");
      return false;
    }
    if (n != event_) {
      PrintMsg(">Event No. error!!\r\n");
      return false;
    }
    if (bad_line_ || field_ > kLastField) {
      PrintMsg(">File content error!!\r\n");
      return false;
    }

    char* value = nullptr;
    char* key = get_next_str(rest, &value, '=');
    PrintMsg("     ->Title: %s\r\n", key);
    if (value == nullptr) {
      PrintMsg(">No content after '=', use default value.\r\n");
      SkipField();
      continue;
    }
    if (!KeyExpected(key) || !StoreValue(value)) {
      bad_line_ = true;
      continue;
    }
    PrintMsg("     =>Value: %s\r\n", value);
    Advance();
  }
  return true;
}

bool ConfigReader::KeyExpected(const char* key) const {
  if (field_ == kDiPart) return IndexedKeyIs(key, "di[", di_, kDiKeys[di_field_]);
  if (field_ == kAiPart) return IndexedKeyIs(key, "ai[", ai_, kAiKeys[ai_field_]);
  return KeyIs(key, kFieldKeys[field_]);
}

bool ConfigReader::StoreValue(char* value) {
  OrvelEvent& ev = orvel_event[event_];
  const int64_t v = ParseLong(value);
  switch (field_) {
    case kEnable:
      return StoreFlag(v, &ev.is_event_enable);
    case kPhoneCount:
      if (!InRange(v, 0, kPhonesPerEvent)) return false;
      ev.phone_n_now = static_cast<uint8_t>(v);
      return true;
    case kPhones: {
      int count = 0;
      if (!ReadPhoneList(value, ev.phone, &count)) return false;
      if (count != ev.phone_n_now) {
        PrintMsg(">Number of phone is not match, use count value.\r\n");
        ev.phone_n_now = static_cast<uint8_t>(count);
      }
      return true;
    }
    case kSmsMode:
      if (v != 0 && v != 8) return false;
      ev.sms_mode = static_cast<uint8_t>(v);
      return true;
    case kMsgLen:
      // msg_len is one byte and the buffer holds 140 UCS2 bytes (70
      // characters): larger UCS2 lengths cannot be true.
      if (!InRange(v, 0, ev.sms_mode == 8 ? kUcs2MsgMaxBytes : kTextMsgMax)) return false;
      ev.msg_len = static_cast<uint8_t>(v);
      return true;
    case kMsg: {
      const size_t len = std::strlen(value);
      if (ev.sms_mode == 8) {
        if (len > static_cast<size_t>(2 * kUcs2MsgMaxBytes)) return false;
        HexStr2Hex(value, ev.msg);
        return true;
      }
      if (len > static_cast<size_t>(kTextMsgMax)) return false;
      CopyText(ev.msg, sizeof ev.msg, value);
      return true;
    }
    case kDiPart: {
      DiConfig& di = ev.di[di_];
      switch (di_field_) {
        case 0: return StoreFlag(v, &di.cIsEnable);
        case 1:
          if (!InRange(v, 0, 4)) return false;
          di.cType = static_cast<uint8_t>(v);
          return true;
        case 2: return StoreTime(v, &di.uiHoldTime);
        case 3: return StoreTime(v, &di.uiResetTime);
        default: return StoreFlag(v, &di.cIsCounter);
      }
    }
    case kAiPart: {
      AiConfig& ai = ev.ai[ai_];
      switch (ai_field_) {
        case 0: return StoreFlag(v, &ai.cIsEnable);
        case 1:
          if (!InRange(v, 0, 3)) return false;
          ai.cType = static_cast<uint8_t>(v);
          return true;
        case 2: return StoreTime(v, &ai.uiHoldTime);
        case 3: return StoreTime(v, &ai.uiResetTime);
        case 4: return StoreLimit(value, &ai.fAI_high);
        default: return StoreLimit(value, &ai.fAI_low);
      }
    }
    case kReportEnable:
      return StoreFlag(v, &ev.auto_report.cIsEnable);
    case kReportDays:
      if (!InRange(v, 0, kReportDaysMax)) return false;
      ev.auto_report.report_days = static_cast<uint32_t>(v);
      return true;
    case kReportHms:
      if (IsReportHMS(value) != 1) return false;
      CopyText(ev.auto_report.report_HMS, sizeof ev.auto_report.report_HMS, value);
      return true;
    case kReportNext:
      // Any number: the device writes it signed, so it comes back to the
      // same 32 bits.
      event_status[event_].ulNextReportTimeSt = static_cast<uint32_t>(v);
      return true;
    case kDoOn:
      if (!InRange(v, 0, 4)) return false;
      ev.iIs_do_on = static_cast<int32_t>(v);
      return true;
    case kDoHoldTime:
      if (!InRange(v, 0, kTimeMaxMs)) return false;
      ev.uiDOHoldTime = static_cast<uint32_t>(v);
      return true;
    case kNewUtilitySet:
      return StoreFlag(v, &ev.cIsNewUtilitySet);
    case kVoice:
      if (!InRange(v, 0, 1)) return false;
      ev.iIsVoice = static_cast<int32_t>(v);
      return true;
    default:
      return StoreFlag(v, &ev.iIsSMSDBS);
  }
}

// An absent value leaves the field at its start value and moves on; in the
// DI or AI part it moves on past the whole part.
void ConfigReader::SkipField() {
  if (field_ == kDiPart) {
    di_ = di_field_ = 0;
    field_ = kAiPart;
  } else if (field_ == kAiPart) {
    ai_ = ai_field_ = 0;
    field_ = kReportEnable;
  } else {
    ++field_;  // past iIsSMSDBS this is beyond the block: the next line fails
  }
}

void ConfigReader::Advance() {
  switch (field_) {
    case kDiPart:
      if (++di_field_ == kDiFields) {
        di_field_ = 0;
        if (++di_ == kDiCount) {
          di_ = 0;
          field_ = kAiPart;
        }
      }
      break;
    case kAiPart:
      if (++ai_field_ == kAiFields) {
        ai_field_ = 0;
        if (++ai_ == kAiCount) {
          ai_ = 0;
          field_ = kReportEnable;
        }
      }
      break;
    case kSmsDbs:
      ++event_;
      field_ = kEnable;
      break;
    default:
      ++field_;
  }
}

}  // namespace

int read_orvel_config() {
  for (int polls = 0; flg_init_clear.load() != 1; ++polls) {
    if (polls % kWaitNoticePolls == 0) PrintMsg(">Waiting for the parameters to be cleared.\r\n");
    usleep(kPollMs * 1000);
  }
  PrintMsg("[Config parameters clear success]\r\n");

  bool ok = false;
  {
    std::lock_guard<std::recursive_mutex> lock(ConfigMutex());
    FILE* file = std::fopen(platform::Path("/APP/config.ini").c_str(), "r");
    if (file == nullptr) {
      PrintMsg(">Open file fail(config.ini) for reading\r\n");
    } else {
      ok = ConfigReader(file).Read();
      std::fclose(file);  // NOLINT(cert-err33-c): read only: nothing to lose
    }
  }

  PrintRule();
  if (ok) {
    flg_init_config = 1;
    PrintMsg(">Read Config.ini success!!\r\n");
    return 1;
  }
  flg_init_config = 0;
  PrintMsg(">Read Config.ini error!!\r\n");
  LogPush(1, 0, 0);
  return 0;
}
