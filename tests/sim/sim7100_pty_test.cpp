// The simulated module served on a pseudo-terminal in the test's own
// process, reached through the firmware's serial layer as the modem thread
// reaches /dev/smd8 (the firmware's own threads against it: tests/queue).
#include "sim/modem_pty_server.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "modem/serial_port.h"
#include "sim/sim7100_model.h"
#include "support/firmware_process.h"

namespace {

TEST(ModemPtyServer, AnswersOnTheDeviceAndStopsCleanly) {
  sim::Sim7100Model model;
  sim::ModemPtyServer server(model);
  std::string error;
  ASSERT_TRUE(server.Open(&error)) << error;
  EXPECT_FALSE(server.Open(&error));
  EXPECT_EQ(error, "the server is already running");

  // Writes a command and reads until the answer ends.
  auto exchange = [&](const std::string& command) {
    int fd = uart_open(server.device().c_str(), 115200, 8, 'N', 1);
    uart_write(fd, command.data(), static_cast<int>(command.size()));
    std::string got;
    testsupport::WaitUntil(
        [&] {
          char buf[512];
          int n = uart_read(fd, buf, sizeof buf);
          if (n > 0) got.append(buf, static_cast<size_t>(n));
          return got.find("OK\r\n") != std::string::npos;
        },
        std::chrono::seconds(10));  // generous: a sanitizer build may be slow
    uart_close(fd);  // the firmware closes and opens the channel on every pass
    return got;
  };
  EXPECT_EQ(exchange("AT+CSQ\r\n"), "AT+CSQ\r\n\r\n+CSQ: 22,0\r\n\r\nOK\r\n");
  EXPECT_TRUE(server.Control("sms from +393331234567 hello").ok);
  EXPECT_FALSE(server.Control("di 0 on").ok);  // not the module's
  EXPECT_NE(exchange("AT+CPMS?\r\n").find("+CPMS: \"SM\",1,50"), std::string::npos);
  EXPECT_NE(server.State().Dump(false).find(R"("store":{"used":1,"total":50)"), std::string::npos);

  server.Stop();
  EXPECT_FALSE(server.running());
  // The model outlives its server and takes commands on its own.
  EXPECT_TRUE(model.Command({"csq", "5"}, "csq 5", 0).ok);
}

}  // namespace
