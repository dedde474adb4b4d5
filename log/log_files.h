// Where the three logs keep their day files, and the file operations the log
// store uses in place of `mkdir -p`, `ls -1` and appending with fopen("a+").
//
// Paths given to these functions are device paths (/media/card/...); they
// are placed under the root folder here.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

constexpr const char* kLogRootDir = "/media/card";
constexpr const char* kUserLogDir = "USR_LOG";
constexpr const char* kAtCmdLogDir = "AT_CMD_LOG";
constexpr const char* kQmiLogDir = "QMI_LOG";

/// Today's year, month and day file name ("YYYY", "MM", "DD.txt") from the
/// getTimeStr date; false when the date cannot be read.
bool LogToday(std::string* year, std::string* month, std::string* day_file);

/// Today's file of a log, "/media/card/SUBDIR/YYYY/MM/DD.txt" from the
/// getTimeStr date; empty when the date cannot be read.
std::string LogTodayFile(const char* subdir);

/// "/media/card/SUBDIR/YEAR/MONTH/DAY_FILE" (DAY_FILE with its extension).
std::string LogDayFile(const char* subdir, const std::string& year, const std::string& month,
                       const std::string& day_file);

/// `mkdir -p` of a device path. True when the folder exists afterwards;
/// otherwise `error` (when given) holds why: the errno of the mkdir that
/// failed, or ENOTDIR when something else stands at the path.
bool LogMakeDirs(const std::string& device_dir, int* error = nullptr);

/// Appends `len` bytes to today's file of a log, creating its folders. Does
/// nothing and returns false when the card is not mounted or the file cannot
/// be written: a log is never worth stopping the caller for. A record the
/// card takes only in part is cut off again. The console is told when
/// appends start failing and when they succeed again, once each.
bool LogAppendToday(const char* subdir, const char* text, size_t len);

/// The names `ls -1` prints for a device folder (hidden names left out,
/// sorted byte by byte as in the C locale). `dirs_only` keeps folders only.
/// Returns false when the folder cannot be read.
bool LogListNames(const std::string& device_dir, bool dirs_only, std::vector<std::string>* names);
