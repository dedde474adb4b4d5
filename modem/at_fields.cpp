#include "modem/at_fields.h"

#include <cstring>

int strcpyWithStr(char* dst, size_t dst_size, const char* src, const char* delimiter) {
  if (dst == nullptr || dst_size == 0 || src == nullptr || delimiter == nullptr || *delimiter == '\0') {
    return 0;
  }
  const char* end = std::strstr(src, delimiter);
  if (end == nullptr) return 0;
  size_t n = static_cast<size_t>(end - src);
  if (n > dst_size - 1) n = dst_size - 1;
  std::memcpy(dst, src, n);
  dst[n] = '\0';
  return 1;
}

int STRNCPY_CHR(char* dst, const char* src, int max, char stop) {
  if (dst == nullptr || src == nullptr) return 0;
  for (int i = 0; i < max; ++i) {
    char c = src[i];
    if (c == stop || c == '\0') {
      dst[i] = '\0';
      return i;
    }
    dst[i] = c;
  }
  return 0;
}
