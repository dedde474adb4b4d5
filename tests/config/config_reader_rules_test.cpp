// The reader's rules, a few edited lines of a valid file at a time.
#include <algorithm>
#include <cstring>
#include <functional>

#include "config/config_data.h"
#include "config/config_file.h"
#include "config_test_env.h"

namespace {

using configtest::ConsoleCapture;
using Lines = std::vector<std::string>;
// Each edit replaces the line that begins like it up to its "=" (or, for
// "PREFIX|LINE", the line that begins with PREFIX).
using Edits = std::vector<std::string>;

struct Row {
  const char* what;
  Edits edits;
  int result;
  std::vector<std::string> console;  // each must appear
  std::function<bool()> check;       // state after the read, or nullptr
  size_t keep_lines = 1037;          // the file is cut after this many lines
};

std::string Phones(int count, int length) {
  std::string list;
  for (int i = 0; i < count; ++i) {
    std::string phone = std::to_string(1000 + i);
    list += (i > 0 ? "," : "") + phone + std::string(length - phone.size(), '5');
  }
  return list;
}

class ConfigReaderRulesTest : public configtest::ConfigTest {
 protected:
  // The factory file with two phones and a 7-bit message in event 0, a UCS2
  // message in event 1, and 9600 baud; then the edits of a row.
  Lines BaseFile(const Edits& edits) {
    init_orvel_config();
    set_default();
    EXPECT_EQ(save_orvel_config(), 1);
    Lines lines = configtest::SplitCrLf(ReadApp("config.ini"));
    EXPECT_EQ(lines.size(), 1037u);
    Edits all = {"cMachineID=ABCDEF", "CtrlPhoneNo=2", "CtrlPhone=0911111111,0922222222", "uiBaudrate=9600",
                 "0#phone_n_now=2", "0#phone=0933333333,0944444444", "0#msg_len=5", "0#msg=Alarm",
                 "1#sms_mode=8", "1#msg_len=4", "1#msg=4F60597D"};
    all.insert(all.end(), edits.begin(), edits.end());
    for (const std::string& edit : all) {
      const size_t bar = edit.find('|');
      const std::string prefix = bar != std::string::npos ? edit.substr(0, bar) : edit.substr(0, edit.find('=') + 1);
      auto it = std::find_if(lines.begin(), lines.end(), [&](const std::string& l) { return l.rfind(prefix, 0) == 0; });
      if (it == lines.end()) {
        ADD_FAILURE() << "no line " << prefix;
      } else {
        *it = bar != std::string::npos ? edit.substr(bar + 1) : edit;
      }
    }
    return lines;
  }

