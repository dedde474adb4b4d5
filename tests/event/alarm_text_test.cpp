// The alarm and report texts byte for byte, the check number, and the SMS
// job each firing queues.

#include <cstring>
#include <regex>

#include "event/alarm_text.h"
#include "event/check_number.h"
#include "event_test_env.h"
#include "modem/pdu_codec.h"

namespace {

using eventtest::EventTest;

TEST(CheckNumber, CrcAndCheckValues) {
  sms_crc_init();
  EXPECT_EQ(sms_crctablefast(reinterpret_cast<const uint8_t*>("123456789"), 9), 0xB4C8);
  EXPECT_EQ(cGetCheckNum("abc", 3), 0x10);
}

class AlarmTextTest : public EventTest {
 protected:
  std::string Text(int n, int is_report) {
    char out[kAlarmTextSize];
    EXPECT_EQ(set_msg(out, n, is_report), 0);
    return std::string(out);
  }
  static std::string WithCheck(const std::string& line) {
    char check[8];
    std::snprintf(check, sizeof check, "(%02X)", cGetCheckNum(line.data(), static_cast<int>(line.size())));
    return line + check;
  }
};

TEST_F(AlarmTextTest, TheFourTexts) {
  std::strcpy(sys_config.cMachineID, "GW-7");
  OrvelEvent& ev = orvel_event[2];
  std::strcpy(ev.msg, "Door open");
  sys_config.counter_status[0] = 12;
  sys_config.counter_status[4] = 999999999;
  ev.iIsSMSDBS = 1;  // (the plain text: the alarm end to end)
  EXPECT_EQ(Text(2, 0), WithCheck("ALARM;GW-7;20210713;090000;Door open"));
  EXPECT_EQ(Text(2, 1), WithCheck("CRPT;GW-7;20210713;090000;12;0;0;0;999999999;0"));
  ev.iIsSMSDBS = 0;
  SetDi(1, 1);
  const std::string report = Text(2, 1);
  EXPECT_TRUE(std::regex_match(report, std::regex(R"(CRPT2;GW-7;2021/07/13 09:00:00;0;1;0;0;0;(-?\d+\.\d{4};){4}12;0;0;0;999999999;0;0)")))
      << report;
  char out[kAlarmTextSize];
  EXPECT_EQ(set_msg(out, 2, 2), -1);
}

// A long name and a 160-character message: the message gives way so that
// the line as sent fits one SMS (160 septets, an extension character
// counting two) and the check number still covers it.
TEST_F(AlarmTextTest, LongCompactLineIsShortenedToFit) {
  const struct { const char* id; char m; size_t chars; } rows[] = {
      {"ABCDEFGHIJKLMNOPQRST", 'm', 160},
      {"GW[7]", 'm', 158},
      {"ABCDEFGHIJKLMNOPQRST", '{', 103},  // a pair is never split: 159 septets
  };
  orvel_event[0].iIsSMSDBS = 1;
  for (const auto& row : rows) {
    std::strcpy(sys_config.cMachineID, row.id);
    std::memset(orvel_event[0].msg, row.m, 160);
    orvel_event[0].msg[160] = '\0';
    const std::string text = Text(0, 0);
    const std::string head = "ALARM;" + std::string(row.id) + ";20210713;090000;";
    EXPECT_EQ(text.size(), row.chars) << row.id;
    EXPECT_LE(gsmIsoSeptetCount(text.data(), static_cast<int>(text.size())), kPduMaxSeptets) << row.id;
    EXPECT_EQ(text, WithCheck(head + std::string(row.chars - head.size() - 4, row.m))) << row.id;
  }
  // A plain text that does not fit one SMS (an older configuration file
  // allowed it) is sent as stored, and the console says what goes out.
  orvel_event[0].iIsSMSDBS = 0;
  std::memset(orvel_event[0].msg, '~', 100);
  orvel_event[0].msg[100] = '\0';
  testsupport::ConsoleCapture console;
  EXPECT_EQ(Text(0, 0), std::string(100, '~'));
  EXPECT_NE(console.Text().find(">Event(0) text takes 200 septets, one SMS holds 160: only the first 80 characters go out"),
            std::string::npos) << console.Text();
}

TEST_F(AlarmTextTest, SendMsgQueuesOneJobForThePhones) {
  OrvelEvent& ev = orvel_event[1];
  std::strcpy(ev.msg, "Pump");  // (the text to each phone: the alarm end to end)
  char out[kAlarmTextSize];
  testsupport::ConsoleCapture console;
  send_msg(1, out);
  EXPECT_NE(console.Text().find(" [Report Msg][Msg Length:4]\n => Pump\r\n>res of sms_event_put() = 0\r\n>sms_event_is_n()=1\r\n"),
            std::string::npos);

  // UCS2: the configured length is kept and the dump stops at a zero pair.
  ev.sms_mode = 8;
  std::memset(ev.msg, 0, sizeof ev.msg);
  std::memcpy(ev.msg, "\x4F\x60\x59\x7D", 4);
  ev.msg_len = 10;
  ev.phone_n_now = 0;  // a job without phones is still queued
  testsupport::ConsoleCapture ucs2;
  send_msg(1, out);
  EXPECT_NE(ucs2.Text().find(" [Report Msg][Msg Length:10]\n => 4F 60 59 7D \r\n"), std::string::npos);
  EXPECT_EQ(sms_evt[1].sms.msg_len, 10);
  EXPECT_EQ(sms_evt[1].phone_n, 0);
}

// Of a UCS2 event only its own message goes as UCS2; the compact line and
// the reports are plain text and go as 7-bit with their own length.
TEST_F(AlarmTextTest, UcsEventSendsItsLinesAsPlainText) {
  std::strcpy(sys_config.cMachineID, "GW-7");
  OrvelEvent& ev = orvel_event[5];
  ev.sms_mode = 8;
  std::memcpy(ev.msg, "\x4F\x60\x59\x7D", 5);
  ev.msg_len = 4;
  const struct {
    uint8_t report, dbs;
    uint8_t mode;
    const char* begins;
  } rows[] = {
      {0, 0, 8, "\x4F\x60\x59\x7D"},
      {0, 1, 0, "ALARM;GW-7;20210713;090000;"},
      {1, 0, 0, "CRPT5;GW-7;"},
      {1, 1, 0, "CRPT;GW-7;20210713;090000;0;0;0;0;0;0("},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.begins);
    evt_in = evt_out = 0;
    ev.auto_report.cIsEnable = row.report;
    ev.iIsSMSDBS = row.dbs;
    char out[kAlarmTextSize];
    testsupport::ConsoleCapture quiet;
    send_msg(5, out);
    const sms_msg& sms = sms_evt[0].sms;
    EXPECT_EQ(sms.sms_mode, row.mode);
    const size_t len = row.mode == 8 ? 4 : std::strlen(sms.msg);
    EXPECT_EQ(sms.msg_len, len);
    EXPECT_EQ(std::string(sms.msg, len).rfind(row.begins, 0), 0u) << sms.msg;
  }
}

}  // namespace
