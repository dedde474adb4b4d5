#include "config/file_lines.h"

#include <cctype>
#include <cstring>
#include <limits>

namespace config {

LineRead ReadFileLine(FILE* file, char* buf, int* len) {
  int n = 0;
  bool any = false;
  bool too_long = false;
  auto store = [&](int c) {
    if (n < kLineMaxChars) {
      buf[n++] = static_cast<char>(c);
    } else {
      too_long = true;
    }
  };
  // The file belongs to the one reader that opened it: no lock per byte.
  for (;;) {
    int c = getc_unlocked(file);
    if (c == EOF) break;
    any = true;
    store(c);
    if (c == '\n') break;
    if (c == '\r') {
      // CR LF ends a line, and so does a CR alone (files saved by old Mac
      // editors), which must not run every setting into one line.
      int next = getc_unlocked(file);
      if (next == '\n') {
        store(next);
      } else if (next != EOF) {
        std::ungetc(next, file);  // NOLINT(cert-err33-c): one character just read can always go back
      }
      break;
    }
  }
  buf[n] = '\0';
  *len = n;
  if (!any) return LineRead::kEnd;
  return too_long ? LineRead::kTooLong : LineRead::kLine;
}

void StripLineEnd(char* line) {
  size_t n = std::strlen(line);
  if (n > 0 && line[n - 1] == '\n') line[--n] = '\0';
  if (n > 0 && line[n - 1] == '\r') line[--n] = '\0';
}

int64_t ParseLong(const char* text) {
  if (text == nullptr) return 0;
  const unsigned char* p = reinterpret_cast<const unsigned char*>(text);
  while (std::isspace(*p)) ++p;
  bool negative = false;
  if (*p == '+' || *p == '-') {
    negative = *p == '-';
    ++p;
  }
  constexpr int64_t kMax = std::numeric_limits<int64_t>::max();
  int64_t value = 0;
  for (; std::isdigit(*p); ++p) {
    int digit = *p - '0';
    if (value > (kMax - digit) / 10) {
      value = kMax;
      continue;
    }
    value = value * 10 + digit;
  }
  return negative ? -value : value;
}

bool KeyIs(const char* key, const char* name) {
  return key != nullptr && std::strncmp(key, name, std::strlen(name)) == 0;
}

}  // namespace config
