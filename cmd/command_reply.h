// What every serial command handler shares: the handler contract, the reply
// buffer, and the reply grammar
//   "!<id>;<cmd>;OK\r\n", "!<id>;<cmd>;OK;<values>\r\n", "!<id>;<cmd>;ER\r\n"
// where <id> is cMachineID and <cmd> the request's first field without its
// "@" (the command name with any index written behind it).
#pragma once

#include <cstdarg>

#include "config/config_data.h"

/// A handler gets the request line (its own copy, which it may cut up) and
/// the match length of its table entry. 1 after an OK reply, 0 after ER.
using CommandHandler = int (*)(char* line, int match_len);

/// Size of the shared reply buffer; a reply is cut to fit it, keeping its
/// CR LF.
constexpr int kReplySize = 512;
extern char strCMDTemp[kReplySize];
/// "!%s;%s;%s\r\n": the failure reply's format.
extern const char* const ErrFormat;

/// The echoed command of `line`: its text up to the first ";" (or its end),
/// without the leading "@". It is kept whole as far as an OK or ER reply
/// under the longest machine ID still fits the reply buffer. Call it before
/// the line is cut up.
struct EchoedCommand {
  /// "!" + machine ID + ";" before it, ";ER\r\n" behind it, and the zero.
  static constexpr int kMax = kReplySize - (1 + (kMachineIdSize - 1) + 1) - 5 - 1;
  explicit EchoedCommand(const char* line);
  char text[kMax + 1];
};

/// Writes `len` bytes to the port of the command protocol (uart1) in one
/// write; nothing when the port is not open.
void ReplyWrite(const char* text, int len);
/// Formats into strCMDTemp and writes it. Returns the length written.
int ReplyPrintf(const char* format, ...) __attribute__((format(printf, 1, 2)));
/// "!<id>;<cmd>;OK\r\n"; returns 1. `id` null means cMachineID.
int ReplyOk(const EchoedCommand& cmd, const char* id = nullptr);
/// "!<id>;<cmd>;ER\r\n" (ErrFormat); returns 0.
int ReplyEr(const EchoedCommand& cmd);
/// "!<id>;<cmd>;OK;" + the formatted values + "\r\n"; returns 1.
int ReplyValues(const EchoedCommand& cmd, const char* format, ...) __attribute__((format(printf, 2, 3)));
