// A configuration session on the simulated board: utility mode (init pin
// held), requests through qrv806-term on DIR/term, @SAVE; then a normal
// start reads what was saved, and the configured event fires.
#include <sys/stat.h>

#include <cstdio>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "config/config_data.h"
#include "config/config_file.h"
#include "e2e/sim_e2e_fixture.h"
#include "platform/paths.h"
#include "support/console_capture.h"

namespace {

using namespace e2e;

const std::string kTerm = testsupport::BuiltProgram("qrv806-term");

class UtilityE2eTest : public SimE2eTest {
 protected:
  // Runs qrv806-term on the board's terminal; its standard output.
  std::string Term(const std::vector<std::string>& requests, int first_byte_s = 10) {
    std::string cmd = "'" + kTerm + "' -t " + std::to_string(first_byte_s) + " '" + root_ + "/term'";
    for (const auto& r : requests) cmd += " '" + r + "'";
    std::string out;
    FILE* p = popen((cmd + " 2>>'" + dir_.path() + "/term-errors.txt'").c_str(), "r");
    if (p == nullptr) return out;
    char buf[4096];
    for (size_t n; (n = fread(buf, 1, sizeof buf, p)) > 0;) out.append(buf, n);
    pclose(p);
    return out;
  }

  // config.ini without its schedule lines (rp_ulNextReportTimeSt is the time
  // of the next report, taken from the clock at each start, not a setting).
  static std::string Settings(const std::string& config) {
    std::istringstream lines(config);
    std::string kept;
    for (std::string line; std::getline(lines, line);) {
      if (line.find("#rp_ulNextReportTimeSt=") == std::string::npos) kept += line + "\n";
    }
    return kept;
  }

  // What the writer lays out for the factory settings with this session's
  // changes applied.
  std::string ExpectedConfig() {
    const std::string root = dir_.path() + "/expected";
    std::filesystem::create_directories(root + "/APP");
    platform::SetRoot(root);
    {
      testsupport::ConsoleCapture quiet;
      init_orvel_config();
      set_default();
      std::snprintf(sys_config.cMachineID, kMachineIdSize, "SITE-7");
      OrvelEvent& ev = orvel_event[0];
      ev.is_event_enable = 1;
      ev.di[2] = DiConfig{1, 4, 2000, 1000, 0};  // DI2, NO, held 2 s
      ev.iIs_do_on = 1;
      ev.uiDOHoldTime = 3000;
      ev.phone_n_now = 2;
      std::snprintf(ev.phone[0], kPhoneSize, "0911111111");
      std::snprintf(ev.phone[1], kPhoneSize, "0922222222");
      ev.sms_mode = 0;
      ev.msg_len = 9;
      std::snprintf(ev.msg, kMsgSize, "Door open");
      EXPECT_EQ(save_orvel_config(), 1);
    }
    platform::SetRoot("");
    return dir_.Read("expected/APP/config.ini");
  }
};

TEST_F(UtilityE2eTest, ConfigureSaveAndRunTheEvent) {
  ASSERT_EQ(access(kTerm.c_str(), X_OK), 0) << "build qrv806-term first";
  StartSim({"--utility"});
  WaitReady();
  // The port is served once the utility thread has opened it.
  ASSERT_TRUE(WaitFor([&] { return Term({"@DEVNAME"}, 2) == "!QRV-806XK;DEVNAME;OK;QRV-806XK\\r\\n\n"; }))
      << Output() << dir_.Read("term-errors.txt");

  const std::string session = Term({
      "@STAN;SITE-7",
      "@EVNT0;DI2;NO;2000;1000;DO0_ON;3000;VOICE_OFF;SMSDBS_OFF",
      "@PHONE0;2;0911111111;0922222222",
      "@MSG0;7BIT;9;Door open",
      "@EVNT0",
      "@PHONE0",
      "@MSG0",
      "@EVNT16",
      "@evnt0",  // no reply: names are upper case
      "@SAVE",
  });
  EXPECT_EQ(session,
            "!SITE-7;STAN;OK\\r\\n\n"
            "!SITE-7;EVNT0;OK\\r\\n\n"
            "!SITE-7;PHONE0;OK\\r\\n\n"
            "!SITE-7;MSG0;OK\\r\\n\n"
            "!SITE-7;EVNT0;OK;DI2;NO;2000;1000;DO0_ON;3000;VOICE_OFF;SMSDBS_OFF\\r\\n\n"
            "!SITE-7;PHONE0;OK;2;0911111111;0922222222\\r\\n\n"
            "!SITE-7;MSG0;OK;7BIT;9;Door open\\r\\n\n"
            "!SITE-7;EVNT16;ER\\r\\n\n"
            "!QRV-806XK;SAVE;OK\\r\\n\n")
      << Output() << dir_.Read("term-errors.txt");
  ASSERT_TRUE(WaitFor([&] { return Board("APP/config.ini").find("cMachineID=SITE-7\r\n") != std::string::npos; }))
      << Output();

  // A normal start: the saved settings are read back as they were written.
  ASSERT_EQ(Ctl({"stop"}).status, 0);
  ASSERT_EQ(sim_->WaitForExit(std::chrono::seconds(60)), 0) << Output();
  StartSim();
  WaitReady();
  ASSERT_TRUE(WaitFor([&] { return Member(State(), "registration") == "\"home\""; })) << Output();
  EXPECT_EQ(Settings(Board("APP/config.ini")), Settings(ExpectedConfig()));
  EXPECT_EQ(Output().find(">Initial parameters failed"), std::string::npos) << Output();

  // And the event is live: the input held 2 s sends the text to both phones.
  ASSERT_EQ(Ctl({"di", "2", "on"}).status, 0);
  auto outbox_has = [&](const std::string& text) { return Ctl({"outbox"}).out.find(text) != std::string::npos; };
  EXPECT_TRUE(WaitFor([&] {
    return outbox_has("\"number\":\"0911111111\"") && outbox_has("\"number\":\"0922222222\"");
  }, 90)) << Ctl({"outbox"}).out << Output();
  EXPECT_TRUE(outbox_has("\"text\":\"Door open\"")) << Ctl({"outbox"}).out;
}

}  // namespace
