// `ctl clock jump` on a running unit: the time it shows and its RTC move
// together, while a pulse timed on the monotonic tick runs through a day
// forward and a day back and ends when it should.
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>

#include "e2e/sim_e2e_fixture.h"

namespace e2e {

class ClockJumpE2eTest : public SimE2eTest {
 protected:
  // The unit's wall time from @TIME ("...;TIME;OK;YYYYMMDD;HHMMSS"), local; -1 without an answer.
  int64_t UnitTime() {
    const std::string reply = Term({"@TIME"}, 5);
    const size_t at = reply.find(";TIME;OK;");
    struct tm t {};
    if (at == std::string::npos ||
        std::sscanf(reply.c_str() + at + 9, "%4d%2d%2d;%2d%2d%2d", &t.tm_year, &t.tm_mon, &t.tm_mday, &t.tm_hour,
                    &t.tm_min, &t.tm_sec) != 6) {
      return -1;
    }
    t.tm_year -= 1900;
    t.tm_mon -= 1;
    t.tm_isdst = -1;
    return static_cast<int64_t>(mktime(&t));
  }
  // The RTC's registers from `ctl rtc get`, read as UTC seconds.
  int64_t RtcTime() {
    const std::string text = Member(Ctl({"rtc", "get"}).out, "time");
    struct tm t {};
    if (std::sscanf(text.c_str(), "\"%4d-%2d-%2d %2d:%2d:%2d", &t.tm_year, &t.tm_mon, &t.tm_mday, &t.tm_hour,
                    &t.tm_min, &t.tm_sec) != 6) {
      return -1;
    }
    t.tm_year -= 1900;
    t.tm_mon -= 1;
    return static_cast<int64_t>(timegm(&t));
  }
  // The unit shows the host's time moved by `jump_s` (loose: a slow host).
  bool ShowsHostTimePlus(int64_t jump_s) {
    const int64_t unit = UnitTime();
    return unit > 0 && std::llabs(unit - (time(nullptr) + jump_s)) < 120;
  }
};

TEST_F(ClockJumpE2eTest, WallTimeAndRtcMoveTogetherAndARunningPulseEndsOnTime) {
  constexpr int64_t kDay = 86400;
  StartSim({"--utility"});
  WaitReady();
  Await([&] { return ShowsHostTimePlus(0); }, "@TIME with the host's time");
  const int64_t rtc = RtcTime();
  ASSERT_GT(rtc, 0);

  ASSERT_NE(Term({"@DOC0;PULSE;20000"}).find(";DOC0;OK"), std::string::npos) << Output();
  AwaitState([](const std::string& s) { return Member(s, "do") == "[1, 0]"; }, "DO0 pulsing");

  const CtlResult forward = Ctl({"clock", "jump", "+86400"});
  ASSERT_EQ(forward.status, 0) << forward.out;
  Await([&] { return ShowsHostTimePlus(kDay); }, "@TIME a day on");
  EXPECT_NEAR(static_cast<double>(RtcTime() - rtc), static_cast<double>(kDay), 120.0);
  // The pulse is not cut by a day forward...
  EXPECT_EQ(Member(State(), "do"), "[1, 0]");

  ASSERT_EQ(Ctl({"clock", "jump", "-86400"}).status, 0);
  Await([&] { return ShowsHostTimePlus(0); }, "@TIME a day back");
  EXPECT_NEAR(static_cast<double>(RtcTime() - rtc), 0.0, 120.0);
  // ... nor stretched by a day back.
  AwaitState([](const std::string& s) { return Member(s, "do") == "[0, 0]"; }, "the pulse's end");
}

}  // namespace e2e
