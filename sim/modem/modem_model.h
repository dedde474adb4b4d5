// The cellular module behind DIR/dev/smd8, as the simulator plays it.
//
// The modem port hands the model every byte the firmware writes on the AT
// channel; the model answers through its sender, at once or later (it names
// the time of its next own action, and the loop calls it back then). Control
// commands for the module (`sim`, `net`, `csq`, `gps`, `sms`, `outbox`,
// `calls`, `sms-fail`, `call`, `own-number`, `modem-delay`, `realistic`,
// `module`, `cmgs-delay`) and the module's
// part of the state report go to the model too. What the module does on
// its own that a person at the simulator should see (a seed, a module gone
// and back, a late confirmation) goes to its notifier.
//
// Times are monotonic microseconds; the caller passes its clock in, so a
// test can step it.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "sim/control/json.h"
#include "sim/control/reply.h"

namespace sim {

class ModemModel {
 public:
  /// Puts bytes on the AT channel towards the firmware.
  using Sender = std::function<void(const std::string& bytes)>;
  /// Shows a line about the module on the simulator's console.
  using Notifier = std::function<void(const std::string& line)>;

  virtual ~ModemModel() = default;

  void SetSender(Sender sender) { sender_ = std::move(sender); }
  void SetNotifier(Notifier notifier) { notifier_ = std::move(notifier); }

  /// Bytes the firmware wrote, seen at `now_us`.
  void Receive(const std::string& bytes, int64_t now_us) { DoReceive(bytes, now_us); }
  /// When the model next wants to act on its own; -1 for never.
  int64_t NextDeadlineUs() const { return DoNextDeadlineUs(); }
  /// Called at (or after) that time.
  void OnDeadline(int64_t now_us) { DoOnDeadline(now_us); }
  /// A control command addressed to the module, split into words; `line` is
  /// the whole command as typed (for texts with spaces).
  Reply Command(const std::vector<std::string>& words, const std::string& line, int64_t now_us) {
    return DoCommand(words, line, now_us);
  }
  /// Adds the module's members to the state report: "modem", "sim",
  /// "registration", "signal", "gps", "store".
  void AddState(Json& state, int64_t now_us) const { DoAddState(state, now_us); }
  /// Whether the module is registered with a network at `now_us`: a data
  /// call can be up only then.
  bool Registered(int64_t now_us) const { return DoRegistered(now_us); }

 protected:
  void Send(const std::string& bytes) {
    if (sender_ && !bytes.empty()) sender_(bytes);
  }
  void Notify(const std::string& line) const {
    if (notifier_) notifier_(line);
  }

 private:
  virtual void DoReceive(const std::string& bytes, int64_t now_us) = 0;
  virtual int64_t DoNextDeadlineUs() const { return -1; }
  virtual void DoOnDeadline(int64_t) {}
  virtual Reply DoCommand(const std::vector<std::string>& words, const std::string& line, int64_t now_us) = 0;
  virtual void DoAddState(Json& state, int64_t now_us) const = 0;
  virtual bool DoRegistered(int64_t) const { return true; }

  Sender sender_;
  Notifier notifier_;
};

/// True for the words that start a command for the module.
bool IsModemCommand(const std::string& word);

}  // namespace sim
