// The simulated module served on a pseudo-terminal in the test's own
// process, reached through the firmware's serial layer as the modem thread
// reaches /dev/smd8.
#include "sim/modem_pty_server.h"

#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "modem/serial_port.h"
#include "sim/sim7100_model.h"
#include "support/firmware_process.h"

namespace {

// Generous: a sanitizer build on a busy machine may be slow to answer.
constexpr auto kAnswerTimeout = std::chrono::seconds(10);

class ModemPtyTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    ASSERT_TRUE(server_.Open(&error)) << error;
    fd_ = uart_open(server_.device().c_str(), 115200, 8, 'N', 1);
    ASSERT_GE(fd_, 0);
  }
  void TearDown() override {
    if (fd_ >= 0) uart_close(fd_);
    server_.Stop();
  }

  // Writes a command and reads until the answer holds `end`.
  std::string Exchange(const std::string& command, const std::string& end = "OK\r\n") {
    uart_write(fd_, command.data(), static_cast<int>(command.size()));
    std::string got;
    testsupport::WaitUntil(
        [&] {
          char buf[512];
          int n = uart_read(fd_, buf, sizeof buf);
          if (n > 0) got.append(buf, static_cast<size_t>(n));
          return got.find(end) != std::string::npos;
        },
        kAnswerTimeout);
    return got;
  }

  sim::Sim7100Model model_;
  sim::ModemPtyServer server_{model_};
  int fd_ = -1;
};

TEST_F(ModemPtyTest, AnswersOnTheDevice) {
  EXPECT_EQ(Exchange("AT+CSQ\r\n"), "AT+CSQ\r\n\r\n+CSQ: 22,0\r\n\r\nOK\r\n");
  EXPECT_EQ(Exchange("AT+GMM\r\n"), "AT+GMM\r\n\r\nSIMCOM_SIM7100C\r\n\r\nOK\r\n");

  // The firmware closes and opens the channel on every pass.
  uart_close(fd_);
  fd_ = uart_open(server_.device().c_str(), 115200, 8, 'N', 1);
  ASSERT_GE(fd_, 0);
  EXPECT_EQ(Exchange("AT+CPIN?\r\n"), "AT+CPIN?\r\n\r\n+CPIN: READY\r\n\r\nOK\r\n");
}

TEST_F(ModemPtyTest, ControlCommandsAndTheModelWhileServing) {
  EXPECT_TRUE(server_.Control("sms from +393331234567 hello").ok);
  EXPECT_FALSE(server_.Control("di 0 on").ok);  // not the module's
  EXPECT_NE(Exchange("AT+CPMS?\r\n").find("+CPMS: \"SM\",1,50"), std::string::npos);
  std::string read = Exchange("AT+CMGRD=0\r\n");
  EXPECT_NE(read.find("+CMGRD: 0,,"), std::string::npos) << read;
  EXPECT_EQ(server_.WithModel([&] { return model_.store().used(); }), 0);
  EXPECT_NE(server_.State().Dump(false).find(R"("store":{"used":0,"total":50)"), std::string::npos);

  // A message sent through the device lands in the outbox.
  EXPECT_EQ(Exchange("AT+CMGS=18\r", "> "), "AT+CMGS=18\r\r\n> ");
  std::string pdu = "0011000A8121436587090000AA05E8329BFD06";
  EXPECT_EQ(Exchange(pdu + "\x1A"), pdu + "\r\n+CMGS: 0\r\n\r\nOK\r\n");
  std::string outbox = server_.Control("outbox").text;
  EXPECT_NE(outbox.find(R"("number":"1234567890","coding":"gsm7","text":"hello")"), std::string::npos) << outbox;
}

TEST(ModemPtyServer, ServesAMasterTheCallerOwnsAndStopsCleanly) {
  std::string error;
  auto pty = sim::PtyPair::Open(&error);
  ASSERT_TRUE(pty) << error;
  sim::Sim7100Model model;
  {
    sim::ModemPtyServer server(model);
    ASSERT_TRUE(server.Start(pty->master(), &error)) << error;
    EXPECT_FALSE(server.Start(pty->master(), &error));
    EXPECT_EQ(error, "the server is already running");
    int fd = uart_open(pty->slave_path().c_str(), 115200, 8, 'N', 1);
    ASSERT_GE(fd, 0);
    uart_write(fd, "AT\r\n", 4);
    std::string got;
    testsupport::WaitUntil(
        [&] {
          char buf[64];
          int n = uart_read(fd, buf, sizeof buf);
          if (n > 0) got.append(buf, static_cast<size_t>(n));
          return got.find("OK\r\n") != std::string::npos;
        },
        kAnswerTimeout);
    EXPECT_EQ(got, "AT\r\n\r\nOK\r\n");
    uart_close(fd);
    server.Stop();
    EXPECT_FALSE(server.running());
  }  // and the destructor after Stop does nothing more
  // The model outlives its server and takes commands on its own.
  EXPECT_TRUE(model.Command({"csq", "5"}, "csq 5", 0).ok);
}

}  // namespace
