// The status commands byte for byte, and what each set leaves behind: a
// refused set must leave everything as it was.
#include "base/sd_flags.h"
#include "event/do_control.h"
#include "hw/gpio.h"
#include "hw/rtc.h"
#include "modem/modem_state.h"
#include "status_test_env.h"

namespace {

using StatusCmdTest = statustest::BoardCmdTest;

TEST_F(StatusCmdTest, StanTakesANameThatFitsAConfigLine) {
  const std::string id20 = "ABCDEFGHIJKLMNOPQRST";
  ExpectReplies({
      {"@STAN;", "!QRV-806XK;STAN;OK;QRV-806XK\r\n"},  // a lone ";" is no field
      {"@STAN;" + id20, "!" + id20 + ";STAN;OK\r\n"},  // answered under the new name
      {"@STAN;" + id20 + "U", "!" + id20 + ";STAN;ER\r\n"},
      {"@STAN;" + std::string(990, 'x'), "!" + id20 + ";STAN;ER\r\n"},
      {"@STAN;Pump\nHouse", "!" + id20 + ";STAN;ER\r\n"},  // would split its config.ini line
      {"@STAN;Pump;House", "!" + id20 + ";STAN;ER\r\n"},
      {"@STAN;(CLR)x", "!QRV-806XK;STAN;OK\r\n"},
  });
  SetName("");
  ExpectReplies({{"@STAN", "!;STAN;OK;N/A\r\n"}});
}

TEST_F(StatusCmdTest, ReadOnlyQueriesAndTheirFieldsRefused) {
  SetLine(28, 1);  // DI2
  SetLine(5, 1);   // the init pin
  if_sd_card = 1;
  modem_creg = 0;
  modem_csq = 23;
  gain = 1.5, offset = -0.25, gain2 = 1, offset2 = 0;
  voice_para[15] = VoicePara{1, 1, 8000, 16, 1};
  ExpectReplies({
      {"@DEVNAME", "!QRV-806XK;DEVNAME;OK;QRV-806XK\r\n"},
      {"@FVER", "!QRV-806XK;FVER;OK;ORVEL_v1.2.4 20210713\r\n"},
      {"@SIG", "!QRV-806XK;SIG;OK;0\r\n"},  // not registered
      {"@INITPIN", "!QRV-806XK;INITPIN;OK;1\r\n"},
      {"@SDEXIST", "!QRV-806XK;SDEXIST;OK;1\r\n"},
      {"@GAIN", "!QRV-806XK;GAIN;OK;1.500000;-0.250000;1.000000;0.000000\r\n"},
      {"@DIV", "!QRV-806XK;DIV;OK;0;0;1;0;0\r\n"},
      {"@VOICE15", "!QRV-806XK;VOICE15;OK;1;1;8000;16;1\r\n"},
      {"@VOICE16", "!QRV-806XK;VOICE16;ER\r\n"},
      {"@VOICE-1", "!QRV-806XK;VOICE-1;ER\r\n"},
      {"@DEVNAME;x", "!QRV-806XK;DEVNAME;ER\r\n"},
      {"@SIG;1", "!QRV-806XK;SIG;ER\r\n"},
      {"@DIV;0", "!QRV-806XK;DIV;ER\r\n"},
      {"@VOICE15;1", "!QRV-806XK;VOICE15;ER\r\n"},
  });
  modem_creg = 5;  // roaming counts as registered
  ExpectReplies({{"@SIG", "!QRV-806XK;SIG;OK;23\r\n"}});
  modem_creg = 0;

  SetLine(29, 1);  // DO0
  sys_config.counter_status[4] = 999999999;
  gain = 1, offset = 0.5;  // 0 V reads as the offset
  ExpectReplies({{"@IOSTA", "!QRV-806XK;IOSTA;OK;0;0;1;0;0;0.500000;0.500000;0.500000;0.500000;1;0;0;0;0;0;999999999\r\n"},
                 {"@IOSTA;1", "!QRV-806XK;IOSTA;ER\r\n"}});
}

TEST_F(StatusCmdTest, ActvSetsCountAndAlarmTogetherOrNotAtAll) {
  const struct {
    std::string request, reply;
    uint32_t count, alarm;  // of channel 2 afterwards
  } rows[] = {
      {"@ACTV2", "!QRV-806XK;ACTV2;OK;0;999999999\r\n", 0, 999999999},
      {"@ACTV2;5;15", "!QRV-806XK;ACTV2;OK\r\n", 5, 15},
      {"@ACTV2;100;109", "!QRV-806XK;ACTV2;ER\r\n", 5, 15},  // alarm below count + 10
      {"@ACTV2;1000000000;1000000010", "!QRV-806XK;ACTV2;ER\r\n", 5, 15},
      {"@ACTV2;999999999;4294967295", "!QRV-806XK;ACTV2;OK\r\n", 999999999, 4294967295u},
      {"@ACTV2;0;4294967296", "!QRV-806XK;ACTV2;ER\r\n", 999999999, 4294967295u},
      {"@ACTV2;7", "!QRV-806XK;ACTV2;ER\r\n", 999999999, 4294967295u},
      {"@ACTV2;-1;20", "!QRV-806XK;ACTV2;ER\r\n", 999999999, 4294967295u},
      {"@ACTV2;1x;20", "!QRV-806XK;ACTV2;ER\r\n", 999999999, 4294967295u},
      {"@ACTV5;1;20", "!QRV-806XK;ACTV5;ER\r\n", 999999999, 4294967295u},
      {"@ACTV-2;1;20", "!QRV-806XK;ACTV-2;ER\r\n", 999999999, 4294967295u},
      {"@ACTV;7;17", "!QRV-806XK;ACTV;OK\r\n", 999999999, 4294967295u},  // channel 0
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.request);
    EXPECT_EQ(Send(row.request), row.reply);
    EXPECT_EQ(sys_config.counter_status[2], row.count);
    EXPECT_EQ(sys_config.uiCounter[2], row.alarm);
  }
  EXPECT_EQ(sys_config.uiCounter[0], 17u);
}

