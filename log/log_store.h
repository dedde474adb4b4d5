// The three day-by-day logs on the SD card (user log, AT commands, QMI
// calls), the ring of pending user-log records and their writer thread.
//
// Files: /media/card/{USR_LOG,AT_CMD_LOG,QMI_LOG}/YYYY/MM/DD.txt. User-log
// records are queued by any thread (LogPush, LogPushPhone) and written by
// ThreadLog; AT and QMI records are written at once by the calling thread.
// Nothing here blocks for long or fails loudly: a record that cannot be
// written is lost, the caller carries on.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "base/log_ring.h"

/// Card use in percent at which the oldest day is deleted.
constexpr int kLogDefaultMaxSize = 90;

/// 1 = logging on (read from /APP/log.ini; @LOGEN changes it at run time).
extern std::atomic<int> logEnable;
/// Card use in percent at which the oldest day is deleted.
extern std::atomic<int> logMaxSize;

/// Start-up state (logging off, empty ring) and the three log folders.
void LogInit();
/// logEnable from the "@LOGEN;N" line of /APP/log.ini; no file leaves it.
void ReadLogConfig();


/// Appends an AT exchange to today's AT_CMD_LOG file when logging is on.
/// The record is kept whole however long the response is.
void AtCmdLog(const char* command, const char* response);
/// Appends a QMI call record to today's QMI_LOG file when logging is on.
void QmiLog(const char* api, const char* result);
/// The text of one AT-command or QMI record, and its append to today's file.
std::string AtCmdLogPush(const char* command, const char* response);
void AtCmdLogDump(const std::string& record);
std::string QmiLogPush(const char* api, const char* result);
void QmiLogDump(const std::string& record);

/// Card use in percent; logMaxSize when it cannot be measured.
int SdUsePersent();
/// 0 when DIR/NAME (device path, file or folder) can be opened for reading,
/// -1 otherwise.
int FileExist(const char* dir, const char* name);
/// At logMaxSize % use or more, removes the oldest AT-command day and the
/// same day of the other two logs until the use is below logMaxSize + 10.
/// Today's files are never removed; when nothing older is left the console
/// is told once (until a check finds room again).
/// 0 = nothing more to do, -1 = still too full (or nothing to delete).
int LogDelete();
/// The user-log writer (started by main in normal mode; ends at once without
/// a card or with logging off).
void* ThreadLog(void*);
