// Scheduled reports over days of a stepped clock: catching up at start-up,
// sending in the window, moving missed windows on, the daily re-arm, a
// window shorter than a visit cycle, time zones, and clocks moved.

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
  int StartAndRun(int64_t total_s, int64_t step_s = 60, bool start = true) {
    testsupport::ConsoleCapture capture;
    flg_init_config = 1;
    if (start) auto_report_set();
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
  // Each row from a queue without jobs, a new status and 09:00.
  void Fresh() {
    evt_in = evt_out = 0;
    st() = EventStatus{};
    clock_->SetUs(int64_t{eventtest::kStartS} * 1000000);
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
    Fresh();
    orvel_event[6].is_event_enable = row.enabled;
    orvel_event[6].auto_report.report_days = row.days;
    st().ulNextReportTimeSt = row.stored;
    EXPECT_EQ(StartAndRun(row.run_s), row.sent);
    EXPECT_EQ(st().ulNextReportTimeSt, row.next);
    EXPECT_EQ(Printed(">Send event(6) report SMS!!\r\n"), row.sent != 0);
  }
  EXPECT_NE(dir_.Read("APP/config.ini").find("rp_ulNextReportTimeSt"), std::string::npos);
}

// A due time far behind is caught up in one step with one console line,
// to the due time that adding a period at a time reaches.
TEST_F(AutoReportTest, FarBehindIsCaughtUpWithOneLine) {
  const struct {
    const char* what;
    const char* hms;
    uint32_t days;
    uint32_t stored, next;
    int sent;
  } rows[] = {
      {"0, as a hand-written file leaves it", "000000", 1, 0, kMidnight + kDay, 1},
      {"a year ago, daily", "083000", 1, kMidnight - 365 * kDay + 30600, kMidnight + kDay + 30600, 1},
      {"a year ago, weekly", "083000", 7, kMidnight - 365 * kDay + 30600, kMidnight + 6 * kDay + 30600, 0},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    Fresh();
    orvel_event[6].auto_report = AutoReport{1, row.days, ""};
    std::strcpy(orvel_event[6].auto_report.report_HMS, row.hms);
    st().ulNextReportTimeSt = row.stored;
    EXPECT_EQ(StartAndRun(0), row.sent);
    EXPECT_EQ(st().ulNextReportTimeSt, row.next);
    const std::string line = ">After the time of sending the SMS, add one cycle time(";
    size_t lines = 0;
    for (size_t at = console_.find(line); at != std::string::npos; at = console_.find(line, at + 1)) ++lines;
    EXPECT_EQ(lines, 1u);
  }
}

// A window that a visit saw open but could not send in (the event was off
// then) and that closed meanwhile moves on by one period, unsent.
TEST_F(AutoReportTest, ClosedWindowIsDelayedWithoutSending) {
  st().ulNextReportTimeSt = kMidnight + 30600;
  st().cIsReported = 0;
  StartAndRun(-1);  // start-up only
  st().ulNextReportTimeEnd = kMidnight + 32460;  // closes at 09:01
  orvel_event[6].is_event_enable = 0;
  AutoReportVisit(6);
  orvel_event[6].is_event_enable = 1;
  AdvanceMs(120000);
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

// After today's report, the clock moves; visits every minute until
// tomorrow 09:00. A period already sent is never sent again, and a clock
// moved forward sends one report, not one for each day skipped.
TEST_F(AutoReportTest, ClockMovedBackOrForward) {
  const struct {
    const char* what;
    uint32_t to;
    bool restart;
    uint32_t until;
    int sent;
  } rows[] = {
      {"back across midnight", kMidnight - 60, false, kMidnight + kDay + 32400, 2},
      {"back a day, then a restart", kMidnight - kDay + 30000, true, kMidnight + kDay + 32400, 2},
      {"forward two days", kMidnight + 2 * kDay + 40000, false, kMidnight + 2 * kDay + 40600, 2},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    Fresh();
    st().ulNextReportTimeSt = kMidnight + 30600;
    ASSERT_EQ(StartAndRun(0), 1);  // today's report, at 09:00
    clock_->SetUs(int64_t{row.to} * 1000000);
    if (row.restart) st().cIsReported = 0;
    EXPECT_EQ(StartAndRun(row.until - row.to, 60, row.restart), row.sent);
    EXPECT_EQ(Printed(">Clock is behind the report schedule, event(6) waits for its next report time.\r\n"),
              row.to < kMidnight);
  }
}

// report_HMS 235959 leaves a window of one second, shorter than the 3.2 s
// between two visits of an event: a window the visits step over is sent at
// the visit after it, once, on each day.
TEST_F(AutoReportTest, OneSecondWindowIsSentOnceWhereverTheVisitsFall) {
  const struct {
    const char* what;
    int64_t first_ms;  // first visit, from local midnight
  } rows[] = {
      {"a visit inside the window", 86396000},       // 23:59:56.0, 23:59:59.2
      {"the window between two visits", 86395500},  // 23:59:58.7, 00:00:01.9
  };
  orvel_event[6].auto_report = AutoReport{1, 1, "235959"};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    Fresh();
    st().ulNextReportTimeSt = kMidnight + kDay - 1;
    StartAndRun(-1);  // start-up only
    testsupport::ConsoleCapture capture;
    for (uint32_t day : {kMidnight, kMidnight + kDay}) {
      clock_->SetUs(int64_t{day} * 1000000 + row.first_ms * 1000);
      for (int visit = 0; visit < 8; ++visit) {
        AutoReportVisit(6);
        AdvanceMs(3200);
      }
      EXPECT_EQ(sms_event_is_n(), day == kMidnight ? 1 : 2);
    }
    EXPECT_EQ(capture.Text().find("Delay"), std::string::npos);
    EXPECT_EQ(st().ulNextReportTimeSt, kMidnight + 3 * kDay - 1);
  }
}

}  // namespace
