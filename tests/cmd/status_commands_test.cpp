// The status commands byte for byte, and what each set leaves behind: a
// refused set must leave everything as it was.
#include <atomic>
#include <mutex>
#include <thread>

#include "cmd_test_env.h"
#include "support/waiting_step.h"
#include "event/do_control.h"
#include "event/pulse_counter.h"
#include "hw/gpio.h"
#include "hw/rtc.h"
#include "modem/modem_state.h"

namespace cmdtest {

TEST_F(CmdTest, StanAndTheReadOnlyQueries) {
  const std::string id20 = "ABCDEFGHIJKLMNOPQRST";
  ExpectReplies({
      {"@STAN;" + id20, "!" + id20 + ";STAN;OK\r\n"},  // answered under the new name
      {"@STAN;" + id20 + "U", "!" + id20 + ";STAN;ER\r\n"},
      {"@STAN;" + std::string(990, 'x'), "!" + id20 + ";STAN;ER\r\n"},
      {"@STAN;Pump\nHouse", "!" + id20 + ";STAN;ER\r\n"},  // would split its config.ini line
      {"@STAN;(CLR)x", Ok("STAN")},
  });
  SetLine(28, "1");  // DI2
  SetLine(5, "1");   // the init pin
  SetLine(29, "1");  // DO0
  if_sd_card = 1;
  modem_creg = 0;
  modem_csq = 23;
  gain = 1.5, offset = -0.25, gain2 = 1, offset2 = 0;
  voice_para[15] = VoicePara{1, 1, 8000, 16, 1};
  sys_config.counter_status[4] = 999999999;
  ExpectReplies({
      {"@FVER", Shows("FVER", "ORVEL_v1.2.4 20210713")},
      {"@SIG", Shows("SIG", "0")},  // not registered
      {"@INITPIN", Shows("INITPIN", "1")},
      {"@SDEXIST", Shows("SDEXIST", "1")},
      {"@GAIN", Shows("GAIN", "1.500000;-0.250000;1.000000;0.000000")},
      {"@DIV", Shows("DIV", "0;0;1;0;0")},
      {"@IOSTA", Shows("IOSTA", "0;0;1;0;0;-0.250000;-0.250000;-0.250000;-0.250000;1;0;0;0;0;0;999999999")},
      {"@VOICE15", Shows("VOICE15", "1;1;8000;16;1")},
      {"@VOICE16", Er("VOICE16")},
      {"@VOICE15;1", Er("VOICE15")},
      {"@IOSTA;1", Er("IOSTA")},
  });
  modem_creg = 5;  // roaming counts as registered
  sys_config.cMachineID[0] = '\0';
  ExpectReplies({{"@SIG", "!;SIG;OK;23\r\n"}, {"@STAN", "!;STAN;OK;N/A\r\n"}});
}

TEST_F(CmdTest, ActvSetsCountAndAlarmTogetherOrNotAtAll) {
  const struct {
    std::string request, reply;
    uint32_t count, alarm;  // of channel 2 afterwards
  } rows[] = {
      {"@ACTV2", Shows("ACTV2", "0;999999999"), 0, 999999999},
      {"@ACTV2;5;15", Ok("ACTV2"), 5, 15},
      {"@ACTV2;100;109", Er("ACTV2"), 5, 15},  // alarm below count + 10
      {"@ACTV2;1000000000;1000000010", Er("ACTV2"), 5, 15},
      {"@ACTV2;999999989;999999999", Ok("ACTV2"), 999999989, 999999999},
      {"@ACTV2;0;1000000000", Er("ACTV2"), 999999989, 999999999},  // no preset above the counter's range
      {"@ACTV2;0;4294967296", Er("ACTV2"), 999999989, 999999999},
      {"@ACTV2;7", Er("ACTV2"), 999999989, 999999999},
      {"@ACTV2;-1;20", Er("ACTV2"), 999999989, 999999999},
      {"@ACTV2;1x;20", Er("ACTV2"), 999999989, 999999999},
      {"@ACTV5;1;20", Er("ACTV5"), 999999989, 999999999},
      {"@ACTV;7;17", Ok("ACTV"), 999999989, 999999999},  // channel 0
  };
  for (const auto& row : rows) {
    EXPECT_EQ(Send(row.request), row.reply);
    EXPECT_EQ(sys_config.counter_status[2], row.count) << row.request;
    EXPECT_EQ(sys_config.uiCounter[2], row.alarm) << row.request;
  }
  EXPECT_EQ(sys_config.uiCounter[0], 17u);
}

TEST_F(CmdTest, DocSwitchesOrHandsOverAPulseRequest) {
  const struct {
    std::string request, reply;
    int ch;
    uint8_t requested;
    uint32_t duration;
    int level;  // of the output afterwards
    std::string console;
  } rows[] = {
      {"@DOC1;PULSE", Ok("DOC1"), 1, 1, 0, 0, ">DO(1) is ON during 0 ms!!\r\n"},
      {"@DOC1;PULSE;250", Ok("DOC1"), 1, 1, 250, 0, ">DO(1) is ON during 250 ms!!\r\n"},
      {"@DOC1;PULSE;-5", Er("DOC1"), 1, 1, 250, 0, ""},
      {"@DOC1;PULSE;5;6", Er("DOC1"), 1, 1, 250, 0, ""},
      {"@DOC1;ON", Ok("DOC1"), 1, 0, 0, 1, ">DO(1) is always ON!!\r\n"},  // the pulse ends
      {"@DOC1;OFF", Ok("DOC1"), 1, 0, 0, 0, ">DO(1) is always OFF!!\r\n"},
      {"@DOC;ON", Ok("DOC"), 0, 0, 0, 1, ">DO(0) is always ON!!\r\n"},
      {"@DOC2;OFF", Er("DOC2"), 0, 0, 0, 1, ""},
      {"@DOC0;OFFX", Er("DOC0"), 0, 0, 0, 1, ""},
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

// Count and alarm value are one pair under the configuration lock: a
// preset by command waits while the counter check holds it, so the check
// never compares the new count with the old alarm value (300 >= 200 here:
// a false alarm, whose latch would then hold off the real one).
TEST_F(CmdTest, ActvPresetWaitsWhileTheCounterCheckHoldsThePair) {
  ASSERT_EQ(Send("@ACTV0;100;200"), Ok("ACTV0"));
  std::unique_lock<std::recursive_mutex> check(ConfigMutex());
  {
    testsupport::WaitingStep preset([] { DispatchCommandLine("@ACTV0;300;400"); });
    EXPECT_EQ(sys_config.counter_status[0].load(), 100u);
    EXPECT_EQ(sys_config.uiCounter[0].load(), 200u);
    check.unlock();
  }
  EXPECT_EQ(Drain(port_[0]), Ok("ACTV0"));
  EXPECT_EQ(CounterPresetCopy(0).count, 300u);
  EXPECT_EQ(CounterPresetCopy(0).alarm, 400u);
}

// The same from the other side, as the counter thread runs: presets by
// command while the alarm check runs, and no alarm.
TEST_F(CmdTest, ActvPresetsNeverRaiseAFalseCounterAlarm) {
  constexpr int kPresets = 500;  // enough for ThreadSanitizer to see the pair
  orvel_event[6].di[0].cIsCounter = 1;
  ASSERT_EQ(Send("@ACTV0;300;400"), Ok("ACTV0"));
  int fired = 0;
  PulseCounter counter([&](int) { ++fired; });
  std::atomic<bool> done{false};
  std::thread presets([&] {
    for (int i = 0; i < kPresets; ++i) {
      DispatchCommandLine(i % 2 == 0 ? "@ACTV0;100;200" : "@ACTV0;300;400");
      Drain(port_[0]);
    }
    done = true;
  });
  while (!done.load()) counter.CheckAlarmsAndWrap();
  presets.join();
  EXPECT_EQ(fired, 0);
  EXPECT_EQ(sys_config.cIsCounterTriggered[0].load(), 0);
}

TEST_F(CmdTest, CpinTakesExactlyFourDigits) {
  for (const char* refused : {"@CPIN", "@CPIN;12345", "@CPIN;123", "@CPIN;12a4", "@CPIN;0000;1"}) {
    EXPECT_EQ(Send(refused), Er("CPIN")) << refused;
  }
  ExpectReplies({{"@CPIN;" + std::string(900, '9'), Er("CPIN")}, {"@CPIN;0042", Ok("CPIN")}});
  EXPECT_STREQ(sys_config.cPIN, "0042");
}

TEST_F(CmdTest, TimeSetsTheRtcAndTheSystemClockFromIt) {
  ExpectReplies({{"@TIME", Shows("TIME", "20210713;081500")},
                 {"@TIME;20240229xx;123456yy", Ok("TIME")}});  // 8 and 6 characters count
  const int64_t set_s = 1709210096;  // 2024-02-29 12:34:56 UTC
  for (const char* refused : {"@TIME;20240301", "@TIME;20241301;000000", "@TIME;20240301;240000",
                              "@TIME;20240231;000000" /* the RTC refuses it */, "@TIME;20240301;000000;1"}) {
    EXPECT_EQ(Send(refused), Er("TIME")) << refused;
    const int64_t now_s = platform::SystemClock().Now().tv_sec;
    EXPECT_GE(now_s, set_s) << refused;
    EXPECT_LT(now_s, set_s + 5) << refused;  // the RTC runs on meanwhile
    EXPECT_EQ(SysrtcCopy().mday, 29) << refused;
  }
}

}  // namespace cmdtest
