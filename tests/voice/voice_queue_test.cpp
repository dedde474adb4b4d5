// The voice queue and its caller against a stand-in modem thread that ends
// each call as the test says.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "base/log_ring.h"
#include "modem/voice_call.h"
#include "queue/queue_test_env.h"
#include "queue/retry_wait_recorder.h"
#include "queue/voice_queue.h"
#include "queue/voice_sender.h"
#include "support/console_capture.h"

namespace {

// The voice mailbox's stand-in: notes each call as "number/prompt".
struct FakeModemThread : testqueue::ScriptedModemThread {
  explicit FakeModemThread(std::map<std::string, std::deque<int32_t>> script)
      : ScriptedModemThread(
            std::move(script),
            [](std::string* note, std::string* number) {
              if (is_send_voice.load() == 0) return false;
              *number = send_voice.phone;
              *note = *number + "/" + send_voice.wav;
              return true;
            },
            [](int32_t verdict) {
              is_send_voice = 0;
              send_voice_status = verdict;
            }) {}
};

bool Put(const std::vector<std::string>& numbers, int* slot) {
  const testqueue::Phones list(numbers);
  voice_msg job{};
  std::strcpy(job.wav, "EVNT4.wav");
  return VoiceEventTryPut(job, list.slot, list.count, slot);
}

// A failed call is tried again 10 s and then 30 s later (the waits are
// noted, not slept); after its third failure the number is given up and
// the job goes on with the next one.
TEST(VoiceQueue, AFailedCallIsTriedAgainLater) {
  struct Row {
    const char* what;
    std::vector<std::string> numbers;
    std::map<std::string, std::deque<int32_t>> script;
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
    testqueue::RetryWaitRecorder waits([&] { return modem.Notes().size(); });
    int slot = -1;
    ASSERT_TRUE(Put(row.numbers, &slot));
    std::atomic<bool> stop{false};
    testing::internal::CaptureStdout();
    EXPECT_TRUE(VoiceSenderRunJob(stop, 1));
    testing::internal::GetCapturedStdout();
    std::vector<std::string> expected;
    for (const std::string& n : row.trace) expected.push_back(n.rfind("wait", 0) == 0 ? n : n + "/EVNT4.wav");
    EXPECT_EQ(waits.Trace(modem.Notes()), expected);
    EXPECT_EQ(voice_event_status(slot), row.status);
    EXPECT_EQ(voice_evt[slot].phone_idx.load(), static_cast<int32_t>(row.numbers.size()));
    EXPECT_EQ(voice_event_is_n(), 0);
    EXPECT_EQ(testqueue::TakeLogRecords(), testqueue::GiveUpRecords("5", row.given_up));
  }
}

// The ring itself: the SMS queue's tests.
TEST(VoiceQueue, SeventeenJobsWaitAtMost) {
  int slot = 0;
  for (int i = 0; i < 17; ++i) EXPECT_TRUE(Put({"111"}, &slot));
  EXPECT_FALSE(Put({"111"}, &slot));
  {
    testsupport::ConsoleCapture console;
    const testqueue::Phones two({"111", "222"});
    voice_msg job{};
    std::strcpy(job.wav, "EVNT4.wav");
    EXPECT_EQ(voice_event_put(job, two.slot, two.count), 0);
    EXPECT_EQ(console.Text(),
              ">Voice queue full (17 jobs waiting): call with EVNT4.wav for 2 number(s) dropped, first 111\r\n");
  }
  EXPECT_EQ(voice_event_clean_all(), 1);
  EXPECT_EQ(voice_event_is_n(), 1);
  EXPECT_EQ(voice_event_pop(), 1);
  EXPECT_EQ(voice_event_pop(), 0);
}

}  // namespace
