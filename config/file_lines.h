// Line and number rules shared by the readers of the settings files
// (config.ini, gain.ini, CTStatus.ini).
#pragma once

#include <cstdint>
#include <cstdio>

namespace config {

/// A line buffer: at most 511 characters of a line, its line end included.
constexpr int kLineBufferSize = 512;
constexpr int kLineMaxChars = kLineBufferSize - 1;

enum class LineRead {
  kLine,     // `buf` holds the line as read, line end included
  kEnd,      // nothing left in the file
  kTooLong,  // the line did not fit; the whole line was consumed
};

/// Reads one line into `buf` (kLineBufferSize bytes); a line ends in CR LF,
/// LF or CR alone. An over-long line is
/// read to its end, so its tail is never taken for the next line; `buf` then
/// holds its first 511 characters. `len` receives the number of bytes stored.
LineRead ReadFileLine(FILE* file, char* buf, int* len);

/// Cuts one trailing CR LF, LF or CR. Files the device wrote end their lines
/// in CR LF; hand-edited ones may not, and no real character may be lost.
void StripLineEnd(char* line);

/// A decimal number read the way atol reads it (leading blanks, a sign,
/// digits, the rest ignored, no digits = 0), saturating instead of
/// overflowing.
int64_t ParseLong(const char* text);

/// Keys are compared over the expected name's length only, so a key that
/// merely begins with the name also matches.
bool KeyIs(const char* key, const char* name);

}  // namespace config
