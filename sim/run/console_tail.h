// The last lines of the firmware's console, kept by the simulator for
// `ctl console` and `ctl watch` while the console itself goes on to the
// simulator's output.
#pragma once

#include <cstddef>
#include <deque>
#include <string>

namespace sim {

class ConsoleTail {
 public:
  /// Keeps at most `max_lines` lines of at most `max_line` characters each.
  ConsoleTail(size_t max_lines, size_t max_line) : max_lines_(max_lines), max_line_(max_line) {}

  /// Console bytes as they come: lines end at LF, a CR before it is
  /// dropped; a line longer than `max_line` counts as ended there.
  void Add(const std::string& bytes);
  /// The last `n` lines (an unfinished one last), each ended by LF.
  std::string Last(size_t n) const;

 private:
  void EndLine();

  size_t max_lines_;
  size_t max_line_;
  std::deque<std::string> lines_;
  std::string open_;
};

}  // namespace sim
