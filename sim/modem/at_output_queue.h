// The module's output in time. Echo and answers form one stream in which
// nothing overtakes what was queued before it, so the firmware reads them
// in the order the module produced them; unsolicited lines (a SIM that
// came up, a receiver that stopped) go out at their own moments, between
// two answers, never inside one, even when an answer comes in pieces.
#pragma once

#include <cstdint>
#include <deque>
#include <string>

namespace sim {

class AtOutputQueue {
 public:
  /// Queues echo or an answer due at `due_us`, or when the answers queued
  /// before it are due, whichever is later. `more_follows`: the bytes are a
  /// piece of an answer whose next piece is queued next; no unsolicited
  /// line goes out between them.
  void AddAnswer(std::string bytes, int64_t due_us, bool more_follows = false);
  /// Queues an unsolicited line due at `due_us`.
  void AddUnsolicited(std::string bytes, int64_t due_us);
  /// Removes and returns everything due at `now_us`, in the order of the
  /// moments it was due (an answer before a line due at the same moment).
  std::string TakeDue(int64_t now_us);
  /// When the next bytes are due; -1 when nothing is queued.
  int64_t next_due_us() const;
  /// When the last answer queued is due; -1 when none is queued.
  int64_t last_answer_due_us() const { return answers_.empty() ? -1 : answers_.back().due_us; }
  bool empty() const { return answers_.empty() && unsolicited_.empty(); }
  /// Forgets everything queued (a module that resets loses its output).
  void Clear();

 private:
  struct Item {
    int64_t due_us;
    std::string bytes;
    bool more_follows;
  };
  std::deque<Item> answers_;      // due times never decrease
  std::deque<Item> unsolicited_;  // kept sorted by due time
  bool inside_answer_ = false;    // the last piece sent has more to follow
};

}  // namespace sim
