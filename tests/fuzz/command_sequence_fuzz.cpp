// Any sequence of request lines through the command table with every handler
// behind it, on one board from the factory settings: each line (the input
// split at LF) is handed over as the framing does (up to the first CR, at
// most 1000 bytes). Every handler must answer or stay silent without reading
// or writing out of bounds, whatever the fields and whatever the requests
// before it left behind.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "base/console.h"
#include "base/log_ring.h"
#include "cmd/command_pause.h"
#include "cmd/command_table.h"
#include "config/config_data.h"
#include "config/config_file.h"
#include "platform/paths.h"
#include "platform/system_actions.h"
#include "fuzz_root.h"

namespace {

int g_port = -1;
constexpr int kMaxRequests = 16;  // enough for any state a sequence can build

void NoReboot(bool) {}

// The factory test takes the port over and waits for its station; saving
// and reading back config.ini is config_roundtrip_fuzz's work, with an
// oracle (here it would be most of every run).
bool Skipped(const char* line) {
  // The names with their match lengths, looked up in the table once.
  static const std::vector<std::pair<const char*, size_t>> kSkipped = [] {
    std::vector<std::pair<const char*, size_t>> entries;
    for (const char* name : {"@QCTEST", "@SAVE", "@TEST"}) {
      for (int i = 0; i < uiCmdCount; ++i) {
        if (std::strcmp(u_cmd[i].name, name) == 0) entries.emplace_back(name, static_cast<size_t>(u_cmd[i].match_len));
      }
    }
    return entries;
  }();
  for (const auto& [name, len] : kSkipped) {
    if (std::strncmp(line, name, len) == 0) return true;
  }
  return false;
}

void SetUpOnce() {
  // Replies go nowhere; they are checked for bounds by the sanitizers.
  g_port = fuzzroot::MakeRoot("command-fuzz", {"/APP", "/media/card/USR_LOG/2021/07", "/var", "/sim"});
  // A stored day for the log listing and fetch (a delete takes it away).
  if (FILE* day = std::fopen(platform::Path("/media/card/USR_LOG/2021/07/13.txt").c_str(), "w")) {
    std::fputs("20210713;081500;1;DI2 ON\r\n20210713;081502;5;0911111111\r\n", day);
    std::fclose(day);
  }
  platform::SetRebootHook(NoReboot);
  command_pause_ms = 0;
  smslog_piece_pause_ms = 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (g_port < 0) SetUpOnce();
  init_orvel_config();  // forgets the port: it comes after
  set_default();
  uart1 = g_port;
  for (const std::string& request : fuzzroot::Requests(data, size, kMaxRequests, kCommandLineMax)) {
    if (Skipped(request.c_str())) continue;
    DispatchCommandLine(request.c_str());
    if (uart1.load() != g_port) abort();  // only the factory test may swap the port
  }
  LogRingClear();  // no writer thread drains the log records here
  return 0;
}
