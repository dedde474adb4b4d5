// The user-log ring and lines, log.ini, and the AT-command and QMI records.
#include <signal.h>
#include <sys/resource.h>

#include <climits>
#include <cstdio>
#include <functional>
#include <vector>

#include "log/log_files.h"
#include "log_test_env.h"
#include "support/console_capture.h"

namespace {

using logtest::kUserFile;
using logtest::LogStoreTest;

TEST_F(LogStoreTest, RecordsBecomeUserLogLinesOldestFirst) {
  const struct { int main_code, sub_code, with_modem_info; const char* phone /* nullptr: LogPush */; int creg, csq;
                 const char* line; } rows[] = {
      {4, 0, 1, "123", 1, 20, R"({"T":"08:15:00","E":{"M":"4","S":"0"},"MI":{"R":"1","SQ":"20"},"P":"123"},)"},
      // With modem info but no phone: an empty phone.
      {8, 0, 1, nullptr, 5, 31, R"({"T":"08:15:00","E":{"M":"8","S":"0"},"MI":{"R":"5","SQ":"31"},"P":""},)"},
      // A phone given without modem info is not stored.
      {5, 0, 0, "0912345678", 1, 20, R"({"T":"08:15:00","E":{"M":"5","S":"0"},"MI":{"R":"*","SQ":"*"},"P":"*"},)"},
      // The phone field holds at most 20 characters.
      {4, 0, 1, "+8869123456789012345678", 2, 99,
       R"({"T":"08:15:00","E":{"M":"4","S":"0"},"MI":{"R":"2","SQ":"99"},"P":"+8869123456789012345"},)"},
  };
  SetCardUse(40);
  std::string expected;
  for (const auto& r : rows) {
    modem_creg = r.creg;
    modem_csq = r.csq;
    r.phone ? LogPushPhone(r.main_code, r.sub_code, r.with_modem_info, r.phone)
            : LogPush(r.main_code, r.sub_code, r.with_modem_info);
    expected += r.line + std::string("\r\n");
  }
  clock_->Advance(2000000);  // the time is the push's, not the write's
  for (size_t i = 0; i < std::size(rows); ++i) EXPECT_EQ(LogWriterPass(), LogWriterStep::kWrote);
  EXPECT_EQ(LogWriterPass(), LogWriterStep::kIdle);
  EXPECT_EQ(root_.Read(kUserFile), expected);
}

TEST_F(LogStoreTest, ThirtyPushesLeaveTwentyNineInOrderAcrossTheWrap) {
  for (int i = 0; i < 20; ++i) LogPush(1, 0, 0);
  while (LogPopIdx() > 0) {
  }
  for (int i = 0; i < 30; ++i) LogPush(1, i, 0);
  EXPECT_EQ(LogPushIdx(), 29);
  for (int i = 0; i < 29; ++i) {  // the oldest first; the thirtieth was dropped
    LogRecord rec;
    ASSERT_TRUE(LogPeekOldest(&rec));
    EXPECT_EQ(std::string(rec.sub_code), std::to_string(i));
    EXPECT_EQ(LogPopIdx(), 29 - i);
  }
  EXPECT_EQ(LogPopIdx(), 0);
}

TEST_F(LogStoreTest, LogIniSetsTheSwitch) {
  const std::pair<const char*, int> rows[] = {
      {"@LOGEN;1\r\n", 1}, {"@LOGEN;0\r\n", 0}, {"@LOGEN;1", 1}, {nullptr, 0},
      {"@LOGEN;2\r\n", 2},  // read as written; only 1 means on
      {"@LOGEN;x\r\n", 0}, {"@LOGEN;99999999999999999999\r\n", INT_MAX}, {" @LOGEN;1\r\n", 0} /* not at the start */,
      {"@LOGMAX;90\n@LOGEN;1\n", 1}, {"@LOGMAX;90\r@LOGEN;1\r", 1},  // edited by hand: any line end
      {"# switch\r\n@LOGEN;1\r\n@LOGEN;0\r\n", 0},  // the last line wins
  };
  for (const auto& [content, expected] : rows) {
    LogInit();
    if (content) root_.Write("APP/log.ini", content);
    ReadLogConfig();
    EXPECT_EQ(logEnable.load(), expected) << (content ? content : "(no file)");
    std::remove((root_.path() + "/APP/log.ini").c_str());
  }
  // A line longer than 127 characters is one line, whatever it holds.
  root_.Write("APP/log.ini", std::string(130, 'x') + "@LOGEN;1\r\n");
  ReadLogConfig();
  EXPECT_EQ(logEnable.load(), 0);
}

TEST_F(LogStoreTest, AtAndQmiRecordsAreAppendedWhileTheSwitchIsOne) {
  const char* const kAtFile = "media/card/AT_CMD_LOG/2021/07/13.txt";
  const char* const kQmiFile = "media/card/QMI_LOG/2021/07/13.txt";
  logEnable = 1;
  AtCmdLog("AT+CSQ\r", "\r\n+CSQ: 20,99\r\n\r\nOK\r\n");
  QmiLog("qmi_wds_start_nw_if", "0");
  clock_->Advance(1500000);
  QmiLog(nullptr, nullptr);
  const std::string pdu(700, '7');  // a sent SMS: the first answer with the whole PDU is kept
  AtCmdLog("AT+CMGS=152\r\n", ("\r\n> " + pdu + "\n").c_str());
  logEnable = 2;  // only 1 is on
  AtCmdLog("ATE0\r", "OK");
  const std::string at = "Time=>08:15:00\r\nCmmand=>AT+CSQ\r\r\nResponse=>\r\n\r\n+CSQ: 20,99\r\n\r\nOK\r\n\r\n"
                         "Time=>08:15:01\r\nCmmand=>AT+CMGS=152\r\n\r\nResponse=>\r\n\r\n> " + pdu + "\n\r\n";
  const std::string qmi = "Time=>08:15:00\r\nAPI=>qmi_wds_start_nw_if\r\nResponse=>0\r\n"
                          "Time=>08:15:01\r\nAPI=>\r\nResponse=>\r\n";
  EXPECT_EQ(root_.Read(kAtFile), at);
  EXPECT_EQ(root_.Read(kQmiFile), qmi);

  // A card pulled while logging loses records quietly.
  logEnable = 1;
  root_.Write("sim/sd-removed", "");
  AtCmdLog("AT\r", "OK");
  QmiLog("api", "0");
  EXPECT_EQ(root_.Read(kAtFile), at);
  EXPECT_EQ(root_.Read(kQmiFile), qmi);
}

// A card that refuses records loses them, says so once, and says so again
// when it takes them; a record the card took only in part is cut off, so
// the file holds whole records only. (`ctl sd full` end to end: tests/e2e.)
TEST_F(LogStoreTest, RefusedRecordsAreSaidOnceAndLeaveNoPartBehind) {
  const char* const kAtFile = "media/card/AT_CMD_LOG/2021/07/13.txt";
  // Larger than what the console capture holds, which the size limit also bounds.
  const std::string earlier(8192, 'e');
  rlimit unlimited{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &unlimited), 0);
  const struct {
    const char* name;
    std::function<void()> refuse, take;
    const char* error;
  } rows[] = {
      {"simulated card full", [&] { root_.Write("sim/sd-full", ""); },
       [&] { std::remove((root_.path() + "/sim/sd-full").c_str()); }, "No space left on device"},
      {"file fills up mid-record",
       [&] {
         rlimit just_above{earlier.size() + 10, unlimited.rlim_max};
         ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &just_above), 0);
       },
       [&] { ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &unlimited), 0); }, "File too large"},
      // Nothing is written to the bare mount point (the board's own flash).
      {"card taken out", [&] { root_.Write("sim/sd-removed", ""); },
       [&] { std::remove((root_.path() + "/sim/sd-removed").c_str()); }, "No medium found"},
      // A file where the month's folder should be: said as such, not as the
      // "File exists" of the folder above.
      {"file in the folder's place",
       [&] {
         const std::string month = root_.path() + "/media/card/AT_CMD_LOG/2021/07";
         ASSERT_EQ(std::rename(month.c_str(), (month + ".kept").c_str()), 0);
         root_.Write("media/card/AT_CMD_LOG/2021/07", "");
       },
       [&] {
         const std::string month = root_.path() + "/media/card/AT_CMD_LOG/2021/07";
         ASSERT_EQ(std::remove(month.c_str()), 0);
         ASSERT_EQ(std::rename((month + ".kept").c_str(), month.c_str()), 0);
       },
       "Not a directory"},
  };
  // The card takes records at the start, whatever an earlier test left.
  ASSERT_TRUE(testsupport::WaitUntil([&] { return LogAppendToday(kAtCmdLogDir, "", 0); }));
  signal(SIGXFSZ, SIG_IGN);  // a write past the limit fails instead of ending the process
  const std::string record = "Time=>08:15:00\r\n" + std::string(100, 'r') + "\r\n";
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    root_.Write(kAtFile, earlier);
    testsupport::ConsoleCapture console;
    row.refuse();
    // The simulated card's marker is looked at once a second.
    EXPECT_TRUE(testsupport::WaitUntil([&] { return !LogAppendToday(kAtCmdLogDir, record.data(), record.size()); }));
    std::string kept = root_.Read(kAtFile);
    if (kept.empty()) kept = earlier;  // out of reach while its folder is
    for (int i = 0; i < 3; ++i) EXPECT_FALSE(LogAppendToday(kAtCmdLogDir, record.data(), record.size()));
    row.take();
    EXPECT_TRUE(testsupport::WaitUntil([&] { return LogAppendToday(kAtCmdLogDir, record.data(), record.size()); }));
    EXPECT_EQ(root_.Read(kAtFile), kept + record);
    EXPECT_EQ((kept.size() - earlier.size()) % record.size(), 0u);
    const std::string text = console.Text();
    for (const std::string& told : {">Cannot write /media/card/AT_CMD_LOG/2021/07/13.txt: " + std::string(row.error) +
                                       "; log records are lost until the card takes them again.\r\n",
                                   std::string(">The SD card takes log records again.\r\n")}) {
      EXPECT_NE(text.find(told), std::string::npos) << text;
      EXPECT_EQ(text.find(told), text.rfind(told)) << text;
    }
  }
  signal(SIGXFSZ, SIG_DFL);
}

}  // namespace
