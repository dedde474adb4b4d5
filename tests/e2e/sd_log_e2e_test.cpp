// The SD card on the simulated board: a program update shows on both LEDs
// and restarts the board, whose normal start with a broken configuration
// leaves its record in the user log.
#include "e2e/sim_e2e_fixture.h"

namespace e2e {

using SdLogE2eTest = SimE2eTest;

TEST_F(SdLogE2eTest, ProgramUpdateShowsOnBothLedsAndRestartsAndABrokenConfigurationIsRecorded) {
  dir_.Write("root/media/card/update/fw", "new program\n");
  dir_.Write("root/APP/log.ini", "@LOGEN;1\r\n");
  dir_.Write("root/APP/config.ini", "this is not a configuration\r\n");
  StartSim();
  WaitReady();
  ASSERT_TRUE(WaitFor([&] { return Output().find(">FW Update, only do LED.") != std::string::npos; }))
      << Output();
  std::string state;
  EXPECT_TRUE(WaitFor([&] {
    state = State();
    return Blinks(state, "status", 100, 100) && Blinks(state, "gps", 100, 100);
  }, 9)) << state;
  EXPECT_EQ(Board("APP/fw"), "new program\n");
  EXPECT_FALSE(dir_.Exists("root/media/card/update/fw"));
  // About ten seconds on, the firmware asks for the reboot and the board
  // starts it again, this time in normal mode.
  EXPECT_TRUE(WaitFor([&] { return Member(State(), "starts") == "2"; }, 40)) << Output();
  EXPECT_NE(Output().find("firmware asked for a reboot (exit status 3)"), std::string::npos) << Output();
  EXPECT_TRUE(WaitFor([&] { return Output().find("[thread_check_event is start]") != std::string::npos; }))
      << Output();
  Await([&] { return UserLogToday().find(R"("E":{"M":"1","S":"0"},"MI":{"R":"*","SQ":"*"},"P":"*"},)") != std::string::npos; },
        "the record of the broken configuration", 60);
}

}  // namespace e2e
