// A "+++" line typed on DIR/term leaves as an SMS to UartPhone and is echoed.
#include "e2e/sim_e2e_fixture.h"

namespace e2e {

using BridgeE2eTest = SimE2eTest;

TEST_F(BridgeE2eTest, BridgedLineReachesUartPhoneAndIsEchoed) {
  const std::string term_tool = testsupport::BuiltProgram("qrv806-term");
  WriteConfig([] {
    sys_config.cIsUart2SMS = 1;
    std::snprintf(sys_config.UartPhone, kPhoneSize, "0987654321");
  });
  StartRegistered();
  auto term = [&](const std::string& line, int first_byte_s) {
    return RunSim({"-t", std::to_string(first_byte_s), root_ + "/term", line}, term_tool).out;
  };
  // The probe tells when the bridge serves the port.
  ASSERT_TRUE(WaitFor([&] { return term("++InitPin", 2) == "++InitPin;OK;0\\r\\n\n"; })) << Output();
  EXPECT_EQ(term("+++hello", 10), "hello\n") << Output();
  Await([&] { return OutboxHas(R"("number":"0987654321","coding":"gsm7","text":"hello")"); }, "the SMS to UartPhone");
}

}  // namespace e2e
