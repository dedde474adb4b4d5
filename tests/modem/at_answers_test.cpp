// The readers of the module's answers, on answers as they arrive: echo in
// front, final result behind, unsolicited lines mixed in, fields missing.
#include "modem/at_answers.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

TEST(AtAnswersTest, CpinQuery) {
  struct Row {
    const char* answer;
    CpinAnswer want;
  };
  const Row rows[] = {
      {"AT+CPIN?\r\r\n+CPIN: READY\r\n\r\nOK\r\n", CpinAnswer::kReady},
      {"\r\n+CPIN: READY\r\n\r\nOK\r\n", CpinAnswer::kReady},
      {"AT+CPIN?\r\r\n+CPIN: SIM PIN\r\n\r\nOK\r\n", CpinAnswer::kPinWanted},
      // PIN2 and the phone-lock PIN read as a PIN request too.
      {"\r\n+CPIN: SIM PIN2\r\n\r\nOK\r\n", CpinAnswer::kPinWanted},
      {"\r\n+CPIN: PH-SIM PIN\r\n\r\nOK\r\n", CpinAnswer::kPinWanted},
      {"AT+CPIN?\r\r\n+CME ERROR: SIM failure\r\n", CpinAnswer::kSimFailure},
      {"\r\n+CME ERROR: SIM not inserted\r\n", CpinAnswer::kNotUsable},
      {"\r\n+CPIN: SIM PUK\r\n\r\nOK\r\n", CpinAnswer::kNotUsable},
      {"\r\n+CME ERROR: SIM busy\r\n", CpinAnswer::kNotUsable},
      {"", CpinAnswer::kNotUsable},
      {"\r\nERROR\r\n", CpinAnswer::kNotUsable},
      // A late "+CPIN: READY" after a restart wins over everything else.
      {"\r\n+SIMCARD: NOT AVAILABLE\r\n\r\n+CPIN: READY\r\n", CpinAnswer::kReady},
      // Lower case is not what the module sends.
      {"\r\n+CPIN: ready\r\n", CpinAnswer::kNotUsable},
  };
  for (const auto& r : rows) {
    EXPECT_EQ(ParseCpinQuery(r.answer), r.want) << r.answer;
  }
  EXPECT_EQ(ParseCpinQuery(nullptr), CpinAnswer::kNotUsable);
}

TEST(AtAnswersTest, RegistrationAndSignal) {
  struct Row {
    const char* answer;
    bool creg_found;
    int32_t creg;
    bool csq_found;
    int32_t csq;
  };
  const Row rows[] = {
      {"AT+CREG?\r\r\n+CREG: 0,5\r\n\r\nOK\r\n", true, 5, false, 0},
      {"AT+CSQ\r\r\n+CSQ: 17,99\r\n\r\nOK\r\n", false, 0, true, 17},
      {"\r\n+CREG: 2,1,\"1A2B\",\"0C3D\"\r\n\r\nOK\r\n", true, 1, false, 0},
      // The manual prints no blank after the colon, some firmwares two.
      {"\r\n+CREG:0,1\r\n", true, 1, false, 0},
      {"\r\n+CSQ:  8 ,0\r\n", false, 0, true, 8},
      {"\r\n+CSQ: 99,99\r\n\r\nOK\r\n", false, 0, true, 99},
      // No comma: the value stays.
      {"\r\n+CREG: 1\r\n\r\nOK\r\n", false, 0, false, 0},
      // An unsolicited "+CREG: 1" before the answer is skipped.
      {"\r\n+CREG: 3\r\nAT+CREG?\r\r\n+CREG: 0,5\r\n\r\nOK\r\n", true, 5, false, 0},
      // Nothing after the comma, or no line end yet (the answer was cut by
      // the wait), or not a number.
      {"\r\n+CREG: 0,\r\n", false, 0, false, 0},
      {"\r\n+CREG: 0,1", false, 0, false, 0},
      {"\r\n+CREG: 0,x\r\n", false, 0, false, 0},
      {"\r\n+CSQ: ,0\r\n", false, 0, false, 0},
      {"\r\n+CSQ: 22\r\n\r\nOK\r\n", false, 0, false, 0},
      {"\r\nERROR\r\n", false, 0, false, 0},
      {"", false, 0, false, 0},
      // A field far longer than its buffer is cut, and a huge number
      // saturates instead of wrapping.
      {"\r\n+CREG: 0,123456789012345678901234567890\r\n", true, 999999999, false, 0},
      {"\r\n+CSQ: 000000000000000000000000000000000000017,0\r\n", false, 0, true, 0},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.answer);
    int32_t creg = -7;
    int32_t csq = -7;
    EXPECT_EQ(ParseCregQuery(r.answer, &creg), r.creg_found);
    EXPECT_EQ(creg, r.creg_found ? r.creg : -7);
    EXPECT_EQ(ParseCsqExec(r.answer, &csq), r.csq_found);
    EXPECT_EQ(csq, r.csq_found ? r.csq : -7);
  }
}

