// The deletion policy: the oldest AT-command day goes first, with the same
// day of the other two logs.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <string>

#include "log/log_writer.h"
#include "log_test_env.h"

namespace {

using logtest::LogStoreTest;

class LogCleanupTest : public LogStoreTest {
 protected:
  void Day(const char* sub, const std::string& ymd) { root_.Write(Card(sub) + "/" + ymd + ".txt", "x\r\n"); }
  void FullDay(const std::string& ymd) {
    for (const char* sub : {"AT_CMD_LOG", "QMI_LOG", "USR_LOG"}) Day(sub, ymd);
  }
  bool Has(const char* sub, const std::string& ymd) { return root_.Exists(Card(sub) + "/" + ymd + ".txt"); }
};

TEST_F(LogCleanupTest, UseMeasuresTheCard) {
  SetCardUse(95);
  EXPECT_EQ(SdUsePersent(), 95);
  SetCardUse(0);
  EXPECT_EQ(SdUsePersent(), 0);
  // A number that cannot be read counts as the limit, which starts deletion.
  for (const char* garbage : {"full", "150", "-3", ""}) {
    root_.Write("sim/sd-use", garbage);
    EXPECT_EQ(SdUsePersent(), 90) << garbage;
  }
  // Without the test's number it is the host's file system, like df.
  std::remove((root_.path() + "/sim/sd-use").c_str());
  int host = SdUsePersent();
  EXPECT_GE(host, 0);
  EXPECT_LE(host, 100);
}

TEST_F(LogCleanupTest, BelowTheLimitNothingGoes) {
  FullDay("2021/07/01");
  SetCardUse(89);
  EXPECT_EQ(LogDelete(), 0);
  EXPECT_TRUE(Has("AT_CMD_LOG", "2021/07/01"));
}

TEST_F(LogCleanupTest, AtTheLimitOnlyTheOldestDayGoes) {
  FullDay("2021/07/02");
  FullDay("2021/07/01");
  FullDay("2021/06/30");
  Day("USR_LOG", "2020/12/31");  // a user-log day without AT-command file
  SetCardUse(95);

  EXPECT_EQ(LogDelete(), 0);
  for (const char* sub : {"AT_CMD_LOG", "QMI_LOG", "USR_LOG"}) {
    EXPECT_FALSE(Has(sub, "2021/06/30")) << sub;
    EXPECT_TRUE(Has(sub, "2021/07/01")) << sub;
  }
  EXPECT_EQ(LogDelete(), 0);
  for (const char* sub : {"AT_CMD_LOG", "QMI_LOG", "USR_LOG"}) {
    EXPECT_FALSE(Has(sub, "2021/07/01")) << sub;
    EXPECT_TRUE(Has(sub, "2021/07/02")) << sub;
  }
  // Empty year and month folders stay.
  EXPECT_TRUE(root_.Exists(Card("AT_CMD_LOG/2021/06")));
  EXPECT_TRUE(Has("USR_LOG", "2020/12/31"));
}

TEST_F(LogCleanupTest, MissingPartnersAreNoError) {
  Day("AT_CMD_LOG", "2021/07/01");  // no QMI or user-log file that day
  FullDay("2021/07/02");
  SetCardUse(90);
  EXPECT_EQ(LogDelete(), 0);
  EXPECT_FALSE(Has("AT_CMD_LOG", "2021/07/01"));
  EXPECT_TRUE(Has("AT_CMD_LOG", "2021/07/02"));
}

TEST_F(LogCleanupTest, AUserLogDayWithoutAtCommandFileIsNeverDeleted) {
  Day("USR_LOG", "2021/07/01");
  Day("QMI_LOG", "2021/07/01");
  SetCardUse(99);
  EXPECT_EQ(LogDelete(), -1);
  EXPECT_TRUE(Has("USR_LOG", "2021/07/01"));
  EXPECT_TRUE(Has("QMI_LOG", "2021/07/01"));
}

TEST_F(LogCleanupTest, StillFullAfterEveryDayMeansMinusOne) {
  FullDay("2021/07/01");
  FullDay("2021/07/02");
  SetCardUse(100);  // the measurement stays at the target
  EXPECT_EQ(LogDelete(), -1);
  EXPECT_FALSE(Has("AT_CMD_LOG", "2021/07/01"));
  EXPECT_FALSE(Has("AT_CMD_LOG", "2021/07/02"));
}

TEST_F(LogCleanupTest, WithoutTheAtCommandFolderNothingCanGo) {
  std::string at = root_.path() + "/media/card/AT_CMD_LOG";
  ASSERT_EQ(::rmdir(at.c_str()), 0);
  Day("USR_LOG", "2021/07/01");
  SetCardUse(95);
  EXPECT_EQ(LogDelete(), -1);
  EXPECT_TRUE(Has("USR_LOG", "2021/07/01"));
}

TEST_F(LogCleanupTest, AFullCardHoldsTheRecordsBack) {
  SetCardUse(97);
  LogPush(1, 0, 0);
  EXPECT_EQ(LogWriterPass(), LogWriterStep::kCardFull);
  EXPECT_EQ(LogPushIdx(), 1);
  EXPECT_FALSE(root_.Exists(Card("USR_LOG/2021/07/13.txt")));

  SetCardUse(40);
  EXPECT_EQ(LogWriterPass(), LogWriterStep::kWrote);
  EXPECT_EQ(LogPushIdx(), 0);
  EXPECT_TRUE(root_.Exists(Card("USR_LOG/2021/07/13.txt")));
}

}  // namespace
