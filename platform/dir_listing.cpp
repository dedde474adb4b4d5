#include "platform/dir_listing.h"

#include <dirent.h>

#include <algorithm>
#include <memory>

namespace platform {
namespace {
struct DirCloser {
  void operator()(DIR* d) const { ::closedir(d); }
};
}  // namespace

bool ListSortedNames(const std::string& dir, std::vector<std::string>* names,
                     const std::function<bool(const std::string& path)>& keep) {
  names->clear();
  std::unique_ptr<DIR, DirCloser> d(::opendir(dir.c_str()));
  if (!d) return false;
  while (dirent* e = ::readdir(d.get())) {  // NOLINT(concurrency-mt-unsafe): each listing reads a stream of its own, which glibc's readdir is safe for
    if (e->d_name[0] == '.') continue;
    if (keep && !keep(dir + "/" + e->d_name)) continue;
    names->push_back(e->d_name);
  }
  std::sort(names->begin(), names->end());
  return true;
}

}  // namespace platform
