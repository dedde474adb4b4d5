// The utility port's framing (a request is what waits once the byte count
// has held still for 100 ms, at most 1000 bytes, up to its first CR) and the
// command table's dispatch, over a pseudo-terminal like the board's port.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <memory>
#include <regex>
#include <string>
#include <vector>

#include "base/console.h"
#include "cmd/command_reply.h"
#include "cmd/command_table.h"
#include "cmd/utility_thread.h"
#include "config/config_data.h"
#include "config/config_file.h"
#include "modem/serial_port.h"
#include "platform/clock.h"
#include "platform/paths.h"
#include "support/console_capture.h"
#include "support/firmware_process.h"

namespace {

using testsupport::ConsoleCapture;

std::vector<std::string>* g_lines = nullptr;
int RecordLine(const char* token) {
  g_lines->push_back(token);
  return 0;
}

class UtilityPortTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // The settle time is measured on the wall clock: a running one here,
    // which a request can set without touching the host's.
    platform::SetRoot(dir_.path());
    platform::InstallClock(std::make_unique<platform::SimulatedClock>(platform::Path("/sim/clock")));
    was_simulated_ = platform::IsSimulated();
    platform::SetSimulated(true);
    {
      ConsoleCapture quiet;
      init_orvel_config();  // also forgets uart1
      set_default();
    }
    master_ = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(master_, 0);
    ASSERT_EQ(grantpt(master_), 0);
    ASSERT_EQ(unlockpt(master_), 0);
    {
      ConsoleCapture quiet;
      port_ = uart_open(ptsname(master_), 115200, 8, 'N', 1);
    }
    ASSERT_GT(port_, 0);
    uart1 = port_;
    g_lines = &lines_;
    dir_.Write("media/card/.keep", "");  // the card's mount point, for @LOGSD
  }
  void TearDown() override {
    uart1 = 0;
    close(port_);
    close(master_);
    g_lines = nullptr;
    platform::InstallClock(std::make_unique<platform::DeviceClock>());
    platform::SetSimulated(was_simulated_);
    platform::SetRoot("");
  }

  void Send(const std::string& bytes) {
    ASSERT_EQ(write(master_, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
  }
  // What the handlers wrote to the port since the last call: a marker is
  // written behind it, so no fixed wait is needed to know it is all there.
  std::string Replies() {
    ReplyWrite("#\n", 2);
    std::string got;
    testsupport::WaitUntil(
        [&] {
          char buf[512];
          for (ssize_t n; (n = read(master_, buf, sizeof buf)) > 0;) got.append(buf, static_cast<size_t>(n));
          return got.size() >= 2 && got.compare(got.size() - 2, 2, "#\n") == 0;
        },
        std::chrono::seconds(10));
    EXPECT_GE(got.size(), 2u);
    return got.size() >= 2 ? got.substr(0, got.size() - 2) : got;
  }

  testsupport::TempDir dir_;
  bool was_simulated_ = false;
  int master_ = -1;
  int port_ = -1;
  std::vector<std::string> lines_;
};

TEST_F(UtilityPortTest, FirstTokenOfEachBurstUpToItsCr) {
  const struct {
    const char* burst;
    std::vector<std::string> lines;
  } rows[] = {
      {"@STAN\r", {"@STAN"}},
      {"@STAN\r@TIME\r", {"@STAN"}},  // the second request is dropped with the rest
      {"@STAN\r\n", {"@STAN"}},       // the LF goes with the rest
      {"\r\r@EVNT1;DAI_NO_USE\r", {"@EVNT1;DAI_NO_USE"}},
      {"@STAN\n", {"@STAN\n"}},  // only CR ends a request
      {"@STAN", {"@STAN"}},      // nor need it end in one
      {"\r\r\r", {}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.burst);
    lines_.clear();
    Send(row.burst);
    ConsoleCapture console;
    EXPECT_EQ(UtilityServeOnce(10000, RecordLine), static_cast<int>(strlen(row.burst)));
    EXPECT_EQ(lines_, row.lines);
    EXPECT_EQ(uiDataBufLen, strlen(row.burst));
    const std::string trace = ">[Read] Size = " + std::to_string(strlen(row.burst)) + "\r\n" +
                              (row.lines.empty() ? "" : " [Command] Content = " + row.lines[0] + "\r\n");
    EXPECT_EQ(console.Text(), trace);
  }
}

TEST_F(UtilityPortTest, WaitsForTheCountToHoldStillAndCutsAt1000) {
  // Nothing waiting: the wait ends without a line.
  EXPECT_EQ(UtilityServeOnce(50, RecordLine), -1);
  EXPECT_TRUE(lines_.empty());

  // A burst is taken only once its count has held still for 100 ms.
  const auto start = std::chrono::steady_clock::now();
  Send("@STAN\r");
  {
    ConsoleCapture quiet;
    EXPECT_EQ(UtilityServeOnce(10000, RecordLine), 6);
  }
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(100));

  // 1500 bytes: a 1000-byte line at once, then the other 500.
  lines_.clear();
  const std::string burst = "@MSG0;7BIT;160;" + std::string(985, 'a') + std::string(500, 'b');
  Send(burst);
  ConsoleCapture console;
  EXPECT_EQ(UtilityServeOnce(10000, RecordLine), 1000);
  EXPECT_EQ(UtilityServeOnce(10000, RecordLine), 500);
  ASSERT_EQ(lines_.size(), 2u);
  EXPECT_EQ(lines_[0], burst.substr(0, 1000));
  EXPECT_EQ(lines_[1], std::string(500, 'b'));
  const std::string& trace = console.Text();
  EXPECT_EQ(trace.find("--> reach uart1_len_max\r\n>[Read] Size = 1000\r\n"), 0u) << trace;
  EXPECT_NE(trace.find(">[Read] Size = 500\r\n"), std::string::npos) << trace;
}

