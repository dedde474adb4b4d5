// The simulated board behind `ctl`: its root folder, the state report and
// pulses (the watch on the firmware's LED lines is shown end to end).
#include "sim/board/board.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "platform/sim_jig.h"
#include "sim/board/board_files.h"
#include "sim/modem/sim7100_model.h"
#include "support/firmware_process.h"

namespace {

std::string Read(const std::string& path) {
  std::string text;
  sim::ReadFile(path, &text);
  return text;
}

class BoardTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(root_.Layout(false), ""); }

  sim::Reply Run(const std::string& line, int64_t now_us = 0) {
    sim::Command c;
    std::string error;
    if (!sim::ParseCommand(line, &c, &error)) return sim::Reply::Error(error);
    return board_.Execute(c, now_us);
  }
  std::string File(const std::string& path) { return Read(root_.Path(path)); }

  testsupport::TempDir dir_;
  sim::BoardRoot root_{dir_.path()};
  sim::Sim7100Model modem_;
  sim::Board board_{root_, modem_};
};

TEST_F(BoardTest, LayoutOfAFreshRootAndOfAKeptOne) {
  // (The folders and files every firmware run uses: tests/e2e.) The pin
  // map: five active-low inputs, two more inputs, then the outputs; inputs
  // inactive, outputs off.
  const int pins[] = {27, 26, 28, 30, 7, 5, 80, 29, 4, 25, 6, 92, 77, 0};
  for (int i = 0; i < 14; ++i) {
    const std::string gpio = "/sys/class/gpio/gpio" + std::to_string(pins[i]) + "/";
    EXPECT_EQ(File(gpio + "direction") + File(gpio + "active_low") + File(gpio + "value"),
              std::string(i < 7 ? "in\n" : "out\n") + (i < 5 ? "1\n" : "0\n") + "0\n") << pins[i];
  }
  EXPECT_EQ(Read(root_.AiPath(3)) + File("/sim/qmi"), "0\nup\n");
  EXPECT_FALSE(sim::Exists(root_.Path("/sim/rtc")));  // no file: the host's local time
  // The firmware writes "1" and its terminating zero over the old value.
  ASSERT_TRUE(sim::ReplaceFile(root_.GpioValuePath(77), std::string("1\0", 2)));
  EXPECT_TRUE(root_.ReadLine(77));
  EXPECT_FALSE(root_.ReadLine(1234));  // no such line

  // A kept root keeps its settings and files; the lines power up anew.
  ASSERT_TRUE(sim::ReplaceFile(root_.AiPath(2), "3.3\n"));
  ASSERT_TRUE(sim::ReplaceFile(root_.Path("/APP/config.ini"), "kept\r\n"));
  ASSERT_TRUE(root_.WriteLine(27, true));  // DI0 left active
  ASSERT_TRUE(root_.WriteLine(29, true));  // DO0 left on
  ASSERT_EQ(root_.Layout(true), "");
  EXPECT_EQ(Read(root_.AiPath(2)) + File("/APP/config.ini"), "3.3\nkept\r\n");
  // DI0, DO0 inactive; the init pin held for utility mode.
  EXPECT_EQ(std::vector<bool>({root_.ReadLine(27), root_.ReadLine(29), root_.ReadLine(5)}),
            std::vector<bool>({false, false, true}));
}

// The members the end-to-end tests wait on (firmware, inputs, outputs, LEDs,
// registration, store use) are read there; here the rest.
TEST_F(BoardTest, StateReport) {
  Run("sd use 42");
  Run("qmi fail");
  board_.SetFirmwareInfo({false, 0, 2});
  const std::string json = board_.State(0).Dump(false);
  for (const char* part : {R"("firmware":{"running":false,"pid":null,"starts":2})", R"("init_pin":0,"jig":false)",
                           R"("signal":22)", R"("store":{"used":0,"total":50,"messages":[]})",
                           R"("sd":{"present":true,"use":42,"use_fixed":true,"full":false})", R"("qmi":"fail")",
                           R"("modem":{"model":"SIMCOM_SIM7100C")"}) {
    EXPECT_NE(json.find(part), std::string::npos) << part << "\nin " << json;
  }
  Run("sd remove");
  EXPECT_NE(board_.State(0).Dump(false).find(R"("sd":{"present":false)"), std::string::npos);
}

// A full card reads 100 % until `sd use` or `sd insert` gives it room; the
// use set before comes back. (The firmware's failing writes: tests/log, e2e.)
TEST_F(BoardTest, AFullCardEndsWithUseOrInsert) {
  const struct {
    const char* ends_it;
    const char* reply;
    const char* sd;
  } rows[] = {
      {"sd use 30", "card use 30 %", R"("sd":{"present":true,"use":30,"use_fixed":true,"full":false})"},
      {"sd insert", "card with room inserted", R"("sd":{"present":true,"use":30,"use_fixed":true,"full":false})"},
      {"sd remove", "card removed", R"("sd":{"present":false,"use":100,"use_fixed":true,"full":true})"},
      {"sd insert", "card inserted", R"("sd":{"present":true,"use":30,"use_fixed":true,"full":false})"},
  };
  Run("sd use 30");
  for (const auto& row : rows) {
    SCOPED_TRACE(row.ends_it);
    if (!sim::Exists(root_.Path("/sim/sd-full"))) {
      EXPECT_TRUE(Run("sd full").ok);
    }
    EXPECT_NE(board_.State(0).Dump(false).find(R"("use":100,"use_fixed":true,"full":true})"), std::string::npos);
    const sim::Reply r = Run(row.ends_it);
    EXPECT_EQ(r.text, row.reply);
    EXPECT_NE(board_.State(0).Dump(false).find(row.sd), std::string::npos) << board_.State(0).Dump(false);
  }
  EXPECT_EQ(Run("sd insert").text, "the card is already in");
}

TEST_F(BoardTest, NoPulseIsLostWhenTheHostWasBusy) {
  // (A pulse train counted by the firmware: tests/e2e.)
  EXPECT_EQ(Run("pulse 2 3 10 4", 300000).text, "DI2: 3 pulses of 4 ms every 10 ms");
  EXPECT_TRUE(root_.ReadLine(28));  // the first pulse begins at once
  // The host was busy for 25 ms: the edges due meanwhile come one per
  // visit, each phase at least half its length, and no pulse is lost.
  board_.RunTimers(325000);
  EXPECT_FALSE(root_.ReadLine(28));
  EXPECT_EQ(board_.NextTimerUs(), 328000);
  EXPECT_NE(board_.State(325000).Dump(false).find(R"("pulses_left":[0,0,2,0,0])"), std::string::npos);
}

// The firmware keeps the value files open and reads them from offset 0: the
// board writes a level over the file it holds, never a new file in its place.
TEST_F(BoardTest, LevelsAreWrittenOverTheFileTheFirmwareHolds) {
  const int fd = open(root_.GpioValuePath(28).c_str(), O_RDONLY | O_CLOEXEC);  // DI2
  ASSERT_GE(fd, 0);
  auto level = [fd] {
    char c = 0;
    return pread(fd, &c, 1, 0) == 1 ? c : '?';
  };
  std::string seen;
  for (const char* step : {"di 2 on", "di 2 off", "jig on"}) {
    ASSERT_TRUE(Run(step).ok) << step;
    seen += level();
  }
  ASSERT_TRUE(sim::ReplaceFile(root_.GpioValuePath(29), std::string("1\0", 2)));  // DO0 on
  platform::SimJigFollow(root_.dir());
  seen += level();
  close(fd);
  EXPECT_EQ(seen, "1001");
}

}  // namespace
