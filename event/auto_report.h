// Scheduled reports: an event with auto_report.cIsEnable 1 sends its report
// text every report_days days at the local time of day report_HMS. Its
// window in event_status runs from the due time ulNextReportTimeSt to the
// end of that local day, ulNextReportTimeEnd; a window that closes unsent
// is moved on without sending, except one that opened and closed between
// two visits of its event, which is sent at the next visit.
#pragma once

#include <cstdint>

/// Start-up: brings every report window up to date, then sets
/// flg_init_rp_config, which releases the worker threads.
void auto_report_set();
/// One visit of event `n` by the report thread (tests step it by hand).
void AutoReportVisit(int n);

/// The report thread (started by main in normal mode).
void* thread_auto_report(void*);
