// The SD card on the simulated board: a full card loses its oldest log day,
// a program update shows on both LEDs and restarts the board, and a start
// with a broken configuration leaves its record in the user log.
#include <filesystem>

#include "e2e/sim_e2e_fixture.h"

namespace {

namespace fs = std::filesystem;
using namespace e2e;

class SdLogE2eTest : public e2e::SimE2eTest {
 protected:
  void Put(const std::string& relative, const std::string& content) { dir_.Write("root/" + relative, content); }
  bool Exists(const std::string& relative) { return dir_.Exists("root/" + relative); }

  // Every day file of a log folder, joined.
  std::string AllDays(const std::string& log) {
    std::string all;
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(fs::path(root_) / "media/card" / log, ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
      if (it->is_regular_file()) all += dir_.Read(fs::relative(it->path(), dir_.path()));
    }
    return all;
  }
};

TEST_F(SdLogE2eTest, FullCardLosesTheOldestDayFirst) {
  Put("APP/log.ini", "@LOGEN;1\r\n");
  for (const char* log : {"AT_CMD_LOG", "QMI_LOG", "USR_LOG"}) {
    Put(std::string("media/card/") + log + "/2021/07/01.txt", "old\r\n");
    Put(std::string("media/card/") + log + "/2021/07/02.txt", "newer\r\n");
  }
  StartSim();
  WaitReady();
  ASSERT_TRUE(WaitFor([&] { return Output().find("[ThreadLog is start]") != std::string::npos; }))
      << Output();
  EXPECT_TRUE(Exists("media/card/AT_CMD_LOG/2021/07/01.txt"));

  ASSERT_EQ(Ctl({"sd", "use", "95"}).status, 0);
  EXPECT_TRUE(WaitFor([&] {
    return !Exists("media/card/AT_CMD_LOG/2021/07/01.txt") && !Exists("media/card/QMI_LOG/2021/07/01.txt") &&
           !Exists("media/card/USR_LOG/2021/07/01.txt");
  }, 20)) << Output();
}

TEST_F(SdLogE2eTest, ProgramUpdateShowsOnBothLedsAndRestarts) {
  Put("media/card/update/fw", "new program\n");
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
  EXPECT_FALSE(Exists("media/card/update/fw"));
  // About ten seconds on, the firmware asks for the reboot and the board
  // starts it again, this time in normal mode.
  EXPECT_TRUE(WaitFor([&] { return Member(State(), "starts") == "2"; }, 40)) << Output();
  EXPECT_NE(Output().find("firmware asked for a reboot (exit status 3)"), std::string::npos) << Output();
  EXPECT_TRUE(WaitFor([&] { return Output().find("[thread_check_event is start]") != std::string::npos; }))
      << Output();
}

TEST_F(SdLogE2eTest, BrokenConfigurationIsRecordedInTheUserLog) {
  Put("APP/log.ini", "@LOGEN;1\r\n");
  Put("APP/config.ini", "this is not a configuration\r\n");
  StartSim();
  WaitReady();
  EXPECT_TRUE(WaitFor([&] {
    return AllDays("USR_LOG").find(R"("E":{"M":"1","S":"0"},"MI":{"R":"*","SQ":"*"},"P":"*"},)") !=
           std::string::npos;
  })) << Output();
}

}  // namespace
