// The SMS queue: 18 slots, at most 17 jobs pending, order kept across threads.

#include "queue/queue_test_env.h"
#include "support/console_capture.h"

namespace {

using testqueue::Body;
using testqueue::Phones;

class SmsQueueTest : public testqueue::QueueTest {};

TEST_F(SmsQueueTest, SeventeenPendingAtMost) {
  Phones one({"123"});
  for (int i = 0; i < 17; ++i) EXPECT_EQ(sms_event_put(Body("m" + std::to_string(i)), one.slot, 1), i);
  // The eighteenth is refused and changes nothing.
  int slot = -1;
  {
    testsupport::ConsoleCapture console;
    EXPECT_EQ(sms_event_put(Body("refused"), one.slot, 1), 0);
    EXPECT_EQ(console.Text(), ">SMS queue full (17 jobs waiting): message for 1 number(s) dropped, first 123\r\n");
  }
  EXPECT_FALSE(SmsEventTryPut(Body("refused"), one.slot, 1, &slot));
  EXPECT_EQ(slot, -1);
  EXPECT_EQ(sms_event_is_n(), 17);
  EXPECT_EQ(sms_event_status(17), 0);

  // Two pops make room for two: slot 17, then evt_in wraps to slot 0.
  EXPECT_EQ(sms_event_pop(), 1);
  EXPECT_EQ(sms_event_pop(), 1);
  EXPECT_EQ(sms_event_put(Body("m17"), one.slot, 1), 17);
  ASSERT_TRUE(SmsEventTryPut(Body("m18"), one.slot, 1, &slot));
  EXPECT_EQ(slot, 0);
  EXPECT_FALSE(SmsEventTryPut(Body("refused"), one.slot, 1, &slot));
  for (int i = 0; i < 17; ++i) EXPECT_EQ(sms_event_pop(), 1);
  EXPECT_EQ(sms_event_pop(), 0);  // a pop of nothing does nothing
}

TEST_F(SmsQueueTest, PutStoresTheJobWithinItsBounds) {
  Phones list({"0912345678", "12345678901234567890", "+886912345678"});
  sms_msg m = Body(std::string(160, 'x'));
  m.msg_len = 200;  // beyond the record: cut to 160 and terminated
  std::memset(m.phone, '9', sizeof m.phone - 1);  // the caller's phone field is not used
  ASSERT_EQ(sms_event_put(m, list.slot, list.count), 0);
  const sms_event& e = sms_evt[0];
  EXPECT_EQ(std::string(e.sms.msg, e.sms.msg_len + 1u), std::string(160, 'x') + '\0');
  EXPECT_EQ(std::vector<int>({e.phone_n, e.phone_idx, e.status}), std::vector<int>({3, 0, kSmsJobQueued}));
  // The second number fills its slot, without a terminator.
  EXPECT_EQ(std::string(e.phone[0]) + "," + std::string(e.phone[1], kPhoneSize) + "," + e.phone[2],
            "0912345678,12345678901234567890,+886912345678");

  // Destination counts outside 0..256 are held to it.
  static char many[300][kPhoneSize];
  const std::tuple<const char(*)[kPhoneSize], int, int> rows[] = {
      {list.slot, -4, 0}, {nullptr, 3, 0}, {many, 256, 256}, {many, 300, 256}};
  for (const auto& [phones, count, stored] : rows) {
    testqueue::ResetQueue();
    int slot = -1;
    ASSERT_TRUE(SmsEventTryPut(Body("x"), phones, count, &slot)) << count;
    EXPECT_EQ(sms_evt[slot].phone_n, stored) << count;
  }
}

TEST_F(SmsQueueTest, CleanAllKeepsOnlyThePendingJobAtTheHead) {
  EXPECT_EQ(sms_event_status(-1), -1);
  EXPECT_EQ(sms_event_status(18), -1);
  Phones one({"1"});
  for (int i = 0; i < 4; ++i) sms_event_put(Body("j"), one.slot, 1);
  sms_event_pop();  // the job at 0 is done; 1, 2, 3 pending
  EXPECT_EQ(sms_event_clean_all(), 1);
  EXPECT_EQ(sms_event_is_n(), 1);
  EXPECT_EQ(std::vector<int>({evt_out, evt_in, sms_event_status(1), sms_event_status(2)}),
            std::vector<int>({1, 2, kSmsJobQueued, 0}));
  // With nothing pending, nothing becomes pending: an old finished job is
  // never sent again.
  sms_event_pop();
  EXPECT_EQ(sms_event_clean_all(), 1);
  EXPECT_EQ(sms_event_is_n(), 0);
}

TEST_F(SmsQueueTest, ConcurrentPutsKeepEveryJobAndEachProducersOrder) {
  constexpr int kProducers = 4, kJobsEach = 150;
  std::atomic<bool> done{false};
  std::vector<std::string> taken;
  std::thread consumer([&] {  // takes jobs as the sender does: read the entry, then pop
    while (!done || sms_event_is_n() > 0) {
      if (sms_event_is_n() == 0) {
        std::this_thread::yield();
        continue;
      }
      const sms_event& e = sms_evt[evt_out];
      taken.push_back(std::string(e.sms.msg, e.sms.msg_len) + "@" + std::string(e.phone[0]));
      sms_event_pop();
    }
  });
  std::vector<std::thread> producers;
  for (int p = 0; p < kProducers; ++p) {
    producers.emplace_back([p] {
      Phones who({"p" + std::to_string(p)});
      for (int j = 0, slot; j < kJobsEach; ++j) {
        while (!SmsEventTryPut(Body(std::to_string(p) + ":" + std::to_string(j)), who.slot, 1, &slot)) {
          std::this_thread::yield();
        }
      }
    });
  }
  for (auto& t : producers) t.join();
  done = true;
  consumer.join();
  ASSERT_EQ(taken.size(), static_cast<size_t>(kProducers * kJobsEach));
  std::vector<int> next(kProducers, 0);
  for (const std::string& job : taken) {
    int p = std::stoi(job.substr(0, job.find(':')));
    EXPECT_EQ(std::stoi(job.substr(job.find(':') + 1)), next[p]++) << job;  // each producer's jobs in its order
    EXPECT_EQ(job.substr(job.find('@') + 1), "p" + std::to_string(p));      // never a mixed job
  }
}

}  // namespace
