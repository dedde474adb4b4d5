#include "app/sd_update.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "app/sd_update_files.h"
#include "base/console.h"
#include "platform/paths.h"

namespace {

constexpr const char* kUpdateDir = "/media/card/update";
constexpr const char* kNewConfig = "/media/card/update/config.ini";
constexpr const char* kConfigBackup = "/media/card/update/config.ini.bck";
constexpr const char* kNewFw = "/media/card/update/fw";
constexpr const char* kFwBackup = "/media/card/update/fw.bck";
constexpr const char* kConfig = "/APP/config.ini";
constexpr const char* kFw = "/APP/fw";

// The listing of the update folder; false (after the board's own message)
// when it cannot be read.
bool ListUpdateFolder(std::vector<std::string>* names) {
  if (sd_update_files::ListRegularFiles(platform::Path(kUpdateDir), names)) return true;
  PrintMsg(">popen() error!\n");
  return false;
}

// cp and mv wrote their complaints to standard error; so do these.
void Copy(const char* from, const char* to) {
  int err = sd_update_files::CopyFile(platform::Path(from), platform::Path(to));
  if (err != 0) std::fprintf(stderr, "cp: %s -> %s: %s\n", from, to, std::strerror(err));  // NOLINT(concurrency-mt-unsafe): glibc keeps an unknown code's text per thread
}

void Move(const char* from, const char* to) {
  int err = sd_update_files::MoveFile(platform::Path(from), platform::Path(to));
  if (err != 0) std::fprintf(stderr, "mv: %s -> %s: %s\n", from, to, std::strerror(err));  // NOLINT(concurrency-mt-unsafe): glibc keeps an unknown code's text per thread
}

}  // namespace

int check_if_config_update() {
  if_config_exist = 0;
  if (if_sd_card.load() == 0) return 0;

  std::vector<std::string> names;
  if (ListUpdateFolder(&names)) {
    for (const std::string& name : names) {
      if (name == "config.ini") {
        if_config_exist = 1;
        PrintMsg(">Got the new config.ini!!\r\n");
      } else if (name == "fw") {
        if_fw_exist = 1;
        PrintMsg(">Got the new fw!!\r\n");
      }
    }
  }

  if (if_config_exist.load() != 1) return 0;
  // The copy and the move finish before the call returns, so the board's
  // fixed pauses between the steps are not needed.
  Copy(kConfig, kConfigBackup);
  Move(kNewConfig, kConfig);
  return 1;
}

int check_if_fw_update() {
  if (if_sd_card.load() == 0) return 0;

  // A card that refuses to give the file up (write-protected, failing)
  // would otherwise install it and reboot at every start, forever.
  if (sd_update_files::SameContent(platform::Path(kNewFw), platform::Path(kFw))) {
    PrintMsg(">fw on the card is already installed, start normally.\r\n");
    return 0;
  }

  Copy(kFw, kFwBackup);
  Move(kNewFw, kFw);
  if_fw_update = 1;
  if (if_config_exist.load() != 1) Copy(kConfig, kConfigBackup);

  std::vector<std::string> names;
  if (!ListUpdateFolder(&names)) return -1;
  for (const std::string& name : names) {
    if (name == "fw") {
      if_fw_update_error = 1;
      PrintMsg(">fw still exist!!\r\n");
    } else if (name == "config.ini") {
      if_fw_update_error = 1;
      PrintMsg(">config.ini still exist!!\r\n");
    }
  }
  return 1;
}
