// Saving a file so that a crash or power cut leaves the old file or the new
// one, never a truncated one.
#pragma once

#include <string>

namespace platform {

/// Writes `content` to a temporary file in the same folder, flushes it to
/// the medium and renames it over `path`. On failure the old file is left
/// untouched and false is returned.
bool ReplaceFileAtomically(const std::string& path, const std::string& content);

/// Removes the temporary files that saves into `folder` left behind when
/// their process died before the rename (a power cut, a kill). A file whose
/// saver is still running (another live process) is left alone; files of
/// this process count as leftovers, so call it before any thread saves.
/// Returns how many were removed.
int RemoveLeftoverTemporaryFiles(const std::string& folder);

}  // namespace platform
