// The utility port's framing (a request is what waits once the byte count
// has held still for 100 ms, at most 1000 bytes, up to its first CR) and the
// command table's dispatch.
#include <stdlib.h>

#include <chrono>
#include <cstring>
#include <vector>

#include "cmd/utility_thread.h"
#include "cmd_test_env.h"
#include "hw/gpio.h"

namespace cmdtest {

std::vector<std::string> g_lines;
int RecordLine(const char* token) {
  g_lines.push_back(token);
  return 0;
}

class UtilityPortTest : public CmdTest {
 protected:
  void SetUp() override {
    CmdTest::SetUp();
    // The settle time is measured on the wall clock: a running one here,
    // which a request can set without touching the host's.
    platform::InstallClock(std::make_unique<platform::SimulatedClock>(platform::Path("/sim/clock")));
    g_lines.clear();
  }
  void Burst(const std::string& bytes) {
    ASSERT_EQ(write(port_[0], bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
  }
};

TEST_F(UtilityPortTest, FirstTokenOfEachBurstUpToItsCr) {
  const struct {
    const char* burst;
    std::vector<std::string> lines;
  } rows[] = {
      {"@STAN\r@TIME\r", {"@STAN"}},  // the second request is dropped with the rest
      {"@STAN\r\n", {"@STAN"}},       // the LF goes with the rest
      {"\r\r@EVNT1;DAI_NO_USE\r", {"@EVNT1;DAI_NO_USE"}},
      {"@STAN\n", {"@STAN\n"}},  // only CR ends a request
      {"@STAN", {"@STAN"}},      // nor need it end in one
      {"\r\r\r", {}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.burst);
    g_lines.clear();
    Burst(row.burst);
    ConsoleCapture console;
    EXPECT_EQ(UtilityServeOnce(10000, RecordLine), static_cast<int>(strlen(row.burst)));
    EXPECT_EQ(g_lines, row.lines);
    EXPECT_EQ(uiDataBufLen, strlen(row.burst));
    EXPECT_EQ(console.Text(), ">[Read] Size = " + std::to_string(strlen(row.burst)) + "\r\n" +
                                  (row.lines.empty() ? "" : " [Command] Content = " + row.lines[0] + "\r\n"));
  }
}

TEST_F(UtilityPortTest, WaitsForTheCountToHoldStillAndCutsAt1000) {
  EXPECT_EQ(UtilityServeOnce(50, RecordLine), -1);  // nothing waiting
  const auto start = std::chrono::steady_clock::now();
  Burst("@STAN\r");
  EXPECT_EQ(UtilityServeOnce(10000, RecordLine), 6);
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(100));

  // 1500 bytes: a 1000-byte line at once, then the other 500.
  const std::string burst = "@MSG0;7BIT;160;" + std::string(985, 'a') + std::string(500, 'b');
  Burst(burst);
  ConsoleCapture console;
  EXPECT_EQ(UtilityServeOnce(10000, RecordLine), 1000);
  EXPECT_EQ(UtilityServeOnce(10000, RecordLine), 500);
  EXPECT_EQ(g_lines, (std::vector<std::string>{"@STAN", burst.substr(0, 1000), std::string(500, 'b')}));
  const std::string& trace = console.Text();
  EXPECT_EQ(trace.find("--> reach uart1_len_max\r\n>[Read] Size = 1000\r\n"), 0u) << trace;
  EXPECT_NE(trace.find(">[Read] Size = 500\r\n"), std::string::npos) << trace;
}

TEST(CommandTable, EntriesMatchingAToken) {
  const struct {
    const char* token;
    std::vector<int> entries;
  } rows[] = {
      {"@LOGSDEXIS;", {31}},  // the presence entry compares its NUL too
      {"@STANDARD", {0}},     // a name followed by more letters still matches
      {"@EVNT12;DI0", {2}},
      {"@stan", {}},
      {"@STA", {}},
  };
  for (const auto& row : rows) EXPECT_EQ(MatchingEntries(row.token), row.entries) << row.token;

  // Every name reaches its own entry and no other, but for the @LOGSDEXIS
  // pair (the usage first).
  for (int i = 0; i < uiCmdCount; ++i) {
    const std::vector<int> expected = i == 33 ? std::vector<int>{31, 33} : std::vector<int>{i};
    EXPECT_EQ(MatchingEntries(u_cmd[i].name), expected) << u_cmd[i].name;
  }
}

// Dispatch by name, byte for byte; silence for what is not a command (a
// name in lower case: the configuration session end to end).
TEST_F(CmdTest, DispatchByName) {
  ExpectReplies({
      {"@STAN", Shows("STAN", "QRV-806XK")},
      {"@STAN;", Shows("STAN", "QRV-806XK")},  // a lone ";" carries no field
      {"@NOPE;1", ""},
      {"@LOGSDEXIS;1", Er("LOGSDEXIS")},
  });
  // The dispatcher calls exactly the entries the table test above walks.
  for (const char* token : {"@NOPE", "@STANDARD", "@LOGSDEXIS;", "@EVNT12;DI0"}) {
    EXPECT_EQ(DispatchCommandLine(token), static_cast<int>(MatchingEntries(token).size())) << token;
    Drain(port_[0]);
  }
}

// The number behind a command name: plain digits within the command's
// range, none written reads as 0; a sign, a blank or any other character is
// refused and leaves event 0, the outputs and the counters as they were.
TEST_F(CmdTest, NumberBehindTheNameIsPlainDigits) {
  ExpectReplies({{"@PHONE0;1;111", Ok("PHONE0")}, {"@MSG0;7BIT;2;Hi", Ok("MSG0")}, {"@SMSDBS0;1", Ok("SMSDBS0")}});
  OrvelEvent before;
  std::memcpy(&before, &orvel_event[0], sizeof before);
  ExpectReplies({
      {"@EVNT-1;DAI_NO_USE", Er("EVNT-1")},
      {"@EVNT+1", Er("EVNT+1")},
      {"@EVNT 1", Er("EVNT 1")},
      {"@EVNT1x;DAI_NO_USE", Er("EVNT1x")},
      {"@EVNT016", Er("EVNT016")},
      {"@PHONE-1;0", Er("PHONE-1")},
      {"@PHONE 0;0", Er("PHONE 0")},
      {"@MSG-1;(CLR)", Er("MSG-1")},
      {"@MSG+0;(CLR)", Er("MSG+0")},
      {"@SMSDBS-1;0", Er("SMSDBS-1")},
      {"@SMSDBS\t0;0", Er("SMSDBS\t0")},
      {"@ACTV+0;5;15", Er("ACTV+0")},
      {"@DOC+0;ON", Er("DOC+0")},
      {"@DOC 0;ON", Er("DOC 0")},
      {"@VOICE+0", Er("VOICE+0")},
      {"@EVNT015", Shows("EVNT015", "DAI_NO_USE")},  // leading zeros are still digits
      {"@PHONE", Shows("PHONE", "1;111")},           // none written: event 0
      {"@SMSDBS;", Shows("SMSDBS", "1")},
  });
  EXPECT_EQ(std::memcmp(&orvel_event[0], &before, sizeof before), 0);
  EXPECT_EQ(DOV(0), 0);
  EXPECT_EQ(sys_config.uiCounter[0], kCounterMax);
}

// The echoed command is the whole first field, as far as an ER reply under
// the longest machine ID still fits the reply buffer with its line end; a
// longer reply is cut but keeps its CR LF.
TEST_F(CmdTest, EchoedCommandIsTheWholeFirstField) {
  const std::string field = "DEVNAME" + std::string(93, 'x');
  EXPECT_EQ(Send("@" + field + ";1"), Er(field));
  const std::string id20 = "ABCDEFGHIJKLMNOPQRST";
  std::strcpy(sys_config.cMachineID, id20.c_str());
  const std::string reply = Send("@DEVNAME" + std::string(900, 'x') + ";1");
  EXPECT_EQ(reply, "!" + id20 + ";DEVNAME" + std::string(511 - 22 - 5 - 7, 'x') + ";ER\r\n");
  const std::string query = Send("@STAN" + std::string(600, 'x'));
  EXPECT_EQ(query.size(), 511u);
  EXPECT_EQ(query.substr(query.size() - 2), "\r\n");
}

TEST_F(CmdTest, UtilityThreadEndsWhenThePortCannotBeOpened) {
  ConsoleCapture console;
  EXPECT_EQ(thread_sms_utility(nullptr), nullptr);
  const std::string& text = console.Text();
  EXPECT_EQ(text.rfind("[thread_sms_utility is start]\r\n", 0), 0u) << text;
  EXPECT_NE(text.find("Open utility uart fails\r\n"), std::string::npos) << text;
}

}  // namespace cmdtest
