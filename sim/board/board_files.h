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
/// Creates a file with `content` only when it does not exist yet.
bool CreateFileIfMissing(const std::string& path, const std::string& content);
/// mkdir -p; true when the folder exists afterwards.
bool MakeDirs(const std::string& path);
bool Exists(const std::string& path);
bool IsDirectory(const std::string& path);
/// Text of errno for messages.
std::string ErrnoText();

}  // namespace sim
