// Whatever a configuration command accepts survives @SAVE and the reader of
// the next start unchanged: every field at the smallest and largest value
// its command takes, the longest texts and every keyword.
#include <cctype>
#include <cstdio>
#include <cstring>
#include <sstream>

#include "cmd_test_env.h"

namespace cmdtest {
namespace {

// All bytes of a text field, the unprintable ones as \xHH; trailing zeros
// dropped.
template <size_t N>
std::string Bytes(const char (&field)[N]) {
  size_t used = N;
  while (used > 0 && field[used - 1] == '\0') --used;
  std::string out;
  for (size_t i = 0; i < used; ++i) {
    const unsigned char c = static_cast<unsigned char>(field[i]);
    char hex[5];
    std::snprintf(hex, sizeof hex, "\\x%02X", c);
    out += std::isprint(c) != 0 ? std::string(1, static_cast<char>(c)) : std::string(hex);
  }
  return out;
}

// Every setting config.ini holds, as text (limits to the last bit).
std::string Settings() {
  std::ostringstream o;
  o.precision(17);
  const SysConfig& c = sys_config;
  o << "id=" << Bytes(c.cMachineID) << " pin=" << Bytes(c.cPIN) << " ctrl=" << c.CtrlPhoneNo;
  for (const auto& phone : c.CtrlPhone) o << ',' << Bytes(phone);
  o << " bridge=" << +c.cIsUart2SMS << ',' << Bytes(c.UartPhone) << ',' << c.uiBaudrate << ',' << +c.uiDataBit
    << ',' << c.cParity << ',' << +c.uiStopBit;
  for (int i = 0; i < kDiCount; ++i) {
    o << " counter=" << c.counter_status[i] << ',' << c.uiCounter[i] << ',' << +c.cIsCounterTriggered[i];
  }
  for (int n = 0; n < kEventCount; ++n) {
    const OrvelEvent& e = orvel_event[n];
    o << "\n" << n << "# on=" << +e.is_event_enable << " phones=" << +e.phone_n_now;
    for (const auto& phone : e.phone) o << ',' << Bytes(phone);
    o << " msg=" << +e.sms_mode << ',' << +e.msg_len << ',' << Bytes(e.msg);
    for (const DiConfig& d : e.di) {
      o << " di=" << +d.cIsEnable << ',' << +d.cType << ',' << d.uiHoldTime << ',' << d.uiResetTime << ','
        << +d.cIsCounter;
    }
    for (const AiConfig& a : e.ai) {
      o << " ai=" << +a.cIsEnable << ',' << +a.cType << ',' << a.uiHoldTime << ',' << a.uiResetTime << ','
        << a.fAI_high << ',' << a.fAI_low;
    }
    o << " report=" << +e.auto_report.cIsEnable << ',' << e.auto_report.report_days << ','
      << Bytes(e.auto_report.report_HMS) << ',' << event_status[n].ulNextReportTimeSt << " do=" << e.iIs_do_on
      << ',' << e.uiDOHoldTime << " new=" << +e.cIsNewUtilitySet << " voice=" << e.iIsVoice
      << " smsdbs=" << +e.iIsSMSDBS;
  }
  return o.str();
}

// `count` numbers of 19 characters, each with characters a phone list line
// must carry unchanged.
std::string Numbers(int count) {
  std::string list;
  for (int i = 0; i < count; ++i) {
    char number[kPhoneSize];
    std::snprintf(number, sizeof number, "+886 9#1=%010d", i);
    list += std::string(";") + number;
  }
  return std::to_string(count) + list;
}

TEST_F(CmdTest, EverySettingACommandAcceptsSurvivesSaveAndStart) {
  std::string text160 = " Alarm=on #3, 100% 'x' \"y\" @z ";
  while (text160.size() < 160) text160 += static_cast<char>('a' + text160.size() % 26);
  text160.back() = ' ';
  std::string hex280;
  for (int i = 0; i < 140; ++i) hex280 += i % 3 == 0 ? "00" : (i % 3 == 1 ? "FF" : "4E");
  const std::string requests[] = {
      "@STAN;Pump=1#North,Side 20",  // 20 characters
      "@CPIN;0000",
      "@CTRLPH;" + Numbers(10),
      "@UARTPH;+886#9=123456789012",
      "@UARTSET;2400;O;7;2;ON",
      "@ACTV0;0;10",
      "@ACTV4;999999989;999999999",
      "@EVNT0;COUNTER0;NC_PULSE;50;50;DO_ALL_OFF;0;VOICE_OFF;SMSDBS_OFF",
      "@EVNT1;COUNTER4;NO_PULSE;86400000;86400000;DO_ALL_ON;86400000;VOICE_ON;SMSDBS_ON",
      "@EVNT2;DI0;NC;50;50;DO0_ON;0;VOICE_OFF;SMSDBS_OFF",
      "@EVNT3;DI4;NO;86400000;86400000;DO1_ON;86400000;VOICE_ON;SMSDBS_ON",
      "@EVNT4;AI0;HIGH;50;50;-9.9999;DO_ALL_OFF;0;VOICE_OFF;SMSDBS_OFF",
      "@EVNT5;AI3;HIGH;86400000;86400000;10;DO_ALL_ON;86400000;VOICE_ON;SMSDBS_ON",
      "@EVNT6;AI1;LOW;50;50;-10;DO0_ON;1;VOICE_OFF;SMSDBS_OFF",
      "@EVNT7;AI2;LOW;86400000;86400000;9.9999;DO1_ON;86400000;VOICE_ON;SMSDBS_ON",
      "@EVNT8;AI0;HL;50;50;10;-10;DO_ALL_OFF;0;VOICE_OFF;SMSDBS_OFF",
      "@EVNT9;AI3;HL;86400000;86400000;-9.9998;-9.9999;DO_ALL_ON;86400000;VOICE_ON;SMSDBS_ON",
      "@EVNT12;AI2;HL;50;50;1.23456;-1.23456;DO_ALL_OFF;0;VOICE_OFF;SMSDBS_OFF",  // more decimals than kept
      "@EVNT10;REPORT;0;000000;SMSDBS_OFF",
      "@EVNT11;REPORT;31;235959;SMSDBS_ON",
      "@PHONE12;" + Numbers(10),
      "@PHONE13;1;5",
      "@MSG12;7BIT;160;" + text160,
      "@MSG13;7BIT;1;x",
      "@MSG14;UCS2;70;" + hex280,
      "@MSG15;UCS2;1;0000",
      "@SMSDBS14;1",
      "@EVNT15;DAI_NO_USE",
      // The other ends, over the values above.
      "@STAN;(CLR)",
      "@CPIN;9999",
      "@CTRLPH;1;7",
      "@UARTPH;(CLR)",
      "@UARTSET;460800;E;8;1;OFF",
      "@ACTV0;999999989;999999999",
      "@ACTV4;0;10",
      "@PHONE12;0",
      "@MSG12;(CLR)",
      "@SMSDBS14;0",
      "@EVNT11;DAI_NO_USE",
  };
  for (const std::string& request : requests) {
    SCOPED_TRACE(request);
    const std::string reply = Send(request);
    ASSERT_GE(reply.size(), 5u);
    ASSERT_EQ(reply.substr(reply.size() - 5), ";OK\r\n");
    const std::string before = Settings();
    ASSERT_EQ(Send("@SAVE"), Ok("SAVE"));
    {
      ConsoleCapture quiet;
      init_orvel_config();
      EXPECT_EQ(read_orvel_config(), 1);
    }
    uart1 = port_[1];  // forgotten with the start values
    EXPECT_EQ(Settings(), before);
  }
}

}  // namespace
}  // namespace cmdtest
