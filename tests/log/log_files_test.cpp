// Day-file paths, listings in `ls -1` order and the open-for-reading check.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "log/log_files.h"
#include "log_test_env.h"

namespace {

using logtest::LogStoreTest;

TEST_F(LogStoreTest, TodaysFileFollowsTheClock) {
  struct Row {
    int64_t seconds;
    const char* sub;
    const char* file;
  };
  const Row rows[] = {
      {logtest::kJul13At0815, kUserLogDir, "/media/card/USR_LOG/2021/07/13.txt"},
      {logtest::kJul13At0815, kAtCmdLogDir, "/media/card/AT_CMD_LOG/2021/07/13.txt"},
      {logtest::kJul13At0815, kQmiLogDir, "/media/card/QMI_LOG/2021/07/13.txt"},
      {1626220799, kUserLogDir, "/media/card/USR_LOG/2021/07/13.txt"},  // 23:59:59
      {1626220800, kUserLogDir, "/media/card/USR_LOG/2021/07/14.txt"},  // midnight
      {1640995199, kAtCmdLogDir, "/media/card/AT_CMD_LOG/2021/12/31.txt"},
      {1640995200, kAtCmdLogDir, "/media/card/AT_CMD_LOG/2022/01/01.txt"},
  };
  for (const Row& r : rows) {
    SetTime(r.seconds);
    EXPECT_EQ(LogTodayFile(r.sub), r.file) << r.seconds;
  }
}

TEST_F(LogStoreTest, ListingsComeInLsOrder) {
  for (const char* name : {"2021/9", "2021/10", "2021/07", "2021/Jul", "2021/jul", "2021/.hidden", "2021/_x"}) {
    root_.Write(Card("L/") + name + "/f", "");
  }
  root_.Write(Card("L/2021/a-file"), "");
  std::vector<std::string> names;
  ASSERT_TRUE(LogListNames("/media/card/L/2021", false, &names));
  EXPECT_EQ(names, (std::vector<std::string>{"07", "10", "9", "Jul", "_x", "a-file", "jul"}));
  ASSERT_TRUE(LogListNames("/media/card/L/2021", true, &names));
  EXPECT_EQ(names, (std::vector<std::string>{"07", "10", "9", "Jul", "_x", "jul"}));
  EXPECT_FALSE(LogListNames("/media/card/L/none", false, &names));
  EXPECT_TRUE(names.empty());
}

TEST_F(LogStoreTest, FileExistOpensFilesAndFolders) {
  root_.Write(Card("USR_LOG/2021/07/13.txt"), "x");
  struct Row {
    const char* dir;
    const char* name;
    int expected;
  };
  const Row rows[] = {
      {"/media/card", "USR_LOG", 0},
      {"/media/card/USR_LOG/2021/07", "13.txt", 0},
      {"/media/card/USR_LOG/2021/07", "14.txt", -1},
      {"/media/card", "NOPE", -1},
      {nullptr, "USR_LOG", -1},
      {"/media/card", nullptr, -1},
  };
  for (const Row& r : rows) EXPECT_EQ(FileExist(r.dir, r.name), r.expected);
}

}  // namespace
