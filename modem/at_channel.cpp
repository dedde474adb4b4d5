#include "modem/at_channel.h"

#include <algorithm>
#include <cstring>

#include "base/console.h"
#include "base/sleep.h"
#include "modem/at_answers.h"
#include "modem/serial_port.h"

namespace {

// Reads taken at once from a port that keeps talking: the rest waits for
// the next look.
constexpr int kAsideReadsMax = 16;
constexpr int kReadChunk = 256;

// A zero byte inside an answer would hide the rest of it from every reader
// of the text: such bytes are dropped as they arrive. Returns the new length.
int DropZeros(char* text, int from, int len) {
  char* end = std::remove(text + from, text + len, '\0');
  std::fill(end, text + len, '\0');
  return static_cast<int>(end - text);
}

}  // namespace

std::string AtEchoOf(const char* cmd) {
  std::string echo(cmd);
  while (!echo.empty() && (echo.back() == '\n' || echo.back() == '\r' || echo.back() == 0x1A)) echo.pop_back();
  return echo;
}

AtAnswerSpan FindAtAnswer(const char* text, const std::string& echo) {
  const char* at = echo.empty() ? nullptr : std::strstr(text, echo.c_str());
  AtAnswerSpan span;
  span.echoed = at != nullptr;
  span.begin = span.echoed ? static_cast<size_t>(at - text) : 0;
  const size_t len = FinalResultEnd(text + span.begin);
  span.end = len == 0 ? 0 : span.begin + len;
  return span;
}

void AtChannel::SetAsideWaiting() {
  char chunk[kReadChunk];
  for (int i = 0; i < kAsideReadsMax; ++i) {
    int n = DoRead(chunk, sizeof chunk);
    if (n <= 0) return;
    SetAside(std::string(chunk, static_cast<size_t>(n)));
  }
}

void AtChannel::SetAside(const std::string& text) {
  aside_ += text;
  if (aside_.size() <= static_cast<size_t>(kAtAsideMax)) return;
  size_t drop = aside_.size() - kAtAsideMax;
  PrintMsg(">AT input set aside: %d bytes dropped\r\n", static_cast<int>(drop));
  aside_.erase(0, drop);
}

std::string AtChannel::TakeSetAside() {
  std::string text;
  text.swap(aside_);
  return text;
}

bool AtChannel::WriteCollect(const char* cmd, int len, std::string* answer, const CollectWaits& waits) {
  SetAsideWaiting();
  const std::string echo = AtEchoOf(std::string(cmd, static_cast<size_t>(len)).c_str());
  char area[kAtResponseSize];
  const int got = WriteRead(cmd, len, area, waits.first_wait_ms);
  int n = DropZeros(area, 0, got > 0 ? got : 0);
  answer->assign(area, static_cast<size_t>(n > 0 ? n : 0));
  int waited = waits.first_wait_ms;
  for (;;) {
    // The command's own final result code: one before its echo ends an
    // earlier answer (a late confirmation), not this one.
    const AtAnswerSpan span = FindAtAnswer(answer->c_str(), echo);
    if (span.end != 0) {
      SetAside(answer->substr(0, span.begin) + answer->substr(span.end));
      *answer = answer->substr(span.begin, span.end - span.begin);
      return true;
    }
    if (waits.poll_ms <= 0 || waited >= waits.max_wait_ms || answer->size() >= static_cast<size_t>(kAtCollectMax)) return false;
    Pause(waits.poll_ms);
    waited += waits.poll_ms;
    int room = kAtCollectMax - static_cast<int>(answer->size());
    n = DoRead(area, room < kAtResponseArea ? room : kAtResponseArea);
    if (n > 0) answer->append(area, static_cast<size_t>(DropZeros(area, 0, n)));
  }
}

int AtChannel::WriteReadWhole(const char* cmd, int len, char* response, int wait_ms, bool until_prompt) {
  const std::string echo = AtEchoOf(std::string(cmd, static_cast<size_t>(len)).c_str());
  int n = WriteRead(cmd, len, response, wait_ms);
  n = DropZeros(response, 0, n < 0 ? 0 : n);
  // Ended by the command's own final result code (or prompt), looked for
  // behind its echo: a late answer to an earlier command may come first.
  auto ended = [&] {
    const AtAnswerSpan span = FindAtAnswer(response, echo);
    return span.end != 0 || (until_prompt && std::strstr(response + span.begin, "> ") != nullptr);
  };
  for (int waited = 0; waited < kAtWholeMaxMs && n < kAtResponseArea && !ended(); waited += kAtWholePollMs) {
    Pause(kAtWholePollMs);
    int more = DoRead(response + n, kAtResponseArea - n);
    if (more > 0) n = DropZeros(response, n, n + more);
  }
  return n;
}

void AtChannel::Exchange(const char* cmd, char* response, int wait_ms, bool until_prompt) {
  SetAsideWaiting();
  WriteReadWhole(cmd, static_cast<int>(std::strlen(cmd)), response, wait_ms, until_prompt);
  if (!until_prompt) SetAsideAround(cmd, response);
}

void AtChannel::SetAsideAround(const char* cmd, char* response) {
  const AtAnswerSpan span = FindAtAnswer(response, AtEchoOf(cmd));
  if (!span.echoed) return;
  const std::string text(response);
  const std::string answer = text.substr(span.begin, span.end == 0 ? std::string::npos : span.end - span.begin);
  SetAside(text.substr(0, span.begin) + (span.end == 0 ? "" : text.substr(span.end)));
  std::memset(response, 0, kAtResponseSize);
  answer.copy(response, kAtResponseArea);
}

int SerialAtChannel::DoWriteRead(const char* cmd, int len, char* response, int wait_ms) {
  return uart_write_read(fd_, cmd, len, response, wait_ms);
}

int SerialAtChannel::DoRead(char* buf, int max_len) { return uart_read(fd_, buf, max_len); }

void SerialAtChannel::DoPause(int ms) { SleepMilliseconds(ms); }

