// The modem's AT channel as the supervisor uses it: write a command, wait a
// fixed time, take what arrived. On the board it is the serial port
// /dev/smd8; tests put a scripted module behind the same interface so that a
// whole pass runs without its seconds of waiting.
#pragma once

/// Size of the answer area of one exchange; buffers hold one byte more so a
/// full area is still a terminated text.
constexpr int kAtResponseArea = 1024;
constexpr int kAtResponseSize = kAtResponseArea + 1;
/// Size of a command text.
constexpr int kAtCommandSize = 1024;

class AtChannel {
 public:
  virtual ~AtChannel() = default;

  /// Writes `len` bytes of `cmd`, waits `wait_ms`, zeroes `response`
  /// (kAtResponseSize bytes) and places what arrived, at most
  /// kAtResponseArea bytes. Returns the number placed.
  int WriteRead(const char* cmd, int len, char* response, int wait_ms) {
    return DoWriteRead(cmd, len, response, wait_ms);
  }
  /// What is pending, at most `max_len` bytes, without waiting and without
  /// clearing `buf` first; 0 when nothing is pending.
  int Read(char* buf, int max_len) { return DoRead(buf, max_len); }
  /// A pause in the dialogue (e.g. between switching the radio off and on).
  void Pause(int ms) { DoPause(ms); }

 private:
  virtual int DoWriteRead(const char* cmd, int len, char* response, int wait_ms) = 0;
  virtual int DoRead(char* buf, int max_len) = 0;
  virtual void DoPause(int ms) = 0;
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

