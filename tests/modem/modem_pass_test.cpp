// Whole modem passes against a scripted module: the dialogue, its waits, the
// SIM recovery counting and the published state.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "modem/at_fake_module.h"
#include "modem/modem_test_env.h"

namespace {

using testmodem::FakeModule;

class ModemPassTest : public testmodem::ModemTest {
 protected:
  int Pass() { return ModemPass(module_, testmodem::RebootStop()); }
  // Commands of the passes run since the last call.
  std::vector<FakeModule::Exchange> Take() {
    std::vector<FakeModule::Exchange> out(module_.exchanges.begin() + static_cast<long>(seen_),
                                          module_.exchanges.end());
    seen_ = module_.exchanges.size();
    return out;
  }
  static std::vector<std::string> Names(const std::vector<FakeModule::Exchange>& list) {
    std::vector<std::string> out;
    for (const auto& e : list) out.push_back(e.command);
    return out;
  }

  FakeModule module_;
  size_t seen_ = 0;
};

TEST_F(ModemPassTest, FirstPassThenPlainPasses) {
  ASSERT_EQ(Pass(), 0);
  auto first = Take();
  EXPECT_EQ(Names(first), (std::vector<std::string>{"ATI\r\n", "AT+GMM\r\n", "AT+SIMEI?\r\n", "AT+CGPS?\r\n",
                                                    "AT+CGPS=1\r\n", "AT+CMGD=4,4\r\n", "AT+CPIN?\r\n",
                                                    "AT+CREG?\r\n", "AT+CSQ\r\n", "AT+CNSMOD?\r\n",
                                                    "AT+CGPSINFO\r\n", "AT+CPMS?\r\n"}));
  for (const auto& e : first) EXPECT_EQ(e.wait_ms, 100) << e.command;
  EXPECT_EQ(is_do_first_time_cmd, 1);
  // The model text is the whole answer, echo included.
  EXPECT_EQ(str_gmm.Get(), "AT+GMM\r\r\nSIMCOM_SIM7100C\r\n\r\nOK\r\n");
  EXPECT_STREQ(modem_imei, "357396012183170");
  EXPECT_EQ(modem_cpin_status, 0);
  EXPECT_EQ(modem_creg, 1);
  EXPECT_EQ(modem_csq, 22);
  EXPECT_EQ(gps_flag, 0);
  EXPECT_EQ(str_gprmc.Get(), "$GPRMC,,V,,,,,,,,,W*70");

  ASSERT_EQ(Pass(), 0);
  EXPECT_EQ(Names(Take()), (std::vector<std::string>{"AT+CPIN?\r\n", "AT+CREG?\r\n", "AT+CSQ\r\n",
                                                     "AT+CNSMOD?\r\n", "AT+CGPSINFO\r\n", "AT+CPMS?\r\n"}));
  EXPECT_TRUE(module_.pauses.empty());
}

TEST_F(ModemPassTest, NoChannelEndsThePass) {
  // No DIR/dev/smd8: nothing is sent, the first pass is still to come.
  EXPECT_EQ(get_modem_info(), -1);
  EXPECT_EQ(is_do_first_time_cmd, 0);
}

TEST_F(ModemPassTest, ModelTextIsCutTo99Characters) {
  module_.gmm = std::string(300, 'M');
  Pass();
  std::string gmm = str_gmm.Get();
  EXPECT_EQ(gmm.size(), 99u);
  EXPECT_EQ(gmm.substr(0, 9), "AT+GMM\r\r\n");
}

TEST_F(ModemPassTest, PollsKeepValuesWhenAnswersDoNotParse) {
  module_.creg = "+CREG: 0,5";
  module_.csq = "+CSQ: 17,99";
  module_.gps = "+CGPSINFO: 1234.500000,N,01234.500000,E,010121,120000.0,10.0,0.0,0.0";
  Pass();
  EXPECT_EQ(modem_creg, 5);
  EXPECT_EQ(modem_csq, 17);
  EXPECT_EQ(gps_flag, 1);
  const std::string fix = "$GPRMC,120000.0,A,1234.500000,N,01234.500000,E,0.0,0.0,010121,,E*70";
  EXPECT_EQ(str_gprmc.Get(), fix);

  // Silence, a registration line without its comma, errors: nothing changes.
  module_.overrides["AT+CREG?\r\n"] = "AT+CREG?\r\r\n+CREG: 2\r\n\r\nOK\r\n";
  module_.overrides["AT+CSQ\r\n"] = "";
  module_.overrides["AT+CGPSINFO\r\n"] = "AT+CGPSINFO\r\r\nERROR\r\n";
  Pass();
  EXPECT_EQ(modem_creg, 5);
  EXPECT_EQ(modem_csq, 17);
  EXPECT_EQ(gps_flag, 1);
  EXPECT_EQ(str_gprmc.Get(), fix);

  // A fix lost.
  module_.overrides.clear();
  module_.gps = "+CGPSINFO: ,,,,,,,,";
  Pass();
  EXPECT_EQ(gps_flag, 0);
  EXPECT_EQ(str_gprmc.Get(), "$GPRMC,,V,,,,,,,,,W*70");
}

TEST_F(ModemPassTest, PinIsSentForTheFirstTwoRequestsOnly) {
  testmodem::SetPin("1234");
  module_.cpin = "+CPIN: SIM PIN";
  // Requests 1 and 2 get the PIN (waiting 3 s), 3 and 4 do not.
  const int want_sent[] = {1, 2, 2, 2};
  for (int pass = 0; pass < 4; ++pass) {
    Pass();
    EXPECT_EQ(module_.Count("AT+CPIN=1234\r\n"), want_sent[pass]) << pass;
    EXPECT_EQ(modem_cpin_status, 1);
    EXPECT_EQ(is_input_pin, pass + 1);
  }
  for (const auto& e : module_.exchanges) {
    if (e.command == "AT+CPIN=1234\r\n") {
      EXPECT_EQ(e.wait_ms, 3000);
    }
  }
  // A PIN request never counts towards a radio restart.
  EXPECT_EQ(modem_count4reset, 0);

  // A ready SIM re-arms the attempts.
  module_.cpin = "+CPIN: READY";
  Pass();
  EXPECT_EQ(is_input_pin, 0);
  EXPECT_EQ(modem_cpin_status, 0);
  module_.cpin = "+CPIN: SIM PIN";
  Pass();
  EXPECT_EQ(module_.Count("AT+CPIN=1234\r\n"), 3);
}

TEST_F(ModemPassTest, OnlyAFourDigitPinIsEverSent) {
  struct Row {
    const char* pin;
    bool sent;
  };
  const Row rows[] = {{"", false}, {"12", false}, {"123", false}, {"12a4", false},
                      {"1\r34", false}, {"0000", true}, {"9876", true}};
  for (const auto& r : rows) {
    SCOPED_TRACE(r.pin);
    testmodem::ResetModemGlobals();
    FakeModule module;
    module.cpin = "+CPIN: SIM PIN";
    testmodem::SetPin(r.pin);
    ModemPass(module, testmodem::RebootStop());
    EXPECT_EQ(module.CountPrefix("AT+CPIN="), r.sent ? 1 : 0);
    EXPECT_EQ(modem_cpin_status, 1);
    // The pass goes on whatever happened to the PIN.
    EXPECT_EQ(module.Count("AT+CREG?\r\n"), 1);
  }
}

TEST_F(ModemPassTest, EveryFifthUnusableAnswerRestartsTheRadio) {
  module_.cpin = "+CME ERROR: SIM not inserted";
  for (int pass = 1; pass <= 10; ++pass) {
    ASSERT_EQ(Pass(), 0);
    EXPECT_EQ(modem_cpin_status, 2);
    EXPECT_EQ(module_.Count("AT+CFUN=0\r\n"), pass / 5) << pass;
    EXPECT_EQ(modem_count4reset, pass % 5);
  }
  // Off (500 ms), a 2 s pause, on (2000 ms), and the pass goes on.
  std::vector<FakeModule::Exchange> list = module_.exchanges;
  for (size_t i = 0; i < list.size(); ++i) {
    if (list[i].command != "AT+CFUN=0\r\n") continue;
    EXPECT_EQ(list[i].wait_ms, 500);
    ASSERT_LT(i + 2, list.size());
    EXPECT_EQ(list[i + 1].command, "AT+CFUN=1\r\n");
    EXPECT_EQ(list[i + 1].wait_ms, 2000);
    EXPECT_EQ(list[i + 2].command, "AT+CREG?\r\n");
  }
  EXPECT_EQ(module_.pauses, (std::vector<int>{2000, 2000}));
  EXPECT_EQ(counterReboot, 0);
  EXPECT_EQ(testmodem::Reboots(), 0);
}

TEST_F(ModemPassTest, ReadyAnswersDoNotClearTheRestartCount) {
  testmodem::SetPin("1234");
  const char* answers[] = {"+CME ERROR: SIM busy", "+CME ERROR: SIM busy", "+CPIN: READY", "+CPIN: SIM PIN",
                           "+CPIN: READY",        "+CME ERROR: SIM busy", "+CPIN: SIM PUK",
                           "+CME ERROR: SIM busy"};
  for (const char* a : answers) {
    module_.cpin = a;
    Pass();
  }
  // Five unusable answers among eight: exactly one restart, at the fifth.
  EXPECT_EQ(module_.Count("AT+CFUN=0\r\n"), 1);
  EXPECT_EQ(modem_count4reset, 0);
  EXPECT_EQ(is_input_pin, 0);
}

TEST_F(ModemPassTest, The1300thSimFailureRebootsTheDevice) {
  module_.cpin = "+CME ERROR: SIM failure";
  for (int pass = 1; pass < 1300; ++pass) {
    ASSERT_EQ(Pass(), 0) << pass;
  }
  EXPECT_EQ(counterReboot, 1299);
  EXPECT_EQ(testmodem::Reboots(), 0);
  // SIM failures are unusable answers too: 1299 / 5 restarts so far.
  EXPECT_EQ(module_.Count("AT+CFUN=0\r\n"), 259);

  Take();
  EXPECT_EQ(Pass(), -1);
  EXPECT_EQ(testmodem::Reboots(), 1);
  // Nothing after the SIM query: the pass waits for the reboot.
  EXPECT_EQ(Names(Take()), (std::vector<std::string>{"AT+CPIN?\r\n"}));
}

TEST_F(ModemPassTest, OtherUnusableAnswersNeverReboot) {
  module_.cpin = "+CME ERROR: SIM not inserted";
  counterReboot = 1299;
  for (int pass = 0; pass < 20; ++pass) Pass();
  EXPECT_EQ(testmodem::Reboots(), 0);
  EXPECT_EQ(counterReboot, 1299);
}

TEST_F(ModemPassTest, VoiceStepRunsLastOnTheOpenChannel) {
  static FakeModule* seen = nullptr;
  static int calls = 0;
  seen = nullptr;
  calls = 0;
  SetModemVoiceJob([](AtChannel& channel) {
    seen = static_cast<FakeModule*>(&channel);
    ++calls;
    const char* hang_up = "AT+CHUP\r\n";
    char response[kAtResponseSize];
    channel.WriteRead(hang_up, 9, response, 300);
  });
  Pass();
  EXPECT_EQ(seen, &module_);
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(module_.exchanges.back().command, "AT+CHUP\r\n");
}

}  // namespace
