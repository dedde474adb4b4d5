// Who is told about an event and what it says: @PHONE, @MSG and @SMSDBS of
// the event definitions, the control phones (@CTRLPH) and the number of the
// UART-to-SMS bridge (@UARTPH). Changes stay in memory until @SAVE.
//
// Every field is checked before the first write, so a refused set changes
// nothing. Stored texts end up as lines of config.ini, where phone lists
// are joined with ",": a line end inside a text would split its line (and
// the next start would lose every setting), a "," inside a number would
// read back as two numbers. Both are refused.
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>

#include "base/console.h"
#include "cmd/command_fields.h"
#include "cmd/command_reply.h"
#include "cmd/handlers.h"
#include "config/config_data.h"
#include "config/file_lines.h"
#include "config/string_format.h"
#include "config/text_utils.h"
#include "modem/pdu_codec.h"

namespace {

constexpr int kTextMsgMax = 160;   // 7-bit characters
constexpr int kUcs2CharsMax = 70;  // UCS2 characters (two bytes each)
constexpr int kPhoneListChars = kPhonesPerEvent * (kPhoneSize + 1);

using PhoneList = char[kPhonesPerEvent][kPhoneSize];

bool HasLineEnd(const char* text) { return std::strpbrk(text, "\r\n") != nullptr; }

// What a stored phone number may be: at most 19 characters, no line end,
// no "," (the list separator of config.ini).
bool PhoneFits(const char* number) {
  return std::strlen(number) <= static_cast<size_t>(kPhoneMaxLen) && std::strpbrk(number, "\r\n,") == nullptr;
}

// The event number behind the command name; -1 when it is no event.
int EventIndex(const char* line, int match_len) {
  return static_cast<int>(NumberBehindName(line, static_cast<size_t>(match_len), kEventCount - 1));
}

// "count[;first;second...]" of a stored list, for a query reply.
void JoinPhones(const PhoneList& phones, uint32_t count, char* out, size_t size) {
  if (count > static_cast<uint32_t>(kPhonesPerEvent)) count = kPhonesPerEvent;
  size_t used = static_cast<size_t>(std::snprintf(out, size, "%u", count));
  for (uint32_t i = 0; i < count && used < size; ++i) {
    used += static_cast<size_t>(
        std::snprintf(out + used, size - used, ";%s", config::Bounded(phones[i], kPhoneMaxLen).c_str()));
  }
}

// The set of a phone list: "count;number;number...". Count 0 clears the
// list; otherwise exactly `count` numbers replace the whole list (entries
// beyond them are emptied, since the control-phone match looks at all ten)
// and further fields are ignored. An empty number is refused: it reaches
// nobody, and a list of one empty number reads back from config.ini as no
// list at all. -1 = refused, else the new count with `work` holding the new
// list.
int ReadPhoneList(char* rest, PhoneList& work, const char* trace) {
  std::memset(work, 0, sizeof work);
  char* count_text = get_entry(rest, &rest);
  const uint32_t count = ReadUnsigned(count_text);
  PrintMsg("cPhoneNum=%s, %d\r\n", count_text, static_cast<int>(count));
  if (count > static_cast<uint32_t>(kPhonesPerEvent)) return -1;
  for (uint32_t i = 0; i < count; ++i) {
    if (rest == nullptr) return -1;  // fewer numbers than the count
    const char* number = get_entry(rest, &rest);
    if (number[0] == '\0' || !PhoneFits(number)) return -1;
    std::strcpy(work[i], number);
    PrintMsg(trace, static_cast<int>(i), work[i]);
  }
  return static_cast<int>(count);
}

// The query answer of a stored list, read under the settings lock and
// traced with `trace` when one is given.
template <typename Count>
int ReplyPhoneList(const EchoedCommand& cmd, const PhoneList& phones, const Count& count, const char* trace) {
  char list[kPhoneListChars + 8];
  {
    std::lock_guard<std::recursive_mutex> lock(ConfigMutex());
    JoinPhones(phones, count, list, sizeof list);
  }
  if (trace != nullptr) PrintMsg(trace, list);
  return ReplyValues(cmd, "%s", list);
}

// The set of a stored list: the new list replaces the old one whole, under
// the settings lock. The new count, or -1 when refused (nothing changed).
template <typename Count>
int StorePhoneList(char* rest, PhoneList& phones, Count& count, const char* trace) {
  PhoneList work;
  const int n = ReadPhoneList(rest, work, trace);
  if (n < 0) return -1;
  std::lock_guard<std::recursive_mutex> lock(ConfigMutex());
  std::memcpy(phones, work, sizeof phones);
  count = static_cast<Count>(n);
  return n;
}

int MessageQuery(const OrvelEvent& ev, const EchoedCommand& cmd) {
  const bool ucs2 = ev.sms_mode == 8;
  const char* type = ucs2 ? "UCS2" : "7BIT";
  if (ev.msg_len == 0) return ReplyValues(cmd, "%s;0", type);
  if (ucs2) {
    char hex[2 * kMsgSize + 1];
    Hex2HexStr(hex, ev.msg, ev.msg_len < kMsgSize ? ev.msg_len : kMsgSize);
    return ReplyValues(cmd, "%s;%d;%s", type, ev.msg_len / 2, hex);
  }
  return ReplyValues(cmd, "%s;%d;%s", type, ev.msg_len, config::Bounded(ev.msg, kTextMsgMax).c_str());
}

bool IsHexText(const char* text) {
  for (; *text != '\0'; ++text) {
    const char c = *text;
    if (!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f'))) return false;
  }
  return true;
}

}  // namespace

// @PHONE n;0 and @MSG n;(CLR) clear the same way as @EVNT n;DAI_NO_USE.
void ClearEventPhones(int n) {
  std::lock_guard<std::recursive_mutex> lock(ConfigMutex());
  OrvelEvent& ev = orvel_event[n];
  std::memset(ev.phone, 0, sizeof ev.phone);
  ev.phone_n_now = 0;
}

void ClearEventMessage(int n) {
  std::lock_guard<std::recursive_mutex> lock(ConfigMutex());
  OrvelEvent& ev = orvel_event[n];
  ev.sms_mode = 0;
  ev.msg_len = 0;
  std::memset(ev.msg, 0, sizeof ev.msg);
}

int cmd_phone(char* line, int match_len) {
  const EchoedCommand cmd(line);
  const int n = EventIndex(line, match_len);
  if (n < 0) return ReplyEr(cmd);
  char* rest = nullptr;
  get_entry(line, &rest);
  OrvelEvent& ev = orvel_event[n];
  if (rest == nullptr) return ReplyPhoneList(cmd, ev.phone, ev.phone_n_now, "strPhone=%s\r\n");
  const int count = StorePhoneList(rest, ev.phone, ev.phone_n_now, "strPhone[%d]=%s\r\n");
  if (count < 0) return ReplyEr(cmd);
  if (count == 0) PrintMsg("Clear all phone in Event(%d)!!\r\n", n);
  return ReplyOk(cmd);
}

int cmd_ctrlphone(char* line, int) {
  const EchoedCommand cmd(line);
  char* rest = nullptr;
  get_entry(line, &rest);
  SysConfig& c = sys_config;
  if (rest == nullptr) return ReplyPhoneList(cmd, c.CtrlPhone, c.CtrlPhoneNo, nullptr);
  return StorePhoneList(rest, c.CtrlPhone, c.CtrlPhoneNo, "CtrlPhone[%d]=%s\r\n") < 0 ? ReplyEr(cmd) : ReplyOk(cmd);
}

int cmd_uartphone(char* line, int) {
  const EchoedCommand cmd(line);
  char* rest = nullptr;
  get_entry(line, &rest);
  SysConfig& c = sys_config;
  if (rest == nullptr) {
    std::string number;
    {
      std::lock_guard<std::recursive_mutex> lock(ConfigMutex());
      number = config::Bounded(c.UartPhone, kPhoneMaxLen);
    }
    return ReplyValues(cmd, "%s", number.empty() ? "N/A" : number.c_str());
  }
  const char* number = get_entry(rest, &rest);
  if (std::strncmp(number, "(CLR)", 5) == 0) {
    number = "";
  } else if (!PhoneFits(number)) {
    return ReplyEr(cmd);
  }
  {
    std::lock_guard<std::recursive_mutex> lock(ConfigMutex());
    std::memset(c.UartPhone, 0, sizeof c.UartPhone);
    std::strcpy(c.UartPhone, number);
  }
  PrintMsg("UartPhone = %s\r\n", number);
  return ReplyOk(cmd);
}

int cmd_msg(char* line, int match_len) {
  const EchoedCommand cmd(line);
  const int n = EventIndex(line, match_len);
  if (n < 0) return ReplyEr(cmd);
  PrintMsg("uiEvntNo = %d\r\n", n);
  char* rest = nullptr;
  get_entry(line, &rest);
  if (rest == nullptr) {
    OrvelEvent ev;
    {
      std::lock_guard<std::recursive_mutex> lock(ConfigMutex());
      std::memcpy(&ev, &orvel_event[n], sizeof ev);
    }
    return MessageQuery(ev, cmd);
  }

  const char* type = get_entry(rest, &rest);
  PrintMsg("cType=%s\r\n", type);
  if (std::strcmp(type, "(CLR)") == 0) {
    ClearEventMessage(n);
    PrintMsg("Clear MSG Content!!\r\n");
    return ReplyOk(cmd);
  }
  const bool ucs2 = std::strcmp(type, "UCS2") == 0;
  if (!ucs2 && std::strcmp(type, "7BIT") != 0) return ReplyEr(cmd);
  // A missing length or text reads as empty and fails the checks below.
  const char* len_text = rest != nullptr ? get_entry(rest, &rest) : "";
  const char* text = rest != nullptr ? get_entry(rest, &rest) : "";
  // A ";" inside the text would have cut it here: refused rather than
  // stored short.
  if (rest != nullptr) return ReplyEr(cmd);
  const uint32_t len = ReadUnsigned(len_text);
  const size_t text_len = std::strlen(text);
  PrintMsg("uiLen=%d\r\n", static_cast<int>(len));
  PrintMsg("strBuff=%s\r\n", text);

  char msg[kMsgSize] = {0};
  int msg_len = 0;
  if (ucs2) {
    // Four hexadecimal digits per character, exactly as many as the count
    // says: anything else would store a message other than the one sent.
    if (len < 1 || len > static_cast<uint32_t>(kUcs2CharsMax) || text_len != size_t{4} * len || !IsHexText(text)) {
      return ReplyEr(cmd);
    }
    char bytes[kMsgSize];
    HexStr2Hex(text, bytes);
    msg_len = static_cast<int>(2 * len);
    std::memcpy(msg, bytes, static_cast<size_t>(msg_len));
  } else {
    // The text must fit one SMS as it is sent: an extension character
    // takes two of its 160 septets.
    if (len < 1 || len > static_cast<uint32_t>(kTextMsgMax) || text_len < 1 ||
        text_len > static_cast<size_t>(kTextMsgMax) ||
        gsmIsoSeptetCount(text, static_cast<int>(text_len)) > kPduMaxSeptets || HasLineEnd(text)) {
      return ReplyEr(cmd);
    }
    // At most `len` characters are kept, and the length counts only what
    // was kept, so the message never carries zero bytes of its own.
    msg_len = static_cast<int>(text_len < len ? text_len : len);
    std::memcpy(msg, text, static_cast<size_t>(msg_len));
  }

  {
    std::lock_guard<std::recursive_mutex> lock(ConfigMutex());
    OrvelEvent& ev = orvel_event[n];
    ev.sms_mode = ucs2 ? 8 : 0;
    std::memcpy(ev.msg, msg, sizeof ev.msg);
    ev.msg_len = static_cast<uint8_t>(msg_len);
  }
  return ReplyOk(cmd);
}

int CmdSMSDBS(char* line, int match_len) {
  const EchoedCommand cmd(line);
  const int n = EventIndex(line, match_len);
  if (n < 0) return ReplyEr(cmd);
  PrintMsg("uiEvntNo = %d\r\n", n);
  char* rest = nullptr;
  get_entry(line, &rest);
  OrvelEvent& ev = orvel_event[n];
  std::unique_lock<std::recursive_mutex> lock(ConfigMutex());
  if (rest == nullptr) {
    const int value = ev.iIsSMSDBS;
    lock.unlock();
    return ReplyValues(cmd, "%d", value);
  }
  ev.iIsSMSDBS = config::ParseLong(get_entry(rest, &rest)) == 1 ? 1 : 0;
  lock.unlock();
  return ReplyOk(cmd);
}
