// The SD card check and the updates taken from /media/card/update at start
// (the firmware-update mode itself is checked end to end on the simulator).
#include "app/sd_update.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <tuple>
#include <vector>

#include "platform/paths.h"
#include "platform/sd_card.h"
#include "support/firmware_process.h"

namespace {

namespace fs = std::filesystem;
using Files = std::vector<std::pair<std::string, const char*>>;  // path under the root, content (nullptr: none)
using Names = std::vector<std::string>;

// The start-up steps as main runs them; returns the console.
std::string StartUp() {
  for (auto* flag : {&if_sd_card, &if_config_exist, &if_fw_exist, &if_fw_update, &if_fw_update_error}) *flag = 0;
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();  // what cp and mv would complain
  sd_card_init();
  check_if_config_update();
  if (if_fw_exist.load() == 1) check_if_fw_update();
  if (if_sd_card.load() == 0) {
    EXPECT_EQ(check_if_fw_update(), 0);  // and it does nothing
  }
  testing::internal::GetCapturedStderr();
  return testing::internal::GetCapturedStdout();
}

TEST(SdUpdate, StartUpSteps) {
  const std::string u = "media/card/update/";
  // Files over a card and the old /APP/config.ini and /APP/fw; the console; if_sd_card, if_config_exist,
  // if_fw_exist, if_fw_update and if_fw_update_error; files after; all left in the update folder.
  const struct { const char* what; Files before; const char *console, *flags; Files after; Names left; } rows[] = {
      {"fw only, config.ini saved too", {{u + "fw", "new program"}}, ">Got the new fw!!\r\n", "10110",
       {{"APP/config.ini", "old config\r\n"}, {"APP/fw", "new program"}, {u + "config.ini.bck", "old config\r\n"},
        {u + "fw.bck", "old program"}},
       {"config.ini.bck", "fw.bck"}},
      {"both; the backup is the replaced configuration", {{u + "fw", "new program"}, {u + "config.ini", "new config\r\n"}},
       ">Got the new config.ini!!\r\n>Got the new fw!!\r\n", "11110",
       {{"APP/config.ini", "new config\r\n"}, {"APP/fw", "new program"}, {u + "config.ini.bck", "old config\r\n"},
        {u + "fw.bck", "old program"}},
       {"config.ini.bck", "fw.bck"}},
      {"fw left behind (a folder stands in its way)", {{"APP/fw", nullptr}, {"APP/fw/keep", ""}, {u + "fw", "new program"}},
       ">Got the new fw!!\r\n>fw still exist!!\r\n", "10111", {{u + "fw", "new program"}}, {"config.ini.bck", "fw"}},
      {"config.ini left behind",
       {{"APP/config.ini", nullptr}, {"APP/config.ini/keep", ""}, {u + "config.ini", "new"}, {u + "fw", "new program"}},
       ">Got the new config.ini!!\r\n>Got the new fw!!\r\n>config.ini still exist!!\r\n", "11111",
       {{"APP/fw", "new program"}, {u + "config.ini", "new"}}, {"config.ini", "fw.bck"}},
      {"only the exact names are updates",
       {{u + "fw.bck", "not an update"}, {u + "FW", "x"}, {u + "fw2", "x"}, {u + "config.ini~", "x"},
        {u + "config.ini/inner", "x"}},
       "", "10000", {{"APP/config.ini", "old config\r\n"}, {"APP/fw", "old program"}, {u + "fw.bck", "not an update"}},
       {"FW", "config.ini", "config.ini~", "fw.bck", "fw2"}},
      {"no card", {{"sim/sd-removed", ""}, {u + "fw", "new program"}, {u + "config.ini", "new config\r\n"}}, "", "00000",
       {{"APP/config.ini", "old config\r\n"}, {"APP/fw", "old program"}}, {"config.ini", "fw"}},
      {"first configuration", {{"APP/config.ini", nullptr}, {u + "config.ini", "new config\r\n"}},
       ">Got the new config.ini!!\r\n", "11000", {{"APP/config.ini", "new config\r\n"}}, {}},
      {"fw already installed: no update, nothing copied", {{u + "fw", "old program"}},
       ">Got the new fw!!\r\n>fw on the card is already installed, start normally.\r\n", "10100",
       {{"APP/fw", "old program"}}, {"fw"}},
      {"an older backup replaced", {{u + "config.ini.bck", "very old\r\n"}, {u + "config.ini", "new config\r\n"}},
       ">Got the new config.ini!!\r\n", "11000", {{u + "config.ini.bck", "old config\r\n"}}, {"config.ini.bck"}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    testsupport::TempDir root;
    platform::SetRoot(root.path());
    platform::SetSimulated(true);
    root.Write("APP/config.ini", "old config\r\n");
    root.Write("APP/fw", "old program");
    root.Write("media/card/.keep", "");
    for (const auto& [path, content] : row.before) {
      if (content == nullptr) {
        fs::remove(root.path() + "/" + path);
      } else {
        root.Write(path, content);
      }
    }
    if (root.Exists(u + "fw")) fs::permissions(root.path() + "/" + u + "fw", fs::perms(0755));
    EXPECT_EQ(StartUp(), row.console);
    std::string flags;
    for (auto* flag : {&if_sd_card, &if_config_exist, &if_fw_exist, &if_fw_update, &if_fw_update_error})
      flags += std::to_string(flag->load());
    EXPECT_EQ(flags, row.flags);
    for (const auto& [path, content] : row.after) {
      if (content == nullptr) {
        EXPECT_FALSE(root.Exists(path)) << path;
      } else {
        EXPECT_EQ(root.Read(path), content) << path;
      }
    }
    struct stat st {};
    if (if_fw_update.load() == 1 && ::stat((root.path() + "/APP/fw").c_str(), &st) == 0 && S_ISREG(st.st_mode)) {
      EXPECT_EQ(st.st_mode & 0777, 0755u);  // the program keeps its mode
    }
    Names left;
    if (root.Exists(u))
      for (const auto& entry : fs::directory_iterator(root.path() + "/" + u)) left.push_back(entry.path().filename());
    std::sort(left.begin(), left.end());
    EXPECT_EQ(left, row.left);
    platform::SetRoot("");
    platform::SetSimulated(false);
  }
}

// The card facade's arithmetic and mount table, as df and /proc/mounts have them.
TEST(SdCardFacade, UsePercentAndMountTable) {
  const std::tuple<uint64_t, uint64_t, int> use[] = {  // used, available, per cent rounded up
      {0, 0, 0}, {1, 999, 1}, {89, 11, 89}, {8901, 1099, 90}, {999, 1, 100}, {100, 0, 100}};
  for (const auto& [used, avail, pct] : use) EXPECT_EQ(platform::DfUsePercent(used, avail), pct) << used << "/" << avail;
  const std::pair<const char*, bool> tables[] = {
      {"/dev/root / ext4 rw 0 0\n/dev/mmcblk1p1 /media/card vfat rw 0 0\n", true},
      {"/dev/mmcblk1p1 /media/card/sub vfat rw 0 0\n", false},
      {"/dev/mmcblk1p1 /media/cards vfat rw 0 0\n", false},
      {"/media/card /mnt ext4 rw 0 0\n", false},
      {"/dev/x /media/my\\040card vfat rw 0 0\n", false},
  };
  for (const auto& [table, present] : tables) EXPECT_EQ(platform::MountTableHas(table, "/media/card"), present) << table;
  EXPECT_TRUE(platform::MountTableHas("/dev/x /media/my\\040card vfat rw 0 0\n", "/media/my card"));
}

// A card that refuses the move (write-protected): the program is installed
// once, and the next start finds it installed instead of rebooting again.
TEST(SdUpdate, CardThatKeepsTheProgramUpdatesOnce) {
  testsupport::TempDir root;
  platform::SetRoot(root.path());
  platform::SetSimulated(true);
  root.Write("APP/config.ini", "old config\r\n");
  root.Write("APP/fw", "old program");
  root.Write("media/card/update/fw", "new program");
  const std::string update = root.path() + "/media/card/update";
  if (std::system(("chattr +i '" + update + "' 2>/dev/null").c_str()) != 0) {
    platform::SetRoot("");
    GTEST_SKIP() << "no immutable folders here";
  }
  std::string console[2];
  int32_t updated[2];
  for (int start = 0; start < 2; ++start) {
    console[start] = StartUp();
    updated[start] = if_fw_update.load();
  }
  EXPECT_EQ(std::system(("chattr -i '" + update + "'").c_str()), 0);
  EXPECT_EQ(updated[0], 1);
  EXPECT_EQ(console[0], ">Got the new fw!!\r\n>fw still exist!!\r\n");
  EXPECT_EQ(root.Read("APP/fw"), "new program");
  EXPECT_EQ(updated[1], 0);
  EXPECT_EQ(console[1], ">Got the new fw!!\r\n>fw on the card is already installed, start normally.\r\n");
  platform::SetRoot("");
  platform::SetSimulated(false);
}

}  // namespace