TEST(AtAnswersTest, Imei) {
  char imei[16];
  EXPECT_TRUE(ParseSimeiQuery("AT+SIMEI?\r\r\n+SIMEI: 357396012183170\r\n\r\nOK\r\n", imei, sizeof imei));
  EXPECT_STREQ(imei, "357396012183170");
  // Longer than the area: cut to 15 characters.
  EXPECT_TRUE(ParseSimeiQuery("\r\n+SIMEI: 12345678901234567890123\r\n", imei, sizeof imei));
  EXPECT_STREQ(imei, "123456789012345");
  std::strcpy(imei, "kept");
  EXPECT_FALSE(ParseSimeiQuery("\r\nERROR\r\n", imei, sizeof imei));
  EXPECT_FALSE(ParseSimeiQuery("\r\n+SIMEI: 3573", imei, sizeof imei));
  EXPECT_STREQ(imei, "kept");
}

std::string Gprmc(const char* answer, int* fix, bool* found) {
  GpsInfo info;
  *found = ParseCgpsinfoExec(answer, &info);
  char out[kGprmcSize];
  *fix = FormatGprmc(info, out, sizeof out);
  return out;
}

TEST(AtAnswersTest, GpsSentence) {
  struct Row {
    const char* answer;
    bool found;
    int fix;
    const char* sentence;
  };
  const Row rows[] = {
      {"AT+CGPSINFO\r\r\n+CGPSINFO: ,,,,,,,,\r\n\r\nOK\r\n", true, 0, "$GPRMC,,V,,,,,,,,,W*70"},
      {"\r\n+CGPSINFO: 1234.500000,N,01234.500000,E,010121,120000.0,10.0,0.0,0.0\r\n\r\nOK\r\n", true, 1,
       "$GPRMC,120000.0,A,1234.500000,N,01234.500000,E,0.0,0.0,010121,,E*70"},
      // The manual's capture, written without the blank after the colon.
      {"\r\n+CGPSINFO:3113.343286,N,12121.234064,E,250311,072809.3,44.1,0.0,0\r\n", true, 1,
       "$GPRMC,072809.3,A,3113.343286,N,12121.234064,E,0.0,0,250311,,E*70"},
      // Fewer fields than nine: the missing ones stay empty.
      {"\r\n+CGPSINFO: 3113.343286,N,12121.234064,W\r\n", true, 1, "$GPRMC,,A,3113.343286,N,12121.234064,,,,,,*70"},
      // The last field needs its CR; without it (answer cut) it is empty.
      {"\r\n+CGPSINFO: 1.0,S,2.0,W,010121,000001.0,1,2,3", true, 1, "$GPRMC,000001.0,A,1.0,S,2.0,W,2,,010121,,W*70"},
      // A field longer than 19 characters is cut, not copied past its buffer.
      {"\r\n+CGPSINFO: 12345678901234567890123456789,N,1,E,d,t,a,s,c\r\n", true, 1,
       "$GPRMC,t,A,1234567890123456789,N,1,E,s,c,d,,E*70"},
      {"\r\n+CGPSINFO: ,N,1,E,d,t,a,s,c\r\n", true, 0, "$GPRMC,,V,,,,,,,,,W*70"},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.answer);
    int fix = -1;
    bool found = false;
    EXPECT_EQ(Gprmc(r.answer, &fix, &found), r.sentence);
    EXPECT_EQ(found, r.found);
    EXPECT_EQ(fix, r.fix);
  }
  GpsInfo info;
  EXPECT_FALSE(ParseCgpsinfoExec("AT+CGPSINFO\r\r\nERROR\r\n", &info));
  EXPECT_FALSE(ParseCgpsinfoExec("", &info));

  // The longest sentence nine cut fields make still fits the published text.
  std::string longest = "\r\n+CGPSINFO: ";
  for (int i = 0; i < 9; ++i) longest += std::string(40, '9') + (i < 8 ? "," : "\r\n");
  int fix = -1;
  bool found = false;
  std::string s = Gprmc(longest.c_str(), &fix, &found);
  EXPECT_EQ(fix, 1);
  EXPECT_LT(s.size(), static_cast<size_t>(kGprmcSize));
  EXPECT_EQ(s.substr(s.size() - 3), "*70");
}

