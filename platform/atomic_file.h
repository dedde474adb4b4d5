// Saving a file so that a crash or power cut leaves the old file or the new
// one, never a truncated one.
#pragma once

#include <string>

namespace platform {

/// Writes `content` to a temporary file in the same folder, flushes it to
/// the medium and renames it over `path`. On failure the old file is left
/// untouched and false is returned.
bool ReplaceFileAtomically(const std::string& path, const std::string& content);

}  // namespace platform
