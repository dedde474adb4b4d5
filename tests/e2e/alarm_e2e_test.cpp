// Alarms on the simulated board, from a config.ini written before start:
// an input held for its hold time, an analog channel over its limit, a
// pulse counter at its preset, a scheduled report, and voice calls with their prompt, to the phones in
// `ctl outbox` and `ctl calls`, with the output pulse in `ctl state`.
#include <ctime>
#include <filesystem>
#include <functional>
#include <sstream>
#include <string>

#include "config/config_data.h"
#include "config/config_file.h"
#include "e2e/sim_e2e_fixture.h"
#include "platform/paths.h"
#include "support/console_capture.h"

namespace {

using namespace e2e;

class AlarmE2eTest : public SimE2eTest {
 protected:
  // Writes ROOT/APP/config.ini from the factory settings as `edit` changes them.
  void WriteConfig(const std::function<void()>& edit) {
    std::filesystem::create_directories(root_ + "/APP");
    platform::SetRoot(root_);
    {
      testsupport::ConsoleCapture quiet;
      init_orvel_config();
      set_default();
      edit();
      EXPECT_EQ(save_orvel_config(), 1);
    }
    platform::SetRoot("");
  }
  static void Phones(OrvelEvent& ev, std::initializer_list<const char*> numbers) {
    ev.phone_n_now = 0;
    for (const char* n : numbers) std::snprintf(ev.phone[ev.phone_n_now++], kPhoneSize, "%s", n);
  }
  void Await(const std::function<bool()>& done, const std::string& what, int timeout_s = 90) {
    EXPECT_TRUE(WaitFor(done, timeout_s)) << what << "\noutbox:\n"
                                          << Ctl({"outbox"}).out << "\ncalls:\n"
                                          << Ctl({"calls"}).out << "\nsimulator output:\n"
                                          << Output();
  }
  bool OutboxHas(const std::string& text) { return Ctl({"outbox"}).out.find(text) != std::string::npos; }
  void StartRegistered() {
    StartSim();
    WaitReady();
    Await([&] { return Member(State(), "registration") == "\"home\""; }, "registered");
  }
};

TEST_F(AlarmE2eTest, InputsAndReportsSendTheirTexts) {
  // Local time of day 40 s from now, for the report.
  time_t due = time(nullptr) + 40;
  struct tm tm {};
  localtime_r(&due, &tm);
  WriteConfig([&] {
    OrvelEvent& door = orvel_event[0];
    door.is_event_enable = 1;
    door.di[2] = DiConfig{1, 4, 2000, 1000, 0};  // NO, held 2 s
    door.iIs_do_on = 1;
    door.uiDOHoldTime = 2000;
    Phones(door, {"0911111111", "0922222222"});
    std::snprintf(door.msg, kMsgSize, "Door open");
    OrvelEvent& tank = orvel_event[1];
    tank.is_event_enable = 1;
    tank.ai[0] = AiConfig{1, 1, 50, 1000, 5.0, 0.0};  // HIGH above 5
    tank.iIsSMSDBS = 1;
    Phones(tank, {"0933333333"});
    std::snprintf(tank.msg, kMsgSize, "Tank high");
    std::snprintf(sys_config.cMachineID, kMachineIdSize, "SITE-9");
    OrvelEvent& meter = orvel_event[2];
    meter.is_event_enable = 1;
    meter.di[0] = DiConfig{1, 2, 200, 50, 1};  // NO_PULSE counter
    sys_config.uiCounter[0] = 3;
    Phones(meter, {"0955555555"});
    std::snprintf(meter.msg, kMsgSize, "Meter reached");
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
}

TEST_F(AlarmE2eTest, VoiceAlarmCallsEachPhoneAndGivesUpOnARefusal) {
  WriteConfig([] {
    OrvelEvent& ev = orvel_event[0];
    ev.is_event_enable = 1;
    ev.di[1] = DiConfig{1, 4, 50, 500, 0};
    ev.di[3] = DiConfig{1, 4, 50, 500, 0};  // a second input fires it again
    ev.iIsVoice = 1;
    Phones(ev, {"0911111111", "0922222222"});
    std::snprintf(ev.msg, kMsgSize, "Intruder");
  });
  // A one-second prompt on the card, and the user log on.
  std::string wav = "RIFF";
  auto le = [&](uint32_t v, int n) {
    for (int i = 0; i < n; ++i) wav += static_cast<char>(v >> (8 * i));
  };
  le(36 + 16000, 4);
  wav += "WAVEfmt ";
  for (auto [v, n] : {std::pair{16u, 4}, {1u, 2}, {1u, 2}, {8000u, 4}, {16000u, 4}, {2u, 2}, {16u, 2}}) le(v, n);
  wav += "data";
  le(16000, 4);
  wav += std::string(16000, '\0');
  dir_.Write("root/media/card/voice/EVNT0.wav", wav);
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
  auto answered = [&] { return count("answered"); };
  ASSERT_EQ(Ctl({"di", "1", "on"}).status, 0);
  Await([&] { return answered() == 2; }, "two answered calls");
  const std::string calls = Ctl({"calls"}).out;
  EXPECT_NE(calls.find("\"number\":\"0922222222\",\"prompt\":\"EVNT0.wav\""), std::string::npos) << calls;

  ASSERT_EQ(Ctl({"call", "reject"}).status, 0);
  ASSERT_EQ(Ctl({"di", "3", "on"}).status, 0);
  // The user log is written day by day: find today's record of kind 5.
  char day[16];
  time_t now = time(nullptr);
  std::strftime(day, sizeof day, "%Y/%m/%d", localtime(&now));
  const std::string log = std::string("root/media/card/USR_LOG/") + day + ".txt";
  Await([&] { return dir_.Exists(log) && dir_.Read(log).find("0911111111") != std::string::npos; },
        "the abandoned job's user-log record", 120);
  // Three refusals of the first number, and the second is never called.
  const std::string after = Ctl({"calls"}).out;
  EXPECT_EQ(count("rejected"), 3u) << after;
  EXPECT_EQ(after.rfind("0922222222"), calls.rfind("0922222222")) << after;
}

}  // namespace
