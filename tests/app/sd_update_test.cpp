// The SD card check and the updates taken from /media/card/update at start.
#include "app/sd_update.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "platform/paths.h"
#include "platform/sd_card.h"
#include "support/firmware_process.h"

namespace {

class SdUpdateTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::SetRoot(root_.path());
    platform::SetSimulated(true);
    root_.Write("APP/config.ini", "old config\r\n");
    root_.Write("APP/fw", "old program");
    root_.Write("media/card/.keep", "");
    if_sd_card = 0;
    if_config_exist = 0;
    if_fw_exist = 0;
    if_fw_update = 0;
    if_fw_update_error = 0;
  }
  void TearDown() override {
    platform::SetRoot("");
    platform::SetSimulated(false);
  }

  // The start-up steps as main runs them; returns what they printed.
  std::string Start() {
    testing::internal::CaptureStdout();
    sd_card_init();
    check_if_config_update();
    if (if_fw_exist.load() == 1) check_if_fw_update();
    return testing::internal::GetCapturedStdout();
  }

  std::string Update(const std::string& name) const { return root_.Read("media/card/update/" + name); }
  bool InUpdate(const std::string& name) const { return root_.Exists("media/card/update/" + name); }

  testsupport::TempDir root_;
};

TEST_F(SdUpdateTest, ANewConfigurationReplacesTheOldOne) {
  root_.Write("media/card/update/config.ini", "new config\r\n");
  EXPECT_EQ(Start(), ">Got the new config.ini!!\r\n");
  EXPECT_EQ(if_sd_card.load(), 1);
  EXPECT_EQ(if_config_exist.load(), 1);
  EXPECT_EQ(if_fw_exist.load(), 0);
  EXPECT_EQ(if_fw_update.load(), 0);
  EXPECT_EQ(root_.Read("APP/config.ini"), "new config\r\n");
  EXPECT_EQ(Update("config.ini.bck"), "old config\r\n");
  EXPECT_FALSE(InUpdate("config.ini"));
  EXPECT_EQ(root_.Read("APP/fw"), "old program");
  EXPECT_FALSE(InUpdate("fw.bck"));
}

