// The two digital outputs: requests to pulse an output or switch it on for
// good, worked by thread_do_handle.
//
// A request is handed over whole under one lock (never a new flag with an
// old duration) and wakes the thread; between requests the thread sleeps
// until the running pulse that ends first is due.
#pragma once

#include <atomic>
#include <cstdint>

#include "config/config_data.h"

struct DoCtrl {
  uint8_t cIsRequest;    // 1 = a request is pending or a pulse is running
  uint8_t cIsOn;         // 1 = the pulse switched the output on and is timing
  uint32_t uiStartTick;  // GetTimeTicks when the pulse switched the output on
  uint32_t uiDuration;   // pulse length in ms; 0 = switch on and leave on
};

/// The records; read them through DoCtrlSnapshot from other threads.
extern DoCtrl do_ctrl[kDoCount];

/// Posts a request for output `ch` (0 or 1): a pulse of `duration_ms`, or
/// on for good when 0. A request during a pulse restarts it.
void DoRequest(int ch, uint32_t duration_ms);
/// The ON and OFF commands: clears the record (so a running pulse cannot
/// switch the output back when it ends) and switches output `ch` for good,
/// with its console line, both under the lock the thread works under. False
/// when the line could not be set.
bool DoSwitchSteady(int ch, bool on);
/// A consistent copy of one record.
DoCtrl DoCtrlSnapshot(int ch);

/// One visit of output `ch` by the thread (tests step it by hand).
void DoHandleVisit(int ch);
/// Waits until a record is busy, at most `timeout_ms`; true when one is.
bool DoWaitForWork(int timeout_ms);
/// Milliseconds until a visit has something to do: 0 for a request not yet
/// worked, the time left for a running pulse, `idle_ms` when both are idle.
int DoNextVisitMs(int idle_ms);
/// Waits `timeout_ms` at most; a request posted after request count
/// `*seen` ends the wait. `*seen` becomes the present count.
void DoWaitForRequest(uint64_t* seen, int timeout_ms);
/// The number of requests posted so far, for DoWaitForRequest.
uint64_t DoRequestCount();

/// The output thread (started by main in normal and utility mode).
void* thread_do_handle(void*);
