// Stands in for the senders' wait before a failed number is tried again:
// notes each wait, and how many attempts the modem stand-in had seen by
// then, instead of sleeping it.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "queue/retry_wait.h"

namespace testqueue {

class RetryWaitRecorder {
 public:
  explicit RetryWaitRecorder(std::function<size_t()> attempts_so_far) : attempts_(std::move(attempts_so_far)) {
    current_ = this;
    previous_ = SetRetryWaitHook(&Note);
  }
  ~RetryWaitRecorder() {
    SetRetryWaitHook(previous_);
    current_ = nullptr;
  }
  /// The attempts with "wait MS" put where the waits came.
  std::vector<std::string> Trace(const std::vector<std::string>& attempts) const {
    std::vector<std::string> trace;
    size_t w = 0;
    for (size_t i = 0; i <= attempts.size(); ++i) {
      for (; w < waits_.size() && waits_[w].first == i; ++w)
        trace.push_back("wait " + std::to_string(waits_[w].second));
      if (i < attempts.size()) trace.push_back(attempts[i]);
    }
    for (; w < waits_.size(); ++w) trace.push_back("stray wait " + std::to_string(waits_[w].second));
    return trace;
  }

 private:
  static void Note(int ms) { current_->waits_.emplace_back(current_->attempts_(), ms); }

  static inline RetryWaitRecorder* current_ = nullptr;
  std::function<size_t()> attempts_;
  std::vector<std::pair<size_t, int>> waits_;
  RetryWaitHook previous_ = nullptr;
};

}  // namespace testqueue
