// A board whose clock is past 2038: the RTC holds 2040-01-01 at power-up,
// the firmware takes its time from it, and a daily report stored with a due
// time beyond 32-bit signed seconds goes out at that time, not before, and
// its next due time is stored a day on. The board's armhf build (32-bit
// longs) runs this too (make cross-e2e).
#include <algorithm>
#include <string>

#include "e2e/sim_e2e_fixture.h"
#include "platform/sim_rtc_file.h"

namespace e2e {

using Report2040E2eTest = SimE2eTest;

TEST_F(Report2040E2eTest, DailyReportGoesOutOnTimeWithTheClockPast2038) {
  // Time enough for the firmware to come up before the report is due (a
  // unit that comes up later sends it at once, which the test allows for).
  const int lead_s = 25;
  struct tm rtc {};
  rtc.tm_year = 2040 - 1900;
  rtc.tm_mday = 1;
  std::filesystem::create_directories(root_);
  const time_t rtc_set_at = time(nullptr);
  ASSERT_TRUE(platform::SimRtcSet(root_, rtc));
  // The RTC keeps local time: the due time is local 2040-01-01 00:00:LEAD.
  struct tm due_tm = rtc;
  due_tm.tm_sec = lead_s;
  due_tm.tm_isdst = -1;
  const time_t due = mktime(&due_tm);
  ASSERT_GT(static_cast<int64_t>(due), int64_t{0x7FFFFFFF});
  const time_t due_on_host = rtc_set_at + lead_s;
  WriteConfig([&] {
    std::snprintf(sys_config.cMachineID, kMachineIdSize, "SITE-40");
    OrvelEvent& report = orvel_event[3];
    report.is_event_enable = 1;
    report.auto_report.cIsEnable = 1;
    report.auto_report.report_days = 1;
    std::strftime(report.auto_report.report_HMS, sizeof report.auto_report.report_HMS, "%H%M%S", &due_tm);
    report.cIsNewUtilitySet = 0;
    event_status[3].ulNextReportTimeSt = static_cast<uint32_t>(due);
    Phones(report, {"0944444444"});
  });
  StartRegistered();
  const time_t ready = time(nullptr);
  Await([&] { return Output().find("RTC main Time= 2040-01-01 00:00:") != std::string::npos; },
        "the time taken from the RTC on the console");

  Await([&] { return OutboxHas("\"text\":\"CRPT3;SITE-40;"); }, "the report at its time", lead_s + 60);
  const time_t seen = time(nullptr);
  EXPECT_EQ(Output().find(">Initial parameters failed"), std::string::npos) << Output();
  EXPECT_GE(seen, due_on_host) << "sent early";
  // On time: soon after it was due, or after the unit came up if that was later.
  EXPECT_LE(seen, std::max(due_on_host, ready) + (kFirmwarePrefix.empty() ? 15 : 40)) << Output();
  EXPECT_TRUE(OutboxHas("\"text\":\"CRPT3;SITE-40;2040/01/01 00:0")) << Ctl({"outbox"}).out;

  // The next due time, a day on, is stored as the file keeps it (signed).
  const int32_t stored = static_cast<int32_t>(static_cast<uint32_t>(due + 86400));
  const std::string next = "\r\n3#rp_ulNextReportTimeSt=" + std::to_string(stored) + "\r\n";
  Await([&] { return Board("APP/config.ini").find(next) != std::string::npos; }, "the next due time saved", 60);
}

}  // namespace e2e
