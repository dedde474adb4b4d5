// The SD card on the simulated board: a program update shows on both LEDs
// and restarts the board, whose normal start with a broken configuration
// leaves its record in the user log; a card that fills up and gets room
// again.
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

// `ctl sd full`: the AT-command log's records fail with "no space", said
// once, the user log waits for room; `sd use` gives room and the records go
// in again, said once.
TEST_F(SdLogE2eTest, AFullCardLosesLogRecordsSaysSoOnceAndTakesThemAgain) {
  dir_.Write("root/APP/log.ini", "@LOGEN;1\r\n");
  StartRegistered();
  Await([&] { return !LogToday("AT_CMD_LOG").empty(); }, "the AT-command log");

  const std::string refused = "; log records are lost until the card takes them again.";
  ASSERT_EQ(Ctl({"sd", "full"}).status, 0);
  Await([&] { return Output().find(refused) != std::string::npos; }, "the line on the refused records");
  const std::string state = State();
  EXPECT_EQ(Member(state, "use", "sd"), "100") << state;
  EXPECT_EQ(Member(state, "full", "sd"), "true") << state;
  Await([&] { return Output().find(">SD card 100% used") != std::string::npos; }, "the user log waiting");
  const size_t refused_at = Output().find(refused);
  EXPECT_NE(Output().rfind(">Cannot write /media/card/", refused_at), std::string::npos) << Output();
  EXPECT_NE(Output().rfind("No space left on device", refused_at), std::string::npos) << Output();

  ASSERT_EQ(Ctl({"sd", "use", "20"}).status, 0);
  Await([&] { return Output().find(">The SD card takes log records again.") != std::string::npos; },
        "the line on records going in again");
  const size_t size = LogToday("AT_CMD_LOG").size();
  Await([&] { return LogToday("AT_CMD_LOG").size() > size; }, "AT-command records after the card has room");
  const std::string out = Output();
  EXPECT_EQ(out.find(refused), out.rfind(refused)) << out;
  EXPECT_EQ(Member(State(), "full", "sd"), "false");
}

}  // namespace e2e
