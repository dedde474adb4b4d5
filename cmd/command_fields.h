// Reading the fields of a request: the split behind the command name, the
// number written right behind the name, and the two ways field numbers are
// taken.
#pragma once

#include <cstddef>
#include <cstdint>

#include "config/text_utils.h"

/// The fields behind the command name, cut out of the line in place with
/// get_entry. No command takes more than kMax; a count of kMax + 1 means
/// "too many".
template <int kMax>
struct CommandFields {
  explicit CommandFields(char* line) {
    char* rest = nullptr;
    get_entry(line, &rest);  // the command name with its index
    while (rest != nullptr && count <= kMax) {
      char* field = get_entry(rest, &rest);
      if (count < kMax) at[count] = field;
      ++count;
    }
  }
  char* at[kMax] = {};
  int count = 0;
};

/// A number read the way strtoul reads it (blanks, an optional sign, digits,
/// the rest ignored; no digits is 0). A negative number or one beyond 32 bits
/// comes back as UINT32_MAX, which every range check refuses.
uint32_t ReadUnsigned(const char* text);

/// A field of decimal digits only, at most `max`. Signs, blanks and trailing
/// text are refused: a typing error must not become a different number.
bool DecimalField(const char* text, uint64_t max, uint64_t* value);

/// The number written right behind a command name (an event, channel or
/// output number): the text from `at` up to the first ";" of the line or its
/// end. Nothing written reads as 0. Plain decimal digits up to `max`, else
/// -1: a sign, a blank or any other character is out of range, so a typing
/// error never addresses another event or output.
int64_t NumberBehindName(const char* line, size_t at, uint64_t max);
