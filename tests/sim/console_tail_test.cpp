// The console lines the simulator keeps for `ctl console` and `ctl watch`.
#include <gtest/gtest.h>

#include "sim/run/console_tail.h"

namespace {

TEST(ConsoleTail, KeepsTheLastLinesBounded) {
  // Bytes added (in pieces split at "|"), lines asked for, what comes back.
  const struct { const char* what; const char* added; size_t asked; const char* shown; } rows[] = {
      {"lines split anywhere, CR LF or LF", "a\r|\nb\nc|c", 3, "a\nb\ncc\n"},
      {"only the newest", "1\n2\n3\n4\n5\n", 2, "4\n5\n"},
      {"at most three kept", "1\n2\n3\n4\n5\n", 10, "3\n4\n5\n"},
      {"a long line is cut into pieces", "abcdefghij\n", 3, "abcd\nefgh\nij\n"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    sim::ConsoleTail tail(3, 4);
    std::string added = row.added;
    for (size_t from = 0, bar; from <= added.size(); from = bar + 1) {
      bar = added.find('|', from);
      if (bar == std::string::npos) bar = added.size();
      tail.Add(added.substr(from, bar - from));
    }
    EXPECT_EQ(tail.Last(row.asked), row.shown);
  }
}

}  // namespace
