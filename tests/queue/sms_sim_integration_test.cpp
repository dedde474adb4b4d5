// The modem thread and the SMS sender in-process against the simulated
// SIM7100 model on a pseudo-terminal (the retry rules: sms_sender_test;
// received messages and the LEDs: tests/e2e).

#include <filesystem>

#include "queue/queue_test_env.h"
#include "queue/retry_wait_recorder.h"
#include "queue/sms_sender.h"
#include "sim/modem/modem_pty_server.h"
#include "sim/modem/sim7100_model.h"

namespace {

using testqueue::Body;
using testqueue::Phones;

class SmsSimIntegrationTest : public testqueue::QueueTest {
 protected:
  void SetUp() override {
    testqueue::QueueTest::SetUp();
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
    testqueue::QueueTest::TearDown();
  }
  sim::Sim7100Model model_;
  sim::ModemPtyServer server_{model_};
  std::atomic<bool> stop_{false};
  std::thread modem_, sender_;
};

// The first try fails at the network and is tried again after its wait
// (noted, not slept); the international destination reaches the module as
// such.
TEST_F(SmsSimIntegrationTest, AJobForTwoPhonesReachesTheOutboxAfterARetry) {
  const sim::Reply fail = server_.Control("sms-fail 1");
  ASSERT_TRUE(fail.ok) << fail.text;
  testqueue::RetryWaitRecorder waits([] { return size_t{1}; });
  Phones list({"0912345678", "+393331234567"});
  sms_event_put(Body("Fire alarm"), list.slot, list.count);
  modem_ = std::thread([this] { RunModemLoop(stop_); });
  sender_ = std::thread([this] { RunSmsSender(stop_, 50); });
  ASSERT_TRUE(testsupport::WaitUntil([] { return sms_event_status(0) == kSmsJobDone; }, std::chrono::seconds(60)));
  std::string outbox;
  for (const auto& r : server_.WithModel([&] { return model_.outbox().records(); })) {
    outbox += r.number + " " + r.coding + " " + r.text + " " + (r.accepted ? "accepted" : r.error) + "\n";
  }
  EXPECT_EQ(outbox, "0912345678 gsm7 Fire alarm +CMS ERROR: 500 (sms-fail)\n"
                    "0912345678 gsm7 Fire alarm accepted\n+393331234567 gsm7 Fire alarm accepted\n");
  EXPECT_EQ(LogPushIdx(), 0);
  EXPECT_EQ(waits.Trace({"0912345678"}), (std::vector<std::string>{"0912345678", "wait 10000"}));
}

}  // namespace
