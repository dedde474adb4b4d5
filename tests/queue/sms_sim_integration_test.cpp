// The modem thread and the SMS sender in-process against the simulated
// SIM7100 model on a pseudo-terminal.
#include <gtest/gtest.h>

#include <atomic>
#include <deque>
#include <filesystem>
#include <thread>

#include "app/status_loop.h"
#include "modem/modem_test_env.h"
#include "queue/queue_test_env.h"
#include "queue/sms_sender.h"
#include "sim/modem_pty_server.h"
#include "sim/sim7100_model.h"

namespace {

using testqueue::Body;
using testqueue::Phones;

template <typename F>
bool WaitFor(F done) {
  return testsupport::WaitUntil(done, std::chrono::seconds(60));
}

class SmsSimIntegrationTest : public testqueue::QueueTest {
 protected:
  void SetUp() override {
    testqueue::QueueTest::SetUp();
    testmodem::ResetModemGlobals();
    testmodem::SetPin("");
    std::string error;
    ASSERT_TRUE(server_.Open(&error)) << error;
    std::filesystem::create_directories(root_.path() + "/dev");
    std::filesystem::create_symlink(server_.device(), root_.path() + "/dev/smd8");
  }
  void TearDown() override {
    stop_ = true;
    if (modem_.joinable()) modem_.join();
    if (sender_.joinable()) sender_.join();
    server_.Stop();
    testmodem::ResetModemGlobals();
    testmodem::SetPin("");
    testqueue::QueueTest::TearDown();
  }
  void Start(bool with_sender) {
    modem_ = std::thread([this] { RunModemLoop(stop_); });
    if (with_sender) sender_ = std::thread([this] { RunSmsSender(stop_, 50); });
  }
  void Control(const std::string& line) {
    sim::Reply r = server_.Control(line);
    ASSERT_TRUE(r.ok) << line << ": " << r.text;
  }
  std::deque<sim::OutboxRecord> Outbox() {
    return server_.WithModel([&] { return model_.outbox().records(); });
  }
  static int32_t Led() { return DeriveStatusLedStep(modem_cpin_status, net_status, modem_creg); }

  sim::Sim7100Model model_;
  sim::ModemPtyServer server_{model_};
  std::atomic<bool> stop_{false};
  std::thread modem_, sender_;
};

TEST_F(SmsSimIntegrationTest, AJobForTwoPhonesReachesTheOutboxTwice) {
  Phones list({"0912345678", "+393331234567"});
  sms_event_put(Body("Fire alarm"), list.slot, list.count);
  Start(true);
  ASSERT_TRUE(WaitFor([] { return sms_event_status(0) == kSmsJobDone; }));
  auto out = Outbox();
  ASSERT_EQ(out.size(), 2u);
  EXPECT_EQ(out[0].number, "0912345678");
  EXPECT_EQ(out[1].number, "+393331234567");
  for (const auto& r : out) {
    EXPECT_TRUE(r.decoded);
    EXPECT_TRUE(r.accepted) << r.error;
    EXPECT_EQ(r.coding, "gsm7");
    EXPECT_EQ(r.text, "Fire alarm");
  }
}

TEST_F(SmsSimIntegrationTest, ThreeFailuresAbandonTheFirstPhone) {
  Control("sms-fail 3");
  Phones list({"0912345678", "0987654321"});
  sms_event_put(Body("Fire alarm"), list.slot, list.count);
  Start(true);
  ASSERT_TRUE(WaitFor([] { return sms_event_status(0) == kSmsJobAbandoned; }));
  EXPECT_EQ(sms_evt[0].phone_idx, 0);
  auto out = Outbox();
  ASSERT_EQ(out.size(), 3u);
  for (const auto& r : out) {
    EXPECT_EQ(r.number, "0912345678");
    EXPECT_FALSE(r.accepted);
  }
  EXPECT_EQ(JournalLines(), std::vector<std::string>(3, "Fire alarm>7BIT>SEND>0912345678"));
  ASSERT_EQ(LogPushIdx(), 1);
  LogRecord r;
  ASSERT_TRUE(LogPeekOldest(&r));
  EXPECT_STREQ(r.main_code, "4");
  EXPECT_STREQ(r.phone, "0912345678");
}

TEST_F(SmsSimIntegrationTest, AnInboundMessageArrivesOnceAndLeavesTheStore) {
  Start(false);
  // The first pass empties the store ("AT+CMGD=4,4"): the message comes after.
  ASSERT_TRUE(WaitFor([] { return is_do_first_time_cmd == 1; }));
  Control("sms from +393331234567 Status?");
  ASSERT_TRUE(WaitFor([] { return is_new_sms == 1; }));
  EXPECT_EQ(server_.WithModel([&] { return model_.store().used(); }), 0);
  sms_msg got;
  ASSERT_EQ(sms_check_new_one(&got), 1);
  EXPECT_STREQ(got.phone, "393331234567");
  EXPECT_STREQ(got.msg, "Status?");
  EXPECT_EQ(got.sms_mode, 0);
  // Two more passes bring nothing more.
  for (int csq : {11, 12}) {
    Control("csq " + std::to_string(csq));
    ASSERT_TRUE(WaitFor([csq] { return modem_csq == csq; }));
  }
  EXPECT_EQ(is_new_sms, 0);
}

TEST_F(SmsSimIntegrationTest, SimAndNetworkReachTheStatusLed) {
  testmodem::SetPin("1234");
  Control("sim pin 1234");
  Start(false);
  // The SIM asks for its PIN: the PIN pattern; the PIN is given and the
  // module registers.
  ASSERT_TRUE(WaitFor([] { return modem_cpin_status == 1; }));
  EXPECT_EQ(Led(), 4);
  ASSERT_TRUE(WaitFor([] { return modem_cpin_status == 0 && modem_creg == 1; }));
  EXPECT_EQ(Led(), 1);
  Control("net roaming");
  ASSERT_TRUE(WaitFor([] { return modem_creg == 5; }));
  EXPECT_EQ(Led(), 1);
  // No SIM: not usable, and after five such answers the radio restarts.
  Control("sim absent");
  ASSERT_TRUE(WaitFor([] { return modem_cpin_status == 2 && modem_count4reset == 4; }));
  ASSERT_TRUE(WaitFor([] { return modem_count4reset == 0; }));
  Control("sim ready");
  ASSERT_TRUE(WaitFor([] { return modem_cpin_status == 0 && modem_creg == 5; }));
  Control("net none");
  ASSERT_TRUE(WaitFor([] { return modem_creg != 1 && modem_creg != 5; }));
  EXPECT_EQ(Led(), 0);
}

}  // namespace
