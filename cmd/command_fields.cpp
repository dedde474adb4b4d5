#include "cmd/command_fields.h"

#include <cstring>

uint32_t ReadUnsigned(const char* text) {
  while (*text == ' ' || (*text >= '\t' && *text <= '\r')) ++text;
  if (*text == '-') {
    ++text;
    return *text >= '0' && *text <= '9' ? UINT32_MAX : 0;
  }
  if (*text == '+') ++text;
  uint64_t v = 0;
  for (; *text >= '0' && *text <= '9'; ++text) {
    v = v * 10 + static_cast<uint64_t>(*text - '0');
    if (v > UINT32_MAX) return UINT32_MAX;
  }
  return static_cast<uint32_t>(v);
}

bool DecimalField(const char* text, uint64_t max, uint64_t* value) {
  if (text == nullptr || *text == '\0') return false;
  uint64_t n = 0;
  for (const char* p = text; *p != '\0'; ++p) {
    if (*p < '0' || *p > '9') return false;
    n = n * 10 + static_cast<uint64_t>(*p - '0');
    if (n > max) return false;
  }
  *value = n;
  return true;
}

int64_t NumberBehindName(const char* line, size_t at, uint64_t max) {
  if (line == nullptr || strnlen(line, at) < at) return 0;  // the name alone
  const char* from = line + at;
  const size_t len = std::strcspn(from, ";");
  if (len == 0) return 0;
  // A number of more digits than any range holds is refused unread.
  char digits[21];
  if (len >= sizeof digits) return -1;
  std::memcpy(digits, from, len);
  digits[len] = '\0';
  uint64_t n = 0;
  return DecimalField(digits, max, &n) ? static_cast<int64_t>(n) : -1;
}
