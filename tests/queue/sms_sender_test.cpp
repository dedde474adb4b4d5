// The SMS sender: one destination at a time through the send mailbox,
// spaced retries, the journal, and giving a number up after three failures.
#include "queue/sms_sender.h"

#include <cstdio>

#include "queue/queue_test_env.h"
#include "queue/retry_wait_recorder.h"

namespace {

using testqueue::Body;
using testqueue::FakeModemThread;
using testqueue::Phones;

class SmsSenderTest : public testqueue::QueueTest {
 protected:
  // Runs the job at evt_out with a fast poll; the modem stand-in answers.
  bool RunJob() { return SmsSenderRunJob(stop_, 1); }
  std::atomic<bool> stop_{false};
};

// A failed number is tried again 10 s and then 30 s later (the waits are
// noted, not slept); after its third failure it is given up and the job
// goes on with the next number.
TEST_F(SmsSenderTest, EachNumberGetsThreeSpacedTries) {
  struct Row {
    std::vector<std::string> phones;
    std::map<std::string, std::deque<int32_t>> verdicts;  // 3 (sent) when none is left
    std::vector<std::string> trace;                       // attempts (each one journalled too) and waits
    int32_t status;
    std::vector<std::string> given_up;  // the numbers of the phone-failure records
  } const rows[] = {
      {{"111", "222", "333"}, {}, {"111", "222", "333"}, kSmsJobDone, {}},
      // A first number that always fails keeps the alarm from no one.
      {{"111", "222", "333"},
       {{"111", {4, 4, 4, 4, 4}}},
       {"111", "wait 10000", "111", "wait 30000", "111", "222", "333"},
       kSmsJobNumberGivenUp,
       {"111"}},
      {{"111", "222", "333"},
       {{"222", {4, 4, 4, 4}}, {"333", {4, 4, 4, 4}}},
       {"111", "222", "wait 10000", "222", "wait 30000", "222", "333", "wait 10000", "333", "wait 30000", "333"},
       kSmsJobNumberGivenUp,
       {"222", "333"}},
      // A success resets the count: a module away for a while loses nothing.
      {{"111", "222"},
       {{"111", {4, 4, 3}}, {"222", {4, 3}}},
       {"111", "wait 10000", "111", "wait 30000", "111", "222", "wait 10000", "222"},
       kSmsJobDone,
       {}},
      // A number the encoder refuses by its form fails at every try: given
      // up at once, without the waits that would hold the queue.
      {{"0912-345", "222"}, {{"0912-345", {4, 4, 4}}}, {"0912-345", "222"}, kSmsJobNumberGivenUp, {"0912-345"}},
      {{}, {}, {}, kSmsJobDone, {}},
      // A slot without terminator: the modem gets all 20 digits, the
      // journal 19.
      {{"12345678901234567890"}, {}, {"12345678901234567890"}, kSmsJobDone, {}},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.trace.size());
    testqueue::ResetQueue();
    LogRingClear();
    std::remove((root_.path() + "/APP/sms_log.ini").c_str());
    FakeModemThread modem(r.verdicts);
    testqueue::RetryWaitRecorder waits([&] { return modem.Notes().size(); });
    Phones list(r.phones);
    ASSERT_EQ(sms_event_put(Body("alarm"), list.slot, list.count), 0);
    ASSERT_TRUE(RunJob());
    std::vector<std::string> attempts, journal;
    for (const std::string& step : waits.Trace(modem.Notes())) attempts.push_back(step.substr(0, step.find(":alarm")));
    for (const std::string& step : r.trace) {
      if (step.rfind("wait", 0) != 0) journal.push_back("alarm>7BIT>SEND>" + step.substr(0, 19));
    }
    EXPECT_EQ(attempts, r.trace);
    EXPECT_EQ(sms_event_status(0), r.status);
    EXPECT_EQ(sms_evt[0].phone_idx, static_cast<int32_t>(r.phones.size()));
    EXPECT_EQ(sms_event_is_n(), 0);
    EXPECT_EQ(JournalLines(), journal);
    EXPECT_EQ(testqueue::TakeLogRecords(), testqueue::GiveUpRecords("4", r.given_up));
  }
}

TEST_F(SmsSenderTest, JournalShowsUcs2AsHexadecimalAndJobsGoInOrder) {
  FakeModemThread modem;
  Phones one({"0912345678"});
  sms_event_put(Body(std::string("\x4F\x60\x59\x7D", 4), 8), one.slot, 1);
  sms_event_put(Body("plain text"), one.slot, 1);
  ASSERT_TRUE(RunJob());
  ASSERT_TRUE(RunJob());
  EXPECT_FALSE(RunJob());
  EXPECT_EQ(JournalLines(),
            (std::vector<std::string>{"4F60597D>UCS2>SEND>0912345678", "plain text>7BIT>SEND>0912345678"}));
  // The modem got the UCS2 bytes themselves.
  EXPECT_EQ(modem.Notes(), (std::vector<std::string>{"0912345678:\x4F\x60\x59\x7D", "0912345678:plain text"}));
}

}  // namespace
