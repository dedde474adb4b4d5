#include "event/auto_report.h"

#include <ctime>
#include <mutex>

#include "base/console.h"
#include "base/log_ring.h"
#include "base/sleep.h"
#include "base/thread_start.h"
#include "config/config_data.h"
#include "config/config_file.h"
#include "config/readiness.h"
#include "config/time_utils.h"
#include "event/alarm_jobs.h"
#include "event/alarm_text.h"
#include "platform/clock.h"

namespace {

constexpr uint32_t kDay = 86400;
constexpr int kPollMs = 50;
// All events are visited in one round, a round every second while a report
// is enabled (a report is due at a whole second) and every few seconds
// otherwise, when a round only notices a report enabled meanwhile.
constexpr int kRoundPauseMs = 1000;
constexpr int kQuietRoundPauseMs = 5000;

// Per event, for the report thread alone (start-up clears them before the
// thread is released): the local day (YYYYMMDD) of the window last sent, for
// the daily re-arm; the time of the previous visit, to see a window that
// opened and closed between two visits; whether the console was told that
// the clock is behind the schedule.
int32_t g_sent_day[kEventCount];
uint32_t g_last_visit[kEventCount];
bool g_behind_told[kEventCount];

struct tm Local(uint32_t t) {
  struct tm tm {};
  platform::LocalTime(static_cast<time_t>(t), &tm);
  return tm;
}

int32_t LocalDay(uint32_t t) {
  const struct tm tm = Local(t);
  return (tm.tm_year + 1900) * 10000 + (tm.tm_mon + 1) * 100 + tm.tm_mday;
}

uint32_t LocalSecondsOfDay(uint32_t t) {
  const struct tm tm = Local(t);
  return static_cast<uint32_t>(tm.tm_hour * 3600 + tm.tm_min * 60 + tm.tm_sec);
}

// A period of 0 days would leave the due time where it is and send at
// every visit: it counts as one day.
uint32_t PeriodDays(const OrvelEvent& ev) { return ev.auto_report.report_days == 0 ? 1 : ev.auto_report.report_days; }

void SetEnd(int n) {
  EventStatus& st = event_status[n];
  st.ulNextReportTimeEnd = st.ulNextReportTimeSt - GetTimeTodaySeconds(orvel_event[n].auto_report.report_HMS) + kDay;
}

void PrintWindow(int n) {
  char date[9], time[7];
  SecondToStr(event_status[n].ulNextReportTimeSt, date, time);
  PrintMsg("NextTimeSt: %s_%s\r\n", date, time);
  SecondToStr(event_status[n].ulNextReportTimeEnd, date, time);
  PrintMsg("NextTimeEnd: %s_%s\r\n", date, time);
  PrintMsg("-------------------------------------\r\n");
}

void MoveOnePeriod(int n) {
  event_status[n].ulNextReportTimeSt = TimeAddDaySeconds(event_status[n].ulNextReportTimeSt, PeriodDays(orvel_event[n]));
  SetEnd(n);
}

// Moves a window that closed before `now` on by as many whole periods as
// it takes to end at or after `now`, in one step: a due time of 0 (a
// hand-written file) or months old would otherwise cost a console line per
// period. The result is that of adding one period at a time.
void CatchUp(int n, uint32_t now) {
  EventStatus& st = event_status[n];
  const uint64_t period = uint64_t{PeriodDays(orvel_event[n])} * kDay;
  const uint64_t periods = (uint64_t{now} - st.ulNextReportTimeEnd + period - 1) / period;
  st.ulNextReportTimeSt = static_cast<uint32_t>(st.ulNextReportTimeSt + periods * period);
  SetEnd(n);
}

// A due time more than one period ahead can only come from a clock set
// back (or a file written under another clock). The schedule is not moved
// back, as that would send again the periods it already passed: the report
// waits for its due time, and the console says so once.
void TellClockBehind(int n, uint32_t now) {
  const bool behind = event_status[n].ulNextReportTimeSt > now + PeriodDays(orvel_event[n]) * kDay;
  if (behind && !g_behind_told[n]) {
    PrintMsg(">Clock is behind the report schedule, event(%d) waits for its next report time.\r\n", n);
    PrintWindow(n);
  }
  g_behind_told[n] = behind;
}

bool AnyReportEnabled() {
  std::lock_guard<std::recursive_mutex> lock(ConfigMutex());
  for (const OrvelEvent& ev : orvel_event) {
    if (ev.is_event_enable == 1 && ev.auto_report.cIsEnable == 1) return true;
  }
  return false;
}

}  // namespace

