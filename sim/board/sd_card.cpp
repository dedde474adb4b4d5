#include "sim/board/sd_card.h"

#include <dirent.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "sim/board/board_files.h"

namespace sim {

std::string MoveFolderEntries(const std::string& from, const std::string& to) {
  if (!MakeDirs(to)) return "cannot create " + to + ": " + ErrnoText();
  DIR* dir = ::opendir(from.c_str());
  if (!dir && errno == ENOENT) return "";  // nothing there to move
  if (!dir) return "cannot open " + from + ": " + ErrnoText();
  std::vector<std::string> names;
  while (dirent* e = ::readdir(dir)) {
    std::string name = e->d_name;
    if (name != "." && name != "..") names.push_back(name);
  }
  ::closedir(dir);
  for (const std::string& name : names) {
    std::string dst = to + "/" + name;
    if (Exists(dst)) return "cannot move " + name + ": " + dst + " exists";
    if (::rename((from + "/" + name).c_str(), dst.c_str()) != 0) {
      return "cannot move " + name + " to " + to + ": " + ErrnoText();
    }
  }
  return "";
}

bool SdCard::present() const { return !Exists(Marker()); }

std::string SdCard::Remove() const {
  if (!present()) return "the card is already out";
  // The firmware sees the card gone before its files go.
  if (!CreateFileIfMissing(Marker(), "")) return "cannot create " + Marker() + ": " + ErrnoText();
  std::string err = MoveFolderEntries(CardFolder(), CardFilesAside());
  if (err.empty()) err = MoveFolderEntries(MountPointFiles(), CardFolder());
  if (!err.empty()) return err;
  ::rmdir(MountPointFiles().c_str());
  return "";
}

std::string SdCard::Insert() const {
  if (present()) {
    if (!full()) return "the card is already in";
    return EndFull();
  }
  std::string full_err = EndFull();
  if (!full_err.empty()) return full_err;
  std::string err = MoveFolderEntries(CardFolder(), MountPointFiles());
  if (err.empty()) err = MoveFolderEntries(CardFilesAside(), CardFolder());
  if (!err.empty()) return err;
  ::rmdir(CardFilesAside().c_str());
  ::rmdir(MountPointFiles().c_str());  // only when nothing sits under the mount point
  if (::unlink(Marker().c_str()) != 0) return "cannot remove " + Marker() + ": " + ErrnoText();
  return "";
}

std::string SdCard::SetUse(int percent) const {
  if (percent < 0 || percent > 100) return "the use is a per cent from 0 to 100";
  if (!ReplaceFile(UseFile(), std::to_string(percent) + "\n")) {
    return "cannot write " + UseFile() + ": " + ErrnoText();
  }
  return EndFull();
}

std::string SdCard::Fill() const {
  if (!CreateFileIfMissing(FullMarker(), "")) return "cannot create " + FullMarker() + ": " + ErrnoText();
  return "";
}

bool SdCard::full() const { return Exists(FullMarker()); }

std::string SdCard::EndFull() const {
  if (::unlink(FullMarker().c_str()) != 0 && errno != ENOENT) {
    return "cannot remove " + FullMarker() + ": " + ErrnoText();
  }
  return "";
}

bool SdCard::use_fixed() const { return Exists(UseFile()); }

int SdCard::UsePercent() const {
  if (full()) return 100;
  std::string text;
  if (ReadFile(UseFile(), &text, 64)) {
    char* end = nullptr;
    long v = std::strtol(text.c_str(), &end, 10);
    if (end != text.c_str() && v >= 0 && v <= 100) return static_cast<int>(v);
    return -1;
  }
  struct statvfs st {};
  if (::statvfs(CardFolder().c_str(), &st) != 0 || st.f_blocks == 0) return -1;
  // As df counts it: used over used plus available to users, rounded up.
  unsigned long long used = st.f_blocks - st.f_bfree;
  unsigned long long total = used + st.f_bavail;
  if (total == 0) return -1;
  return static_cast<int>((used * 100 + total - 1) / total);
}

}  // namespace sim