TEST(CommandTable, EntriesMatchingAToken) {
  const struct {
    const char* token;
    std::vector<int> entries;
  } rows[] = {
      {"@LOGSDEXIS", {31, 33}},  // both, the usage first
      {"@LOGSDEXIS;", {31}},     // the presence entry compares its NUL too
      {"@LOGSDEXISX", {31}},
      {"@STANDARD", {0}},  // a name followed by more letters still matches
      {"@EVNT12;DI0", {2}},
      {"@SMSDBS3;1", {34}},
      {"@SMSLOG", {17}},
      {"@stan", {}},
      {"@STA", {}},
      {"STAN", {}},
      {"", {}},
  };
  for (const auto& row : rows) EXPECT_EQ(MatchingEntries(row.token), row.entries) << row.token;

  // Every name reaches its own entry and no other but the pair above.
  for (int i = 0; i < uiCmdCount; ++i) {
    std::vector<int> expected{i};
    if (i == 33) expected = {31, 33};
    EXPECT_EQ(MatchingEntries(u_cmd[i].name), expected) << u_cmd[i].name;
    EXPECT_EQ(u_cmd[i].reserved, 0u);
  }
}

// The real handlers behind the framing: replies byte for byte, and silence
// for what is not a command.
TEST_F(UtilityPortTest, RequestsOverThePortAndTheirReplies) {
  const struct {
    const char* burst;
    const char* reply;  // a regular expression
  } rows[] = {
      {"@STAN\r", "!QRV-806XK;STAN;OK;QRV-806XK\r\n"},
      {"@STAN;\r", "!QRV-806XK;STAN;OK;QRV-806XK\r\n"},  // a lone ";" carries no field
      {"@stan\r", ""},
      {"@NOPE;1\r", ""},
      {"@LOGSDEXIS\r", "!QRV-806XK;LOGSDEXIS;OK;[^;\r\n]*;[^;\r\n]*;[^;\r\n]*\r\n!QRV-806XK;LOGSDEXIS;OK;[01]\r\n"},
      {"@LOGSDEXIS;1\r", "!QRV-806XK;LOGSDEXIS;ER\r\n"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.burst);
    Send(row.burst);
    {
      ConsoleCapture quiet;
      EXPECT_GT(UtilityServeOnce(10000, DispatchCommandLine), 0);
    }
    const std::string got = Replies();
    EXPECT_TRUE(std::regex_match(got, std::regex(row.reply))) << got;
  }
}

TEST(UtilityThread, EndsWhenThePortCannotBeOpened) {
  testsupport::TempDir dir;
  platform::SetRoot(dir.path());
  ConsoleCapture console;
  EXPECT_EQ(thread_sms_utility(nullptr), nullptr);
  const std::string& text = console.Text();
  EXPECT_EQ(text.find("[thread_sms_utility is start]\r\n"), 0u) << text;
  EXPECT_NE(text.find("Open utility uart fails\r\n"), std::string::npos) << text;
  platform::SetRoot("");
}

}  // namespace
