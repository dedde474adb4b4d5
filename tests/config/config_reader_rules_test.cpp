// The reader's rules, one mutated line of a valid file at a time.
#include <cmath>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "config/config_data.h"
#include "config/config_file.h"
#include "config_test_env.h"

namespace {

using configtest::ConsoleCapture;
using configtest::JoinCrLf;
using configtest::SplitCrLf;
using Lines = std::vector<std::string>;

// A valid file with two phones and a 7-bit message in event 0, a UCS2
// message in event 1, and 9600 baud.
Lines BaseFile() {
  init_orvel_config();
  set_default();
  std::strcpy(sys_config.cMachineID, "ABCDEF");
  sys_config.uiBaudrate = 9600;
  sys_config.CtrlPhoneNo = 2;
  std::strcpy(sys_config.CtrlPhone[0], "0911111111");
  std::strcpy(sys_config.CtrlPhone[1], "0922222222");
  orvel_event[0].phone_n_now = 2;
  std::strcpy(orvel_event[0].phone[0], "0933333333");
  std::strcpy(orvel_event[0].phone[1], "0944444444");
  orvel_event[0].msg_len = 5;
  std::strcpy(orvel_event[0].msg, "Alarm");
  orvel_event[1].sms_mode = 8;
  orvel_event[1].msg_len = 4;
  std::memcpy(orvel_event[1].msg, "\x4F\x60\x59\x7D", 4);
  {
    ConsoleCapture quiet;
    EXPECT_EQ(save_orvel_config(), 1);
  }
  return {};
}

struct Row {
  const char* what;
  std::function<void(Lines&)> edit;
  int result;
  const char* console;           // must appear, or nullptr
  std::function<bool()> check;   // state after the read, or nullptr
};

// Replaces the line that begins with `prefix` by `line`.
std::function<void(Lines&)> Set(std::string prefix, std::string line) {
  return [prefix, line](Lines& lines) {
    for (std::string& l : lines) {
      if (l.rfind(prefix, 0) == 0) {
        l = line;
        return;
      }
    }
    ADD_FAILURE() << "no line " << prefix;
  };
}

std::string Phones(int count, int length) {
  std::string list;
  for (int i = 0; i < count; ++i) {
    if (i > 0) list += ",";
    std::string phone = std::to_string(1000 + i);
    list += phone + std::string(length - phone.size(), '5');
  }
  return list;
}

class ConfigReaderRulesTest : public configtest::ConfigTest {
 protected:
  void Run(const std::vector<Row>& rows) {
    for (const Row& row : rows) {
      SCOPED_TRACE(row.what);
      BaseFile();
      Lines lines = SplitCrLf(ReadApp("config.ini"));
      ASSERT_EQ(lines.size(), 1037u);
      row.edit(lines);
      WriteApp("config.ini", JoinCrLf(lines));
      init_orvel_config();
      ConsoleCapture console;
      EXPECT_EQ(read_orvel_config(), row.result);
      if (row.console != nullptr) {
        EXPECT_NE(console.Text().find(row.console), std::string::npos) << row.console;
      }
      if (row.check) {
        EXPECT_TRUE(row.check());
      }
    }
  }
};

TEST_F(ConfigReaderRulesTest, UnchangedFileReads) {
  Run({{"as saved", [](Lines&) {}, 1, ">Read Config.ini success!!\r\n", [] {
          return std::strcmp(sys_config.cMachineID, "ABCDEF") == 0 && sys_config.uiBaudrate == 9600 &&
                 sys_config.CtrlPhoneNo == 2 && std::strcmp(sys_config.CtrlPhone[1], "0922222222") == 0 &&
                 orvel_event[0].phone_n_now == 2 && std::strcmp(orvel_event[0].msg, "Alarm") == 0 &&
                 std::memcmp(orvel_event[1].msg, "\x4F\x60\x59\x7D\0", 5) == 0;
        }}});
}

// Lines that end the read with result 0.
TEST_F(ConfigReaderRulesTest, LinesThatFailTheRead) {
  const std::pair<const char*, std::string> bad[] = {
      {"cMachineID=", "cMachineID=" + std::string(21, 'M')},
      {"cMachineID=", "MachineID=abc"},
      {"cPIN=", "cMachineID=x"},  // lines out of order
      {"cPIN=", "cPIN=12345"},
      {"CtrlPhoneNo=", "CtrlPhoneNo=11"},
      {"CtrlPhoneNo=", "CtrlPhoneNo=-1"},
      {"CtrlPhone=", "CtrlPhone=0911111111," + Phones(1, 20)},
      {"cIsUart2SMS=", "cIsUart2SMS=2"},
      {"UartPhone=", "UartPhone=" + std::string(20, '9')},  // refused rather than cut
      {"0#phone_n_now=", "0#phone_n_now=11"},
      {"0#phone=", "0#phone=" + Phones(1, 20)},
      {"0#sms_mode=", "0#sms_mode=4"},
      {"0#msg_len=", "0#msg_len=161"},
      {"1#msg_len=", "1#msg_len=141"},  // 70 UCS2 characters at most
      {"1#msg_len=", "1#msg_len=280"},
      {"0#msg=", "0#msg=" + std::string(161, 'x')},
      {"1#msg=", "1#msg=" + std::string(282, 'A')},
      {"0#di[0]cType=", "0#di[0]cType=5"},
      {"0#di[0]cIsEnable=", "0#di[1]cIsEnable=1"},  // index out of turn
      {"0#di[0]cIsEnable=", "0#di0]cIsEnable=1"},   // no "["
      {"0#di[0]cIsEnable=", "0#ai[0]cIsEnable=1"},
      {"0#di[2]uiHoldTime=", "0#di[2]uiHoldTime=49"},
      {"0#di[2]uiHoldTime=", "0#di[2]uiHoldTime=-200"},
      {"0#di[2]uiResetTime=", "0#di[2]uiResetTime=86400001"},
      {"0#ai[1]cType=", "0#ai[1]cType=4"},
      {"0#ai[1]fAI_high=", "0#ai[1]fAI_high=10.5"},
      {"0#ai[1]fAI_low=", "0#ai[1]fAI_low=nan"},
      {"0#rp_report_days=", "0#rp_report_days=0"},
      {"0#rp_report_days=", "0#rp_report_days=31"},
      {"0#rp_report_HMS=", "0#rp_report_HMS=12000"},
      {"0#rp_report_HMS=", "0#rp_report_HMS=240000"},
      {"0#iIs_do_on=", "0#iIs_do_on=5"},
      {"0#uiDOHoldTime=", "0#uiDOHoldTime=86400001"},
      {"0#iIsVoice=", "0#iIsVoice=2"},
      // The tail of an over-long line is never taken for the next line.
      {"0#msg=", "0#msg=" + std::string(505, 'x') + "0#di[0]cIsEnable=1"},
  };
  std::vector<Row> rows;
  for (const auto& b : bad) rows.push_back({b.second.c_str(), Set(b.first, b.second), 0, nullptr, nullptr});
  Run(rows);
}

TEST_F(ConfigReaderRulesTest, HeaderLines) {
  const std::string id20(20, 'M');
  const std::string phone19(19, '9');
  Run({
      {"id of 20", Set("cMachineID=", "cMachineID=" + id20), 1, nullptr,
       [id20] { return sys_config.cMachineID == id20; }},
      {"id absent", Set("cMachineID=", "cMachineID="), 1,
       ">No content after \"cMachineID=\", use default value.\r\n", [] { return sys_config.cMachineID[0] == 0; }},
      {"key that begins with the name", Set("cMachineID=", "cMachineIDX=abc"), 1, nullptr,
       [] { return std::strcmp(sys_config.cMachineID, "abc") == 0; }},
      {"pin absent", Set("cPIN=", "cPIN="), 1, ">No content after 'cPIN=', use default value.\r\n", nullptr},
      {"count absent", Set("CtrlPhoneNo=", "CtrlPhoneNo="), 1,
       ">No content after 'CtrlPhoneNo=', use default value.\r\n", [] { return sys_config.CtrlPhoneNo == 2; }},
      {"list of 11", Set("CtrlPhone=", "CtrlPhone=" + Phones(11, 19)), 1, "=>Phone number is over than 10.\r\n",
       [] {
         return sys_config.CtrlPhoneNo == 10 && std::strcmp(sys_config.CtrlPhone[9], "1009555555555555555") == 0;
       }},
      {"count corrected", Set("CtrlPhone=", "CtrlPhone=" + Phones(3, 10)), 1,
       "=>Count the number of phone = 3\r\n>Number of phone is not match, use count value.\r\n",
       [] { return sys_config.CtrlPhoneNo == 3; }},
      {"empty list", Set("CtrlPhone=", "CtrlPhone="), 1, ">Number of phone is not match, use count value.\r\n",
       [] { return sys_config.CtrlPhoneNo == 0; }},
      {"bridge flag absent", Set("cIsUart2SMS=", "cIsUart2SMS="), 1,
       ">No content after 'cIsUart2SMS=', use default value.\r\n", [] { return sys_config.cIsUart2SMS == 1; }},
      {"bridge phone of 19", Set("UartPhone=", "UartPhone=" + phone19), 1, nullptr,
       [phone19] { return sys_config.UartPhone == phone19; }},
      {"speed 1200", Set("uiBaudrate=", "uiBaudrate=1200"), 1,
       ">Illegal value after 'uiBaudrate=', use default value.\r\n", [] { return sys_config.uiBaudrate == 115200; }},
      {"speed absent", Set("uiBaudrate=", "uiBaudrate="), 1,
       ">No content after 'uiBaudrate=', use default value.\r\n", [] { return sys_config.uiBaudrate == 115200; }},
      {"9 data bits", Set("uiDataBit=", "uiDataBit=9"), 1,
       ">Illegal value after 'uiDataBit=', use default value.\r\n", [] { return sys_config.uiDataBit == 8; }},
      {"parity X", Set("cParity=", "cParity=X"), 1, nullptr, [] { return sys_config.cParity == 'N'; }},
      {"parity Odd", Set("cParity=", "cParity=Odd"), 1, nullptr, [] { return sys_config.cParity == 'O'; }},
      {"3 stop bits", Set("uiStopBit=", "uiStopBit=3"), 1,
       ">Illegal value after 'uiStopBit=', use default value.\r\n", [] { return sys_config.uiStopBit == 1; }},
      {"two counters", Set("counter_status=", "counter_status=5,6"), 1, nullptr,
       [] {
         return sys_config.counter_status[0] == 5 && sys_config.counter_status[1] == 6 &&
                sys_config.counter_status[2] == 0 && sys_config.counter_status[4] == 0;
       }},
      {"six counters", Set("counter_status=", "counter_status=1,2,3,4,5,6"), 0,
       "=>Counter status Content error.\r\n", nullptr},
      {"counter too large", Set("counter_status=", "counter_status=7,1000000000"), 1,
       "counter_status[1] is over than 999999999.\r\n",
       [] { return sys_config.counter_status[0] == 7 && sys_config.counter_status[1] == 0; }},
      {"negative counter", Set("counter_status=", "counter_status=-5"), 1,
       "counter_status[0] is over than 999999999.\r\n", [] { return sys_config.counter_status[0] == 0; }},
      {"preset too large", Set("uiCounter=", "uiCounter=1000000000,3"), 1, "uiCounter[0] is over than 999999999.\r\n",
       [] { return sys_config.uiCounter[0] == 999999999 && sys_config.uiCounter[1] == 3; }},
      {"six presets", Set("uiCounter=", "uiCounter=1,2,3,4,5,6"), 0, "=>Counter alarm Content error.\r\n", nullptr},
      {"trigger 2", Set("cIsCounterTriggered=", "cIsCounterTriggered=1,2"), 1,
       "cIsCounterTriggered[1] is error, set value as 0.\r\n",
       [] { return sys_config.cIsCounterTriggered[0] == 1 && sys_config.cIsCounterTriggered[1] == 0; }},
      {"six triggers", Set("cIsCounterTriggered=", "cIsCounterTriggered=0,0,0,0,0,0"), 0,
       "=>IsCounterTriggered Content error.\r\n", nullptr},
      {"header cut short", [](Lines& l) { l.resize(12); }, 0, nullptr, nullptr},
      {"empty file", [](Lines& l) { l.clear(); }, 0, nullptr, nullptr},
      {"header only", [](Lines& l) { l.resize(13); }, 1, nullptr,
       [] { return orvel_event[0].phone_n_now == 0 && orvel_event[0].msg[0] == 0; }},
  });
}

TEST_F(ConfigReaderRulesTest, EventBlocks) {
  Run({
      {"bad value, next line", Set("0#is_event_enable=", "0#is_event_enable=2"), 0, ">File content error!!\r\n",
       nullptr},
      {"bad value on the last line", Set("15#iIsSMSDBS=", "15#iIsSMSDBS=2"), 1, nullptr,
       [] { return orvel_event[15].iIsSMSDBS == 0 && orvel_event[15].iIsVoice == 0; }},
      {"wrong key on the last line", Set("15#iIsSMSDBS=", "15#iIsVoice=1"), 1, nullptr,
       [] { return orvel_event[15].iIsVoice == 0; }},
      {"event 16", Set("15#is_event_enable=", "16#is_event_enable=0"), 0, ">Event No. error!!\r\n", nullptr},
      {"skipped event", Set("3#is_event_enable=", "4#is_event_enable=0"), 0, ">Event No. error!!\r\n", nullptr},
      {"no #", Set("0#is_event_enable=", "0is_event_enable=1"), 0, ">Title is empty!!\r\n", nullptr},
      {"blank line", Set("2#msg=", ""), 0, ">Title is empty!!\r\n", nullptr},
      {"absent value", Set("0#is_event_enable=", "0#is_event_enable="), 1,
       ">No content after '=', use default value.\r\n", [] { return orvel_event[0].is_event_enable == 0; }},
      {"wrong key", Set("0#is_event_enable=", "0#phone_n_now=1"), 0, ">File content error!!\r\n", nullptr},
      {"list of 11", Set("0#phone=", "0#phone=" + Phones(11, 19)), 1, "=>Phone number is over than 10.\r\n",
       [] { return orvel_event[0].phone_n_now == 10 && orvel_event[0].phone[9][0] == '1'; }},
      {"count corrected", Set("0#phone=", "0#phone=" + Phones(3, 8)), 1,
       ">Number of phone is not match, use count value.\r\n", [] { return orvel_event[0].phone_n_now == 3; }},
      {"7-bit length 160", Set("0#msg_len=", "0#msg_len=160"), 1, nullptr,
       [] { return orvel_event[0].msg_len == 160; }},
      {"UCS2 length 140", Set("1#msg_len=", "1#msg_len=140"), 1, nullptr,
       [] { return orvel_event[1].msg_len == 140; }},
      {"text of 160", Set("0#msg=", "0#msg=" + std::string(160, 'x')), 1, nullptr,
       [] { return std::strlen(orvel_event[0].msg) == 160; }},
      {"text with = and #", Set("0#msg=", "0#msg=a=b#c"), 1, nullptr,
       [] { return std::strcmp(orvel_event[0].msg, "a=b#c") == 0; }},
      {"hex of 280", Set("1#msg=", "1#msg=" + std::string(280, 'A')), 1, nullptr,
       [] { return static_cast<unsigned char>(orvel_event[1].msg[139]) == 0xAA && orvel_event[1].msg[140] == 0; }},
      {"hold 50, reset 86400000",
       [](Lines& l) {
         Set("0#di[2]uiHoldTime=", "0#di[2]uiHoldTime=50")(l);
         Set("0#di[2]uiResetTime=", "0#di[2]uiResetTime=86400000")(l);
       },
       1, nullptr, [] { return orvel_event[0].di[2].uiHoldTime == 50 && orvel_event[0].di[2].uiResetTime == 86400000; }},
      {"absent at the last DI line", Set("0#di[4]cIsCounter=", "0#di[4]cIsCounter="), 1, nullptr, nullptr},
      {"absent inside the DI part", Set("0#di[2]cType=", "0#di[2]cType="), 0, ">File content error!!\r\n",
       nullptr},
      {"limit -10 and 2.5e0",
       [](Lines& l) {
         Set("0#ai[3]fAI_low=", "0#ai[3]fAI_low=-10")(l);
         Set("0#ai[3]fAI_high=", "0#ai[3]fAI_high=2.5e0")(l);
       },
       1, nullptr, [] { return orvel_event[0].ai[3].fAI_low == -10.0 && orvel_event[0].ai[3].fAI_high == 2.5; }},
      {"report time 235960", Set("0#rp_report_HMS=", "0#rp_report_HMS=235960"), 1, nullptr,
       [] { return std::strcmp(orvel_event[0].auto_report.report_HMS, "235960") == 0; }},
      {"next report -1", Set("0#rp_ulNextReportTimeSt=", "0#rp_ulNextReportTimeSt=-1"), 1, nullptr,
       [] { return event_status[0].ulNextReportTimeSt == 0xFFFFFFFFu; }},
      {"output 4", Set("0#iIs_do_on=", "0#iIs_do_on=4"), 1, nullptr, [] { return orvel_event[0].iIs_do_on == 4; }},
      {"absent iIsSMSDBS", Set("0#iIsSMSDBS=", "0#iIsSMSDBS="), 0, ">Event No. error!!\r\n", nullptr},
      {"long line", Set("0#msg=", "0#msg=" + std::string(600, 'x')), 0, ">Line is longer than 511 characters!!\r\n",
       nullptr},
  });
}

TEST_F(ConfigReaderRulesTest, FileCutAfterEvent7) {
  BaseFile();
  orvel_event[7].is_event_enable = 1;
  orvel_event[8].is_event_enable = 1;
  {
    ConsoleCapture quiet;
    ASSERT_EQ(save_orvel_config(), 1);
  }
  Lines lines = SplitCrLf(ReadApp("config.ini"));
  lines.resize(13 + 8 * 64);
  WriteApp("config.ini", JoinCrLf(lines));
  init_orvel_config();
  ConsoleCapture quiet;
  EXPECT_EQ(read_orvel_config(), 1);
  EXPECT_EQ(orvel_event[7].is_event_enable, 1);
  EXPECT_EQ(orvel_event[8].is_event_enable, 0);
  EXPECT_EQ(orvel_event[15].ai[0].fAI_high, 10.0);
}

TEST_F(ConfigReaderRulesTest, LineEndsOfLfOnlyLoseNothing) {
  BaseFile();
  std::string text = ReadApp("config.ini");
  std::string lf;
  for (char ch : text) {
    if (ch != '\r') lf += ch;
  }
  for (const std::string& content : {lf, lf.substr(0, lf.size() - 1)}) {  // with and without a last line end
    WriteApp("config.ini", content);
    init_orvel_config();
    ConsoleCapture quiet;
    EXPECT_EQ(read_orvel_config(), 1);
    EXPECT_EQ(sys_config.uiBaudrate, 9600u);
    EXPECT_STREQ(sys_config.cMachineID, "ABCDEF");
    EXPECT_STREQ(orvel_event[0].msg, "Alarm");
    EXPECT_STREQ(orvel_event[0].phone[1], "0944444444");
  }
}

}  // namespace
