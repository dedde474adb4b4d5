// The serial command table and the dispatch of one request line.
#pragma once

#include <cstdint>
#include <vector>

#include "cmd/command_reply.h"

struct CommandEntry {
  char name[12];      // with the leading "@", NUL-terminated
  int32_t match_len;  // leading characters of the request compared with name
  CommandHandler handler;
  uint32_t reserved;  // always 0, never read
};

constexpr int uiCmdCount = 35;
extern const CommandEntry u_cmd[uiCmdCount];

/// Longest request line a handler is given (the framing reads at most 1000
/// bytes); a longer token is cut to this many characters.
constexpr int kCommandLineMax = 1000;

/// Table indices of the entries that match `token`, in table order: the
/// entry's name equals the first match_len characters of the token, case
/// sensitive. "@LOGSDEXIS" has match length 11, so its NUL takes part.
std::vector<int> MatchingEntries(const char* token);

/// Calls the handler of every matching entry in table order (no break), each
/// with its own copy of the token, since handlers cut their line up.
/// Returns the number of handlers called; 0 means no reply was written.
int DispatchCommandLine(const char* token);
