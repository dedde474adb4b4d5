// The unit behind one serial line, shared by whoever asks: one request on
// the line at a time, whatever the number of callers (the configurator's
// browser sends several at once), each waiting for its answer.
#pragma once

#include <mutex>
#include <string>

#include "tools/unit/serial_link.h"
#include "tools/unit/unit_reply.h"

namespace unitlink {

class UnitSession {
 public:
  explicit UnitSession(const std::string& device) : link_(device) {}

  const std::string& device() const { return link_.path(); }

  // Sends `request` and takes its answer apart. @SAVE and @DEFT answer
  // after a pause of the unit's own, so they are given longer.
  UnitReply Ask(const std::string& request);

  AskFn AskFunction() {
    return [this](const std::string& request) { return Ask(request); };
  }

 private:
  std::mutex mutex_;
  SerialLink link_;
};

// Why a unit that gave `reply` to a query cannot be configured, or "" when
// it answered in utility mode.
std::string NotConfigurable(const UnitReply& reply, const std::string& device);

}  // namespace unitlink
