#include "config/string_format.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace config {

void AppendFormat(std::string* out, const char* format, ...) {
  char small[256];
  va_list ap;
  va_start(ap, format);
  int n = std::vsnprintf(small, sizeof small, format, ap);
  va_end(ap);
  if (n < 0) return;
  if (static_cast<size_t>(n) < sizeof small) {
    out->append(small, static_cast<size_t>(n));
    return;
  }
  std::string big(static_cast<size_t>(n) + 1, '\0');
  va_start(ap, format);
  std::vsnprintf(&big[0], big.size(), format, ap);
  va_end(ap);
  out->append(big.data(), static_cast<size_t>(n));
}

std::string Bounded(const char* field, size_t max) { return std::string(field, strnlen(field, max)); }

}  // namespace config
