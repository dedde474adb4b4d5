#include "modem/at_answers.h"

#include <cctype>
#include <cstdio>
#include <cstring>

namespace {

// Largest number taken from a field; longer digit runs saturate here.
constexpr int32_t kNumberCap = 999999999;

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// The text after `tag` (given without its blank, e.g. "+CSQ:") and the
// blanks behind it, searched from `from`. The module prints one blank after
// the colon; its manual prints none, and some firmwares pad with more.
const char* After(const char* from, const char* tag) {
  const char* p = std::strstr(from, tag);
  if (p == nullptr) return nullptr;
  p += std::strlen(tag);
  while (IsBlank(*p)) ++p;
  return p;
}

// A decimal number at the start of a field, blanks allowed before it; at
// least one digit is needed, and what follows the digits is ignored.
bool ReadNumber(const char* text, int32_t* value) {
  while (IsBlank(*text)) ++text;
  if (*text < '0' || *text > '9') return false;
  int64_t n = 0;
  for (; *text >= '0' && *text <= '9'; ++text) {
    n = n * 10 + (*text - '0');
    if (n > kNumberCap) n = kNumberCap;
  }
  *value = static_cast<int32_t>(n);
  return true;
}

bool EndOfLine(char c) { return c == '\r' || c == '\n' || c == '\0'; }

}  // namespace

CpinAnswer ParseCpinQuery(const char* answer) {
  if (answer == nullptr) return CpinAnswer::kNotUsable;
  if (std::strstr(answer, "+CPIN: READY") != nullptr) return CpinAnswer::kReady;
  if (std::strstr(answer, "SIM PIN") != nullptr) return CpinAnswer::kPinWanted;
  if (std::strstr(answer, "SIM failure") != nullptr) return CpinAnswer::kSimFailure;
  return CpinAnswer::kNotUsable;
}

bool ParseCregQuery(const char* answer, int32_t* stat) {
  if (answer == nullptr) return false;
  // An unsolicited "+CREG: 1" (no comma) may come before the answer: the
  // comma is looked for on the line of the prefix only.
  for (const char* p = After(answer, "+CREG:"); p != nullptr; p = After(p, "+CREG:")) {
    const char* q = p;
    while (!EndOfLine(*q) && *q != ',') ++q;
    if (*q != ',') continue;
    char field[kAtFieldSize];
    if (strcpyWithStr(field, q + 1, "\r") == 0) return false;
    return ReadNumber(field, stat);
  }
  return false;
}

bool ParseCsqExec(const char* answer, int32_t* rssi) {
  if (answer == nullptr) return false;
  const char* p = After(answer, "+CSQ:");
  char field[kAtFieldSize];
  if (p == nullptr || strcpyWithStr(field, p, ",") == 0) return false;
  return ReadNumber(field, rssi);
}

bool ParseSimeiQuery(const char* answer, char* imei, size_t size) {
  if (answer == nullptr || imei == nullptr || size == 0) return false;
  const char* p = After(answer, "+SIMEI:");
  char field[kAtFieldSize];
  if (p == nullptr || strcpyWithStr(field, p, "\r") == 0) return false;
  std::snprintf(imei, size, "%s", field);
  return true;
}

bool ParseCgpsinfoExec(const char* answer, GpsInfo* info) {
  if (answer == nullptr) return false;
  std::memset(info, 0, sizeof *info);
  const char* p = After(answer, "+CGPSINFO:");
  if (p == nullptr) return false;
  for (int i = 0; i < kGpsFieldCount; ++i) {
    const char* delimiter = i < kGpsFieldCount - 1 ? "," : "\r";
    if (strcpyWithStr(info->field[i], p, delimiter) == 0) break;
    p = std::strstr(p, delimiter) + 1;
  }
  return true;
}

int FormatGprmc(const GpsInfo& info, char* out, size_t size) {
  if (info.field[kGpsLatitude][0] == '\0') {
    std::snprintf(out, size, "%s", "$GPRMC,,V,,,,,,,,,W*70");
    return 0;
  }
  // The check text is fixed, and the field after the empty magnetic
  // variation repeats the E/W indicator: readers of the sentence expect
  // exactly this form.
  std::snprintf(out, size, "$GPRMC,%s,A,%s,%s,%s,%s,%s,%s,%s,,%s*70", info.field[kGpsUtcTime],
                info.field[kGpsLatitude], info.field[kGpsNorthSouth], info.field[kGpsLongitude],
                info.field[kGpsEastWest], info.field[kGpsSpeed], info.field[kGpsCourse], info.field[kGpsDate],
                info.field[kGpsEastWest]);
  return 1;
}

bool ParseCpmsQuery(const char* answer, int* used, int* total) {
  *used = 0;
  *total = 0;
  if (answer == nullptr) return false;
  const char* p = After(answer, "+CPMS:");
  if (p == nullptr) return false;
  const char* comma = std::strchr(p, ',');
  if (comma == nullptr) return false;
  char field[kAtFieldSize];
  // The used count ends at the next comma; an answer that stops after it
  // (one storage only) is read up to its line end.
  if (strcpyWithStr(field, comma + 1, ",") == 0 && strcpyWithStr(field, comma + 1, "\r") == 0) return false;
  int32_t n = 0;
  if (!ReadNumber(field, &n)) return false;
  comma = std::strchr(comma + 1, ',');
  int32_t places = 0;
  if (comma != nullptr &&
      (strcpyWithStr(field, comma + 1, ",") != 0 || strcpyWithStr(field, comma + 1, "\r") != 0) &&
      ReadNumber(field, &places)) {
    if (places > kMaxStoragePlaces) places = kMaxStoragePlaces;
  } else {
    places = 0;
  }
  *used = n;
  *total = places;
  return true;
}

