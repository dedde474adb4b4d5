// Whole modem passes against a scripted module: the dialogue, its waits, the
// SIM recovery counting and the published state.

#include "modem/modem_test_env.h"
#include "support/console_capture.h"

namespace {

using testmodem::FakeModule;
using ModemPassTest = testmodem::ModemTest;

std::vector<std::string> Commands(const FakeModule& module, size_t from = 0) {
  std::vector<std::string> out;
  for (size_t i = from; i < module.exchanges.size(); ++i) out.push_back(module.exchanges[i].command);
  return out;
}

TEST_F(ModemPassTest, FirstPassThenPlainPollsThatKeepValuesTheyCannotParse) {
  // No DIR/dev/smd8: nothing is sent, the first pass is still to come.
  EXPECT_EQ(get_modem_info(), -1);
  EXPECT_EQ(is_do_first_time_cmd, 0);

  module_.creg = "+CREG: 0,5";
  module_.csq = "+CSQ: 17,99";
  module_.gps = "+CGPSINFO: 1234.500000,N,01234.500000,E,010121,120000.0,10.0,0.0,0.0";
  ASSERT_EQ(Pass(), 0);
  const std::vector<std::string> polls = {"AT+CPIN?\r\n",    "AT+CREG?\r\n",    "AT+CSQ\r\n",
                                          "AT+CNSMOD?\r\n", "AT+CGPSINFO\r\n", "AT+CPMS?\r\n"};
  std::vector<std::string> first = {"ATI\r\n",     "AT+GMM\r\n",     "AT+SIMEI?\r\n",
                                    "AT+CGPS?\r\n", "AT+CGPS=1\r\n", "AT+CMGD=4,4\r\n"};
  first.insert(first.end(), polls.begin(), polls.end());
  EXPECT_EQ(Commands(module_), first);
  for (const auto& e : module_.exchanges) EXPECT_EQ(e.wait_ms, 100) << e.command;
  EXPECT_EQ(str_gmm.Get(), "AT+GMM\r\r\nSIMCOM_SIM7100C\r\n\r\nOK\r\n");  // the whole answer
  EXPECT_STREQ(modem_imei, "357396012183170");
  const std::string fix = "$GPRMC,120000.0,A,1234.500000,N,01234.500000,E,0.0,0.0,010121,,E*70";
  for (int pass = 0; pass < 2; ++pass) {
    if (pass == 1) {  // a registration line without its comma, silence, an error: nothing changes
      module_.overrides = {{"AT+CREG?\r\n", "AT+CREG?\r\r\n+CREG: 2\r\n\r\nOK\r\n"},
                           {"AT+CSQ\r\n", ""},
                           {"AT+CGPSINFO\r\n", "AT+CGPSINFO\r\r\nERROR\r\n"}};
      ASSERT_EQ(Pass(), 0);
    }
    EXPECT_EQ(std::vector<int>({modem_cpin_status, modem_creg, modem_csq, gps_flag}), std::vector<int>({0, 5, 17, 1}));
    EXPECT_EQ(str_gprmc.Get(), fix);
  }
  EXPECT_EQ(Commands(module_, first.size()), polls);  // the first pass is done once
  // Only the silent AT+CSQ was read on, for a second, in 20 ms looks.
  EXPECT_EQ(module_.pauses, std::vector<int>(50, 20));
  // A fix lost replaces the sentence (the GPS LED: tests/e2e).
  module_.overrides.clear();
  module_.gps = "+CGPSINFO: ,,,,,,,,";
  Pass();
  EXPECT_EQ(str_gprmc.Get(), "$GPRMC,,V,,,,,,,,,W*70");

  // In a new process a long model answer is cut to 99 characters.
  testmodem::ResetModemGlobals();
  module_.overrides["AT+GMM\r\n"] = "AT+GMM\r\r\n" + std::string(300, 'M');
  Pass();
  EXPECT_EQ(str_gmm.Get(), "AT+GMM\r\r\n" + std::string(90, 'M'));
}

TEST_F(ModemPassTest, PinIsSentForTheFirstTwoRequestsOnly) {
  testmodem::SetPin("1234");
  module_.cpin = "+CPIN: SIM PIN";
  for (int pass = 0; pass < 4; ++pass) {
    Pass();
    EXPECT_EQ(module_.Count("AT+CPIN=1234\r\n"), pass < 2 ? pass + 1 : 2) << pass;
    EXPECT_EQ(modem_cpin_status, 1);
  }
  for (const auto& e : module_.exchanges) {
    if (e.command == "AT+CPIN=1234\r\n") { EXPECT_EQ(e.wait_ms, 3000); }
  }
  EXPECT_EQ(modem_count4reset, 0);  // a PIN request never counts towards a restart
  // A ready SIM re-arms the attempts.
  module_.cpin = "+CPIN: READY";
  Pass();
  module_.cpin = "+CPIN: SIM PIN";
  Pass();
  EXPECT_EQ(module_.Count("AT+CPIN=1234\r\n"), 3);

  // Only a four-digit PIN is ever sent, and the pass goes on regardless.
  for (const char* pin : {"", "123", "12a4", "1\r34", "0000"}) {
    testmodem::ResetModemGlobals();
    FakeModule module;
    module.cpin = "+CPIN: SIM PIN";
    testmodem::SetPin(pin);
    ModemPass(module, testmodem::reboot_stop);
    EXPECT_EQ(module.Count("AT+CPIN="), std::string(pin) == "0000" ? 1 : 0) << pin;
    EXPECT_EQ(modem_cpin_status, 1);
    EXPECT_EQ(module.Count("AT+CREG?\r\n"), 1);
  }
}

TEST_F(ModemPassTest, EveryFifthUnusableAnswerRestartsTheRadio) {
  counterReboot = 1299;  // only SIM failures count towards the reboot
  module_.cpin = "+CME ERROR: SIM not inserted";
  for (int pass = 1; pass <= 10; ++pass) {
    ASSERT_EQ(Pass(), 0);
    EXPECT_EQ(modem_cpin_status, 2);
    EXPECT_EQ(module_.Count("AT+CFUN=0\r\n"), pass / 5) << pass;
    EXPECT_EQ(modem_count4reset, pass % 5);
  }
  // Off (500 ms), a 2 s pause, on (2000 ms), and the pass goes on.
  const auto& list = module_.exchanges;
  for (size_t i = 0; i + 2 < list.size(); ++i) {
    if (list[i].command != "AT+CFUN=0\r\n") continue;
    EXPECT_EQ(list[i].wait_ms, 500);
    EXPECT_EQ(list[i + 1].command, "AT+CFUN=1\r\n");
    EXPECT_EQ(list[i + 1].wait_ms, 2000);
    EXPECT_EQ(list[i + 2].command, "AT+CREG?\r\n");
  }
  EXPECT_EQ(module_.pauses, (std::vector<int>{2000, 2000}));
  EXPECT_EQ(counterReboot, 1299);
  EXPECT_EQ(testmodem::reboots, 0);

  // A ready answer does not clear the count: five unusable answers among
  // eight make exactly one restart more, at the fifth.
  testmodem::SetPin("1234");
  for (const char* a : {"+CME ERROR: SIM busy", "+CME ERROR: SIM busy", "+CPIN: READY", "+CPIN: SIM PIN",
                        "+CPIN: READY", "+CME ERROR: SIM busy", "+CPIN: SIM PUK", "+CME ERROR: SIM busy"}) {
    module_.cpin = a;
    Pass();
  }
  EXPECT_EQ(module_.Count("AT+CFUN=0\r\n"), 3);
  EXPECT_EQ(modem_count4reset, 0);
  EXPECT_EQ(is_input_pin, 0);

  // Answers in pieces later than the fixed wait are read to their end: a
  // ready SIM cut in two is no unusable answer, and the end of one answer is
  // never taken for the next command's.
  module_.script = {{"AT+CPIN?", {{0, "AT+CPIN?\r\r\n+CPIN: "}, {150, "READY\r\n\r\nOK\r\n"}}},
                    {"AT+CREG?", {{0, "AT+CREG?\r\r\n+CREG: 0"}, {400, ",5\r\n"}, {450, "\r\nOK\r\n"}}}};
  Pass();
  EXPECT_EQ(modem_cpin_status, 0);
  EXPECT_EQ(modem_count4reset, 0);
  EXPECT_EQ(modem_creg, 5);
  EXPECT_EQ(modem_csq, 22);

  // A module reset between two passes (its boot line arrives unasked): the
  // next pass switches the GPS receiver on again, once.
  module_.script = {{"AT+CNSMOD?", {{0, "AT+CNSMOD?\r\r\n+CNSMOD: 0,4\r\n\r\nOK\r\n"}, {300, "\r\nRDY\r\n"}}}};
  const int on = module_.Count("AT+CGPS=1");
  Pass();
  Pass();
  Pass();
  EXPECT_EQ(module_.Count("AT+CGPS=1"), on + 1);
  // A module silent for three passes, then answering again, is taken as
  // reset too; one answer missing (a slow one) or two silent passes are not.
  const std::map<std::string, std::string> silent = {
      {"AT+CPIN?\r\n", ""}, {"AT+CREG?\r\n", ""}, {"AT+CSQ\r\n", ""}};
  const struct { std::map<std::string, std::string> overrides; int passes, gps_on; } rows[] = {
      {{{"AT+CPIN?\r\n", ""}}, 5, 0}, {silent, 2, 0}, {silent, 3, 1}, {silent, 8, 1}};
  for (const auto& r : rows) {
    const int before = module_.Count("AT+CGPS=1");
    module_.overrides = r.overrides;
    for (int i = 0; i < r.passes; ++i) Pass();
    module_.overrides.clear();
    Pass();
    Pass();
    EXPECT_EQ(module_.Count("AT+CGPS=1") - before, r.gps_on) << r.passes;
  }
}

// A job handed over while the module cannot send waits, instead of using up
// its number's tries: an outage of a minute must not lose an alarm.
TEST_F(ModemPassTest, JobsWaitWhileTheModuleCannotSend) {
  send_sms = testmodem::Message("0911111111", 0, "Door open");
  is_send_sms = 1;
  std::snprintf(send_voice.phone, sizeof send_voice.phone, "0922222222");
  is_send_voice = 1;
  const struct {
    const char* cpin;
    const char* creg;
    bool sends;
    const char* console;  // the line about the waiting jobs, "" for none
  } rows[] = {
      {"+CME ERROR: SIM busy", "+CREG: 0,1", false, ">Module not ready (SIM status 2, registration 1): SMS and call waits"},
      {"", "", false, ""},  // the module silent: still waiting, said once
      {"+CPIN: READY", "+CREG: 0,2", false, ""},
      {"+CPIN: READY", "+CREG: 0,5", true, ">Module ready again: waiting jobs go on"},
  };
  for (const auto& row : rows) {
    module_.cpin = row.cpin;
    module_.creg = row.creg;
    if (*row.cpin == '\0') module_.overrides = {{"AT+CPIN?\r\n", ""}, {"AT+CREG?\r\n", ""}};
    testsupport::ConsoleCapture console;
    Pass();
    module_.overrides.clear();
    EXPECT_EQ(module_.Count("AT+CMGS="), row.sends ? 1 : 0) << row.cpin;
    EXPECT_EQ(module_.Count("ATD"), row.sends ? 1 : 0) << row.cpin;
    const std::string& text = console.Text();
    // The line of the row, or none; never a second one.
    int lines = 0;
    for (const char* said : {">Module not ready", ">Module ready again"}) {
      for (size_t at = text.find(said); at != std::string::npos; at = text.find(said, at + 1)) ++lines;
    }
    EXPECT_EQ(lines, *row.console == '\0' ? 0 : 1) << text;
    if (*row.console != '\0') {
      EXPECT_NE(text.find(row.console), std::string::npos) << text;
    }
  }
  EXPECT_EQ(is_send_sms, 0);

  // A module that never gets ready (a PIN it is not given) holds the jobs
  // for 200 passes only: then they are tried all the same, said once.
  send_sms = testmodem::Message("0911111111", 0, "Door open");
  is_send_sms = 1;
  module_.cpin = "+CPIN: SIM PIN";
  testsupport::ConsoleCapture console;
  for (int pass = 1; pass < 200; ++pass) Pass();
  EXPECT_EQ(module_.Count("AT+CMGS="), 1);
  Pass();
  EXPECT_EQ(module_.Count("AT+CMGS="), 2);
  const std::string said = ">Module still not ready after 200 passes: waiting jobs are tried all the same";
  EXPECT_NE(console.Text().find(said), std::string::npos);
  EXPECT_EQ(console.Text().find(said), console.Text().rfind(said));
}

TEST_F(ModemPassTest, The1300thSimFailureRebootsTheDevice) {
  module_.cpin = "+CME ERROR: SIM failure";
  for (int pass = 1; pass < 1300; ++pass) ASSERT_EQ(Pass(), 0) << pass;
  EXPECT_EQ(counterReboot, 1299);
  EXPECT_EQ(testmodem::reboots, 0);
  EXPECT_EQ(module_.Count("AT+CFUN=0\r\n"), 259);  // SIM failures are unusable answers too
  size_t seen = module_.exchanges.size();
  EXPECT_EQ(Pass(), -1);
  EXPECT_EQ(testmodem::reboots, 1);
  // Nothing after the SIM query: the pass waits for the reboot.
  EXPECT_EQ(Commands(module_, seen), std::vector<std::string>{"AT+CPIN?\r\n"});
}

}  // namespace
