// The SMS sender: one destination at a time through the send mailbox,
// retries, the journal, and abandonment after three failures in a row.
#include "queue/sms_sender.h"

#include <cstdio>

#include "queue/queue_test_env.h"

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

TEST_F(SmsSenderTest, EachNumberGetsThreeTriesInARow) {
  struct Row {
    std::vector<std::string> phones;
    std::map<std::string, std::deque<int32_t>> verdicts;  // 3 (sent) when none is left
    std::vector<std::string> attempts;                    // each one journalled too
    int32_t status, phone_idx;
    const char* abandoned;  // the number of the phone-failure record
  } const rows[] = {
      {{"111", "222", "333"}, {}, {"111", "222", "333"}, kSmsJobDone, 3, nullptr},
      // The third failure in a row ends the job; the third number gets nothing.
      {{"111", "222", "333"}, {{"222", {4, 4, 4}}}, {"111", "222", "222", "222"}, kSmsJobAbandoned, 1, "222"},
      // A success resets the count.
      {{"111", "222"}, {{"111", {4, 4, 3}}, {"222", {4, 4, 3}}}, {"111", "111", "111", "222", "222", "222"}, kSmsJobDone, 2,
       nullptr},
      {{}, {}, {}, kSmsJobDone, 0, nullptr},
      // A slot without terminator: the modem gets all 20 digits, the journal 19.
      {{"12345678901234567890"}, {}, {"12345678901234567890"}, kSmsJobDone, 1, nullptr},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.attempts.size());
    testqueue::ResetQueue();
    LogRingClear();
    std::remove((root_.path() + "/APP/sms_log.ini").c_str());
    FakeModemThread modem(r.verdicts);
    Phones list(r.phones);
    ASSERT_EQ(sms_event_put(Body("alarm"), list.slot, list.count), 0);
    ASSERT_TRUE(RunJob());
    std::vector<std::string> sent, journal;
    for (const std::string& number : r.attempts) {
      sent.push_back(number + ":alarm");
      journal.push_back("alarm>7BIT>SEND>" + number.substr(0, 19));
    }
    EXPECT_EQ(modem.Sent(), sent);
    EXPECT_EQ(sms_event_status(0), r.status);
    EXPECT_EQ(sms_evt[0].phone_idx, r.phone_idx);
    EXPECT_EQ(sms_event_is_n(), 0);
    EXPECT_EQ(JournalLines(), journal);
    ASSERT_EQ(LogPushIdx(), r.abandoned ? 1 : 0);
    if (!r.abandoned) continue;
    LogRecord rec;
    ASSERT_TRUE(LogPeekOldest(&rec));
    const std::string got = std::string(rec.main_code) + "," + rec.sub_code + "," + std::to_string(rec.with_modem_info);
    EXPECT_EQ(got + "," + rec.phone, std::string("4,0,1,") + r.abandoned);
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
  EXPECT_EQ(modem.Sent(), (std::vector<std::string>{"0912345678:\x4F\x60\x59\x7D", "0912345678:plain text"}));
}

}  // namespace