void auto_report_set() {
  while (flg_init_config.load() == 0) SleepMilliseconds(kPollMs);
  PrintMsg("[Config.ini parameters setting success]\r\n");
  {
    std::lock_guard<std::recursive_mutex> lock(ConfigMutex());
    const uint32_t now = GetSystemTimeSeconds();
    const uint32_t today = GetTimeToday0000Seconds();
    for (int n = 0; n < kEventCount; ++n) {
      const OrvelEvent& ev = orvel_event[n];
      EventStatus& st = event_status[n];
      const uint32_t hms = GetTimeTodaySeconds(ev.auto_report.report_HMS);
      SetEnd(n);
      if (ev.cIsNewUtilitySet == 1 && ev.is_event_enable == 1) {
        PrintMsg(">Set Auto-report parameters(Event %d)!!\r\n", n);
        st.cIsReported = 0;
        st.ulNextReportTimeSt = today + hms;
        st.ulNextReportTimeEnd = today + kDay;
      } else if (ev.cIsNewUtilitySet == 0 && ev.is_event_enable == 1 && st.ulNextReportTimeEnd < now) {
        // The due time's local time of day, so any time zone compares right.
        if (LocalSecondsOfDay(st.ulNextReportTimeSt) != hms) {
          PrintMsg(">Wrong NextReportTime, start report from today.\r\n");
          st.ulNextReportTimeSt = today + hms;
          SetEnd(n);
        }
        if (st.ulNextReportTimeEnd < now) {
          PrintMsg(">After the time of sending the SMS, add one cycle time(%d day).\r\n",
                   static_cast<int>(ev.auto_report.report_days));
          CatchUp(n, now);
        }
        PrintMsg("------Next report time(event:%d)------\r\n", n);
        PrintWindow(n);
      }
    }
  }
  for (int n = 0; n < kEventCount; ++n) {
    g_sent_day[n] = 0;
    g_last_visit[n] = 0;
    g_behind_told[n] = false;
  }
  flg_init_rp_config = 1;
}

void AutoReportVisit(int n) {
  if (n < 0 || n >= kEventCount) return;
  std::unique_lock<std::recursive_mutex> lock(ConfigMutex());
  const OrvelEvent& ev = orvel_event[n];
  EventStatus& st = event_status[n];
  const uint32_t now = GetSystemTimeSeconds();
  const uint32_t previous = g_last_visit[n];
  g_last_visit[n] = now;
  // The daily re-arm: the first visit on a later local day than the window
  // sent (a visit at exactly midnight is not needed). A clock set back
  // keeps the flag, so a period is never sent twice.
  if (st.cIsReported == 1 && LocalDay(now) > g_sent_day[n]) st.cIsReported = 0;
  if (ev.is_event_enable != 1 || ev.auto_report.cIsEnable != 1) return;
  TellClockBehind(n, now);
  if (st.cIsReported != 0 || st.ulNextReportTimeSt > now) return;

  const bool open = now < st.ulNextReportTimeEnd;
  // A window shorter than the time between two visits (report_HMS 235959
  // leaves one second) opened and closed unseen: it is sent now, once;
  // unless the next window is open too (a clock moved forward), which is
  // then sent instead.
  const bool unseen = !open && previous < st.ulNextReportTimeSt &&
                      TimeAddDaySeconds(st.ulNextReportTimeSt, PeriodDays(ev)) > now;
  if (open || unseen) {
    PrintMsg(">Send event(%d) report SMS!!\r\n", n);
    const int32_t day = LocalDay(open ? now : st.ulNextReportTimeSt);
    lock.unlock();  // composing reads the inputs, and the send pauses
    char text[kAlarmTextSize];
    send_msg(n, text);
    lock.lock();
    MoveOnePeriod(n);
    PrintMsg("---Count next report time(event:%d)---\r\n", n);
    PrintWindow(n);
    st.cIsReported = 1;
    g_sent_day[n] = day;
    orvel_event[n].cIsNewUtilitySet = 0;
    if (save_orvel_config() == 0) PrintMsg(">Save config.ini failed.\r\n");
  } else {
    PrintMsg(">Delay event(%d) report!!\r\n", n);
    MoveOnePeriod(n);
    orvel_event[n].cIsNewUtilitySet = 0;
    if (save_orvel_config() == 0) {
      PrintMsg(">Save config.ini failed.\r\n");
      LogPush(8, 0, 1);
    }
  }
}

void* thread_auto_report(void*) {
  NameThisThread("auto_report");
  WaitUntilReady();
  PrintMsg("[thread_auto_report is start]\r\n");
  for (;;) {
    for (int n = 0; n < kEventCount; ++n) AutoReportVisit(n);
    SleepMilliseconds(AnyReportEnabled() ? kRoundPauseMs : kQuietRoundPauseMs);
  }
  return nullptr;
}
