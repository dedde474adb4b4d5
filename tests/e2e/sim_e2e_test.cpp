// The simulated board as people and tools use it: `qrv806-sim run` in a
// temporary root, driven with `qrv806-sim ctl` (the modem line behind
// dev/smd8 is what every firmware run uses).

#include "e2e/sim_e2e_fixture.h"

namespace e2e {

TEST_F(SimE2eTest, DrivesTheRunningFirmwareAndStops) {
  StartSim();
  WaitReady();
  std::string state = State();
  EXPECT_EQ(Member(state, "running"), "true") << state;
  EXPECT_TRUE(Alive(firmware_pid_));
  EXPECT_EQ(Member(state, "starts"), "1");

  CtlResult di = Ctl({"di", "0", "on"});
  EXPECT_EQ(di.status, 0);
  EXPECT_EQ(di.out, "DI0 on (line low)\n");
  EXPECT_EQ(Board("sys/class/gpio/gpio27/value"), "1\n");
  EXPECT_EQ(Member(State(), "di"), "[1, 0, 0, 0, 0]");

  // The console as the board passed it on, and the live view, which a stop
  // signal ends like Ctrl-C, with the cursor given back.
  Await([&] { return Ctl({"console", "200"}).out.find("[thread_net is start]\n") != std::string::npos; },
        "the console tail");
  {
    testsupport::ChildProcess watch(kSim, {"ctl", "--root", root_, "watch"}, dir_.path() + "/watch.txt");
    EXPECT_TRUE(watch.WaitForOutput("DI0 \u25CF DI1 \u25CB")) << watch.Output();
    EXPECT_EQ(watch.Stop(), 0);
    EXPECT_NE(watch.Output().find("\x1b[?25h"), std::string::npos);
  }

  // A refused command: its reason and status 1.
  const CtlResult bad = Ctl({"di", "9", "on"});
  EXPECT_EQ(bad.status, 1);
  EXPECT_NE(bad.out.find("inputs are 0 to 4"), std::string::npos) << bad.out;

  // A stop leaves nothing behind.
  for (const char* link : {"/dev/smd8", "/dev/ttyHSL3", "/term"}) {
    EXPECT_TRUE(std::filesystem::is_symlink(root_ + link)) << link;
  }
  const CtlResult stop = Ctl({"stop"});
  EXPECT_EQ(stop.status, 0);
  EXPECT_EQ(stop.out, "stopped\n");
  EXPECT_EQ(sim_->WaitForExit(std::chrono::seconds(60)), 0);
  EXPECT_FALSE(Alive(firmware_pid_));
  EXPECT_FALSE(std::filesystem::exists(root_ + "/sim/ctl.sock"));
  EXPECT_FALSE(std::filesystem::is_symlink(root_ + "/dev/smd8"));
  // (The root is kept: the tests that restart the board run on it again.)
}

// The firmware gets its arguments after the simulator's; a firmware that
// ends other than for a reboot (status 3) ends the board with its status.
TEST_F(SimE2eTest, FirmwareArgumentsAndEnd) {
  dir_.Write("fake-firmware.sh", "#!/bin/sh\necho \"fake firmware $*\"\nsleep 1\nexit 7\n");
  chmod((dir_.path() + "/fake-firmware.sh").c_str(), 0755);
  StartSim({"--firmware", dir_.path() + "/fake-firmware.sh", "--realistic=7", "--", "2021-07-13", "08:00:00"});
  EXPECT_EQ(sim_->WaitForExit(std::chrono::seconds(60)), 7) << Output();
  std::string out = Output();
  EXPECT_NE(out.find("fake firmware --root " + root_ + " --sim 2021-07-13 08:00:00"), std::string::npos) << out;
  EXPECT_NE(out.find("firmware ended with exit status 7"), std::string::npos) << out;
  EXPECT_NE(out.find("module: realistic mode on, seed 7 "), std::string::npos) << out;  // to repeat the run
  EXPECT_FALSE(std::filesystem::exists(root_ + "/sim/ctl.sock"));
}

// Under an emulator, looked up in PATH, the firmware gets the same
// arguments; an emulator that is not there is named, and the board ends.
TEST_F(SimE2eTest, FirmwareUnderAnEmulator) {
  dir_.Write("fake-firmware.sh", "echo \"fake firmware $*\"\nexit 7\n");
  chmod((dir_.path() + "/fake-firmware.sh").c_str(), 0755);
  const struct { const char* prefix; int status; std::string part; } rows[] = {
      {"sh  -e", 7, "fake firmware --root " + root_ + " --sim 2021-07-13\n"},
      {"qrv806-no-such-emulator -L /", 1, "cannot run the firmware under qrv806-no-such-emulator: no such program"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.prefix);
    StartSim({"--firmware", dir_.path() + "/fake-firmware.sh", "--firmware-prefix", row.prefix, "--", "2021-07-13"});
    EXPECT_EQ(sim_->WaitForExit(std::chrono::seconds(60)), row.status) << Output();
    EXPECT_NE(Output().find(row.part), std::string::npos) << Output();
  }
}

TEST(SimCommandLine, ErrorsAreClear) {
  const struct { std::vector<std::string> args; int status; const char* part; } rows[] = {
      {{"ctl", "--root", "/nonexistent/qrv-root", "state"}, 2, "no simulator is running"},
      {{"ctl", "--root", "/tmp"}, 2, "ctl needs a command"},
      {{"run", "--colour"}, 2, "unknown option '--colour'"},
      {{"run", "--realistic=-1"}, 2, "takes a seed from 0 to 4294967295"},
      {{"run", "--firmware-prefix", " "}, 2, "--firmware-prefix needs a program"},
      {{"fly"}, 2, "unknown action 'fly'"},
      {{"help"}, 0, "usage: qrv806-sim run"},
      {{"ctl", "--root", "/nonexistent/qrv-root", "help"}, 0, "console [LINES]"},  // no board needed
  };
  for (const auto& r : rows) {
    CtlResult got = RunSim(r.args);
    EXPECT_EQ(got.status, r.status) << r.args[0] << "\n" << got.out;
    EXPECT_NE(got.out.find(r.part), std::string::npos) << r.args[0] << "\n" << got.out;
  }
}

}  // namespace e2e
