// A configuration session on the simulated board: utility mode (init pin
// held), requests through qrv806-term on DIR/term, @SAVE; then a normal
// start reads what was saved, and the configured event fires.
#include <sstream>

#include "e2e/sim_e2e_fixture.h"

namespace e2e {

const std::string kTerm = testsupport::BuiltProgram("qrv806-term");

class UtilityE2eTest : public SimE2eTest {
 protected:
  // Runs qrv806-term on the board's terminal; its standard output.
  std::string Term(std::vector<std::string> args, int first_byte_s = 10) {
    args.insert(args.begin(), {"-t", std::to_string(first_byte_s), root_ + "/term"});
    return RunSim(args, kTerm, "2>>'" + dir_.path() + "/term-errors.txt'").out;
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
  StartRegistered();
  // What the writer lays out for the factory settings with this session's
  // changes applied.
  const std::string expected = WriteConfig(
      [] {
        std::snprintf(sys_config.cMachineID, kMachineIdSize, "SITE-7");
        OrvelEvent& ev = orvel_event[0];
        ev.is_event_enable = 1;
        ev.di[2] = DiConfig{1, 4, 2000, 1000, 0};  // DI2, NO, held 2 s
        ev.iIs_do_on = 1;
        ev.uiDOHoldTime = 3000;
        Phones(ev, {"0911111111", "0922222222"});
        ev.msg_len = 9;
        std::snprintf(ev.msg, kMsgSize, "Door open");
      },
      "expected");
  EXPECT_EQ(Settings(Board("APP/config.ini")), Settings(expected));
  EXPECT_EQ(Output().find(">Initial parameters failed"), std::string::npos) << Output();

  // And the event is live: the input held 2 s sends the text to both phones.
  ASSERT_EQ(Ctl({"di", "2", "on"}).status, 0);
  Await([&] { return OutboxHas("\"number\":\"0911111111\"") && OutboxHas("\"number\":\"0922222222\""); },
        "the text to both phones");
  EXPECT_TRUE(OutboxHas("\"text\":\"Door open\"")) << Ctl({"outbox"}).out;
}

}  // namespace e2e
