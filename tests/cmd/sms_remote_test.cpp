// SMS remote control: who may command the unit, the exact reply of every
// command form, and what a refused request leaves behind (nothing).
#include "cmd/sms_remote.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

#include "cmd_test_env.h"
#include "event/do_control.h"
#include "hw/gpio.h"
#include "queue/sms_queue.h"

namespace cmdtest {
namespace {

const std::string kId = "!QRV-806XK;";

class SmsRemoteTest : public CmdTest {
 protected:
  void SetUp() override {
    CmdTest::SetUp();
    sms_reply_pause_ms = 0;
    std::strcpy(sys_config.CtrlPhone[0], "0911111111");
  }
  void TearDown() override {
    sms_reply_pause_ms = 2000;
    CmdTest::TearDown();
  }
  // One message handled; the reply and its one destination, if queued.
  int Sms(const std::string& from, const std::string& text, std::string* reply = nullptr, std::string* to = nullptr,
          uint8_t mode = 0) {
    evt_in = evt_out = 0;
    sms_msg in{};
    from.copy(in.phone, sizeof in.phone - 1);
    in.msg_len = static_cast<uint8_t>(text.copy(in.msg, kSmsBodyMax));
    in.sms_mode = mode;
    ConsoleCapture capture;
    const int result = HandleSmsCommand(in);
    console_ += capture.Text();
    EXPECT_EQ(evt_in.load(), result > 0 ? 1 : 0);
    if (reply) *reply = evt_in == 1 ? std::string(sms_evt[0].sms.msg, sms_evt[0].sms.msg_len) : "";
    if (to) *to = evt_in == 1 && sms_evt[0].phone_n == 1 ? std::string(sms_evt[0].phone[0]) : "";
    return result;
  }
  int JournalLines() {
    const std::string log = root_.Exists("APP/sms_log.ini") ? root_.Read("APP/sms_log.ini") : "";
    return static_cast<int>(std::count(log.begin(), log.end(), '\n'));
  }
  std::string console_;
};

TEST_F(SmsRemoteTest, EachCommandAnswersTheSenderWithItsExactText) {
  gain = 1.5, offset = -0.25;
  SetLine(28, "1");  // DI2
  for (int i = 0; i < kDiCount; ++i) sys_config.counter_status[i] = 7, sys_config.uiCounter[i] = 70;
  const struct {
    std::string text, reply;
  } rows[] = {
      {"@TIME", kId + "TIME;OK;20210713;081500"},
      {"@TIME;20241301;000000", kId + "TIME;ER"},
      {"@TIME;20240301;240000", kId + "TIME;ER"},
      {"@TIME;20240301", kId + "TIME;ER"},  // a date without a time
      {"@TIME;20240229;123456", kId + "TIME;OK;20240229;123456"},
      {"@DOC1;ON", kId + "DOC1;OK;ON"},
      {"@DOC0;OFF", kId + "DOC0;OK;OFF"},
      {"@DOC0;PULSE;604800001", kId + "DOC0;ER"},
      {"@DOC0;PULSE;-5", kId + "DOC0;ER"},  // would wrap to 49 days
      {"@DOC0;PULSE;604800000", kId + "DOC0;OK;PULSE;604800000"},
      {"@DOC2;ON", kId + "DOC2;ER"},
      {"@DOC+1;OFF", kId + "DOC1;ER"},  // the output number is plain digits
      {"@DOC 1;OFF", kId + "DOC1;ER"},
      {"@DOC-1;OFF", kId + "DOC-1;ER"},
      {"@DOC1;BLINK", kId + "DOC1;ER"},
      {"@DIV", kId + "DIV;OK;0;0;1;0;0;0;1"},
      {"@DIV;1", kId + "DIV;ER"},
      {"@AIV", kId + "AIV;OK;-0.250000;-0.250000;-0.250000;-0.250000"},
      {"@AIV;0", kId + "AIV;ER"},
      {"@ACTV", kId + "ACTV;OK;7;7;7;7;7"},
      {"@ACTV1;100;109", kId + "ACTV;ER\r\n"},  // the alarm must be 10 above
      {"@ACTV1;;200", kId + "ACTV;ER\r\n"},     // empty counter: the maximum
      {"@ACTV1;-20", kId + "ACTV;ER\r\n"},      // no alarm: 0; no sign either
      {"@ACTV1", kId + "ACTV;ER\r\n"},
      {"@ACTV;5;20", kId + "ER\r\n"},
      {"@ACTV5;5;20", kId + "ER\r\n"},
      {"@ACTV2;100;110", kId + "ACTV2;OK;100;110"},
      {"@ACTV2;100;1000000000", kId + "ACTV;ER\r\n"},  // no preset above the counter's range
      {"@ACTV+2;100;200", kId + "ER\r\n"},
      {"hello", ""},
      {"@EVNT1", ""},
  };
  int lines = JournalLines();
  for (const auto& row : rows) {
    std::string reply, to;
    EXPECT_EQ(Sms("0911111111", row.text, &reply, &to), row.reply.empty() ? 0 : 1) << row.text;
    EXPECT_EQ(reply, row.reply) << row.text;
    EXPECT_EQ(to, row.reply.empty() ? "" : "0911111111");
    EXPECT_EQ(JournalLines(), ++lines);
  }
  for (const char* marker : {"error1\r", "error2\r", "error3\r"}) EXPECT_NE(console_.find(marker), std::string::npos);
  // Only the accepted requests left something behind.
  EXPECT_EQ(DoCtrlSnapshot(0).uiDuration, 604800000u);
  EXPECT_EQ(DOV(1), 1);
  EXPECT_EQ(sys_config.counter_status[1] + sys_config.uiCounter[1], 77u);
  EXPECT_EQ(sys_config.counter_status[2] + sys_config.uiCounter[2], 210u);
  // The accepted preset is stored at once: a restart keeps it.
  ASSERT_TRUE(root_.Exists("APP/config.ini"));
  EXPECT_NE(root_.Read("APP/config.ini").find("\r\nuiCounter=70,70,110,70,70\r\n"), std::string::npos);
  // A preset the file does not take is refused and not kept.
  const std::string file = root_.path() + "/APP/config.ini";
  ASSERT_EQ(std::remove(file.c_str()), 0);
  ASSERT_EQ(mkdir(file.c_str(), 0755), 0);
  std::string reply;
  EXPECT_EQ(Sms("0911111111", "@ACTV3;100;120", &reply), 1);
  EXPECT_EQ(reply, kId + "ACTV;ER\r\n");
  EXPECT_EQ(sys_config.counter_status[3] + sys_config.uiCounter[3], 77u);
  rmdir(file.c_str());
}

TEST_F(SmsRemoteTest, OnlyControlPhonesAreServed) {
  // The international form in the last of the ten entries, whatever the
  // count of phones says, and a short code.
  std::strcpy(sys_config.CtrlPhone[0], "12345");
  std::strcpy(sys_config.CtrlPhone[9], "+886912345678");
  sys_config.CtrlPhoneNo = 1;
  const struct {
    std::string from;
    bool served;
  } rows[] = {
      {"+886912345678", true}, {"0912345678", true}, {"12345", true}, {"+886900000000", false}, {"", false},
      {"2345", false}, {"+8869123456789012345678", false},  // longer than any number a reply could reach
  };
  for (const auto& row : rows) {
    const int lines = JournalLines();
    std::string to;
    EXPECT_EQ(Sms(row.from, "@DIV", nullptr, &to), row.served ? 1 : -1) << row.from;
    EXPECT_EQ(to, row.served ? row.from : "");
    EXPECT_EQ(JournalLines(), lines + (row.served ? 1 : 0));
  }
  std::memset(sys_config.CtrlPhone, 0, sizeof sys_config.CtrlPhone);
  for (const char* from : {"+886912345678", "", "0"}) EXPECT_EQ(Sms(from, "@DIV"), -1) << from;
  EXPECT_EQ(JournalLines(), 3);
}

TEST_F(SmsRemoteTest, ForwardingJournalAndReplyBounds) {
  EXPECT_EQ(Sms("0911111111", "+++AT line\r"), 0);
  EXPECT_EQ(Drain(port_[0]), "AT line\r");
  uart1 = 0;  // the bridge could not open the port
  Sms("0911111111", "+++lost");
  EXPECT_NE(console_.find("not forwarded"), std::string::npos);
  // A UCS2 request is journalled as hexadecimal text, not cut at its zeros.
  EXPECT_EQ(Sms("0911111111", std::string("\0@\0D", 4), nullptr, nullptr, 8), 0);
  EXPECT_NE(root_.Read("APP/sms_log.ini").find("00400044>UCS2>RECV>0911111111>"), std::string::npos);
  // The longest name and an echoed field: an answer past one SMS (160
  // septets, the braces counting two each) is refused, never cut, and the
  // clock stays as it was.
  std::strcpy(sys_config.cMachineID, "{ABCDEFGHIJKLMNOPQR}");
  const struct { int pad; std::string reply; } rows[] = {
      {130, "!{ABCDEFGHIJKLMNOPQR};TIME;ER"},
      {114, "!{ABCDEFGHIJKLMNOPQR};TIME;ER"},  // 159 characters, 161 septets
      {0, "!{ABCDEFGHIJKLMNOPQR};TIME;OK;20210713;081500"},
      {113, "!{ABCDEFGHIJKLMNOPQR};TIME;OK;20240229" + std::string(113, 'x') + ";123456"},  // 160 septets
  };
  for (const auto& row : rows) {
    std::string reply;
    Sms("0911111111", row.pad == 0 ? "@TIME" : "@TIME;20240229" + std::string(row.pad, 'x') + ";123456", &reply);
    EXPECT_EQ(reply, row.reply) << row.pad;
  }
}

}  // namespace
}  // namespace cmdtest
