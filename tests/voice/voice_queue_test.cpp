// The voice queue and its caller against a stand-in modem thread that ends
// each call as the test says.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "base/log_ring.h"
#include "modem/voice_call.h"
#include "queue/retry_wait_recorder.h"
#include "queue/voice_queue.h"
#include "queue/voice_sender.h"

namespace {

// Answers the voice mailbox: each number's calls end with the statuses of
// its script in turn (3 once the script is used up).
class FakeModemThread {
 public:
  explicit FakeModemThread(std::map<std::string, std::vector<int32_t>> script) : script_(std::move(script)) {
    thread_ = std::thread([this] {
      while (!stop_) {
        if (is_send_voice.load() != 0) {
          std::lock_guard<std::mutex> lock(mu_);
          const std::string number = send_voice.phone;
          calls_.push_back(number + "/" + send_voice.wav);
          std::vector<int32_t>& left = script_[number];
          int32_t verdict = left.empty() ? kVoiceDone : left.front();
          if (!left.empty()) left.erase(left.begin());
          is_send_voice = 0;
          send_voice_status = verdict;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
      }
    });
  }
  ~FakeModemThread() {
    stop_ = true;
    thread_.join();
  }
  std::vector<std::string> Calls() {
    std::lock_guard<std::mutex> lock(mu_);
    return calls_;
  }

 private:
  std::mutex mu_;
  std::map<std::string, std::vector<int32_t>> script_;
  std::vector<std::string> calls_;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

void Put(const std::vector<std::string>& numbers, int* slot) {
  char phones[8][kPhoneSize] = {};
  for (size_t i = 0; i < numbers.size(); ++i) std::memcpy(phones[i], numbers[i].data(), numbers[i].size());
  voice_msg job{};
  std::strcpy(job.wav, "EVNT4.wav");
  ASSERT_TRUE(VoiceEventTryPut(job, phones, static_cast<int>(numbers.size()), slot));
}

// A failed call is tried again 10 s and then 30 s later (the waits are
// noted, not slept); after its third failure the number is given up and
// the job goes on with the next one.
TEST(VoiceQueue, AFailedCallIsTriedAgainLater) {
  struct Row {
    const char* what;
    std::vector<std::string> numbers;
    std::map<std::string, std::vector<int32_t>> script;
    std::vector<std::string> trace;  // calls and waits
    int32_t status;
    std::vector<std::string> given_up;  // the numbers of the phone-failure records
  };
  const Row rows[] = {
      {"a failure is tried again",
       {"111", "222"},
       {{"111", {4, 4}}},
       {"111", "wait 10000", "111", "wait 30000", "111", "222"},
       kSmsJobDone,
       {}},
      {"the first number always fails",
       {"111", "222", "333"},
       {{"111", {4, 4, 4, 4, 4}}},
       {"111", "wait 10000", "111", "wait 30000", "111", "222", "333"},
       kSmsJobNumberGivenUp,
       {"111"}},
      {"a number the modem would not dial", {"0912;ATH", "222"}, {{"0912;ATH", {4, 4, 4}}}, {"0912;ATH", "222"},
       kSmsJobNumberGivenUp, {"0912;ATH"}},
      {"no numbers", {}, {}, {}, kSmsJobDone, {}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    LogRingClear();
    FakeModemThread modem(row.script);
    testqueue::RetryWaitRecorder waits([&] { return modem.Calls().size(); });
    int slot = -1;
    Put(row.numbers, &slot);
    std::atomic<bool> stop{false};
    testing::internal::CaptureStdout();
    EXPECT_TRUE(VoiceSenderRunJob(stop, 1));
    testing::internal::GetCapturedStdout();
    std::vector<std::string> expected;
    for (const std::string& n : row.trace) expected.push_back(n.rfind("wait", 0) == 0 ? n : n + "/EVNT4.wav");
    EXPECT_EQ(waits.Trace(modem.Calls()), expected);
    EXPECT_EQ(voice_event_status(slot), row.status);
    EXPECT_EQ(voice_evt[slot].phone_idx.load(), static_cast<int32_t>(row.numbers.size()));
    EXPECT_EQ(voice_event_is_n(), 0);
    std::vector<std::string> records;
    for (LogRecord rec; LogPeekOldest(&rec); LogPopIdx())
      records.push_back(std::string(rec.main_code) + ":" + rec.phone);
    std::vector<std::string> expected_records;
    for (const std::string& n : row.given_up) expected_records.push_back("5:" + n);
    EXPECT_EQ(records, expected_records);
  }
}

TEST(VoiceQueue, SeventeenJobsWaitAtMost) {
  int slot = 0;
  for (int i = 0; i < 17; ++i) Put({"111"}, &slot);
  voice_msg job{};
  char phones[1][kPhoneSize] = {"111"};
  EXPECT_FALSE(VoiceEventTryPut(job, phones, 1, &slot));
  EXPECT_EQ(voice_event_put(job, phones, 1), 0);
  EXPECT_EQ(voice_event_is_n(), 17);
  EXPECT_EQ(voice_event_clean_all(), 1);
  EXPECT_EQ(voice_event_is_n(), 1);
  EXPECT_EQ(voice_event_pop(), 1);
  EXPECT_EQ(voice_event_pop(), 0);
}

}  // namespace
