// The modem thread and the SMS sender in-process against the simulated
// SIM7100 model on a pseudo-terminal (the abandon rules: sms_sender_test;
// received messages and the LEDs: tests/e2e).

#include <filesystem>

#include "modem/modem_test_env.h"
#include "queue/queue_test_env.h"
#include "queue/sms_sender.h"
#include "sim/modem_pty_server.h"
#include "sim/sim7100_model.h"

namespace {

using testqueue::Body;
using testqueue::Phones;

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
  sim::Sim7100Model model_;
  sim::ModemPtyServer server_{model_};
  std::atomic<bool> stop_{false};
  std::thread modem_, sender_;
};

// The first try fails at the network and is tried again; the
// international destination reaches the module as such.
TEST_F(SmsSimIntegrationTest, AJobForTwoPhonesReachesTheOutboxAfterARetry) {
  const sim::Reply fail = server_.Control("sms-fail 1");
  ASSERT_TRUE(fail.ok) << fail.text;
  Phones list({"0912345678", "+393331234567"});
  sms_event_put(Body("Fire alarm"), list.slot, list.count);
  modem_ = std::thread([this] { RunModemLoop(stop_); });
  sender_ = std::thread([this] { RunSmsSender(stop_, 50); });
  ASSERT_TRUE(testsupport::WaitUntil([] { return sms_event_status(0) == kSmsJobDone; }, std::chrono::seconds(60)));
  const auto out = server_.WithModel([&] { return model_.outbox().records(); });
  ASSERT_EQ(out.size(), 3u);
  const char* numbers[] = {"0912345678", "0912345678", "+393331234567"};
  for (size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(out[i].number, numbers[i]);
    EXPECT_TRUE(out[i].decoded);
    EXPECT_EQ(out[i].accepted, i > 0) << out[i].error;
    EXPECT_EQ(out[i].coding, "gsm7");
    EXPECT_EQ(out[i].text, "Fire alarm");
  }
  EXPECT_EQ(LogPushIdx(), 0);
}

}  // namespace
