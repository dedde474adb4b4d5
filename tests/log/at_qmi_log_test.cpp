// The AT-command and QMI records.
#include <gtest/gtest.h>

#include <string>

#include "log_test_env.h"

namespace {

using logtest::LogStoreTest;

constexpr const char* kAtFile = "media/card/AT_CMD_LOG/2021/07/13.txt";
constexpr const char* kQmiFile = "media/card/QMI_LOG/2021/07/13.txt";

TEST_F(LogStoreTest, AtRecordsAreAppendedAsTheyHappen) {
  logEnable = 1;
  AtCmdLog("AT+CSQ\r", "\r\n+CSQ: 20,99\r\n\r\nOK\r\n");
  clock_->Advance(1500000);
  AtCmdLog("AT+CREG?\r", "");
  EXPECT_EQ(root_.Read(kAtFile),
            "Time=>08:15:00\r\nCmmand=>AT+CSQ\r\r\nResponse=>\r\n\r\n+CSQ: 20,99\r\n\r\nOK\r\n\r\n"
            "Time=>08:15:01\r\nCmmand=>AT+CREG?\r\r\nResponse=>\r\n\r\n");
}

TEST_F(LogStoreTest, QmiRecordsAreAppendedAsTheyHappen) {
  logEnable = 1;
  QmiLog("qmi_wds_start_nw_if", "0");
  QmiLog(nullptr, nullptr);
  EXPECT_EQ(root_.Read(kQmiFile),
            "Time=>08:15:00\r\nAPI=>qmi_wds_start_nw_if\r\nResponse=>0\r\n"
            "Time=>08:15:00\r\nAPI=>\r\nResponse=>\r\n");
}

TEST_F(LogStoreTest, ALongAtRecordIsKeptWhole) {
  logEnable = 1;
  // A sent SMS: the command line, then the first answer with the whole PDU.
  std::string pdu;
  for (int i = 0; i < 175; ++i) pdu += "4F60";
  const std::string command = "AT+CMGS=152\r\n";
  const std::string response = "\r\n> " + pdu + "\n";
  AtCmdLog(command.c_str(), response.c_str());
  const std::string expected = "Time=>08:15:00\r\nCmmand=>" + command + "\r\nResponse=>\r\n" + response + "\r\n";
  EXPECT_GT(expected.size(), 700u);
  EXPECT_EQ(root_.Read(kAtFile), expected);
}

TEST_F(LogStoreTest, TheSwitchIsFollowedAtOnce) {
  AtCmdLog("AT\r", "OK");
  QmiLog("api", "0");
  EXPECT_FALSE(root_.Exists(kAtFile));
  EXPECT_FALSE(root_.Exists(kQmiFile));
  logEnable = 1;
  AtCmdLog("AT\r", "OK");
  logEnable = 2;  // only 1 is on
  AtCmdLog("ATE0\r", "OK");
  EXPECT_EQ(root_.Read(kAtFile), "Time=>08:15:00\r\nCmmand=>AT\r\r\nResponse=>\r\nOK\r\n");
}

TEST_F(LogStoreTest, ACardPulledWhileLoggingLosesRecordsQuietly) {
  logEnable = 1;
  AtCmdLog("AT\r", "OK");
  RemoveCard();
  for (int i = 0; i < 100; ++i) {
    AtCmdLog("AT\r", "OK");
    QmiLog("api", "0");
  }
  EXPECT_FALSE(root_.Exists(kQmiFile));
  EXPECT_EQ(root_.Read(kAtFile), "Time=>08:15:00\r\nCmmand=>AT\r\r\nResponse=>\r\nOK\r\n");
}

}  // namespace
