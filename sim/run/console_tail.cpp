#include "sim/run/console_tail.h"

namespace sim {

void ConsoleTail::Add(const std::string& bytes) {
  for (char c : bytes) {
    if (c == '\n') {
      if (!open_.empty() && open_.back() == '\r') open_.pop_back();
      EndLine();
    } else {
      open_ += c;
      if (open_.size() >= max_line_) EndLine();
    }
  }
}

void ConsoleTail::EndLine() {
  lines_.push_back(std::move(open_));
  open_.clear();
  while (lines_.size() > max_lines_) lines_.pop_front();
}

std::string ConsoleTail::Last(size_t n) const {
  std::string out;
  const size_t whole = open_.empty() ? n : (n == 0 ? 0 : n - 1);
  const size_t from = lines_.size() > whole ? lines_.size() - whole : 0;
  for (size_t i = from; i < lines_.size(); ++i) out += lines_[i] + "\n";
  if (!open_.empty() && n > 0) out += open_ + "\n";
  return out;
}

}  // namespace sim
