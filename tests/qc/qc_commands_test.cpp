// The factory dialogue's commands: reply texts, the order and length of
// the name comparison, the signal arithmetic, calibration, the card, the
// SMS loop and the @QCDATA report.
#include <cmath>

#include "hw/gpio.h"
#include "hw/rtc.h"
#include "qc/qc_data_report.h"
#include "qc/qc_sms_loop.h"
#include "qc_test_env.h"

namespace qctest {

TEST_F(QcTest, RepliesAndSilentCommands) {
  str_gprmc.Set("$GPRMC,081500.0,A,2502.1,N,12131.5,E,0.0,,130721,,E*70");
  const struct {
    const char* command;
    const char* reply;
    QcNext next;
  } rows[] = {
      {"@FWVER", "!FWVER;ORVEL_v1.2.4 20210713\r\n", QcNext::kContinue},
      {"@FWVERSION", "!FWVER;ORVEL_v1.2.4 20210713\r\n", QcNext::kContinue},
      {"@GPRMC", "!GPRMC;1;$GPRMC,081500.0,A,2502.1,N,12131.5,E,0.0,,130721,,E*70\r\n", QcNext::kContinue},
      {"@TIME?", "", QcNext::kContinue},
      {"@DOON", "", QcNext::kContinue},
      {"@DOOFF", "", QcNext::kContinue},
      {"@BREAK", "", QcNext::kBreak},
      {"@AIREA", "", QcNext::kReadOut},
      {"@fwver", "N/A\r\n", QcNext::kContinue},
      {"@QCTEST", "N/A\r\n", QcNext::kContinue},
      {"@TIME", "N/A\r\n", QcNext::kContinue},
      // Channels outside 0..3: no reading is taken.
      {"@AIV;4", "N/A\r\n", QcNext::kContinue},
      {"@AIV;-1", "N/A\r\n", QcNext::kContinue},
      {"@QCAI0;9", "N/A\r\n", QcNext::kContinue},
      // The channel is plain digits, as behind every command name.
      {"@AIV;+1", "N/A\r\n", QcNext::kContinue},
      {"@AIV; 2", "N/A\r\n", QcNext::kContinue},
      {"@QCAI0;1x", "N/A\r\n", QcNext::kContinue},
  };
  for (const auto& row : rows) {
    QcNext next = QcNext::kContinue;
    EXPECT_EQ(Qc(row.command, nullptr, &next), row.reply) << row.command;
    EXPECT_EQ(next, row.next) << row.command;
  }
  // No channel written (the text ends before its position): channel 0.
  SetVolts(0, 4);
  gain = 1, offset = 0;
  const std::pair<const char*, const char*> bare[] = {
      {"@QCAI0", "@QCAI0;OK;4.0"}, {"@QCAI0;", "@QCAI0;OK;4.0"}, {"@AIV", "@AIV;OK;4.0"}, {"@AIV;", "@AIV;OK;4.0"}};
  for (const auto& [command, reply] : bare) EXPECT_EQ(Qc(command).rfind(reply, 0), 0u) << command;
  EXPECT_NEAR(AIsave[0], 4, 1e-3);
  std::string console;
  Qc("@TIME?", &console);
  EXPECT_EQ(console, "@TIME?= 2021/07/13 08:15:00\r\n");
  str_gprmc.Set("$GPRMC,,V,,,,,,,,,W*70");
  EXPECT_EQ(Qc("@GPRMC"), "!GPRMC;0;$GPRMC,,V,,,,,,,,,W*70\r\n");
}

TEST_F(QcTest, SignalIsScaledToOneByteAndZeroUnlessRegistered) {
  const struct {
    int csq, creg;
    const char* reply;
  } rows[] = {
      {31, 5, "!CSQ;96\r\n"}, {31, 1, "!CSQ;96\r\n"}, {99, 1, "!CSQ;53\r\n"}, {10, 5, "!CSQ;31\r\n"},
      {31, 0, "!CSQ;0\r\n"},  {31, 2, "!CSQ;0\r\n"},  {31, 3, "!CSQ;0\r\n"},  {31, 4, "!CSQ;0\r\n"},
  };
  for (const auto& row : rows) {
    modem_csq = row.csq;
    modem_creg = row.creg;
    EXPECT_EQ(Qc("@CSQ"), row.reply) << row.csq << "," << row.creg;
  }
  modem_csq = 0;
  modem_creg = 0;
}

// A station that applies 9 V, 1 V and -8 V where it means +10 V, 0 V and
// -10 V: the calibrated inputs then read the reference scale.
TEST_F(QcTest, CalibrationFromAveragedReadings) {
  const struct {
    double volts;
    const char* command;
    const char* name;  // the reply's name
    int which;
  } steps[] = {
      {9, "@QCAI0;1", "@QCAI0;OK;", 0},
      {1, "@QCAI1;1", "@QCAI1;OK;", 1},
      {-8, "@QCAI2;1", "@QCAI1;OK;", 2},  // answered under @QCAI1's name
  };
  for (const auto& step : steps) {
    SetVolts(1, step.volts);
    const std::string reply = Qc(step.command);
    char value[32];
    std::snprintf(value, sizeof value, "%.4lf;1\r\n", AIsave[step.which]);
    EXPECT_EQ(reply, step.name + std::string(value));
    EXPECT_NEAR(AIsave[step.which], step.volts, 1e-3);
  }
  // Both ranges answer under the first range's name.
  const std::string first = Qc("@QCAI10"), second = Qc("@QCAI20");
  EXPECT_EQ(first.rfind("@QCAI10;OK;", 0) + second.rfind("@QCAI10;OK;", 0), 0u);
  EXPECT_NEAR(Numbers(first)[0], 1.25, 1e-3);
  EXPECT_NEAR(Numbers(first)[1], -1.25, 1e-3);
  EXPECT_NEAR(Numbers(second)[0], 10.0 / 9, 1e-3);
  EXPECT_NEAR(Numbers(second)[1], -10.0 / 9, 1e-3);

  const struct {
    double volts, reads;
  } checks[] = {{5, 5 * 1.25 - 1.25}, {1, 0}, {-4, -4 * 10.0 / 9 - 10.0 / 9}};
  for (const auto& c : checks) {
    SetVolts(2, c.volts);
    EXPECT_NEAR(Numbers(Qc("@AIV;2")).at(0), c.reads, 2e-3) << c.volts;
  }

  // "@QCAI20" is compared with its end: anything behind it is @QCAI2 with
  // the channel at character 8 (nothing before the ";" reads as channel 0).
  SetVolts(0, -3);
  EXPECT_EQ(Qc("@QCAI20;").rfind("@QCAI1;OK;-3.0", 0), 0u);
  EXPECT_NEAR(AIsave[2], -3, 1e-3);
  EXPECT_NEAR(gain2, 10.0 / 9, 1e-3);  // not recalibrated
}

// (Kept across @BREAK: QcStationTest.)
TEST_F(QcTest, EqualReadingsKeepTheCalibration) {
  gain = 1.5, offset = 0.5, gain2 = 2.5, offset2 = -0.5;
  SetVolts(0, 3);
  for (const char* c : {"@QCAI0;0", "@QCAI1;0", "@QCAI2;0"}) Qc(c);  // the same 3 V three times
  for (const auto& [command, reply] : {std::pair{"@QCAI10", "@QCAI10;OK;1.5000;0.5000;1\r\n"},
                                       std::pair{"@QCAI20", "@QCAI10;OK;2.5000;-0.5000;1\r\n"}}) {
    std::string console;
    EXPECT_EQ(Qc(command, &console), reply);
    EXPECT_EQ(console.rfind(std::string(">") + command + ": equal readings", 0), 0u) << console;
  }
  EXPECT_TRUE(std::isfinite(gain) && std::isfinite(gain2));
}

TEST_F(QcTest, TimeIsSetByPositionAndAnsweredFromTheClock) {
  const std::string reply = Qc("@TIME=2022/01/02 03:04:05");
  EXPECT_EQ(reply.rfind("2022-01-02 03:04:0", 0), 0u) << reply;  // the clock runs on meanwhile
  for (const char* refused : {"@TIME=2022/13/02 03:04:05", "@TIME=2022/01/02 03:04", "@TIME="}) {
    std::string console;
    const std::string again = Qc(refused, &console);
    EXPECT_EQ(again.rfind("2022-01-02 03:0", 0), 0u) << refused << again;
    EXPECT_NE(console.find(">@TIME=: the clock was not set"), std::string::npos) << refused;
  }
}

TEST_F(QcTest, CardCheckWritesAndReadsBack) {
  EXPECT_EQ(Qc("@QCSD"), "@QCSD;OK\r\n");
  EXPECT_EQ(root_.Read("media/card/QC.txt"), "SD_Card_OK\r\n");
  root_.Write("sim/sd-removed", "");
  EXPECT_EQ(Qc("@QCSD"), "@QCSD;Fail\r\n");  // the file left on the bare mount point does not count
}

TEST_F(QcTest, SmsLoopPassesOnlyWhenTheTestTextComesBack) {
  const struct {
    const char* number_text;
    std::string number;
  } numbers[] = {
      {"0912345678", "0912345678"},
      {"+886912345678;x", "+886912345678"},
      {"123456789012345678901234", "12345678901234567890"},
      {";0912", ""},
  };
  for (const auto& row : numbers) EXPECT_EQ(QcSmsNumber(row.number_text), row.number) << row.number_text;

  EXPECT_EQ(Qc("@SMSRECV=0912345678"), "!SMSRECV;OK;0\r\n");  // nothing came back
  EXPECT_EQ(std::string(sms_evt[0].phone[0]), "0912345678");
  EXPECT_EQ(std::string(sms_evt[0].sms.msg, sms_evt[0].sms.msg_len), "QCTEST");
  const struct {
    const char* text;
    const char* reply;
  } arrivals[] = {{"QCTEST", "!SMSRECV;OK;1\r\n"}, {"hello", "!SMSRECV;OK;0\r\n"}};
  for (const auto& row : arrivals) {
    recv_new_sms = sms_msg{};
    std::snprintf(recv_new_sms.phone, sizeof recv_new_sms.phone, "0912345678");
    std::snprintf(recv_new_sms.msg, sizeof recv_new_sms.msg, "%s", row.text);
    recv_new_sms.msg_len = static_cast<uint8_t>(std::strlen(row.text));
    is_new_sms = 1;
    EXPECT_EQ(Qc("@SMSRECV=0912345678"), row.reply) << row.text;
    EXPECT_EQ(is_new_sms.load(), 0);
  }
  const int pending = sms_event_is_n();
  EXPECT_EQ(Qc("@SMSRECV=;"), "!SMSRECV;OK;0\r\n");  // no number: nothing queued
  EXPECT_EQ(sms_event_is_n(), pending);
}

TEST(QcReport, ModelText) {
  const struct {
    const char* gmm;
    const char* model;
  } rows[] = {
      {"AT+GMM\r\r\nSIMCOM_SIM7100C\r\n\r\nOK\r\n", "SIM7100C\r"},
      {"AT+GMM\r\nSIM7100C", "SIM7100C"},
      {"AT+GMM\r\r\nSIMCOM_SIM7600E\r\n\r\nOK\r\n", "AT+GMM_Unknow"},
      {"SIMCOM_SIM7100C\r\n", "AT+GMM_Unknow"},
      {"", "AT+GMM_Unknow"},
  };
  for (const auto& row : rows) EXPECT_EQ(QcModelText(row.gmm), row.model) << row.gmm;
}

// Without the jig the inputs stay where they are: only the outputs'
// read-back passes.
TEST_F(QcTest, DataReportWithoutTheJig) {
  str_gmm.Set("AT+GMM\r\r\nSIMCOM_SIM7100C\r\n\r\nOK\r\n");
  str_gprmc.Set("$GPRMC,,V,,,,,,,,,W*70");
  {
    std::lock_guard<std::recursive_mutex> lock(SysrtcMutex());
    Sysrtc = RtcTime{5, 4, 3, 2, 1, 2022, 0};
  }
  std::string console;
  EXPECT_EQ(Qc("@QCDATA", &console),
            "!QCDATA;QC;1;1;0;0;0;0;0;0;1;SIM7100C\r;2022-01-02 03:04:05;$GPRMC,,V,,,,,,,,,W*70 \r\n");
  EXPECT_NE(console.find("DIO(0)=3,3,0,0,0,0,0\r\n"), std::string::npos) << console;
  EXPECT_EQ(DOV(0) + DOV(1), 0);
  root_.Write("sim/sd-removed", "");
  if_sd_card = 1;
  EXPECT_NE(Qc("@QCDATA").find(";0;0;SIM7100C\r;"), std::string::npos);  // no fix, no card
}

}  // namespace qctest
