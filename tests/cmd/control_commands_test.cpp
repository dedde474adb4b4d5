// The control commands: the bridge's serial settings, the SMS journal,
// factory settings, save, reboot, the factory test's hand-over of the port,
// and the silent save-and-read-back.
#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <thread>

#include "modem/serial_port.h"
#include "platform/system_actions.h"
#include "status_test_env.h"

namespace {

using ControlCmdTest = statustest::BoardCmdTest;

TEST_F(ControlCmdTest, UartsetStoresAllFiveSettingsOrNone) {
  const std::string er = "!QRV-806XK;UARTSET;ER\r\n";
  ExpectReplies({
      {"@UARTSET", "!QRV-806XK;UARTSET;OK;115200;N;8;1;OFF\r\n"},
      {"@UARTSET;4800;E;7;2;OFF", "!QRV-806XK;UARTSET;OK\r\n"},
      {"@UARTSET;14400;N;8;1;ON", er},
      {"@UARTSET;9600;N;9;1;ON", er},
      {"@UARTSET;9600;X;8;1;ON", er},
      {"@UARTSET;9600;N;8;3;ON", er},
      {"@UARTSET;9600;N;8;1;OF", er},
      {"@UARTSET;9600;N;8;1", er},
      {"@UARTSET;-9600;N;8;1;ON", er},
      {"@UARTSET;" + std::string(900, '9') + ";N;8;1;ON", er},
      {"@UARTSET", "!QRV-806XK;UARTSET;OK;4800;E;7;2;OFF\r\n"},
      {"@UARTSET;460800;Odd;8;1;ONLINE", "!QRV-806XK;UARTSET;OK\r\n"},  // first characters count
      {"@UARTSET", "!QRV-806XK;UARTSET;OK;460800;O;8;1;ON\r\n"},
  });
}

TEST_F(ControlCmdTest, SmslogListsTheJournalUnchangedAndClearsIt) {
  ExpectReplies({{"@SMSLOG", "!QRV-806XK;SMSLOG;OK;(-Non)\r\n"}});
  const std::string journal = "Hi>7BIT>SEND>0912345678>2021/07/13 09:00:00\r\n"
                              "0041>UCS2>RECV>+886912345678>2021/07/13 09:01:00\r\n" +
                              std::string(1200, 'x') + ">7BIT>RECV>0912345678>2021/07/13 09:02:00\r\n";
  root_.Write("APP/sms_log.ini", journal);
  ExpectReplies({
      {"@SMSLOG", "!QRV-806XK;SMSLOG;OK;START\r\n" + journal + "!QRV-806XK;SMSLOG;OK;END\r\n"},
      {"@SMSLOG;CLR", "!QRV-806XK;SMSLOG;ER\r\n"},
      {"@SMSLOG;(CLR);1", "!QRV-806XK;SMSLOG;ER\r\n"},
  });
  EXPECT_EQ(root_.Read("APP/sms_log.ini"), journal);
  ExpectReplies({{"@SMSLOG;(CLR)", "!QRV-806XK;SMSLOG;OK\r\n"},
                 {"@SMSLOG", "!QRV-806XK;SMSLOG;OK;START\r\n!QRV-806XK;SMSLOG;OK;END\r\n"}});

  ASSERT_EQ(unlink((root_.path() + "/APP/sms_log.ini").c_str()), 0);
  ASSERT_EQ(mkdir((root_.path() + "/APP/sms_log.ini").c_str(), 0755), 0);
  ExpectReplies({{"@SMSLOG;(CLR)", "!QRV-806XK;SMSLOG;ER\r\n"}});  // cannot be emptied
}

TEST_F(ControlCmdTest, DeftSaveAndTestAnswerAsSpecified) {
  SetName("Pump7");
  ExpectReplies({{"@DEFT;1", "!Pump7;DEFT;ER\r\n"}, {"@SAVE;1", "!Pump7;SAVE;ER\r\n"}});
  EXPECT_FALSE(root_.Exists("APP/config.ini"));
  std::string console;
  EXPECT_EQ(Send("@TEST", &console), "");  // no reply at all
  EXPECT_EQ(console.rfind("Test function start!!\r\n", 0), 0u);
  EXPECT_EQ(root_.Read("APP/config.ini").rfind("cMachineID=Pump7\r\n", 0), 0u);
  EXPECT_STREQ(sys_config.cMachineID, "Pump7");  // read back

  SetName("Pump8");
  ExpectReplies({{"@SAVE", "!QRV-806XK;SAVE;OK\r\n"}, {"@DEFT", "!QRV-806XK;DEFT;OK\r\n"}});
  EXPECT_STREQ(sys_config.cMachineID, "QRV-806XK");
  EXPECT_EQ(root_.Read("APP/config.ini").rfind("cMachineID=Pump8\r\n", 0), 0u);  // memory only

  ASSERT_EQ(unlink((root_.path() + "/APP/config.ini").c_str()), 0);
  ASSERT_EQ(mkdir((root_.path() + "/APP/config.ini").c_str(), 0755), 0);
  ExpectReplies({{"@SAVE", "!QRV-806XK;SAVE;ER\r\n"}});  // the save failed
}

cmdtest::PortPipe* g_port = nullptr;
std::string g_port_at_reboot;

TEST_F(ControlCmdTest, RebootRepliesFirst) {
  g_port = port_.get();
  g_port_at_reboot = "-";
  const platform::RebootHook previous = platform::SetRebootHook([](bool force) {
    EXPECT_TRUE(force);
    g_port_at_reboot = g_port->Take();
  });
  ExpectReplies({{"@REBOOT;1", "!QRV-806XK;REBOOT;ER\r\n"}});
  EXPECT_EQ(g_port_at_reboot, "-");
  ExpectReplies({{"@REBOOT", ""}});
  EXPECT_EQ(g_port_at_reboot, "!QRV-806XK;REBOOT;OK\r\n");
  platform::SetRebootHook(previous);
}

// The factory test takes the port: the command closes it and afterwards
// reopens the board's port by its path. A pseudo-terminal stands in for it;
// "@BREAK", which ends a factory dialogue, is offered until the end banner.
TEST_F(ControlCmdTest, QctestHandsThePortOverAndTakesItBack) {
  ExpectReplies({{"@QCTEST;1", "!QRV-806XK;QCTEST;ER\r\n"}});
  const int master = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
  ASSERT_GE(master, 0);
  ASSERT_EQ(grantpt(master) | unlockpt(master), 0);
  const std::string slave = ptsname(master);
  root_.Write("dev/.keep", "");
  ASSERT_EQ(symlink(slave.c_str(), (root_.path() + "/dev/ttyHSL3").c_str()), 0);
  const int keeper = open(slave.c_str(), O_RDWR | O_NOCTTY);  // the line never hangs up
  uart1 = uart_open(slave.c_str(), 115200, 8, 'N', 1);
  ASSERT_GT(uart1.load(), 0);

  const std::string end = "***********QC END***********\r\n";
  std::string got;
  std::thread serve([] { DispatchCommandLine("@QCTEST"); });
  testsupport::WaitUntil([&] {
    char buf[256];
    for (ssize_t n; (n = read(master, buf, sizeof buf)) > 0;) got.append(buf, static_cast<size_t>(n));
    if (got.find(end) != std::string::npos) return true;
    if (write(master, "@BREAK\r", 7) < 0) {
    }  // a full line already holds enough of them
    return false;
  });
  serve.join();
  EXPECT_EQ(got, "!QRV-806XK;QCTEST;OK;QRV-806XK\r\n**********QC START**********\r\n" + end);
  close(uart1.exchange(0));
  close(keeper);
  close(master);
}

}  // namespace
