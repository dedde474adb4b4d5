#include "sim/modem/at_line_reader.h"

namespace sim {

namespace {
constexpr char kCtrlZ = 0x1A;
constexpr char kEscape = 0x1B;
constexpr char kBackspace = 0x08;
}  // namespace

void AtLineReader::ExpectPdu() {
  in_pdu_ = true;
  overflow_ = false;
  buffer_.clear();
}

void AtLineReader::ExpectCommands() {
  in_pdu_ = false;
  overflow_ = false;
  buffer_.clear();
}

AtLineReader::Event AtLineReader::Take(char c) {
  if (in_pdu_) {
    if (c == kCtrlZ || c == kEscape) {
      bool overflow = overflow_;
      text_ = buffer_;
      ExpectCommands();
      if (c == kEscape) return Event::kPduCancel;
      return overflow ? Event::kPduTooLong : Event::kPdu;
    }
    if (c == '\r' || c == '\n') return Event::kNone;
    if (buffer_.size() >= kMaxPduText) {
      overflow_ = true;
    } else {
      buffer_ += c;
    }
    return Event::kNone;
  }
  if (c == '\r') return EndLine();
  if (c == kBackspace) {
    if (!buffer_.empty()) buffer_.pop_back();
    return Event::kNone;
  }
  // Whatever comes before "AT" (a stray line feed, noise) is no command.
  if (buffer_.empty() && c != 'A' && c != 'a') return Event::kNone;
  if (buffer_.size() == 1 && c != 'T' && c != 't') {
    buffer_.clear();
    if (c == 'A' || c == 'a') buffer_ += c;
    return Event::kNone;
  }
  if (buffer_.size() >= kMaxAtLine) {
    overflow_ = true;
  } else {
    buffer_ += c;
  }
  return Event::kNone;
}

AtLineReader::Event AtLineReader::EndLine() {
  bool overflow = overflow_;
  text_ = buffer_;
  buffer_.clear();
  overflow_ = false;
  if (overflow) return Event::kLineTooLong;
  if (text_.size() < 2) return Event::kNone;  // a lone "A" is no command
  return Event::kCommand;
}

}  // namespace sim
