#include "sim/sd_card.h"

#include <gtest/gtest.h>

#include <string>

#include "sim/board_files.h"
#include "temp_root.h"

namespace {

class SdCardTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(root_.Layout(false), ""); }
  std::string Card(const std::string& name) const { return root_.Path("/media/card/" + name); }

  TempRoot dir_;
  sim::BoardRoot root_{dir_.path()};
  sim::SdCard sd_{root_};
};

TEST_F(SdCardTest, RemoveAndInsertKeepBothSetsOfFiles) {
  ASSERT_TRUE(sim::MakeDirs(Card("USR_LOG")));
  ASSERT_TRUE(sim::ReplaceFile(Card("USR_LOG/20240101.txt"), "log\r\n"));
  ASSERT_TRUE(sim::ReplaceFile(Card("alarm.wav"), "RIFF"));
  EXPECT_TRUE(sd_.present());

  ASSERT_EQ(sd_.Remove(), "");
  EXPECT_FALSE(sd_.present());
  EXPECT_TRUE(sim::Exists(root_.Path("/sim/sd-removed")));
  EXPECT_TRUE(sim::IsDirectory(root_.Path("/media/card")));  // the bare mount point
  EXPECT_FALSE(sim::Exists(Card("alarm.wav")));
  EXPECT_EQ(sd_.Remove(), "the card is already out");

  // Written to the mount point while no card is there.
  ASSERT_TRUE(sim::ReplaceFile(Card("stray.txt"), "x"));

  ASSERT_EQ(sd_.Insert(), "");
  EXPECT_TRUE(sd_.present());
  std::string text;
  ASSERT_TRUE(sim::ReadFile(Card("USR_LOG/20240101.txt"), &text));
  EXPECT_EQ(text, "log\r\n");
  EXPECT_TRUE(sim::Exists(Card("alarm.wav")));
  EXPECT_FALSE(sim::Exists(Card("stray.txt")));  // hidden under the card
  EXPECT_EQ(sd_.Insert(), "the card is already in");

  // Out again: the stray file is back on the bare mount point.
  ASSERT_EQ(sd_.Remove(), "");
  EXPECT_TRUE(sim::Exists(Card("stray.txt")));
  EXPECT_FALSE(sim::Exists(Card("alarm.wav")));
  ASSERT_EQ(sd_.Insert(), "");
  EXPECT_TRUE(sim::Exists(Card("alarm.wav")));
}

TEST_F(SdCardTest, EmptyCardComesAndGoes) {
  ASSERT_EQ(sd_.Remove(), "");
  ASSERT_EQ(sd_.Insert(), "");
  EXPECT_TRUE(sd_.present());
}

TEST_F(SdCardTest, UseFixedOrFromTheHost) {
  EXPECT_FALSE(sd_.use_fixed());
  int host = sd_.UsePercent();
  EXPECT_GE(host, 0);
  EXPECT_LE(host, 100);
  ASSERT_EQ(sd_.SetUse(87), "");
  EXPECT_TRUE(sd_.use_fixed());
  EXPECT_EQ(sd_.UsePercent(), 87);
  std::string text;
  ASSERT_TRUE(sim::ReadFile(root_.Path("/sim/sd-use"), &text));
  EXPECT_EQ(text, "87\n");
  EXPECT_NE(sd_.SetUse(101), "");
  EXPECT_EQ(sd_.UsePercent(), 87);
}

}  // namespace
