// Alarms on the simulated board, from a config.ini written before start:
// an input held for its hold time, an analog channel over its limit, a
// pulse counter at its preset (once, across a restart), a scheduled report,
// and voice calls with their prompt, to the phones in `ctl outbox` and
// `ctl calls`, with the output pulse in `ctl state`.
#include <sstream>

#include "e2e/sim_e2e_fixture.h"

namespace e2e {

using AlarmE2eTest = SimE2eTest;

TEST_F(AlarmE2eTest, InputsAndReportsSendTheirTextsAndACounterAlarmIsNotRaisedAgainAfterARestart) {
  // Local time of day 40 s from now, for the report.
  time_t due = time(nullptr) + 40;
  struct tm tm {};
  localtime_r(&due, &tm);
  WriteConfig([&] {
    // Event 0: DI2 "NO" held 2 s switches DO0 on for 2 s and texts two
    // phones; event 2: DI0 counts pulses, its alarm at 3.
    OrvelEvent& door = orvel_event[0];
    door.is_event_enable = 1;
    door.di[2] = DiConfig{1, 4, 2000, 1000, 0};
    door.iIs_do_on = 1;
    door.uiDOHoldTime = 2000;
    Phones(door, {"0911111111", "0922222222"});
    std::snprintf(door.msg, kMsgSize, "Door open");
    OrvelEvent& meter = orvel_event[2];
    meter.is_event_enable = 1;
    meter.di[0] = DiConfig{1, 2, 200, 50, 1};  // NO_PULSE counter
    sys_config.uiCounter[0] = 3;
    Phones(meter, {"0955555555"});
    std::snprintf(meter.msg, kMsgSize, "Meter reached");
    OrvelEvent& tank = orvel_event[1];
    tank.is_event_enable = 1;
    tank.ai[0] = AiConfig{1, 1, 50, 1000, 5.0, 0.0};  // HIGH above 5
    tank.iIsSMSDBS = 1;
    Phones(tank, {"0933333333"});
    std::snprintf(tank.msg, kMsgSize, "Tank high");
    std::snprintf(sys_config.cMachineID, kMachineIdSize, "SITE-9");
    OrvelEvent& report = orvel_event[3];
    report.is_event_enable = 1;
    report.auto_report.cIsEnable = 1;
    report.auto_report.report_days = 1;
    std::strftime(report.auto_report.report_HMS, sizeof report.auto_report.report_HMS, "%H%M%S", &tm);
    report.cIsNewUtilitySet = 1;
    Phones(report, {"0944444444"});
  });
  StartRegistered();

  ASSERT_EQ(Ctl({"di", "2", "on"}).status, 0);
  Await([&] { return Member(State(), "do").find("1") != std::string::npos; }, "DO0 switched on by the alarm");
  Await([&] { return OutboxHas("\"number\":\"0911111111\"") && OutboxHas("\"number\":\"0922222222\""); },
        "the door text to both phones");
  EXPECT_TRUE(OutboxHas("\"text\":\"Door open\""));
  Await([&] { return Member(State(), "do").find("1") == std::string::npos; }, "DO0 off again after its pulse");

  ASSERT_EQ(Ctl({"ai", "0", "7.5"}).status, 0);
  Await([&] { return OutboxHas("\"text\":\"ALARM;SITE-9;"); }, "the compact line of the analog alarm");
  EXPECT_TRUE(OutboxHas(";Tank high("));

  ASSERT_EQ(Ctl({"pulse", "0", "3", "200", "100"}).status, 0);
  Await([&] { return OutboxHas("\"text\":\"Meter reached\""); }, "the counter alarm after three pulses");

  Await([&] { return OutboxHas("\"text\":\"CRPT3;SITE-9;"); }, "the status report at its time", 120);

  // (CounterAlarmIsNotRaisedAgainAfterARestart) A counter alarm is raised
  // once: after a restart with the count still at its preset, only the
  // alarm of another input goes out.
  Await([&] { return dir_.Exists("root/APP/CTStatus.ini") && Board("APP/CTStatus.ini") == "counter_status=3,0,0,0,0\r\n"; },
        "the count saved", 60);
  EXPECT_NE(Board("APP/config.ini").find("\r\ncIsCounterTriggered=1,0,0,0,0\r\n"), std::string::npos);
  ASSERT_EQ(Ctl({"stop"}).status, 0);
  ASSERT_EQ(sim_->WaitForExit(std::chrono::seconds(60)), 0);
  StartRegistered();
  // Queued after anything the counter thread raised at its start.
  ASSERT_EQ(Ctl({"di", "2", "off"}).status, 0);
  ASSERT_EQ(Ctl({"di", "2", "on"}).status, 0);
  Await([&] { return OutboxHas("\"text\":\"Door open\""); }, "the door text after the restart");
  EXPECT_FALSE(OutboxHas("Meter reached")) << Ctl({"outbox"}).out;
}

TEST_F(AlarmE2eTest, VoiceAlarmCallsEachPhoneAndTriesARefusedOneAgainLater) {
  WriteConfig([] {
    OrvelEvent& ev = orvel_event[0];
    ev.is_event_enable = 1;
    ev.di[1] = DiConfig{1, 4, 50, 500, 0};
    ev.di[3] = DiConfig{1, 4, 50, 500, 0};  // a second input fires it again
    ev.iIsVoice = 1;
    Phones(ev, {"0911111111", "0922222222"});
    std::snprintf(ev.msg, kMsgSize, "Intruder");
  });
  // A one-second prompt on the card (8 kHz, 16-bit mono), and the user log on.
  const std::string header("RIFF\xa4\x3e\0\0WAVEfmt \x10\0\0\0\x01\0\x01\0\x40\x1f\0\0\x80\x3e\0\0\x02\0\x10\0data\x80\x3e\0\0", 44);
  dir_.Write("root/media/card/voice/EVNT0.wav", header + std::string(16000, '\0'));
  dir_.Write("root/APP/log.ini", "@LOGEN;1\r\n");
  StartRegistered();

  // Finished calls that played the prompt, and those the far end refused.
  auto count = [&](const std::string& outcome) {
    std::istringstream lines(Ctl({"calls"}).out);
    size_t n = 0;
    for (std::string line; std::getline(lines, line);) {
      if (line.find("\"outcome\":\"" + outcome + "\"") != std::string::npos &&
          line.find("\"ended\":null") == std::string::npos)
        ++n;
    }
    return n;
  };
  ASSERT_EQ(Ctl({"di", "1", "on"}).status, 0);
  Await([&] { return count("answered") == 2; }, "two answered calls");
  const std::string calls = Ctl({"calls"}).out;
  EXPECT_NE(calls.find("\"number\":\"0922222222\",\"prompt\":\"EVNT0.wav\""), std::string::npos) << calls;

  // A refused call is tried again 10 s later; the job then goes on.
  ASSERT_EQ(Ctl({"call", "reject"}).status, 0);
  ASSERT_EQ(Ctl({"di", "3", "on"}).status, 0);
  Await([&] { return count("rejected") == 1; }, "the first number refused");
  Await([&] { return Output().find(">Send Voice: call to 0911111111 failed, tried again in 10 s (try 2 of 3)\r\n") !=
                     std::string::npos; },
        "the console line of the wait");
  ASSERT_EQ(Ctl({"call", "answer"}).status, 0);
  Await([&] { return count("answered") == 4; }, "the first number on its second try, then the second number");
  const std::string after = Ctl({"calls"}).out;
  EXPECT_EQ(count("rejected"), 1u) << after;
  EXPECT_GT(after.rfind("0922222222"), after.rfind("0911111111")) << after;
  EXPECT_EQ(UserLogToday().find("0911111111"), std::string::npos);
}

}  // namespace e2e
