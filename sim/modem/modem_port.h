// The simulator's end of DIR/dev/smd8: what the firmware writes on the AT
// channel goes to the modem model, what the model says goes back.
#pragma once

#include <cstdint>

#include "sim/run/master_port.h"
#include "sim/modem/modem_model.h"

namespace sim {

class ModemPort {
 public:
  /// `master_fd` is the master side of the smd8 pseudo-terminal.
  ModemPort(int master_fd, ModemModel& model);

  int fd() const { return port_.fd(); }
  bool wants_write() const { return port_.wants_write(); }

  void OnReadable(int64_t now_us);
  void OnWritable() { port_.Flush(); }
  /// The model's next own action; -1 for none.
  int64_t NextDeadlineUs() const { return model_.NextDeadlineUs(); }
  /// Lets the model act when its time has come.
  void RunTimers(int64_t now_us);

 private:
  MasterPort port_;
  ModemModel& model_;
};

}  // namespace sim
