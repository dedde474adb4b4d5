// A control phone operates the board by SMS: the request goes in with
// `ctl sms from`, the answer comes back in `ctl outbox`, to that phone only.
#include "e2e/sim_e2e_fixture.h"

namespace e2e {

using SmsControlE2eTest = SimE2eTest;

namespace {
int Lines(const std::string& text) { return static_cast<int>(std::count(text.begin(), text.end(), '\n')); }
}  // namespace

TEST_F(SmsControlE2eTest, ControlPhoneReadsInputsAndPulsesAnOutput) {
  WriteConfig([] {
    std::snprintf(sys_config.cMachineID, kMachineIdSize, "UNIT7");
    sys_config.CtrlPhoneNo = 1;
    std::snprintf(sys_config.CtrlPhone[0], kPhoneSize, "0912345678");
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
}

}  // namespace e2e
