// qrv806-sim: the simulated QRV-806 board.
#include <cstdio>
#include <string>
#include <vector>

#include "sim/control/control_client.h"
#include "sim/run/run_options.h"
#include "sim/run/simulator.h"

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  sim::SimOptions o = sim::ParseSimOptions(args);
  if (!o.error.empty()) {
    std::fprintf(stderr, "qrv806-sim: %s\n%s", o.error.c_str(), sim::SimUsage());
    return 2;
  }
  switch (o.mode) {
    case sim::SimOptions::Mode::kRun: return sim::RunSimulator(o);
    case sim::SimOptions::Mode::kCtl: return sim::RunCtl(o.root_given ? o.root : sim::CtlDefaultRoot(), o.command);
    case sim::SimOptions::Mode::kHelp: std::fputs(sim::SimUsage(), stdout); return 0;
  }
  return 2;
}