TEST_F(SdUpdateTest, ANewProgramIsMovedAndBothOldFilesAreSaved) {
  root_.Write("media/card/update/fw", "new program");
  ASSERT_EQ(::chmod((root_.path() + "/media/card/update/fw").c_str(), 0755), 0);
  EXPECT_EQ(Start(), ">Got the new fw!!\r\n");
  EXPECT_EQ(if_fw_exist.load(), 1);
  EXPECT_EQ(if_fw_update.load(), 1);
  EXPECT_EQ(if_fw_update_error.load(), 0);
  EXPECT_EQ(root_.Read("APP/fw"), "new program");
  EXPECT_EQ(Update("fw.bck"), "old program");
  EXPECT_EQ(Update("config.ini.bck"), "old config\r\n");
  EXPECT_EQ(root_.Read("APP/config.ini"), "old config\r\n");
  EXPECT_FALSE(InUpdate("fw"));
  struct stat st {};
  ASSERT_EQ(::stat((root_.path() + "/APP/fw").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0755u);
}

TEST_F(SdUpdateTest, BothUpdatesTogether) {
  root_.Write("media/card/update/fw", "new program");
  root_.Write("media/card/update/config.ini", "new config\r\n");
  EXPECT_EQ(Start(), ">Got the new config.ini!!\r\n>Got the new fw!!\r\n");
  EXPECT_EQ(root_.Read("APP/config.ini"), "new config\r\n");
  EXPECT_EQ(root_.Read("APP/fw"), "new program");
  // The backup is the configuration that was replaced, not the new one.
  EXPECT_EQ(Update("config.ini.bck"), "old config\r\n");
  EXPECT_EQ(Update("fw.bck"), "old program");
  EXPECT_EQ(if_fw_update_error.load(), 0);
}

TEST_F(SdUpdateTest, FilesLeftBehindMeanAFailedUpdate) {
  root_.Write("media/card/update/fw", "new program");
  // /APP/fw cannot be replaced: a folder stands in its way.
  std::remove((root_.path() + "/APP/fw").c_str());
  root_.Write("APP/fw/keep", "");
  std::string out = Start();
  EXPECT_EQ(out, ">Got the new fw!!\r\n>fw still exist!!\r\n");
  EXPECT_EQ(if_fw_update.load(), 1);
  EXPECT_EQ(if_fw_update_error.load(), 1);
  EXPECT_EQ(Update("fw"), "new program");
}

TEST_F(SdUpdateTest, AConfigurationLeftBehindIsReportedToo) {
  root_.Write("media/card/update/fw", "new program");
  // The first listing was taken; then a config.ini appears (as when the
  // move of a new one failed).
  testing::internal::CaptureStdout();
  sd_card_init();
  check_if_config_update();
  root_.Write("media/card/update/config.ini", "late\r\n");
  check_if_fw_update();
  EXPECT_EQ(testing::internal::GetCapturedStdout(), ">Got the new fw!!\r\n>config.ini still exist!!\r\n");
  EXPECT_EQ(if_fw_update_error.load(), 1);
}

TEST_F(SdUpdateTest, OnlyTheExactNamesAreUpdates) {
  for (const char* name : {"fw.bck", "config.ini.bck", "FW", "fw2", "config.ini~", ".fw", "config.in", " fw"}) {
    root_.Write(std::string("media/card/update/") + name, "not an update");
  }
  root_.Write("media/card/update/config.ini/inner", "a folder is no file");
  EXPECT_EQ(Start(), "");
  EXPECT_EQ(if_config_exist.load(), 0);
  EXPECT_EQ(if_fw_exist.load(), 0);
  EXPECT_EQ(root_.Read("APP/config.ini"), "old config\r\n");
  EXPECT_EQ(root_.Read("APP/fw"), "old program");
  EXPECT_EQ(Update("fw.bck"), "not an update");
}

TEST_F(SdUpdateTest, NoCardNoUpdate) {
  root_.Write("sim/sd-removed", "");
  root_.Write("media/card/update/fw", "new program");
  root_.Write("media/card/update/config.ini", "new config\r\n");
  EXPECT_EQ(Start(), "");
  EXPECT_EQ(if_sd_card.load(), 0);
  EXPECT_EQ(if_config_exist.load(), 0);
  EXPECT_EQ(if_fw_update.load(), 0);
  EXPECT_EQ(root_.Read("APP/config.ini"), "old config\r\n");
  EXPECT_TRUE(InUpdate("fw"));
  // Called without the card, the program update does nothing either.
  EXPECT_EQ(check_if_fw_update(), 0);
  EXPECT_EQ(root_.Read("APP/fw"), "old program");
}

TEST_F(SdUpdateTest, ACardWithoutUpdateFolderChangesNothing) {
  EXPECT_EQ(Start(), "");
  EXPECT_EQ(if_sd_card.load(), 1);
  EXPECT_EQ(root_.Read("APP/config.ini"), "old config\r\n");
  EXPECT_FALSE(root_.Exists("media/card/update"));
}

TEST_F(SdUpdateTest, AFirstConfigurationNeedsNoOldOne) {
  std::remove((root_.path() + "/APP/config.ini").c_str());
  root_.Write("media/card/update/config.ini", "new config\r\n");
  testing::internal::CaptureStderr();
  Start();
  testing::internal::GetCapturedStderr();
  EXPECT_EQ(root_.Read("APP/config.ini"), "new config\r\n");
  EXPECT_FALSE(InUpdate("config.ini.bck"));
}

TEST_F(SdUpdateTest, ABackupReplacesAnOlderBackup) {
  root_.Write("media/card/update/config.ini.bck", "very old\r\n");
  root_.Write("media/card/update/config.ini", "new config\r\n");
  Start();
  EXPECT_EQ(Update("config.ini.bck"), "old config\r\n");
  EXPECT_FALSE(InUpdate("config.ini.bck.part"));
}

// The whole firmware on a simulated board: the update check runs in its
// start-up and decides the mode.
class SdUpdateFirmware : public ::testing::Test {
 protected:
  std::unique_ptr<testsupport::ChildProcess> Start() {
    return std::make_unique<testsupport::ChildProcess>(
        testsupport::BuiltProgram("qrv806"), std::vector<std::string>{"--root", root_.path(), "--sim"},
        root_.path() + "/console" + std::to_string(++runs_) + ".txt");
  }
  testsupport::TempDir root_;
  int runs_ = 0;
};

TEST_F(SdUpdateFirmware, ANewProgramRestartsTheBoardAfterShowingTheUpdate) {
  root_.Write("APP/config.ini", "kept as it is\r\n");
  root_.Write("APP/fw", "old program");
  root_.Write("media/card/update/fw", "new program");
  auto fw = Start();
  ASSERT_TRUE(fw->WaitForOutput(">FW Update, only do LED.\r\n")) << fw->Output();
  // The board restarts by itself (status 3 asks the simulator for it).
  EXPECT_EQ(fw->WaitForExit(std::chrono::seconds(60)), 3) << fw->Output();
  const std::string out = fw->Output();
  EXPECT_NE(out.find(">Got the new fw!!\r\n"), std::string::npos) << out;
  EXPECT_EQ(out.find("still exist"), std::string::npos) << out;
  EXPECT_EQ(out.find("Initial parameters"), std::string::npos) << out;
  EXPECT_EQ(root_.Read("APP/fw"), "new program");
  EXPECT_EQ(root_.Read("media/card/update/fw.bck"), "old program");
  EXPECT_EQ(root_.Read("media/card/update/config.ini.bck"), "kept as it is\r\n");
  EXPECT_EQ(root_.Read("APP/config.ini"), "kept as it is\r\n");
}

TEST_F(SdUpdateFirmware, ANewConfigurationIsReadInTheSameStart) {
  root_.Write("APP/.keep", "");
  root_.Write("media/card/.keep", "");
  std::string factory;
  {
    auto fw = Start();
    ASSERT_TRUE(fw->WaitForOutput(">Initial parameters failed, set default value.\r\n")) << fw->Output();
    ASSERT_TRUE(testsupport::WaitUntil([&] {
      factory = root_.Read("APP/config.ini");
      return factory.find("cMachineID=") != std::string::npos && factory.size() > 1000;
    }));
  }
  const std::string from = "cMachineID=QRV-806XK\r\n";
  ASSERT_EQ(factory.rfind(from, 0), 0u) << factory.substr(0, 80);
  std::string changed = "cMachineID=Plant-7\r\n" + factory.substr(from.size());
  root_.Write("media/card/update/config.ini", changed);

  auto fw = Start();
  ASSERT_TRUE(fw->WaitForOutput(">Initial parameters success.\r\n")) << fw->Output();
  EXPECT_NE(fw->Output().find(">Got the new config.ini!!\r\n"), std::string::npos);
  EXPECT_EQ(root_.Read("APP/config.ini"), changed);
  EXPECT_EQ(root_.Read("media/card/update/config.ini.bck"), factory);
  EXPECT_FALSE(root_.Exists("media/card/update/config.ini"));
}

// The card facade's arithmetic, as df shows it.
TEST(SdCardFacade, UsePercentIsRoundedUpAsDfDoes) {
  struct Row {
    uint64_t used, avail;
    int pct;
  };
  const Row rows[] = {{0, 0, 0},     {0, 100, 0},  {1, 999, 1},   {89, 11, 89}, {8901, 1099, 90},
                      {90, 10, 90},  {99, 1, 99},  {999, 1, 100}, {100, 0, 100}};
  for (const Row& r : rows) EXPECT_EQ(platform::DfUsePercent(r.used, r.avail), r.pct) << r.used << "/" << r.avail;
}

TEST(SdCardFacade, SizesPrintAsDfDashH) {
  struct Row {
    uint64_t bytes;
    const char* text;
  };
  const Row rows[] = {{0, "0"},
                      {512, "512"},
                      {1024, "1.0K"},
                      {1025, "1.1K"},
                      {10 * 1024, "10K"},
                      {10 * 1024 - 1, "10K"},
                      {1536ull * 1024 * 1024, "1.5G"},
                      {15ull << 30, "15G"},
                      {(1ull << 30) - 1, "1.0G"},
                      {3900ull << 20, "3.9G"}};
  for (const Row& r : rows) EXPECT_EQ(platform::DfHumanSize(r.bytes), r.text) << r.bytes;
}

TEST(SdCardFacade, MountTableNamesTheCardOnlyAsMountPoint) {
  struct Row {
    const char* table;
    bool present;
  };
  const Row rows[] = {
      {"/dev/root / ext4 rw 0 0\n/dev/mmcblk1p1 /media/card vfat rw 0 0\n", true},
      {"/dev/root / ext4 rw 0 0\n", false},
      {"/dev/mmcblk1p1 /media/card/sub vfat rw 0 0\n", false},
      {"/dev/mmcblk1p1 /media/cards vfat rw 0 0\n", false},
      {"/media/card /mnt ext4 rw 0 0\n", false},
      {"/dev/x /media/my\\040card vfat rw 0 0\n", false},
      {"", false},
  };
  for (const Row& r : rows) EXPECT_EQ(platform::MountTableHas(r.table, "/media/card"), r.present) << r.table;
  EXPECT_TRUE(platform::MountTableHas("/dev/x /media/my\\040card vfat rw 0 0\n", "/media/my card"));
}

TEST(SdCardFacade, DeviceBackendFindsNoCardWhereNothingIsMounted) {
  testsupport::TempDir root;
  root.Write("media/card/.keep", "");
  platform::SetRoot(root.path());
  platform::SetSimulated(false);
  platform::SdCard& card = platform::SdCardBackend();
  EXPECT_EQ(card.Presence(), platform::SdPresence::kAbsent);
  // The bare mount point is measured like df would: the file system under it.
  int pct = card.UsePercent();
  EXPECT_GE(pct, 0);
  EXPECT_LE(pct, 100);
  platform::SetRoot("");
}

}  // namespace
