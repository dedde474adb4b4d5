// printf-style appending to a std::string, for files built whole in memory
// before they are written.
#pragma once

#include <string>

namespace config {

void AppendFormat(std::string* out, const char* format, ...) __attribute__((format(printf, 2, 3)));

/// At most `max` characters of a fixed-size text field, even when the field
/// lacks its terminating zero.
std::string Bounded(const char* field, size_t max);

}  // namespace config
