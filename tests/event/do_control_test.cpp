// Output requests, visit by visit against a stepped clock.

#include "event/do_control.h"
#include "event_test_env.h"
#include "hw/gpio.h"

namespace {

class DoControlTest : public eventtest::EventTest {
 protected:
  // Visits DO0 every 20 ms for `ms`; returns the console and leaves the clock there.
  std::string Visit(int ms) {
    testsupport::ConsoleCapture console;
    for (int t = 0; t < ms; t += 20) {
      DoHandleVisit(0);
      AdvanceMs(20);
    }
    return console.Text();
  }
};

TEST_F(DoControlTest, PulsePermanentAndClear) {
  DoRequest(0, 1000);
  EXPECT_EQ(Visit(20), ">DO(0) is ON!!\r\n");
  EXPECT_EQ(DOV(0), 1);
  EXPECT_EQ(Visit(980), "");
  EXPECT_EQ(Visit(20), ">DO(0) is OFF!!\r\n");  // 1000 ms after it went on
  EXPECT_EQ(DOV(0), 0);
  EXPECT_EQ(DoCtrlSnapshot(0).cIsRequest, 0);

  DoRequest(0, 0);
  EXPECT_EQ(Visit(20), ">DO(0) is always ON!!\r\n");
  EXPECT_EQ(DoCtrlSnapshot(0).cIsRequest, 0);
  EXPECT_EQ(Visit(2000), "");
  EXPECT_EQ(DOV(0), 1);

  OFFDO(0);
  DoRequest(0, 1000);
  Visit(20);
  DoClear(0);  // the OFF command during a pulse: nothing switches it again
  EXPECT_EQ(Visit(2000), "");
  EXPECT_FALSE(DoWaitForWork(0));
}

}  // namespace
