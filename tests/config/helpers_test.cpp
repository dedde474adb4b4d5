// The text and time helpers.
#include <cstring>
#include <functional>

#include "config/text_utils.h"
#include "config/time_utils.h"
#include "config_test_env.h"
#include "hw/rtc.h"

namespace {

TEST(Hex2HexStr, WritesUpperCaseDigitPairsUpTo161Bytes) {
  char out[323], bytes[162];
  std::memset(bytes, 0xAB, sizeof bytes);
  bytes[0] = 0x0B;
  Hex2HexStr(out, bytes, 161);
  EXPECT_EQ(std::string(out, 6), "0BABAB");  // two upper-case digits a byte
  EXPECT_EQ(std::strlen(out), 322u);
  std::memset(out, 'x', sizeof out);
  testsupport::ConsoleCapture console;
  Hex2HexStr(out, bytes, 162);
  EXPECT_EQ(console.Text(), "Over size.\r\n");
  EXPECT_EQ(out[0], 'x');  // nothing written
}

TEST(HexStr2Hex, ConvertsAtMost280DigitsIntoExactly161Bytes) {
  // A non-digit ends the number of its pair; digits beyond 280 are ignored.
  const std::pair<std::string, std::vector<unsigned char>> cases[] = {
      {"4F60AB", {0x4F, 0x60, 0xAB}}, {"ff0a", {0xFF, 0x0A}},         {"4G", {0x04}}, {"G4", {0x00}},
      {"4F6", {0x4F, 0x06}},          {"", {}}, {std::string(280, '7') + "ABCDEF", std::vector<unsigned char>(140, 0x77)},
  };
  for (const auto& c : cases) {
    char out[170];
    std::memset(out, 0x55, sizeof out);
    HexStr2Hex(c.first.c_str(), out);
    std::vector<unsigned char> want(c.second);
    want.resize(161, 0);  // the rest of the 161 is zero
    EXPECT_EQ(std::vector<unsigned char>(out, out + 161), want) << c.first;
    EXPECT_EQ(out[161], 0x55) << "wrote past 161 bytes for " << c.first;
  }
}

TEST(PhoneNumberChk, MatchesOnTheLastSixCharacters) {
  char list[kCtrlPhoneCount][kPhoneSize] = {};
  std::strcpy(list[0], "+886912345678");
  std::strcpy(list[1], "0987654321");
  std::strcpy(list[3], "12345");
  std::memset(list[9], '7', kPhoneSize);  // no terminating zero: must not be read past
  // National and international forms match; a short sender matches an equal
  // entry but not one that merely contains it; an empty one never matches.
  const std::pair<const char*, int> cases[] = {
      {"0912345678", 1}, {"+886987654321", 1}, {"345678", 1}, {"0911111111", 0},
      {"", 0},           {"12345", 1},         {"2345", 0},   {"77777777777777777777", 1},
  };
  for (const auto& c : cases) EXPECT_EQ(phone_number_chk(c.first, list), c.second) << c.first;
  char empty[kCtrlPhoneCount][kPhoneSize] = {};
  EXPECT_EQ(phone_number_chk("0912345678", empty), 0);
}

class TimeUtilsTest : public configtest::ConfigTest {};

// The readers of date and time texts (more times of day: the 2038 tests in tests/hw).
TEST(TimeTexts, Table) {
  const std::function<long(const char*)> seconds = GetTimeTodaySeconds, ymd = IsYMD, hms = IsHMS,
                                            report = IsReportHMS;
  const struct {
    const std::function<long(const char*)>& f;
    const char* text;
    long want;
  } cases[] = {
      // No days-per-month check; a short text is refused or stopped at its end,
      // never read past it; only the first eight characters count; "1a" reads
      // as 1, "ab" as 0.
      {seconds, "12", 43200}, {ymd, "20210713", 1}, {ymd, "20210231", 1}, {ymd, "20211301", 0}, {ymd, "20210100", 0},
      {ymd, "20210132", 0},   {ymd, "00000101", 0}, {ymd, "2021071", 0},  {ymd, "202107131200", 1},
      {ymd, "20211a01", 1}, {ymd, "2021ab01", 0}, {ymd, "-0010101", 0}, {ymd, "2021-101", 0},
      {hms, "000000", 1}, {hms, "235960", 1}, {hms, "240000", 0}, {hms, "236000", 0}, {hms, "235961", 0},
      {hms, "12000", 0}, {hms, "1a0000", 1}, {hms, "-10000", 0}, {hms, "0000-1", 0}, {hms, "2359591", 1},
      // A report's time of day: six digits exactly, no leap second.
      {report, "000000", 1}, {report, "235959", 1}, {report, "235960", 0}, {report, "2359591", 0},
      {report, "+10000", 0}, {report, " 10000", 0}, {report, "1a0000", 0}, {report, "12000", 0},
  };
  for (const auto& c : cases) EXPECT_EQ(c.f(c.text), c.want) << c.text;
  EXPECT_EQ(IsYMD(nullptr), 0);
  EXPECT_EQ(IsHMS(nullptr), 0);
  EXPECT_EQ(IsReportHMS(nullptr), 0);
}

// A date or time too short to hold its fields, or one the clock refuses, leaves
// the record untouched (accepted times: the 2038 tests in tests/hw).
TEST_F(TimeUtilsTest, SetSystemTimeRefusesShortFieldsAndImpossibleTimes) {
  Sysrtc = RtcTime{1, 2, 3, 4, 5, 2000, 3};
  EXPECT_EQ(SetSystemTime("2021071", "081509"), 0);
  EXPECT_EQ(SetSystemTime("20210713", "0815"), 0);
  EXPECT_EQ(SetSystemTime("20210230", "081509"), 0);
  EXPECT_EQ(Sysrtc.year, 2000);
  EXPECT_EQ(Sysrtc.mday, 4);
}

}  // namespace
