// Cutting fields out of AT answers and other texts into fixed-size buffers.
#pragma once

#include <cstddef>

/// The field buffer of the modem dialogue: 19 characters and a terminator.
constexpr int kAtFieldSize = 20;

/// Copies the text of `src` up to (not including) the first occurrence of
/// `delimiter` into `dst` and terminates it; returns 1. Returns 0 and leaves
/// `dst` unchanged when the delimiter does not occur (or an argument is
/// missing). A field longer than `dst_size` - 1 characters is cut: answers
/// come from outside and are never trusted to fit.
int strcpyWithStr(char* dst, size_t dst_size, const char* src, const char* delimiter);

/// The same for a destination array, whose size bounds the copy.
template <size_t N>
int strcpyWithStr(char (&dst)[N], const char* src, const char* delimiter) {
  return strcpyWithStr(dst, N, src, delimiter);
}

/// Copies characters from `src` to `dst` until `stop` or a zero byte,
/// terminates `dst` and returns the number copied. When `max` characters have
/// been copied without meeting either, returns 0 and writes no terminator;
/// `dst` must hold `max` bytes.
int STRNCPY_CHR(char* dst, const char* src, int max, char stop);
