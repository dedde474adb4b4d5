// Scheduled reports over days of a stepped clock: catching up at start-up,
// sending in the window, moving missed windows on, the daily re-arm, and
// time zones and clocks set by a day.

#include <cstring>

#include "event/auto_report.h"
#include "event_test_env.h"

namespace {

constexpr uint32_t kDay = 86400;
// 2021-07-13 00:00:00 UTC; the environment starts at 09:00 of that day.
constexpr uint32_t kMidnight = 1626134400;

class AutoReportTest : public eventtest::EventTest {
 protected:
  void SetUp() override {
    EventTest::SetUp();
    OrvelEvent& ev = orvel_event[6];
    ev.is_event_enable = 1;
    ev.auto_report = AutoReport{1, 1, "083000"};
    ev.phone_n_now = 1;
    std::strcpy(ev.phone[0], "0911111111");
    st() = EventStatus{};
  }
  // Start-up, then visits of event 6 every `step_s` seconds for `total_s`.
  // Returns the reports sent.
  int StartAndRun(int64_t total_s, int64_t step_s = 60) {
    testsupport::ConsoleCapture capture;
    flg_init_config = 1;
    auto_report_set();
    Visit(total_s, step_s);
    console_ = capture.Text();
    return sms_event_is_n();
  }
  void Visit(int64_t total_s, int64_t step_s = 60) {
    for (int64_t t = 0; t <= total_s; t += step_s) {
      AutoReportVisit(6);
      AdvanceMs(step_s * 1000);
    }
  }
  bool Printed(const char* text) const { return console_.find(text) != std::string::npos; }
  EventStatus& st() { return event_status[6]; }

  std::string console_;
};

TEST_F(AutoReportTest, PeriodsMissedWindowsAndDisabledEvents) {
  // Period in days, enabled, due time in the file and after, how long the device runs from 09:00, reports sent.
  const struct {
    const char* what;
    uint32_t days;
    uint8_t enabled;
    uint32_t stored, next;
    int64_t run_s;
    int sent;
  } rows[] = {
      {"stored yesterday: caught up and sent at once", 1, 1, kMidnight - kDay + 30600, kMidnight + kDay + 30600, 0, 1},
      {"seven days", 7, 1, kMidnight + 30600, kMidnight + 7 * kDay + 30600, 0, 1},
      {"one a day for three days", 1, 1, kMidnight + 30600, kMidnight + 4 * kDay + 30600, 3 * kDay, 4},
      {"disabled", 1, 0, kMidnight + 30600, kMidnight + 30600, kDay, 0},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    evt_in = evt_out = 0;
    st().cIsReported = 0;
    clock_->SetUs(int64_t{eventtest::kStartS} * 1000000);
    orvel_event[6].is_event_enable = row.enabled;
    orvel_event[6].auto_report.report_days = row.days;
    st().ulNextReportTimeSt = row.stored;
    EXPECT_EQ(StartAndRun(row.run_s), row.sent);
    EXPECT_EQ(st().ulNextReportTimeSt, row.next);
    EXPECT_EQ(Printed(">Send event(6) report SMS!!\r\n"), row.sent != 0);
  }
  EXPECT_NE(dir_.Read("APP/config.ini").find("rp_ulNextReportTimeSt"), std::string::npos);
}

// A window that closes while the device runs without sending (the report
// already went out in it by another way) moves on by one period, unsent.
TEST_F(AutoReportTest, ClosedWindowIsDelayedWithoutSending) {
  st().ulNextReportTimeSt = kMidnight + 30600;
  st().cIsReported = 0;
  StartAndRun(-1);  // start-up only
  st().ulNextReportTimeEnd = kMidnight + 32400;  // closed at 09:00, now
  testsupport::ConsoleCapture capture;
  AutoReportVisit(6);
  EXPECT_NE(capture.Text().find(">Delay event(6) report!!\r\n"), std::string::npos);
  EXPECT_EQ(sms_event_is_n(), 0);
  EXPECT_EQ(st().ulNextReportTimeSt, kMidnight + kDay + 30600);
}

// At UTC+8 the due time 08:30 local is 00:30 UTC: it is on its time of day.
TEST_F(AutoReportTest, LocalTimeOfDayInAnyZone) {
  setenv("TZ", "CST-8", 1);
  tzset();
  const uint32_t local_midnight = kMidnight - 8 * 3600;
  st().ulNextReportTimeSt = local_midnight - kDay + 30600;
  EXPECT_EQ(StartAndRun(0), 1);
  EXPECT_FALSE(Printed("Wrong NextReportTime"));
  EXPECT_EQ(st().ulNextReportTimeSt, local_midnight + kDay + 30600);
}

TEST_F(AutoReportTest, ClockSetByADay) {
  st().ulNextReportTimeSt = kMidnight + 30600;
  EXPECT_EQ(StartAndRun(0), 1);  // today's report, at 09:00
  // Set back a day: yesterday's report is not lost, and sent once.
  clock_->SetUs(int64_t{kMidnight - kDay + 30000} * 1000000);
  Visit(3600);
  EXPECT_EQ(sms_event_is_n(), 2);
  // Set forward two days: one report, no burst for the days skipped.
  clock_->SetUs(int64_t{kMidnight + 2 * kDay + 40000} * 1000000);
  Visit(600);
  EXPECT_EQ(sms_event_is_n(), 3);
}

}  // namespace
