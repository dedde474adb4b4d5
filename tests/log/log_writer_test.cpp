// ThreadLog: when it runs at all, and what it writes.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "app/sd_update.h"
#include "log/log_writer.h"
#include "log_test_env.h"

namespace {

using logtest::LogStoreTest;

constexpr const char* kUserFile = "media/card/USR_LOG/2021/07/13.txt";

size_t CountLines(const std::string& text) {
  size_t n = 0;
  for (size_t pos = 0; (pos = text.find("\r\n", pos)) != std::string::npos; pos += 2) ++n;
  return n;
}

TEST_F(LogStoreTest, WriterEndsAtOnceWithoutCardOrWithLoggingOff) {
  struct Row {
    int sd, enable;
  };
  for (Row r : {Row{0, 1}, Row{1, 0}, Row{1, 2}}) {
    if_sd_card = r.sd;
    logEnable = r.enable;
    LogPush(1, 0, 0);
    // Returns instead of looping; the record stays unwritten.
    EXPECT_EQ(ThreadLog(nullptr), nullptr);
    EXPECT_FALSE(root_.Exists(kUserFile));
  }
  if_sd_card = 0;
}

TEST_F(LogStoreTest, WriterPassWritesTheOldestRecordFirst) {
  modem_creg = 1;
  modem_csq = 20;
  LogPushPhone(4, 0, 1, "123");
  clock_->Advance(2000000);
  LogPush(3, 0, 0);
  EXPECT_EQ(LogWriterPass(), LogWriterStep::kWrote);
  EXPECT_EQ(LogWriterPass(), LogWriterStep::kWrote);
  EXPECT_EQ(LogWriterPass(), LogWriterStep::kIdle);
  EXPECT_EQ(root_.Read(kUserFile),
            "{\"T\":\"08:15:00\",\"E\":{\"M\":\"4\",\"S\":\"0\"},\"MI\":{\"R\":\"1\",\"SQ\":\"20\"},\"P\":\"123\"},\r\n"
            "{\"T\":\"08:15:02\",\"E\":{\"M\":\"3\",\"S\":\"0\"},\"MI\":{\"R\":\"*\",\"SQ\":\"*\"},\"P\":\"*\"},\r\n");
}

TEST_F(LogStoreTest, ARecordThatCannotBeWrittenIsDropped) {
  root_.Write(Card("USR_LOG/2021"), "");  // a file where the year folder goes
  LogPush(1, 0, 0);
  EXPECT_EQ(LogWriterPass(), LogWriterStep::kWrote);
  EXPECT_EQ(LogPushIdx(), 0);
}

TEST_F(LogStoreTest, WriterThreadDrainsPushesFromOtherThreads) {
  std::atomic<bool> stop{false};
  std::thread writer([&] { RunLogWriter(stop); });

  constexpr int kThreads = 3, kEach = 20;
  std::vector<std::thread> pushers;
  for (int t = 0; t < kThreads; ++t) {
    pushers.emplace_back([t] {
      for (int i = 0; i < kEach; ++i) {
        // Within the ring's room: wait while it is nearly full.
        while (LogPushIdx() > 20) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        LogPush(t, i % 10, 0);
      }
    });
  }
  for (auto& p : pushers) p.join();

  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (CountLines(root_.Read(kUserFile)) < kThreads * kEach && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  stop = true;
  LogWakeWriter();
  writer.join();
  EXPECT_EQ(CountLines(root_.Read(kUserFile)), size_t{kThreads * kEach});
  EXPECT_EQ(LogPushIdx(), 0);
}

}  // namespace
