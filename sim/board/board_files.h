// Small file helpers of the simulated board: whole-file reads and writes
// that a concurrently reading firmware never sees half done.
#pragma once

#include <string>

namespace sim {

/// Reads at most `max` bytes of a file; false when it cannot be opened.
bool ReadFile(const std::string& path, std::string* out, size_t max = 64 * 1024);
/// Writes a file through a temporary beside it and a rename, so a reader
/// sees the old content or the new one. No flush to the medium: these are
/// line levels and model settings, not data.
bool ReplaceFile(const std::string& path, const std::string& content);
/// Writes `content` over the start of a file (created when missing) and cuts
/// what lies beyond it: no new file takes its place. For the GPIO value
/// files, which the firmware keeps open and reads from offset 0: a rename
/// would leave it reading the old file. A level is one byte, so a reader
/// sees the old level or the new one.
bool WriteInPlace(const std::string& path, const std::string& content);
/// Creates a file with `content` only when it does not exist yet.
bool CreateFileIfMissing(const std::string& path, const std::string& content);
/// mkdir -p; true when the folder exists afterwards.
bool MakeDirs(const std::string& path);
bool Exists(const std::string& path);
bool IsDirectory(const std::string& path);
/// Text of errno for messages.
std::string ErrnoText();

}  // namespace sim
