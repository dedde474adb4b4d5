// The three day-by-day logs on the SD card (user log, AT commands, QMI
// calls), the ring of pending user-log records and their writer thread.
#pragma once

#include <atomic>
#include <cstdint>

/// 1 = logging on (read from /APP/log.ini; @LOGEN changes it at run time).
extern std::atomic<int> logEnable;
/// Card use in percent at which the oldest day is deleted.
extern std::atomic<int> logMaxSize;

void LogInit();
void ReadLogConfig();
/// Queues a user-log record; dropped silently when 29 are already waiting.
void LogPush(int main_code, int sub_code, int with_modem_info);
void LogPushPhone(int main_code, int sub_code, int with_modem_info, const char* phone);
int LogPushIdx();
int LogPopIdx();
/// Appends an AT exchange to today's AT_CMD_LOG file when logging is on.
void AtCmdLog(const char* command, const char* response);
/// Appends a QMI call record to today's QMI_LOG file when logging is on.
void QmiLog(const char* api, const char* result);
int SdUsePersent();
int FileExist(const char* dir, const char* name);
int LogDelete();
void* ThreadLog(void*);