TEST_F(StatusCmdTest, DocSwitchesOrHandsOverAPulseRequest) {
  const struct {
    std::string request, reply;
    int ch;
    uint8_t requested;
    uint32_t duration;
    int level;  // of the output afterwards
    std::string console;
  } rows[] = {
      {"@DOC1;PULSE", "!QRV-806XK;DOC1;OK\r\n", 1, 1, 0, 0, ">DO(1) is ON during 0 ms!!\r\n"},
      {"@DOC1;PULSE;250", "!QRV-806XK;DOC1;OK\r\n", 1, 1, 250, 0, ">DO(1) is ON during 250 ms!!\r\n"},
      {"@DOC1;PULSE;-5", "!QRV-806XK;DOC1;ER\r\n", 1, 1, 250, 0, ""},
      {"@DOC1;PULSE;5;6", "!QRV-806XK;DOC1;ER\r\n", 1, 1, 250, 0, ""},
      {"@DOC1;ON", "!QRV-806XK;DOC1;OK\r\n", 1, 0, 0, 1, ">DO(1) is always ON!!\r\n"},  // the pulse ends
      {"@DOC1;OFF", "!QRV-806XK;DOC1;OK\r\n", 1, 0, 0, 0, ">DO(1) is always OFF!!\r\n"},
      {"@DOC;ON", "!QRV-806XK;DOC;OK\r\n", 0, 0, 0, 1, ">DO(0) is always ON!!\r\n"},
      {"@DOC0;OFF;1", "!QRV-806XK;DOC0;ER\r\n", 0, 0, 0, 1, ""},
      {"@DOC2;OFF", "!QRV-806XK;DOC2;ER\r\n", 0, 0, 0, 1, ""},
      {"@DOC-1;OFF", "!QRV-806XK;DOC-1;ER\r\n", 0, 0, 0, 1, ""},
      {"@DOC0;OFFX", "!QRV-806XK;DOC0;ER\r\n", 0, 0, 0, 1, ""},
      {"@DOC0", "!QRV-806XK;DOC0;ER\r\n", 0, 0, 0, 1, ""},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.request);
    std::string console;
    EXPECT_EQ(Send(row.request, &console), row.reply);
    EXPECT_EQ(console, row.console);
    const DoCtrl got = DoCtrlSnapshot(row.ch);
    EXPECT_EQ(got.cIsRequest, row.requested);
    EXPECT_EQ(got.uiDuration, row.duration);
    EXPECT_EQ(DOV(static_cast<uint8_t>(row.ch)), row.level);
  }
}

TEST_F(StatusCmdTest, CpinTakesExactlyFourDigits) {
  for (const char* refused : {"@CPIN", "@CPIN;12345", "@CPIN;123", "@CPIN;12a4", "@CPIN;0000;1"}) {
    ExpectReplies({{refused, "!QRV-806XK;CPIN;ER\r\n"}});
  }
  ExpectReplies({{"@CPIN;" + std::string(900, '9'), "!QRV-806XK;CPIN;ER\r\n"},
                 {"@CPIN;0042", "!QRV-806XK;CPIN;OK\r\n"}});
  EXPECT_STREQ(sys_config.cPIN, "0042");
}

TEST_F(StatusCmdTest, TimeSetsTheRtcAndTheSystemClockFromIt) {
  ExpectReplies({{"@TIME", "!QRV-806XK;TIME;OK;20210713;081500\r\n"},
                 {"@TIME;20240229xx;123456yy", "!QRV-806XK;TIME;OK\r\n"}});  // 8 and 6 characters count
  const int64_t set_s = 1709210096;  // 2024-02-29 12:34:56 UTC
  for (const char* refused : {"@TIME;20240301", "@TIME;20241301;000000", "@TIME;20240301;240000",
                              "@TIME;20240231;000000" /* the RTC refuses it */, "@TIME;20240301;000000;1"}) {
    ExpectReplies({{refused, "!QRV-806XK;TIME;ER\r\n"}});
    const int64_t now_s = platform::SystemClock().Now().tv_sec;
    EXPECT_GE(now_s, set_s) << refused;
    EXPECT_LT(now_s, set_s + 5) << refused;  // the RTC runs on meanwhile
    EXPECT_EQ(SysrtcCopy().mday, 29) << refused;
  }
}

}  // namespace
