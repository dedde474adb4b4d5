// The writer thread and the deletion policy of a full card.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>
#include <vector>

#include "app/sd_update.h"
#include "log_test_env.h"
#include "support/console_capture.h"

namespace {

using logtest::kUserFile;

class LogWriterTest : public logtest::LogStoreTest {
 protected:
  void Day(const char* sub, const std::string& ymd) { root_.Write(Card(sub) + "/" + ymd + ".txt", "x\r\n"); }
  void FullDay(const std::string& ymd) {
    for (const char* sub : kLogs) Day(sub, ymd);
  }
  bool Has(const char* sub, const std::string& ymd) { return root_.Exists(Card(sub) + "/" + ymd + ".txt"); }
  static constexpr const char* kLogs[] = {"AT_CMD_LOG", "QMI_LOG", "USR_LOG"};
};

TEST_F(LogWriterTest, CardUseIsMeasured) {
  // A number that cannot be read counts as the limit, which starts deletion.
  const std::pair<const char*, int> rows[] = {{"95", 95}, {"0", 0}, {"full", 90}, {"150", 90}, {"-3", 90}, {"", 90}};
  for (const auto& [content, use] : rows) {
    root_.Write("sim/sd-use", content);
    EXPECT_EQ(SdUsePersent(), use) << content;
  }
}

// From 90 % on the oldest day goes, with the same day of the other logs; a
// user-log day without AT-command file stays (the whole card: tests/e2e).
TEST_F(LogWriterTest, FromTheLimitOnTheOldestDayGoesFirst) {
  FullDay("2021/07/01");
  Day("AT_CMD_LOG", "2021/06/30");  // no QMI or user-log file that day
  Day("USR_LOG", "2020/12/31");
  SetCardUse(89);
  EXPECT_EQ(LogDelete(), 0);
  EXPECT_TRUE(Has("AT_CMD_LOG", "2021/06/30"));

  SetCardUse(95);
  EXPECT_EQ(LogDelete(), 0);
  EXPECT_FALSE(Has("AT_CMD_LOG", "2021/06/30"));
  EXPECT_TRUE(Has("QMI_LOG", "2021/07/01"));
  EXPECT_TRUE(root_.Exists(Card("AT_CMD_LOG/2021/06")));  // empty folders stay

  SetCardUse(100);  // the measurement stays at the target: still full after every day
  FullDay("2021/07/13");  // today, being written
  {
    testsupport::ConsoleCapture console;
    for (int check = 0; check < 3; ++check) EXPECT_EQ(LogDelete(), -1);
    // Said once while the card stays full, not at every check.
    const std::string text = console.Text();
    const std::string told = ">SD card 100% used and no log older than today is left to delete";
    EXPECT_NE(text.find(told), std::string::npos) << text;
    EXPECT_EQ(text.find(told), text.rfind(told)) << text;
  }
  for (const char* sub : kLogs) {
    EXPECT_FALSE(Has(sub, "2021/07/01")) << sub;
    EXPECT_TRUE(Has(sub, "2021/07/13")) << sub;
  }
  EXPECT_TRUE(Has("USR_LOG", "2020/12/31"));
  SetCardUse(50);  // room again: a later full card is told again
  EXPECT_EQ(LogDelete(), 0);
  SetCardUse(99);
  testsupport::ConsoleCapture console;
  EXPECT_EQ(LogDelete(), -1);
  EXPECT_NE(console.Text().find(">SD card 99% used"), std::string::npos) << console.Text();
}

TEST_F(LogWriterTest, AFullCardHoldsTheRecordsBackAndAnUnwritableOneIsDropped) {
  SetCardUse(97);
  LogPush(1, 0, 0);
  EXPECT_EQ(LogWriterPass(), LogWriterStep::kCardFull);
  EXPECT_EQ(LogPushIdx(), 1);
  EXPECT_FALSE(root_.Exists(kUserFile));
  SetCardUse(40);
  EXPECT_EQ(LogWriterPass(), LogWriterStep::kWrote);
  EXPECT_EQ(LogPushIdx(), 0);

  clock_->Advance(86400LL * 366 * 1000000);
  root_.Write(Card("USR_LOG/2022"), "");  // a file where the year folder goes
  LogPush(1, 0, 0);
  EXPECT_EQ(LogWriterPass(), LogWriterStep::kWrote);
  EXPECT_EQ(LogPushIdx(), 0);
}

TEST_F(LogWriterTest, WriterEndsAtOnceWithoutCardOrWithLoggingOff) {
  for (auto [sd, enable] : {std::pair{0, 1}, std::pair{1, 0}, std::pair{1, 2}}) {
    if_sd_card = sd;
    logEnable = enable;
    LogPush(1, 0, 0);
    testsupport::ConsoleCapture console;
    EXPECT_EQ(ThreadLog(nullptr), nullptr);  // returns instead of looping; nothing written
    EXPECT_EQ(console.Text(), "[ThreadLog is start]\r\n");
    EXPECT_FALSE(root_.Exists(kUserFile));
  }
  if_sd_card = 0;
}

TEST_F(LogWriterTest, WriterThreadDrainsPushesFromOtherThreads) {
  SetCardUse(40);
  std::atomic<bool> stop{false};
  std::thread writer([&] { RunLogWriter(stop); });
  std::vector<std::thread> pushers;
  for (int t = 0; t < 3; ++t) {
    pushers.emplace_back([t] {
      for (int i = 0; i < 20; ++i) {
        while (LogPushIdx() > 20) std::this_thread::sleep_for(std::chrono::milliseconds(1));  // within the ring's room
        LogPush(t, i % 10, 0);
      }
    });
  }
  for (auto& p : pushers) p.join();
  auto lines = [&] {
    std::string text = root_.Read(kUserFile);
    return std::count(text.begin(), text.end(), '\n');
  };
  EXPECT_TRUE(testsupport::WaitUntil([&] { return lines() == 60; }));
  stop = true;
  LogWakeWriter();
  writer.join();
  EXPECT_EQ(lines(), 60);
  EXPECT_EQ(LogPushIdx(), 0);
}

}  // namespace
