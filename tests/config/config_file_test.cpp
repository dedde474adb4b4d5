// config.ini: the factory-default file, the round trip of every field, and
// saves that must not lose the old file.
#include <algorithm>
#include <chrono>
#include <cstring>
#include <filesystem>

#include "base/log_ring.h"
#include "config/config_data.h"
#include "config/config_file.h"
#include "config/side_files.h"
#include "config_test_env.h"
#include "log/log_store.h"

namespace {

using configtest::ConsoleCapture;
using configtest::SplitCrLf;

// The keys of one event block, in the order of the file.
std::vector<std::string> BlockKeys() {
  std::vector<std::string> keys = {"is_event_enable", "phone_n_now", "phone", "sms_mode", "msg_len", "msg"};
  for (int j = 0; j < 5; ++j) {
    for (const char* k : {"cIsEnable", "cType", "uiHoldTime", "uiResetTime", "cIsCounter"})
      keys.push_back("di[" + std::to_string(j) + "]" + k);
  }
  for (int j = 0; j < 4; ++j) {
    for (const char* k : {"cIsEnable", "cType", "uiHoldTime", "uiResetTime", "fAI_high", "fAI_low"})
      keys.push_back("ai[" + std::to_string(j) + "]" + k);
  }
  for (const char* k : {"rp_cIsEnable", "rp_report_days", "rp_report_HMS", "rp_ulNextReportTimeSt", "iIs_do_on",
                        "uiDOHoldTime", "cIsNewUtilitySet", "iIsVoice", "iIsSMSDBS"})
    keys.push_back(k);
  return keys;
}

class ConfigFileTest : public configtest::ConfigTest {
 protected:
  std::string SaveDefaults() {
    init_orvel_config();
    set_default();
    EXPECT_EQ(save_orvel_config(), 1);
    return ReadApp("config.ini");
  }
};

TEST_F(ConfigFileTest, FactoryDefaultFile) {
  const std::string text = SaveDefaults();
  const std::vector<std::string> lines = SplitCrLf(text);
  ASSERT_EQ(lines.size(), 1037u);
  EXPECT_EQ(configtest::JoinCrLf(lines), text);  // CR LF after every line, and nowhere else:
  for (const std::string& line : lines) EXPECT_EQ(line.find_first_of("\r\n"), std::string::npos) << line;

  const std::vector<std::string> header = {
      "cMachineID=QRV-806XK", "cPIN=", "CtrlPhoneNo=0", "CtrlPhone=", "cIsUart2SMS=0", "UartPhone=",
      "uiBaudrate=115200", "uiDataBit=8", "cParity=N", "uiStopBit=1", "counter_status=0,0,0,0,0",
      "uiCounter=999999999,999999999,999999999,999999999,999999999", "cIsCounterTriggered=0,0,0,0,0",
  };
  EXPECT_EQ(std::vector<std::string>(lines.begin(), lines.begin() + 13), header);
  const std::vector<std::string> keys = BlockKeys();
  ASSERT_EQ(keys.size(), 64u);
  for (int n = 0; n < 16; ++n) {
    for (size_t k = 0; k < keys.size(); ++k) {
      const std::string& line = lines[13 + n * 64 + k];
      EXPECT_EQ(line.rfind(std::to_string(n) + "#" + keys[k] + "=", 0), 0u) << line;
    }
  }
  for (const char* want : {"0#phone=", "0#msg=", "0#di[0]uiHoldTime=200", "0#di[4]uiResetTime=50",
                           "3#ai[2]fAI_high=10.0000", "3#ai[2]fAI_low=-10.0000", "7#rp_report_days=1",
                           "7#rp_report_HMS=000000", "15#rp_ulNextReportTimeSt=1626164109"}) {
    EXPECT_NE(std::find(lines.begin(), lines.end(), want), lines.end()) << want;
  }
  EXPECT_EQ(lines.back(), "15#iIsSMSDBS=0");
  EXPECT_EQ(ReadApp("CTStatus.ini"), "counter_status=0,0,0,0,0\r\n");
}

// Sets every field to a value other than its default, with texts and lists
// of their greatest length.
void FillEverything() {
  init_orvel_config();
  SysConfig& c = sys_config;
  std::strcpy(c.cMachineID, "ABCDEFGHIJKLMNOPQRST");
  std::strcpy(c.cPIN, "1234");
  c.CtrlPhoneNo = 10;
  for (int i = 0; i < 10; ++i) std::snprintf(c.CtrlPhone[i], kPhoneSize, "+88691234567890%04d", i);
  c.cIsUart2SMS = 0;
  std::strcpy(c.UartPhone, "0987654321098765432");
  c.uiBaudrate = 460800;
  c.uiDataBit = 7;
  c.cParity = 'E';
  c.uiStopBit = 2;
  for (int i = 0; i < kDiCount; ++i) {
    c.counter_status[i] = 999999999u - i;
    c.uiCounter[i] = 12345u * (i + 1);
    c.cIsCounterTriggered[i] = i % 2;
  }
  const double limits[] = {9.1234, -9.8765, 0.0001, -10.0, 10.0, -0.0005, 3.5, 1.25};
  for (int n = 0; n < kEventCount; ++n) {
    OrvelEvent& ev = orvel_event[n];
    ev.is_event_enable = 1;
    ev.phone_n_now = static_cast<uint8_t>(n % 11);
    for (int i = 0; i < ev.phone_n_now; ++i) std::snprintf(ev.phone[i], kPhoneSize, "09%02d%015d", n, i);
    ev.sms_mode = n % 2 == 0 ? 8 : 0;
    ev.msg_len = n % 2 == 0 ? 140 : 160;
    for (int i = 0; i < ev.msg_len; ++i)  // UCS2 with zero bytes, or printable text
      ev.msg[i] = static_cast<char>(n % 2 == 0 ? i * 13 + n : '!' + (i + n) % 90);
    for (int j = 0; j < kDiCount; ++j)
      ev.di[j] = DiConfig{1, static_cast<uint8_t>(j % 5), 86400000u - j, 50u + n, static_cast<uint8_t>(j % 2)};
    for (int j = 0; j < kAiCount; ++j)
      ev.ai[j] = AiConfig{1, static_cast<uint8_t>(j), 60u + j, 70u + n, limits[(n + j) % 8], limits[(n + j + 3) % 8]};
    ev.auto_report.cIsEnable = 1;
    ev.auto_report.report_days = 31;
    std::strcpy(ev.auto_report.report_HMS, "235959");
    event_status[n].ulNextReportTimeSt = 2200000000u + n;  // past 2038: written signed
    ev.iIs_do_on = n % 5;
    ev.uiDOHoldTime = 86400000;
    ev.cIsNewUtilitySet = ev.iIsVoice = ev.iIsSMSDBS = 1;
  }
}

TEST_F(ConfigFileTest, EveryFieldSurvivesSaveAndRead) {
  FillEverything();
  ASSERT_EQ(save_orvel_config(), 1);
  const std::string saved = ReadApp("config.ini");
  init_orvel_config();
  ASSERT_EQ(read_orvel_config(), 1);
  // Every field is in the file, so the values read back save to the same
  // bytes exactly when every one of them came back.
  ASSERT_EQ(save_orvel_config(), 1);
  EXPECT_EQ(ReadApp("config.ini"), saved);
  EXPECT_NE(saved.find("\r\n1#rp_ulNextReportTimeSt=-2094967295\r\n"), std::string::npos);
  EXPECT_STREQ(sys_config.CtrlPhone[9], "+886912345678900009");
  EXPECT_EQ(orvel_event[2].msg[139], static_cast<char>(139 * 13 + 2));
  EXPECT_EQ(event_status[1].ulNextReportTimeSt, 2200000001u);
}

TEST_F(ConfigFileTest, SaveNeverReadsPastTheMessage) {
  init_orvel_config();
  orvel_event[2].sms_mode = 8;
  orvel_event[2].msg_len = 255;  // more than the buffer holds
  std::memset(orvel_event[2].msg, 0x11, sizeof orvel_event[2].msg);
  ASSERT_EQ(save_orvel_config(), 1);
  EXPECT_NE(ReadApp("config.ini").find("\r\n2#msg=" + std::string(2 * 161, '1') + "\r\n"), std::string::npos);
}

// Edited by hand, config.ini comes back with any of the three line ends (a
// CR-only file once read as one over-long line and was replaced by the
// factory settings); the last line may lack its end.
TEST_F(ConfigFileTest, AnyLineEndsKeepTheUsersSettings) {
  set_default();
  sys_config.uiBaudrate = 9600;
  std::snprintf(orvel_event[15].msg, sizeof orvel_event[15].msg, "%s", "last event");
  orvel_event[15].iIsSMSDBS = 1;
  ASSERT_EQ(save_orvel_config(), 1);
  const std::vector<std::string> lines = SplitCrLf(ReadApp("config.ini"));
  for (const char* end : {"\r\n", "\n", "\r"}) {
    SCOPED_TRACE(testing::PrintToString(std::string(end)));
    std::string text;
    for (const std::string& line : lines) text += (text.empty() ? "" : end) + line;
    WriteApp("config.ini", text);
    init_orvel_config();
    EXPECT_EQ(read_orvel_config(), 1);
    EXPECT_EQ(sys_config.uiBaudrate, 9600u);
    EXPECT_STREQ(orvel_event[15].msg, "last event");
    EXPECT_EQ(orvel_event[15].iIsSMSDBS, 1);
  }
}

// A failed read is logged and leaves the settings not ready; saves cut off
// half-way, as by a power failure, keep the old files whole.
TEST_F(ConfigFileTest, FailedReadsAndInterruptedSaves) {
  init_orvel_config();
  LogRingClear();
  EXPECT_EQ(read_orvel_config(), 0);  // no file
  EXPECT_EQ(flg_init_config.load(), 0);
  LogRecord r{};
  ASSERT_TRUE(LogPeekOldest(&r));
  EXPECT_EQ(std::string(r.main_code) + "," + r.sub_code, "1,0");
  const std::string old = SaveDefaults();
  EXPECT_EQ(flg_init_config.load(), 1);
  ASSERT_EQ(save_gain_offset(), 1);
  const std::string old_gain = ReadApp("gain.ini"), old_counters = ReadApp("CTStatus.ini");
  std::strcpy(sys_config.cMachineID, "NEW-NAME");
  sys_config.counter_status[0] = 9;
  gain = 2;
  LogRingClear();
  ConsoleCapture console;
  {
    configtest::FileSizeLimit cut(4096);  // config.ini is about 30 kB
    EXPECT_EQ(save_orvel_config(), 0);
  }
  EXPECT_EQ(ReadApp("config.ini"), old);
  EXPECT_NE(console.Text().find(">Open file fail(config.ini)\r\n"), std::string::npos);
  EXPECT_EQ(console.Text().find("success"), std::string::npos);
  ASSERT_TRUE(LogPeekOldest(&r));
  EXPECT_EQ(std::string(r.main_code) + "," + r.sub_code, "1,1");
  {
    configtest::FileSizeLimit cut(10);
    EXPECT_EQ(save_gain_offset(), 0);
    EXPECT_EQ(save_counter_status(), 0);
  }
  EXPECT_EQ(ReadApp("gain.ini"), old_gain);
  EXPECT_EQ(ReadApp("CTStatus.ini"), old_counters);
  // Nothing but the three files: no temporary file is left behind.
  auto files = std::filesystem::directory_iterator(dir_.path() + "/APP");
  EXPECT_EQ(std::distance(begin(files), end(files)), 3);
}

}  // namespace
