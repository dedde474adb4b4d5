// The file operations of the update check, done with system calls where the
// board used `ls`, `cp` and `mv`.
#pragma once

#include <string>
#include <vector>

namespace sd_update_files {

/// The names of the regular files in `dir` (hidden ones left out, as `ls`
/// does), sorted byte by byte as `ls` sorts them in the C locale. A missing
/// folder lists nothing and is no failure. Returns false when the folder
/// exists but cannot be read.
bool ListRegularFiles(const std::string& dir, std::vector<std::string>* names);

/// What `cp SRC DST` leaves behind: DST holds the bytes of SRC. The copy is
/// written beside DST and renamed over it, so DST is never left half
/// written. Returns 0, or the errno of the step that failed.
int CopyFile(const std::string& src, const std::string& dst);

/// What `mv SRC DST` leaves behind: a rename, or across file systems (or
/// out of a folder that refuses the rename) a copy, mode kept, and the
/// removal of SRC. Returns 0, or an errno (DST may then hold the copy).
int MoveFile(const std::string& src, const std::string& dst);

/// True when both are regular files with the same bytes.
bool SameContent(const std::string& a, const std::string& b);

}  // namespace sd_update_files
