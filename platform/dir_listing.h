// Folder listings in the order `ls -1` gives them (byte order, no dot files).
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace platform {

/// The names in `dir` whose full path `keep` accepts (all when `keep` is
/// empty), sorted. False when the folder cannot be opened; errno tells why.
bool ListSortedNames(const std::string& dir, std::vector<std::string>* names,
                     const std::function<bool(const std::string& path)>& keep = {});

}  // namespace platform
