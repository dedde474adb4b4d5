// The control commands: the bridge's serial settings, the SMS journal,
// factory settings, save, reboot, and the silent save-and-read-back.
#include <sys/stat.h>

#include "cmd_test_env.h"
#include "platform/system_actions.h"

namespace cmdtest {

TEST_F(CmdTest, UartsetStoresAllFiveSettingsOrNone) {
  ExpectReplies({
      {"@UARTSET", Shows("UARTSET", "115200;N;8;1;OFF")},
      {"@UARTSET;4800;E;7;2;OFF", Ok("UARTSET")},
      {"@UARTSET;14400;N;8;1;ON", Er("UARTSET")},
      {"@UARTSET;9600;N;9;1;ON", Er("UARTSET")},
      {"@UARTSET;9600;X;8;1;ON", Er("UARTSET")},
      {"@UARTSET;9600;N;8;3;ON", Er("UARTSET")},
      {"@UARTSET;9600;N;8;1;OF", Er("UARTSET")},
      {"@UARTSET;9600;N;8;1", Er("UARTSET")},
      {"@UARTSET;" + std::string(900, '9') + ";N;8;1;ON", Er("UARTSET")},
      {"@UARTSET", Shows("UARTSET", "4800;E;7;2;OFF")},
      {"@UARTSET;460800;Odd;8;1;ONLINE", Ok("UARTSET")},  // first characters count
      {"@UARTSET", Shows("UARTSET", "460800;O;8;1;ON")},
  });
}

// Replaces a file of the board by a folder, so that writing it fails.
void Block(const testsupport::TempDir& root, const std::string& relative) {
  ASSERT_EQ(unlink((root.path() + "/" + relative).c_str()), 0);
  ASSERT_EQ(mkdir((root.path() + "/" + relative).c_str(), 0755), 0);
}

TEST_F(CmdTest, SmslogListsTheJournalUnchangedAndClearsIt) {
  ExpectReplies({{"@SMSLOG", Shows("SMSLOG", "(-Non)")}});
  const std::string journal = "Hi>7BIT>SEND>0912345678>2021/07/13 09:00:00\r\n"
                              "0041>UCS2>RECV>+886912345678>2021/07/13 09:01:00\r\n" +
                              std::string(1200, 'x') + ">7BIT>RECV>0912345678>2021/07/13 09:02:00\r\n";
  root_.Write("APP/sms_log.ini", journal);
  ExpectReplies({
      {"@SMSLOG", Shows("SMSLOG", "START") + journal + Shows("SMSLOG", "END")},
      {"@SMSLOG;CLR", Er("SMSLOG")},
      {"@SMSLOG;(CLR);1", Er("SMSLOG")},
  });
  EXPECT_EQ(root_.Read("APP/sms_log.ini"), journal);
  ExpectReplies({{"@SMSLOG;(CLR)", Ok("SMSLOG")}, {"@SMSLOG", Shows("SMSLOG", "START") + Shows("SMSLOG", "END")}});
  Block(root_, "APP/sms_log.ini");
  ExpectReplies({{"@SMSLOG;(CLR)", Er("SMSLOG")}});  // cannot be emptied
}

TEST_F(CmdTest, DeftSaveAndTestAnswerAsSpecified) {
  ASSERT_EQ(Send("@STAN;Pump7"), "!Pump7;STAN;OK\r\n");
  // (@QCTEST itself, its port hand-over and its banners: the QC station end to end.)
  ExpectReplies({{"@DEFT;1", "!Pump7;DEFT;ER\r\n"}, {"@SAVE;1", "!Pump7;SAVE;ER\r\n"},
                 {"@QCTEST;1", "!Pump7;QCTEST;ER\r\n"}});
  EXPECT_FALSE(root_.Exists("APP/config.ini"));
  std::string console;
  EXPECT_EQ(Send("@TEST", &console), "");  // no reply at all
  EXPECT_EQ(console.rfind("Test function start!!\r\n", 0), 0u);
  EXPECT_EQ(root_.Read("APP/config.ini").rfind("cMachineID=Pump7\r\n", 0), 0u);
  EXPECT_STREQ(sys_config.cMachineID, "Pump7");  // read back

  ASSERT_EQ(Send("@STAN;Pump8"), "!Pump8;STAN;OK\r\n");
  ExpectReplies({{"@SAVE", Ok("SAVE")}, {"@DEFT", Ok("DEFT")}});
  EXPECT_STREQ(sys_config.cMachineID, "QRV-806XK");
  EXPECT_EQ(root_.Read("APP/config.ini").rfind("cMachineID=Pump8\r\n", 0), 0u);  // memory only
  Block(root_, "APP/config.ini");
  ExpectReplies({{"@SAVE", Er("SAVE")}});  // the save failed
}

int g_port_reader = -1;
std::string g_port_at_reboot;

TEST_F(CmdTest, RebootRepliesFirst) {
  g_port_reader = port_[0];
  g_port_at_reboot = "-";
  const platform::RebootHook previous = platform::SetRebootHook([](bool force) {
    EXPECT_TRUE(force);
    g_port_at_reboot = Drain(g_port_reader);
  });
  ExpectReplies({{"@REBOOT;1", Er("REBOOT")}});
  EXPECT_EQ(g_port_at_reboot, "-");
  ExpectReplies({{"@REBOOT", ""}});
  EXPECT_EQ(g_port_at_reboot, Ok("REBOOT"));
  platform::SetRebootHook(previous);
}

}  // namespace cmdtest
