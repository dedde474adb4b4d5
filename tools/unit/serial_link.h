// The host's end of the unit's terminal line: a serial port (/dev/ttyUSB0)
// or the simulated board's DIR/term, at the utility mode's 115200 8N1, raw.
// One request line out, its answer back; the line is opened again after a
// failure, so a board that was restarted is found once it is back.
#pragma once

#include <string>

namespace unitlink {

// Opens `path` raw at 115200 8N1; -1 with `error` set on failure.
int OpenRawPort(const std::string& path, std::string* error);

// Writes all of `bytes`, waiting up to a second whenever the line is full.
bool WriteAllBytes(int fd, const std::string& bytes);

// The request as the unit wants it: without line ends of its own, then CR.
std::string FramedRequest(std::string request);

// What came back for one request. `bytes` is empty when nothing came
// within the wait for the first byte.
struct Exchange {
  std::string bytes;
  std::string error;  // the line could not be opened or written
};

class SerialLink {
 public:
  explicit SerialLink(std::string path) : path_(std::move(path)) {}
  ~SerialLink();
  SerialLink(const SerialLink&) = delete;
  SerialLink& operator=(const SerialLink&) = delete;

  const std::string& path() const { return path_; }

  // Sends one request and collects its answer: up to `first_byte_ms` for
  // the first byte, then until a line end with nothing behind it for a
  // short while (the unit writes a reply in one piece). Answers are
  // bounded: a reply is one line of at most 512 bytes, so 16 KiB is plenty.
  Exchange Ask(const std::string& request, int first_byte_ms);

 private:
  bool EnsureOpen(std::string* error);
  void Close();

  std::string path_;
  int fd_ = -1;
};

}  // namespace unitlink
