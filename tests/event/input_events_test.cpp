// Alarm inputs, sample by sample against a stepped clock: holding, firing,
// the shared latch and its re-arm, and the outputs a firing requests.

#include <vector>

#include "event/do_control.h"
#include "event_test_env.h"

namespace {

class InputEventsTest : public eventtest::EventTest {
 protected:
  void SetUp() override {
    EventTest::SetUp();
    for (OrvelEvent& ev : orvel_event) ev.is_event_enable = 0;
  }
  // Event n watches DI ch as NO (type 4) with these times.
  void WatchDi(int n, int ch, uint32_t hold, uint32_t reset) {
    OrvelEvent& ev = orvel_event[n];
    ev.is_event_enable = 1;
    ev.di[ch] = DiConfig{1, 4, hold, reset, 0};
  }
  // Samples: the input's level before each visit, then `step_ms` passes
  // (and after visit `jump_after` the wall clock is set `jump_s` away).
  // Returns the number of SMS jobs queued after each visit.
  std::vector<int> Run(int n, int ch, const std::vector<int>& levels, int step_ms = 100, int64_t jump_s = 0,
                       size_t jump_after = 0) {
    std::vector<int> fired;
    testsupport::ConsoleCapture quiet;
    for (int level : levels) {
      SetDi(ch, level);
      CheckEventOnce(n);
      fired.push_back(sms_event_is_n());
      AdvanceMs(step_ms);
      if (fired.size() == jump_after + 1 && jump_s != 0) clock_->SetUs(clock_->NowUs() + jump_s * 1000000);
    }
    return fired;
  }
};

TEST_F(InputEventsTest, HoldLatchAndRearm) {
  struct Row {
    const char* what;
    uint32_t hold, reset;
    std::vector<int> levels, jobs;
    int64_t jump_s;     // the wall clock set this far
    size_t jump_after;  // after this sample
  };
  const Row rows[] = {
      {"hold 0 fires on the second sample", 0, 0, {1, 1, 1}, {0, 1, 1}, 0, 0},
      {"active shorter than the hold", 250, 0, {1, 1, 0, 1, 1, 1, 1}, {0, 0, 0, 0, 0, 0, 1}, 0, 0},
      {"latched until inactive for the reset time", 0, 250, {1, 1, 0, 0, 0, 1, 1, 0, 0, 0, 0, 1, 1},
       {0, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 2}, 0, 0},
      {"a clock set back an hour does not end a hold", 250, 0, {1, 1, 0}, {0, 0, 0}, -3600, 0},
      {"nor one set a day forward", 250, 0, {1, 1, 0}, {0, 0, 0}, 86400, 0},
      {"nor a re-arm running", 0, 250, {1, 1, 0, 0, 1, 1}, {0, 1, 1, 1, 1, 1}, 86400, 2},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    ResetInputEvents();
    evt_in = evt_out = 0;
    WatchDi(3, 2, row.hold, row.reset);
    EXPECT_EQ(Run(3, 2, row.levels, 100, row.jump_s, row.jump_after), row.jobs);
  }
}

TEST_F(InputEventsTest, TwoEventsShareTheLatch) {
  WatchDi(0, 1, 0, 0);
  WatchDi(5, 1, 0, 0);
  orvel_event[5].iIs_do_on = 3;  // both outputs, on for good
  orvel_event[5].uiDOHoldTime = 0;
  EXPECT_EQ(Run(5, 1, {1, 1}), (std::vector<int>{0, 1}));
  EXPECT_EQ(Run(0, 1, {1, 1, 1}), (std::vector<int>{1, 1, 1}));  // latched by event 5
  for (int ch = 0; ch < 2; ++ch) {
    const DoCtrl d = DoCtrlSnapshot(ch);
    EXPECT_EQ(d.cIsRequest, 1);
    EXPECT_EQ(d.uiDuration, 0u);
  }
}

// Watched analog channels are sampled every quarter of their shortest hold
// time, from 250 to 1000 ms; disabled events and reports watch nothing.
TEST_F(InputEventsTest, AnalogSamplesFollowTheShortestHold) {
  struct Row {
    const char* what;
    std::vector<std::pair<int, uint32_t>> holds;  // (event, hold) on channel = event % 4
    uint32_t sample_ms;
  } const rows[] = {
      {"nothing watched", {}, 0},          {"hold 200 ms", {{0, 200}}, 250},
      {"hold 2 s", {{1, 2000}}, 500},      {"hold 8 s", {{2, 8000}}, 1000},
      {"the shortest", {{0, 2000}, {5, 1200}}, 300},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    for (OrvelEvent& ev : orvel_event) ev.is_event_enable = 0;
    for (const auto& [n, hold] : row.holds) {
      orvel_event[n].is_event_enable = 1;
      orvel_event[n].ai[n % 4] = AiConfig{1, 1, hold, 50, 5.0, 0.0};
    }
    EXPECT_EQ(AnalogSampleMs(), row.sample_ms);
  }
  orvel_event[0].is_event_enable = 0;
  orvel_event[5].auto_report.cIsEnable = 1;
  EXPECT_EQ(AnalogSampleMs(), 0u);
}

// A digital input is looked at again when its hold or re-arm comes due,
// not on a tick.
TEST_F(InputEventsTest, DigitalInputsWaitForTheirDueTime) {
  WatchDi(0, 2, 300, 500);
  testsupport::ConsoleCapture quiet;
  SetDi(2, 1);
  EXPECT_EQ(DigitalDueMs(), -1);
  CheckEventRound(false);  // the hold starts
  EXPECT_EQ(DigitalDueMs(), 300);
  AdvanceMs(120);
  EXPECT_EQ(DigitalDueMs(), 180);
  AdvanceMs(200);
  EXPECT_EQ(DigitalDueMs(), 0);
  CheckEventRound(false);  // fires and latches
  EXPECT_EQ(sms_event_is_n(), 1);
  EXPECT_EQ(DigitalDueMs(), -1);
  SetDi(2, 0);
  CheckEventRound(false);  // the re-arm starts
  EXPECT_EQ(DigitalDueMs(), 500);
}

}  // namespace
