// Cuts what the firmware writes on the AT channel into command lines and,
// after the module's "> " prompt of AT+CMGS, into the PDU text that Ctrl-Z
// ends (or ESC cancels). Both are bounded: a longer line or PDU is
// consumed to its end and reported as too long.
#pragma once

#include <cstddef>
#include <string>

namespace sim {

/// Longest command line the module takes, and longest PDU text.
constexpr size_t kMaxAtLine = 556;
constexpr size_t kMaxPduText = 1024;

class AtLineReader {
 public:
  enum class Event {
    kNone,        // nothing complete yet
    kCommand,     // text(): the line from "AT" on, without its CR
    kLineTooLong, // a line ended that did not fit
    kPdu,         // text(): the PDU text before Ctrl-Z (line ends left out)
    kPduTooLong,  // Ctrl-Z ended a PDU text that did not fit
    kPduCancel,   // ESC ended the PDU text
  };

  /// Takes one byte and says what it completed.
  Event Take(char c);
  const std::string& text() const { return text_; }

  /// The bytes from now on are a PDU, up to Ctrl-Z or ESC.
  void ExpectPdu();
  /// Back to command lines, dropping a PDU begun (e.g. on a time-out).
  void ExpectCommands();
  bool in_pdu() const { return in_pdu_; }

 private:
  Event EndLine();

  bool in_pdu_ = false;
  bool overflow_ = false;
  std::string buffer_;
  std::string text_;
};

}  // namespace sim
