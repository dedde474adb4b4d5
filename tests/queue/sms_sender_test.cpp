// The SMS sender: one destination at a time through the send mailbox,
// retries, the journal, and abandonment after three failures in a row.
#include "queue/sms_sender.h"

#include <gtest/gtest.h>

#include <thread>

#include "queue/queue_test_env.h"

namespace {

using testqueue::Body;
using testqueue::FakeModemThread;
using testqueue::Phones;

class SmsSenderTest : public testqueue::QueueTest {
 protected:
  // Runs the job at evt_out with a fast poll; the modem stand-in answers.
  bool RunJob() { return SmsSenderRunJob(stop_, 1); }
  std::vector<std::string> JournalNumbers() const {
    std::vector<std::string> out;
    for (const std::string& line : JournalLines()) {
      // text>coding>direction>number>time
      size_t a = line.find('>');
      a = line.find('>', a + 1);
      a = line.find('>', a + 1);
      size_t b = line.find('>', a + 1);
      out.push_back(line.substr(a + 1, b - a - 1));
    }
    return out;
  }

  std::atomic<bool> stop_{false};
};

TEST_F(SmsSenderTest, EveryNumberInTurn) {
  FakeModemThread modem;
  Phones list({"111", "222", "333"});
  ASSERT_EQ(sms_event_put(Body("alarm"), list.slot, list.count), 0);
  ASSERT_TRUE(RunJob());
  EXPECT_EQ(modem.Attempts(), (std::vector<std::string>{"111", "222", "333"}));
  EXPECT_EQ(modem.Bodies(), (std::vector<std::string>{"alarm", "alarm", "alarm"}));
  EXPECT_EQ(sms_event_status(0), kSmsJobDone);
  EXPECT_EQ(sms_evt[0].phone_idx, 3);
  EXPECT_EQ(sms_event_is_n(), 0);
  EXPECT_EQ(JournalNumbers(), (std::vector<std::string>{"111", "222", "333"}));
  EXPECT_EQ(LogPushIdx(), 0);
}

TEST_F(SmsSenderTest, ThirdFailureInARowEndsTheJob) {
  FakeModemThread modem;
  modem.Script("222", {4, 4, 4});
  Phones list({"111", "222", "333"});
  sms_event_put(Body("alarm"), list.slot, list.count);
  ASSERT_TRUE(RunJob());
  EXPECT_EQ(modem.Attempts(), (std::vector<std::string>{"111", "222", "222", "222"}));
  EXPECT_EQ(sms_event_status(0), kSmsJobAbandoned);
  EXPECT_EQ(sms_evt[0].phone_idx, 1);
  EXPECT_EQ(sms_event_is_n(), 0);
  // Every attempt is journalled, retries included; the third number gets
  // nothing.
  EXPECT_EQ(JournalNumbers(), (std::vector<std::string>{"111", "222", "222", "222"}));
  // One phone-failure record (4, 0) with the number.
  ASSERT_EQ(LogPushIdx(), 1);
  LogRecord r;
  ASSERT_TRUE(LogPeekOldest(&r));
  EXPECT_STREQ(r.main_code, "4");
  EXPECT_STREQ(r.sub_code, "0");
  EXPECT_EQ(r.with_modem_info, 1);
  EXPECT_STREQ(r.phone, "222");
}

TEST_F(SmsSenderTest, ASuccessResetsTheFailureCount) {
  FakeModemThread modem;
  modem.Script("111", {4, 4, 3});
  modem.Script("222", {4, 4, 3});
  Phones list({"111", "222"});
  sms_event_put(Body("x"), list.slot, list.count);
  ASSERT_TRUE(RunJob());
  EXPECT_EQ(modem.Attempts().size(), 6u);
  EXPECT_EQ(sms_event_status(0), kSmsJobDone);
  EXPECT_EQ(sms_evt[0].phone_idx, 2);
  EXPECT_EQ(LogPushIdx(), 0);
}

TEST_F(SmsSenderTest, EmptyListIsDoneAtOnce) {
  FakeModemThread modem;
  Phones none({});
  sms_event_put(Body("x"), none.slot, 0);
  ASSERT_TRUE(RunJob());
  EXPECT_TRUE(modem.Attempts().empty());
  EXPECT_EQ(sms_event_status(0), kSmsJobDone);
  EXPECT_EQ(sms_evt[0].phone_idx, 0);
  EXPECT_TRUE(JournalLines().empty());
}

TEST_F(SmsSenderTest, JournalShowsUcs2AsHexadecimal) {
  FakeModemThread modem;
  Phones one({"0912345678"});
  sms_event_put(Body(std::string("\x4F\x60\x59\x7D", 4), 8), one.slot, 1);
  sms_event_put(Body("plain text"), one.slot, 1);
  ASSERT_TRUE(RunJob());
  ASSERT_TRUE(RunJob());
  std::vector<std::string> lines = JournalLines();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0].substr(0, lines[0].rfind('>')), "4F60597D>UCS2>SEND>0912345678");
  EXPECT_EQ(lines[1].substr(0, lines[1].rfind('>')), "plain text>7BIT>SEND>0912345678");
  // The modem got the UCS2 bytes themselves.
  EXPECT_EQ(modem.Bodies()[0], std::string("\x4F\x60\x59\x7D", 4));
}

TEST_F(SmsSenderTest, TwentyCharacterSlotsAndJobOrder) {
  FakeModemThread modem;
  Phones first({"12345678901234567890"});
  Phones second({"555"});
  sms_event_put(Body("one"), first.slot, 1);
  sms_event_put(Body("two"), second.slot, 1);
  ASSERT_TRUE(RunJob());
  ASSERT_TRUE(RunJob());
  EXPECT_FALSE(RunJob());
  EXPECT_EQ(modem.Attempts(), (std::vector<std::string>{"12345678901234567890", "555"}));
  EXPECT_EQ(modem.Bodies(), (std::vector<std::string>{"one", "two"}));
}

TEST_F(SmsSenderTest, StopEndsAWaitForASilentModem) {
  // No modem thread: the status never moves past 1.
  Phones one({"1"});
  sms_event_put(Body("x"), one.slot, 1);
  std::atomic<bool> stop{false};
  std::thread sender([&] { SmsSenderRunJob(stop, 2); });
  auto end = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (is_send_sms == 0 && std::chrono::steady_clock::now() < end) {
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  stop = true;
  sender.join();
  EXPECT_EQ(send_sms_status, 1);
  // The job stays pending for the next run.
  EXPECT_EQ(sms_event_is_n(), 1);
  EXPECT_EQ(sms_event_status(0), kSmsJobSending);
}

}  // namespace
