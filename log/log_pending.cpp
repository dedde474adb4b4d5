// Temporary: replaced by the log store when it lands.
#include "log/log_store.h"

#include <unistd.h>

std::atomic<int> logEnable{0};
std::atomic<int> logMaxSize{90};

void LogInit() {}
void ReadLogConfig() {}
void LogPush(int, int, int) {}
void LogPushPhone(int, int, int, const char*) {}
int LogPushIdx() { return 0; }
int LogPopIdx() { return 0; }
void AtCmdLog(const char*, const char*) {}
void QmiLog(const char*, const char*) {}
int SdUsePersent() { return 0; }
int FileExist(const char*, const char*) { return -1; }
int LogDelete() { return 0; }
void* ThreadLog(void*) { return nullptr; }