  void Run(const std::vector<Row>& rows) {
    for (const Row& row : rows) {
      SCOPED_TRACE(row.what);
      Lines lines = BaseFile(row.edits);
      lines.resize(std::min(lines.size(), row.keep_lines));
      WriteApp("config.ini", configtest::JoinCrLf(lines));
      init_orvel_config();
      ConsoleCapture console;
      EXPECT_EQ(read_orvel_config(), row.result);
      for (const std::string& text : row.console) EXPECT_NE(console.Text().find(text), std::string::npos) << text;
      if (row.check) {
        EXPECT_TRUE(row.check());
      }
    }
  }
};

// Lines that end the read with result 0: values out of range, wrong or
// misplaced keys, an over-long line whose tail looks like the next line; with
// the console's reason where that is the only sign of which rule refused.
TEST_F(ConfigReaderRulesTest, LinesThatFailTheRead) {
  const Edits bad = {
      "cMachineID=" + std::string(21, 'M'), "cMachineID=|MachineID=abc", "cPIN=|cMachineID=x", "cPIN=12345",
      "CtrlPhoneNo=11", "CtrlPhoneNo=-1", "CtrlPhone=0911111111," + Phones(1, 20), "cIsUart2SMS=2",
      "UartPhone=" + std::string(20, '9') /* refused, not cut */, "0#phone_n_now=11", "0#phone=" + Phones(1, 20),
      "0#sms_mode=4", "0#msg_len=161", "1#msg_len=141" /* 70 UCS2 characters at most */,
      "0#msg=" + std::string(161, 'x'), "1#msg=" + std::string(282, 'A'), "0#di[0]cType=5",
      "0#di[0]cIsEnable=|0#di[1]cIsEnable=1", "0#di[0]cIsEnable=|0#di0]cIsEnable=1",
      "0#di[0]cIsEnable=|0#ai[0]cIsEnable=1", "0#di[2]uiHoldTime=49", "0#di[2]uiHoldTime=-200",
      "0#di[2]uiResetTime=86400001", "0#ai[1]cType=4", "0#ai[1]fAI_high=10.5", "0#ai[1]fAI_low=nan",
      "0#rp_report_days=32", "0#rp_report_days=-1", "0#rp_report_HMS=12000", "0#rp_report_HMS=240000",
      "0#rp_report_HMS=235960", "0#rp_report_HMS=+10000", "0#rp_report_HMS=1a0000",
      "0#iIs_do_on=5", "0#uiDOHoldTime=86400001", "0#iIsVoice=2",
      "0#msg=" + std::string(505, 'x') + "0#di[0]cIsEnable=1",
  };
  const std::string content = ">File content error!!\r\n", number = ">Event No. error!!\r\n",
                    title = ">Title is empty!!\r\n";
  const std::pair<std::string, std::string> explained[] = {
      {"counter_status=1,2,3,4,5,6", "=>Counter status Content error.\r\n"},
      {"uiCounter=1,2,3,4,5,6", "=>Counter alarm Content error.\r\n"},
      {"cIsCounterTriggered=0,0,0,0,0,0", "=>IsCounterTriggered Content error.\r\n"},
      {"0#msg=" + std::string(600, 'x'), ">Line is longer than 511 characters!!\r\n"},
      {"0#is_event_enable=2", content},  // the bad value is seen at the next line
      {"0#di[2]cType=", content}, {"15#is_event_enable=|16#is_event_enable=0", number}, {"0#iIsSMSDBS=", number},
      {"2#msg=|", title},
  };
  std::vector<Row> rows;
  for (const std::string& edit : bad) rows.push_back({edit.c_str(), {edit}, 0, {}, nullptr});
  for (const auto& [edit, console] : explained) rows.push_back({edit.c_str(), {edit}, 0, {console}, nullptr});
  Run(rows);
}

TEST_F(ConfigReaderRulesTest, HeaderLines) {
  const SysConfig& c = sys_config;
  Run({
      {"values out of range are replaced",
       {"uiBaudrate=1200", "uiDataBit=9", "cParity=X", "uiStopBit=3", "counter_status=7,1000000000,-5",
        "uiCounter=1000000000,3,-2", "cIsCounterTriggered=1,2"},
       1,
       {"counter_status[1] is over than 999999999.\r\n", "counter_status[2] is negative, set as 0.\r\n",
        "uiCounter[2] is negative, set as 999999999.\r\n"},
       [&c] {
         return c.uiBaudrate == 115200 && c.uiDataBit == 8 && c.cParity == 'N' && c.uiStopBit == 1 &&
                c.counter_status[0] == 7 && c.counter_status[1] == 0 && c.counter_status[2] == 0 &&
                c.uiCounter[0] == 999999999 && c.uiCounter[1] == 3 && c.uiCounter[2] == 999999999 &&
                c.cIsCounterTriggered[0] == 1 &&
                c.cIsCounterTriggered[1] == 0;
       }},
      {"list of 11", {"CtrlPhone=" + Phones(11, 19)}, 1, {},
       [&c] { return c.CtrlPhoneNo == 10 && std::strcmp(c.CtrlPhone[9], "1009555555555555555") == 0; }},
      {"count corrected", {"CtrlPhone=" + Phones(3, 10)}, 1, {}, [&c] { return c.CtrlPhoneNo == 3; }},
      {"empty list", {"CtrlPhone="}, 1, {}, [&c] { return c.CtrlPhoneNo == 0; }},
      {"header cut short", {}, 0, {}, {}, 12},
      {"empty file", {}, 0, {}, {}, 0},
      {"header only", {}, 1, {}, [] { return orvel_event[0].phone_n_now == 0 && orvel_event[0].msg[0] == 0; }, 13},
  });
}

TEST_F(ConfigReaderRulesTest, EventBlocks) {
  const OrvelEvent* e = orvel_event;
  Run({
      {"bad value on the last line", {"15#iIsSMSDBS=2"}, 1, {},
       [e] { return e[15].iIsSMSDBS == 0 && e[15].iIsVoice == 0; }},
      {"wrong key on the last line", {"15#iIsSMSDBS=|15#iIsVoice=1"}, 1, {}, [e] { return e[15].iIsVoice == 0; }},
      {"list of 11", {"0#phone=" + Phones(11, 19)}, 1, {},
       [e] { return e[0].phone_n_now == 10 && e[0].phone[9][0] == '1'; }},
      {"count corrected", {"0#phone=" + Phones(3, 8)}, 1, {}, [e] { return e[0].phone_n_now == 3; }},
      // Upper limits and the longest texts: the save-and-read test.
      {"values at their limits",
       {"2#msg=|2#msg=a=b#c", "0#di[2]uiHoldTime=50", "0#ai[3]fAI_high=2.5e0", "0#rp_ulNextReportTimeSt=-1",
        "0#rp_report_days=0", "1#rp_report_days=31", "1#rp_report_HMS=235959"},
       1, {},
       [e] {
         return std::strcmp(e[2].msg, "a=b#c") == 0 && e[0].di[2].uiHoldTime == 50 && e[0].ai[3].fAI_high == 2.5 &&
                event_status[0].ulNextReportTimeSt == 0xFFFFFFFFu && e[0].auto_report.report_days == 0 &&
                e[1].auto_report.report_days == 31 && std::strcmp(e[1].auto_report.report_HMS, "235959") == 0;
       }},
      {"cut after event 7", {"7#is_event_enable=1"}, 1, {}, [e] {
         return e[7].is_event_enable == 1 && e[8].is_event_enable == 0 && e[15].ai[0].fAI_high == 10.0;
       }, 13 + 8 * 64},
  });
}

}  // namespace
