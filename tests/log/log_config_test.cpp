// Start-up state of the log store and the log switch file.
#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <string>

#include "log/log_ring.h"
#include "log_test_env.h"

namespace {

using logtest::LogStoreTest;

TEST_F(LogStoreTest, LogIniSetsTheSwitch) {
  struct Row {
    bool has_file;
    std::string content;
    int expected;
  };
  const Row rows[] = {
      {true, "@LOGEN;1\r\n", 1},
      {true, "@LOGEN;0\r\n", 0},
      {true, "@LOGEN;1", 1},                        // no line end
      {true, "@LOGEN;1\n", 1},
      {true, "@LOGEN;2\r\n", 2},                    // read as written; only 1 means on
      {true, "@LOGEN;\r\n", 0},
      {true, "@LOGEN;x\r\n", 0},
      {true, "@LOGEN;12abc\r\n", 12},               // digits up to the first other character
      {true, "@LOGEN;99999999999999999999\r\n", INT_MAX},
      {true, "# switch\r\n@LOGEN;1\r\n", 1},
      {true, "@LOGEN;1\r\n@LOGEN;0\r\n", 0},        // the last line wins
      {true, " @LOGEN;1\r\n", 0},                   // must start the line
      {true, "@logen;1\r\n", 0},
      {true, "LOGEN;1\r\n", 0},
      {true, "", 0},
      {false, "", 0},
      // A line longer than 127 characters is one line, whatever it holds.
      {true, std::string(130, 'x') + "@LOGEN;1\r\n", 0},
  };
  for (const Row& r : rows) {
    LogInit();
    if (r.has_file) root_.Write("APP/log.ini", r.content);
    ReadLogConfig();
    EXPECT_EQ(logEnable.load(), r.expected) << (r.has_file ? r.content : "(no file)");
    std::remove((root_.path() + "/APP/log.ini").c_str());
  }
}

TEST_F(LogStoreTest, LogInitResetsEverythingAndMakesTheFolders) {
  logEnable = 1;
  logMaxSize = 50;
  LogPush(1, 0, 0);
  LogPush(1, 1, 0);
  LogInit();
  EXPECT_EQ(logEnable.load(), 0);
  EXPECT_EQ(logMaxSize.load(), 90);
  EXPECT_EQ(LogPushIdx(), 0);
  EXPECT_EQ(logInIdx.load(), 0);
  EXPECT_EQ(logOutIdx.load(), 0);
  for (const char* sub : {"USR_LOG", "AT_CMD_LOG", "QMI_LOG"}) {
    EXPECT_EQ(FileExist("/media/card", sub), 0) << sub;
  }
}

}  // namespace
