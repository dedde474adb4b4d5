// The modem's AT channel as the supervisor uses it: write a command, wait a
// fixed time, take what arrived; or collect the answer up to its final
// result code where losing its end would lose data. Input that came before a
// command is set aside rather than read as its answer. On the board it is
// the serial port /dev/smd8; tests put a scripted module behind the same
// interface so that a whole pass runs without its seconds of waiting.
#pragma once

#include <string>

/// Size of the answer area of one exchange; buffers hold one byte more so a
/// full area is still a terminated text.
constexpr int kAtResponseArea = 1024;
constexpr int kAtResponseSize = kAtResponseArea + 1;
/// Size of a command text.
constexpr int kAtCommandSize = 1024;
/// Most bytes an answer collected up to its final result code may grow to,
/// and most bytes kept aside between two looks at them.
constexpr int kAtCollectMax = 4096;
constexpr int kAtAsideMax = 4096;
/// How long, beyond its fixed wait, an answer not yet ended is read on.
constexpr int kAtWholePollMs = 20;
constexpr int kAtWholeMaxMs = 1000;

/// The command as the module echoes it: without its line end or Ctrl-Z.
std::string AtEchoOf(const char* cmd);

/// Where the answer to a command lies in `text`: from the command's echo (0
/// without one) to behind the first final result code after it (`end` 0
/// while that has not come).
struct AtAnswerSpan {
  bool echoed = false;
  size_t begin = 0;
  size_t end = 0;
};
AtAnswerSpan FindAtAnswer(const char* text, const std::string& echo);

class AtChannel {
 public:
  virtual ~AtChannel() = default;

  /// Writes `len` bytes of `cmd`, waits `wait_ms`, zeroes `response`
  /// (kAtResponseSize bytes) and places what arrived, at most
  /// kAtResponseArea bytes. Returns the number placed.
  int WriteRead(const char* cmd, int len, char* response, int wait_ms) {
    return DoWriteRead(cmd, len, response, wait_ms);
  }
  /// WriteRead, then, while the answer has not ended (no final result code
  /// behind the command's echo, nor with `until_prompt` the "> " prompt of
  /// AT+CMGS), a look every
  /// kAtWholePollMs for at most kAtWholeMaxMs more: a module's answer may come
  /// in pieces, and an end read with the next command would be taken for
  /// that command's answer. Zero bytes are dropped. Returns the number of
  /// bytes placed.
  int WriteReadWhole(const char* cmd, int len, char* response, int wait_ms, bool until_prompt = false);
  /// One command of the supervisor's dialogue: waiting input set aside, the
  /// command written, its answer read whole (WriteReadWhole) and, unless it
  /// waits for the AT+CMGS prompt, kept apart from what came around it
  /// (SetAsideAround).
  void Exchange(const char* cmd, char* response, int wait_ms, bool until_prompt = false);
  /// Keeps in `response` only the answer to `cmd`: what came before the
  /// module's echo of the command, or behind the answer's final result code,
  /// is set aside (a late confirmation or an unsolicited line between two
  /// answers is no part of either). Without the echo nothing is moved.
  void SetAsideAround(const char* cmd, char* response);
  /// What is pending, at most `max_len` bytes, without waiting and without
  /// clearing `buf` first; 0 when nothing is pending.
  int Read(char* buf, int max_len) { return DoRead(buf, max_len); }
  /// A pause in the dialogue (e.g. between switching the radio off and on).
  void Pause(int ms) { DoPause(ms); }

  /// Reads what is already waiting and keeps it aside, so that a late
  /// answer to an earlier command is never taken for the answer to the next
  /// one. Called before each command of the supervisor's dialogue.
  void SetAsideWaiting();
  /// Keeps `text` aside behind what is already there. Past kAtAsideMax bytes
  /// the oldest text is dropped, and the console says so.
  void SetAside(const std::string& text);
  /// Takes what was kept aside since the last take.
  std::string TakeSetAside();

  /// Collecting an answer: the first look after `first_wait_ms`, then one
  /// every `poll_ms`, for at most `max_wait_ms` in all.
  struct CollectWaits {
    int first_wait_ms;
    int poll_ms;
    int max_wait_ms;
  };
  /// Sets waiting input aside, writes the command and collects its answer up
  /// to and including the first final result code behind its echo; what came
  /// before the echo or behind that code is set aside. True when the final result code came; false when the wait or
  /// kAtCollectMax bytes ran out first (`answer` then holds what came).
  bool WriteCollect(const char* cmd, int len, std::string* answer, const CollectWaits& waits);

 private:
  virtual int DoWriteRead(const char* cmd, int len, char* response, int wait_ms) = 0;
  virtual int DoRead(char* buf, int max_len) = 0;
  virtual void DoPause(int ms) = 0;

  std::string aside_;
};

/// The channel over an open serial port (uart_write_read, uart_read).
class SerialAtChannel final : public AtChannel {
 public:
  explicit SerialAtChannel(int fd) : fd_(fd) {}
  int fd() const { return fd_; }

 private:
  int DoWriteRead(const char* cmd, int len, char* response, int wait_ms) override;
  int DoRead(char* buf, int max_len) override;
  void DoPause(int ms) override;

  int fd_;
};

