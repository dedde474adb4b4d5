// Any request line (up to the 1000 bytes the framing takes) through the
// command table with every handler behind it: each must answer or stay
// silent without reading or writing out of bounds, whatever the fields.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "base/console.h"
#include "base/log_ring.h"
#include "cmd/command_table.h"
#include "config/config_data.h"
#include "config/config_file.h"
#include "platform/clock.h"
#include "platform/paths.h"
#include "platform/system_actions.h"
#include "fuzz_root.h"

namespace {

int g_port = -1;

void NoReboot(bool) {}

// Handlers that end the process, hand the port to the factory test, or
// pause a second or more: they would stall the fuzzer, and their fields are
// few (a query form only, or "(CLR)").
bool Skipped(const char* line) {
  static const char* const kSlow[] = {"@REBOOT", "@QCTEST", "@TEST", "@SAVE", "@DEFT", "@SMSLOG"};
  for (int i : MatchingEntries(line)) {
    for (const char* name : kSlow) {
      if (std::strcmp(u_cmd[i].name, name) == 0) return true;
    }
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
  // @TIME sets the clock: the simulated one, never the host's.
  platform::SetSimulated(true);
  platform::InstallClock(std::make_unique<platform::SimulatedClock>(platform::Path("/sim/clock")));
  platform::SetRebootHook(NoReboot);
  init_orvel_config();
  set_default();
  uart1 = g_port;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (g_port < 0) SetUpOnce();
  if (size > static_cast<size_t>(kCommandLineMax)) return -1;  // the framing never gives more
  char line[kCommandLineMax + 1];
  std::memcpy(line, data, size);
  line[size] = '\0';
  // As the framing hands it over: the text up to the first CR.
  line[std::strcspn(line, "\r")] = '\0';
  if (Skipped(line)) return -1;
  DispatchCommandLine(line);
  if (uart1.load() != g_port) abort();  // only the factory test may swap the port
  LogRingClear();  // no writer thread drains the log records here
  return 0;
}
