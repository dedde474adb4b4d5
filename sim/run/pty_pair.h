// A pseudo-terminal standing in for one serial line of the board.
//
// The simulator works the master side and keeps the slave side open itself,
// in raw mode, for as long as it runs: a program that opens and closes the
// slave (the firmware does so on every modem pass, a person's terminal
// program whenever it likes) then never hangs the line up, and the line
// discipline echoes nothing back.
#pragma once

#include <memory>
#include <string>

namespace sim {

class PtyPair {
 public:
  /// Opens a pair; null with a message in `error` when it cannot.
  static std::unique_ptr<PtyPair> Open(std::string* error);
  ~PtyPair();
  PtyPair(const PtyPair&) = delete;
  PtyPair& operator=(const PtyPair&) = delete;

  /// The master side, non-blocking.
  int master() const { return master_; }
  /// The slave side the simulator holds open (for looking at what waits
  /// unread on it).
  int held_slave() const { return held_slave_; }
  /// e.g. /dev/pts/7
  const std::string& slave_path() const { return slave_path_; }

 private:
  PtyPair(int master, int held_slave, std::string slave_path);

  int master_;
  int held_slave_;
  std::string slave_path_;
};

/// Points `link` at `target`, replacing whatever link was there.
bool PlaceLink(const std::string& target, const std::string& link, std::string* error);
/// Removes `link` when it still points at `target`.
void RemoveLinkTo(const std::string& target, const std::string& link);

}  // namespace sim
