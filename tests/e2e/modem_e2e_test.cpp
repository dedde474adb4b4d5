// The firmware's modem thread against the simulated SIM7100 on the
// simulated board: what the module reports shows on the LEDs, a SIM PIN
// from the configuration unlocks the SIM, and a received message is read
// and deleted from the module's store.
#include "e2e/sim_e2e_fixture.h"

namespace e2e {

bool SteadyOn(const std::string& state, const char* led) {
  return Member(state, "on", led) == "true" && Member(state, "blinking", led) == "false" &&
         std::atoi(Member(state, "for_ms", led).c_str()) > 2500;
}

using ModemE2eTest = SimE2eTest;

TEST_F(ModemE2eTest, LedsShowTheModuleAMessageIsReadAndTheConfiguredPinUnlocksTheSim) {
  WriteConfig([] { std::snprintf(sys_config.cPIN, sizeof sys_config.cPIN, "1234"); });
  dir_.Write("root/sim/qmi", "down\n");  // no data call yet
  StartRegistered();
  AwaitState([](const std::string& s) { return Blinks(s, "status", 900, 100); }, "registered: the status LED blinks 900/100");
  ASSERT_EQ(Ctl({"qmi", "up"}).status, 0);
  AwaitState([](const std::string& s) { return Blinks(s, "status", 500, 500); }, "the data call is up: 500/500");
  ASSERT_EQ(Ctl({"qmi", "down"}).status, 0);
  AwaitState([](const std::string& s) { return Blinks(s, "status", 900, 100); }, "the call dropped: 900/100 again");
  // The firmware starts the receiver on its first pass (the module's "gps"
  // member comes after the LEDs' own).
  AwaitState([](const std::string& s) { return Member(s, "gps", "registration") == "\"no fix\"" && SteadyOn(s, "gps"); },
              "receiver on, no fix: the GPS LED is steadily on");
  ASSERT_EQ(Ctl({"net", "none"}).status, 0);
  ASSERT_EQ(Ctl({"gps", "fix"}).status, 0);
  AwaitState([](const std::string& s) { return SteadyOn(s, "status") && Blinks(s, "gps", 900, 100); },
              "no network: the status LED is steadily on; a fix: the GPS LED blinks 900/100");
  ASSERT_EQ(Ctl({"net", "roaming"}).status, 0);
  ASSERT_EQ(Ctl({"gps", "nofix"}).status, 0);
  AwaitState([](const std::string& s) { return Blinks(s, "status", 900, 100) && SteadyOn(s, "gps"); },
              "roaming counts as registered: 900/100 again; fix lost: steadily on again");

  // A received message is read and deleted from the module's store.
  AwaitFirstModemPass();
  CtlResult sms = Ctl({"sms", "from", "+393331234567", "STATUS?"});
  ASSERT_EQ(sms.status, 0) << sms.out;
  EXPECT_EQ(sms.out, "SMS stored at index 0 (gsm7, 26 octets)\n");
  AwaitState([](const std::string& s) { return Member(s, "used", "store") == "0"; },
              "the firmware read (and so deleted) the message");
  EXPECT_NE(Output().find("--> new SMS coming (1/50)"), std::string::npos) << Output();

  // A SIM that asks for its PIN again: only the firmware's AT+CPIN=1234,
  // from the configuration, makes it ready.
  ASSERT_EQ(Ctl({"net", "home"}).status, 0);
  CtlResult pin = Ctl({"sim", "pin", "1234"});
  ASSERT_EQ(pin.status, 0) << pin.out;
  AwaitState([](const std::string& s) { return Member(s, "sim") == "\"ready\"" && Member(s, "registration") == "\"home\""; },
              "the firmware entered the PIN");
  AwaitState([](const std::string& s) { return Blinks(s, "status", 900, 100); }, "registered after the PIN");
  // A SIM whose PIN the configuration does not hold: two attempts, then the
  // firmware waits, so the SIM never locks to its PUK.
  ASSERT_EQ(Ctl({"sim", "pin", "9999"}).status, 0);
  AwaitState([](const std::string& s) { return Blinks(s, "status", 100, 900); }, "the SIM waits for its PIN: 100/900");
  EXPECT_EQ(Member(State(), "sim"), "\"pin\"") << State();
}

}  // namespace e2e
