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

}  // namespace

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
  char area[kAtResponseSize];
  int n = WriteRead(cmd, len, area, waits.first_wait_ms);
  answer->assign(area, static_cast<size_t>(n > 0 ? n : 0));
  int waited = waits.first_wait_ms;
  for (;;) {
    // A zero byte inside an answer would hide the rest from its readers.
    answer->erase(std::remove(answer->begin(), answer->end(), '\0'), answer->end());
    size_t end = FinalResultEnd(answer->c_str());
    if (end != 0) {
      SetAside(answer->substr(end));
      answer->erase(end);
      return true;
    }
    if (waits.poll_ms <= 0 || waited >= waits.max_wait_ms || answer->size() >= static_cast<size_t>(kAtCollectMax)) return false;
    Pause(waits.poll_ms);
    waited += waits.poll_ms;
    int room = kAtCollectMax - static_cast<int>(answer->size());
    n = DoRead(area, room < kAtResponseArea ? room : kAtResponseArea);
    if (n > 0) answer->append(area, static_cast<size_t>(n));
  }
}

int AtChannel::WriteReadWhole(const char* cmd, int len, char* response, int wait_ms, bool until_prompt) {
  int n = WriteRead(cmd, len, response, wait_ms);
  if (n < 0) n = 0;
  auto ended = [&] {
    return FinalResultEnd(response) != 0 || (until_prompt && std::strstr(response, "> ") != nullptr);
  };
  for (int waited = 0; waited < kAtWholeMaxMs && n < kAtResponseArea && !ended(); waited += kAtWholePollMs) {
    Pause(kAtWholePollMs);
    int more = DoRead(response + n, kAtResponseArea - n);
    if (more > 0) n += more;
  }
  return n;
}

void AtChannel::Exchange(const char* cmd, char* response, int wait_ms, bool until_prompt) {
  SetAsideWaiting();
  WriteReadWhole(cmd, static_cast<int>(std::strlen(cmd)), response, wait_ms, until_prompt);
  if (!until_prompt) SetAsideAround(cmd, response);
}

void AtChannel::SetAsideAround(const char* cmd, char* response) {
  std::string echo(cmd);
  while (!echo.empty() && (echo.back() == '\n' || echo.back() == '\r')) echo.pop_back();
  const char* at = echo.empty() ? nullptr : std::strstr(response, echo.c_str());
  if (at == nullptr) return;
  std::string text(response);
  const size_t begin = static_cast<size_t>(at - response);
  const size_t end = FinalResultEnd(text.c_str() + begin);
  std::string answer = text.substr(begin, end == 0 ? std::string::npos : end);
  SetAside(text.substr(0, begin) + (end == 0 ? "" : text.substr(begin + end)));
  std::memset(response, 0, kAtResponseSize);
  answer.copy(response, kAtResponseArea);
}

int SerialAtChannel::DoWriteRead(const char* cmd, int len, char* response, int wait_ms) {
  return uart_write_read(fd_, cmd, len, response, wait_ms);
}

int SerialAtChannel::DoRead(char* buf, int max_len) { return uart_read(fd_, buf, max_len); }

void SerialAtChannel::DoPause(int ms) { SleepMilliseconds(ms); }

