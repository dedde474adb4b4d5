// The answer to one control command.
#pragma once

#include <string>

namespace sim {

struct Reply {
  bool ok = true;
  std::string text;  // what `ctl` prints (JSON for queries)

  static Reply Ok(std::string t) { return {true, std::move(t)}; }
  static Reply Error(std::string t) { return {false, std::move(t)}; }
};

}  // namespace sim