TEST(AtAnswersTest, StorageQuery) {
  struct Row {
    const char* answer;
    bool found;
    int used;
    int total;
  };
  const Row rows[] = {
      {"AT+CPMS?\r\r\n+CPMS: \"SM\",3,50,\"SM\",3,50,\"SM\",3,50\r\n\r\nOK\r\n", true, 3, 50},
      {"\r\n+CPMS: \"ME\",0,23,\"ME\",0,23,\"ME\",0,23\r\n\r\nOK\r\n", true, 0, 23},
      // One storage only: the total ends at the line end.
      {"\r\n+CPMS: \"SM\",2,10\r\n\r\nOK\r\n", true, 2, 10},
      {"\r\n+CPMS: \"SM\",2\r\n", true, 2, 0},
      {"\r\n+CPMS: \"SM\"\r\n", false, 0, 0},
      {"\r\n+CPMS: \"SM\",,50\r\n", false, 0, 0},
      {"\r\nERROR\r\n", false, 0, 0},
      // A garbled total cannot make the scan endless.
      {"\r\n+CPMS: \"SM\",1,99999999999,\"SM\"\r\n", true, 1, kMaxStoragePlaces},
      {"\r\n+CPMS: \"SM\",1,-5,\r\n", true, 1, 0},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.answer);
    int used = -1;
    int total = -1;
    EXPECT_EQ(ParseCpmsQuery(r.answer, &used, &total), r.found);
    EXPECT_EQ(used, r.used);
    EXPECT_EQ(total, r.total);
  }
}

TEST(AtAnswersTest, SubmitConfirmation) {
  struct Row {
    const char* answer;
    bool confirmed;
  };
  const Row rows[] = {
      {"0011000A8121436587090000AA05E8329BFD06\x1a\r\n+CMGS: 46\r\n\r\nOK\r\n", true},
      {"\r\n+CMGS: 0\r\n\r\nOK\r\n", true},
      // "OK" before "+CMGS:" is an earlier answer, not this confirmation.
      {"\r\nOK\r\n\r\n+CMGS: 46\r\n", false},
      // Confirmation still on its way when the wait ended.
      {"\r\n+CMGS: 46\r\n", false},
      {"", false},
      {"\r\n+CMS ERROR: 500\r\n", false},
      {"\r\n+CMS ERROR: Network timeout\r\n", false},
      {"\r\nERROR\r\n", false},
  };
  for (const auto& r : rows) EXPECT_EQ(IsCmgsConfirmed(r.answer), r.confirmed) << r.answer;
}

}  // namespace
