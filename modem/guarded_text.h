// A fixed-size text written by one thread and read by others: every access
// holds the text's own lock, and readers get a copy, never a pointer into
// a text that may be changing.
#pragma once

#include <cstddef>
#include <cstring>
#include <mutex>
#include <string>

template <size_t N>
class GuardedText {
 public:
  static constexpr size_t kSize = N;

  /// Replaces the text; at most N - 1 characters are kept.
  void Set(const char* text) {
    size_t n = text != nullptr ? strnlen(text, N - 1) : 0;
    std::lock_guard<std::mutex> lock(mu_);
    std::memcpy(text_, text != nullptr ? text : "", n);
    text_[n] = '\0';
  }

  std::string Get() const {
    std::lock_guard<std::mutex> lock(mu_);
    return std::string(text_);
  }

  /// Copies the text into `out`, cut to `size` - 1 characters.
  void CopyTo(char* out, size_t size) const {
    if (out == nullptr || size == 0) return;
    std::lock_guard<std::mutex> lock(mu_);
    size_t n = strnlen(text_, N);
    if (n > size - 1) n = size - 1;
    std::memcpy(out, text_, n);
    out[n] = '\0';
  }

 private:
  mutable std::mutex mu_;
  char text_[N] = {};
};