namespace {

// One line of an answer: [begin, end) without its line end; `next` is past
// the line end, and `ended` says whether the line end has come.
struct Line {
  const char* begin;
  const char* end;
  const char* next;
  bool ended;
};

Line LineAt(const char* p) {
  const char* e = p;
  while (*e != '\0' && *e != '\r' && *e != '\n') ++e;
  Line line{p, e, e, *e != '\0'};
  // "\r\n", a lone "\r" or "\n", and the "\r\r\n" behind an echoed command.
  while (*line.next == '\r') ++line.next;
  if (*line.next == '\n') ++line.next;
  return line;
}

bool LineIs(const Line& line, const char* text) {
  size_t n = std::strlen(text);
  return static_cast<size_t>(line.end - line.begin) == n && std::strncmp(line.begin, text, n) == 0;
}

bool LineStarts(const Line& line, const char* text) {
  size_t n = std::strlen(text);
  return static_cast<size_t>(line.end - line.begin) >= n && std::strncmp(line.begin, text, n) == 0;
}

bool IsFinalResult(const Line& line) {
  return LineIs(line, "OK") || LineIs(line, "ERROR") || LineStarts(line, "+CMS ERROR:") ||
         LineStarts(line, "+CME ERROR:");
}

bool IsHexLine(const Line& line) {
  if (line.begin == line.end) return false;
  for (const char* p = line.begin; p != line.end; ++p) {
    if (!std::isxdigit(static_cast<unsigned char>(*p))) return false;
  }
  return true;
}

}  // namespace

size_t FinalResultEnd(const char* answer) {
  if (answer == nullptr) return 0;
  for (const char* p = answer; *p != '\0';) {
    Line line = LineAt(p);
    if (IsFinalResult(line)) return static_cast<size_t>(line.next - answer);
    p = line.next;
  }
  return 0;
}

CmgsAnswer ParseCmgsAnswer(const char* answer, size_t* end) {
  if (end != nullptr) *end = 0;
  if (answer == nullptr) return CmgsAnswer::kNoVerdict;
  bool confirmation = false;
  for (const char* p = answer; *p != '\0';) {
    Line line = LineAt(p);
    if (LineStarts(line, "+CMGS:")) confirmation = true;
    if (IsFinalResult(line)) {
      if (end != nullptr) *end = static_cast<size_t>(line.next - answer);
      return confirmation && LineIs(line, "OK") ? CmgsAnswer::kConfirmed : CmgsAnswer::kRefused;
    }
    p = line.next;
  }
  return CmgsAnswer::kNoVerdict;
}

bool IsCmgsConfirmed(const char* answer) { return ParseCmgsAnswer(answer, nullptr) == CmgsAnswer::kConfirmed; }

const char* FindCmgsLine(const char* from, char* line, size_t size) {
  if (from == nullptr) return nullptr;
  const char* p = std::strstr(from, "+CMGS:");
  if (p == nullptr) return nullptr;
  if (line != nullptr && size > 0) {
    Line l = LineAt(p);
    size_t n = static_cast<size_t>(l.end - l.begin);
    if (n > size - 1) n = size - 1;
    std::memcpy(line, l.begin, n);
    line[n] = '\0';
  }
  return p;
}

CmgrdFind FindCmgrdAnswer(const char* from, CmgrdAnswer* answer) {
  *answer = CmgrdAnswer();
  const char* header = from != nullptr ? std::strstr(from, "+CMGRD:") : nullptr;
  if (header == nullptr) return CmgrdFind::kNone;
  answer->header = header;
  Line head = LineAt(header);
  if (!head.ended) return CmgrdFind::kIncomplete;
  // "<stat>,[<alpha>],<length>": a header without its two commas carries
  // nothing that can be read.
  const char* comma = static_cast<const char*>(std::memchr(head.begin, ',', static_cast<size_t>(head.end - head.begin)));
  if (comma == nullptr ||
      std::memchr(comma + 1, ',', static_cast<size_t>(head.end - comma - 1)) == nullptr) {
    answer->next = head.next;
    return CmgrdFind::kFound;
  }
  for (const char* p = head.next;;) {
    Line line = LineAt(p);
    // A final result code or the next header before any PDU: this answer
    // has none.
    if (IsFinalResult(line) || LineStarts(line, "+CMGRD:")) {
      answer->next = line.begin;
      return CmgrdFind::kFound;
    }
    if (!line.ended) return CmgrdFind::kIncomplete;
    if (IsHexLine(line)) {
      answer->pdu = line.begin;
      answer->next = line.next;
      return CmgrdFind::kFound;
    }
    // An unsolicited line (or an empty one), passed over.
    p = line.next;
  }
}
