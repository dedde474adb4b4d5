// SMS on the simulated board: a control phone operates it (the request goes
// in with `ctl sms from`, the answer comes back in `ctl outbox`, to that
// phone only), and a "+++" line typed on DIR/term leaves as an SMS to
// UartPhone and is echoed.
#include "e2e/sim_e2e_fixture.h"

namespace e2e {

using SmsControlE2eTest = SimE2eTest;

namespace {
int Lines(const std::string& text) { return static_cast<int>(std::count(text.begin(), text.end(), '\n')); }
}  // namespace

TEST_F(SmsControlE2eTest, ControlPhoneReadsInputsAndPulsesAnOutputAndTheBridgeSendsALine) {
  WriteConfig([] {
    std::snprintf(sys_config.cMachineID, kMachineIdSize, "UNIT7");
    sys_config.CtrlPhoneNo = 1;
    std::snprintf(sys_config.CtrlPhone[0], kPhoneSize, "0912345678");
    sys_config.cIsUart2SMS = 1;
    std::snprintf(sys_config.UartPhone, kPhoneSize, "0987654321");
  });
  StartRegistered();
  AwaitFirstModemPass();

  // A stranger is ignored; the control phone's request is answered to it
  // alone. Its handset sends 7-bit text with message class 1 (coding 0xF1).
  ASSERT_EQ(Ctl({"sms", "from", "0955555555", "@DIV"}).status, 0);
  ASSERT_EQ(Ctl({"sms", "pdu", "00040A81902143658700F1" "12703180510000" "04" "0062D20A"}).status, 0);
  Await([&] { return OutboxHas(R"("number":"0912345678","coding":"gsm7","text":"!UNIT7;DIV;OK;)"); },
        "the @DIV answer to the control phone");
  EXPECT_EQ(Lines(Ctl({"outbox"}).out), 1) << Ctl({"outbox"}).out;
  EXPECT_NE(Board("APP/sms_log.ini").find("@DIV>7BIT>RECV>0912345678>"), std::string::npos)
      << Board("APP/sms_log.ini");

  // The same phone in international form: DO1 pulses and the answer goes
  // back with the "+".
  ASSERT_EQ(Ctl({"sms", "from", "+886912345678", "@DOC1;PULSE;1500"}).status, 0);
  Await([&] { return Member(State(), "do") == "[0, 1]"; }, "DO1 on for the pulse");
  Await([&] { return OutboxHas(R"("number":"+886912345678","coding":"gsm7","text":"!UNIT7;DOC1;OK;PULSE;1500")"); },
        "the @DOC1 answer to the international number");
  Await([&] { return Member(State(), "do") == "[0, 0]"; }, "DO1 off after 1500 ms");
  EXPECT_EQ(Lines(Ctl({"outbox"}).out), 2) << Ctl({"outbox"}).out;

  // The bridge: the probe tells when it serves the port.
  ASSERT_TRUE(WaitFor([&] { return Term({"++InitPin"}, 2) == "++InitPin;OK;0\\r\\n\n"; })) << Output();
  EXPECT_EQ(Term({"+++hello"}), "hello\n") << Output();
  Await([&] { return OutboxHas(R"("number":"0987654321","coding":"gsm7","text":"hello")"); }, "the SMS to UartPhone");
}

}  // namespace e2e
