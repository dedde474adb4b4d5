// A configuration session on the simulated board: utility mode (init pin
// held), requests through qrv806-term on DIR/term, @SAVE; then a normal
// start reads what was saved, and the configured event fires (the replies
// and the file's layout: the command and configuration tests).
#include "e2e/sim_e2e_fixture.h"

namespace e2e {

using UtilityE2eTest = SimE2eTest;

TEST_F(UtilityE2eTest, ConfigureSaveAndRunTheEvent) {
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
      "@SAVE",
  });
  EXPECT_EQ(session,
            "!SITE-7;STAN;OK\\r\\n\n!SITE-7;EVNT0;OK\\r\\n\n!SITE-7;PHONE0;OK\\r\\n\n!SITE-7;MSG0;OK\\r\\n\n"
            "!QRV-806XK;SAVE;OK\\r\\n\n")
      << Output() << dir_.Read("term-errors.txt");
  ASSERT_TRUE(WaitFor([&] { return Board("APP/config.ini").find("cMachineID=SITE-7\r\n") != std::string::npos; }))
      << Output();

  // A normal start reads the saved settings (and keeps them as written).
  ASSERT_EQ(Ctl({"stop"}).status, 0);
  ASSERT_EQ(sim_->WaitForExit(std::chrono::seconds(60)), 0) << Output();
  StartRegistered();
  const std::string saved = Board("APP/config.ini");
  for (const char* line : {"\r\n0#is_event_enable=1\r\n", "\r\n0#di[2]cIsEnable=1\r\n0#di[2]cType=4\r\n"
                           "0#di[2]uiHoldTime=2000\r\n0#di[2]uiResetTime=1000\r\n", "\r\n0#iIs_do_on=1\r\n"
                           "0#uiDOHoldTime=3000\r\n", "\r\n0#msg_len=9\r\n0#msg=Door open\r\n"}) {
    EXPECT_NE(saved.find(line), std::string::npos) << line;
  }
  EXPECT_EQ(Output().find(">Initial parameters failed"), std::string::npos) << Output();

  // And the event is live: the input held 2 s sends the text to both phones.
  ASSERT_EQ(Ctl({"di", "2", "on"}).status, 0);
  Await([&] { return OutboxHas("\"number\":\"0911111111\"") && OutboxHas("\"number\":\"0922222222\""); },
        "the text to both phones");
  EXPECT_TRUE(OutboxHas("\"text\":\"Door open\"")) << Ctl({"outbox"}).out;
}

}  // namespace e2e
