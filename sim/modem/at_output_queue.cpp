#include "sim/modem/at_output_queue.h"

#include <algorithm>

namespace sim {

void AtOutputQueue::AddAnswer(std::string bytes, int64_t due_us, bool more_follows) {
  if (bytes.empty()) return;
  if (!answers_.empty() && answers_.back().due_us > due_us) due_us = answers_.back().due_us;
  answers_.push_back({due_us, std::move(bytes), more_follows});
}

void AtOutputQueue::AddUnsolicited(std::string bytes, int64_t due_us) {
  if (bytes.empty()) return;
  auto at = std::upper_bound(unsolicited_.begin(), unsolicited_.end(), due_us,
                             [](int64_t due, const Item& item) { return due < item.due_us; });
  unsolicited_.insert(at, {due_us, std::move(bytes), false});
}

std::string AtOutputQueue::TakeDue(int64_t now_us) {
  std::string out;
  for (;;) {
    bool answer = !answers_.empty() && answers_.front().due_us <= now_us;
    bool line = !inside_answer_ && !unsolicited_.empty() && unsolicited_.front().due_us <= now_us;
    if (answer && line) answer = answers_.front().due_us <= unsolicited_.front().due_us;
    if (!answer && !line) return out;
    std::deque<Item>& from = answer ? answers_ : unsolicited_;
    out += from.front().bytes;
    inside_answer_ = answer && from.front().more_follows;
    from.pop_front();
  }
}

int64_t AtOutputQueue::next_due_us() const {
  int64_t next = answers_.empty() ? -1 : answers_.front().due_us;
  // Inside an answer only its next piece can go out.
  if (inside_answer_ && next >= 0) return next;
  if (!unsolicited_.empty() && (next < 0 || unsolicited_.front().due_us < next)) next = unsolicited_.front().due_us;
  return next;
}

void AtOutputQueue::Clear() {
  answers_.clear();
  unsolicited_.clear();
  inside_answer_ = false;
}

}  // namespace sim
