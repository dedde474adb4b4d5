// The readers of the module's answers, on answers as they arrive: echo in
// front, final result behind, unsolicited lines mixed in, fields missing
// (the field copy helpers' bounds: the at_answers fuzz target).
#include "modem/at_answers.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <utility>

namespace {

// The answers of a working module, and the submit confirmation, are read in
// the modem pass tests; here the rarer forms.
TEST(AtAnswersTest, SimAnswers) {
  const std::pair<const char*, CpinAnswer> rows[] = {
      {"\r\n+CPIN: PH-SIM PIN\r\n\r\nOK\r\n", CpinAnswer::kPinWanted},  // and PIN2
      {"", CpinAnswer::kNotUsable},
      {"\r\n+CPIN: ready\r\n", CpinAnswer::kNotUsable},  // not what the module sends
      // A late "+CPIN: READY" after a restart wins over everything else.
      {"\r\n+SIMCARD: NOT AVAILABLE\r\n\r\n+CPIN: READY\r\n", CpinAnswer::kReady},
  };
  for (const auto& r : rows) EXPECT_EQ(ParseCpinQuery(r.first), r.second) << r.first;
  EXPECT_EQ(ParseCpinQuery(nullptr), CpinAnswer::kNotUsable);
  char imei[16] = "";
  EXPECT_TRUE(ParseSimeiQuery("\r\n+SIMEI: 12345678901234567890123\r\n", imei, sizeof imei));
  EXPECT_STREQ(imei, "123456789012345");  // cut to the area
  std::strcpy(imei, "kept");
  EXPECT_FALSE(ParseSimeiQuery("\r\nERROR\r\n", imei, sizeof imei));
  EXPECT_FALSE(ParseSimeiQuery("\r\n+SIMEI: 3573", imei, sizeof imei));
  EXPECT_STREQ(imei, "kept");
}

TEST(AtAnswersTest, RegistrationSignalAndStorage) {
  const struct { const char* answer; int creg, csq; } rows[] = {  // -7: not found (value untouched)
      {"\r\n+CREG: 2,1,\"1A2B\",\"0C3D\"\r\n\r\nOK\r\n", 1, -7},
      {"\r\n+CREG:0,1\r\n", 1, -7},  // no blank after the colon, or two
      {"\r\n+CSQ:  8 ,0\r\n", -7, 8},
      {"\r\n+CREG: 3\r\nAT+CREG?\r\r\n+CREG: 0,5\r\n\r\nOK\r\n", 5, -7},  // unsolicited line first
      // No comma, nothing after it, no line end yet (the wait cut it), not a number.
      {"\r\n+CREG: 1\r\n\r\nOK\r\n", -7, -7}, {"\r\n+CREG: 0,1", -7, -7}, {"\r\n+CREG: 0,x\r\n", -7, -7},
      {"\r\n+CSQ: 22\r\n\r\nOK\r\n", -7, -7},
      // A field far longer than its buffer is cut; a huge number saturates.
      {"\r\n+CREG: 0,123456789012345678901234567890\r\n", 999999999, -7},
      {"\r\n+CSQ: 000000000000000000000000000000000000017,0\r\n", -7, 0},
  };
  for (const auto& r : rows) {
    int32_t creg = -7;
    int32_t csq = -7;
    EXPECT_EQ(ParseCregQuery(r.answer, &creg), r.creg != -7) << r.answer;
    EXPECT_EQ(ParseCsqExec(r.answer, &csq), r.csq != -7) << r.answer;
    EXPECT_EQ(creg, r.creg) << r.answer;
    EXPECT_EQ(csq, r.csq) << r.answer;
  }

  const struct { const char* answer; int used, total; } cpms[] = {  // used -1: not found
      {"\r\n+CPMS: \"SM\",2,10\r\n\r\nOK\r\n", 2, 10},  // one storage: the total ends at the line end
      {"\r\n+CPMS: \"SM\"\r\n", -1, 0},
      {"\r\n+CPMS: \"SM\",,50\r\n", -1, 0},
      {"\r\n+CPMS: \"SM\",1,99999999999,\"SM\"\r\n", 1, kMaxStoragePlaces},  // the scan stays bounded
      {"\r\n+CPMS: \"SM\",1,-5,\r\n", 1, 0},
  };
  for (const auto& r : cpms) {
    int used = -1;
    int total = -1;
    EXPECT_EQ(ParseCpmsQuery(r.answer, &used, &total), r.used >= 0) << r.answer;
    EXPECT_EQ(used, r.used < 0 ? 0 : r.used) << r.answer;
    EXPECT_EQ(total, r.total) << r.answer;
  }
}

TEST(AtAnswersTest, GpsSentence) {
  std::string longest = "\r\n+CGPSINFO: ";  // nine fields of 40 characters, each cut to 19
  for (int i = 0; i < 9; ++i) longest += std::string(40, '9') + (i < 8 ? "," : "\r\n");
  const std::string cut(19, '9');
  std::string seven;
  for (int i = 0; i < 7; ++i) seven += cut + ",";
  const std::pair<std::string, std::string> rows[] = {  // answer, sentence ("" = no GPS answer)
      // The manual's capture, without the blank after the colon.
      {"\r\n+CGPSINFO:3113.343286,N,12121.234064,E,250311,072809.3,44.1,0.0,0\r\n",
       "$GPRMC,072809.3,A,3113.343286,N,12121.234064,E,0.0,0,250311,,E*70"},
      // Fewer fields: the missing ones stay empty; the last one needs its CR.
      {"\r\n+CGPSINFO: 3113.343286,N,12121.234064,W\r\n", "$GPRMC,,A,3113.343286,N,12121.234064,,,,,,*70"},
      {"\r\n+CGPSINFO: 1.0,S,2.0,W,010121,000001.0,1,2,3", "$GPRMC,000001.0,A,1.0,S,2.0,W,2,,010121,,W*70"},
      {longest, "$GPRMC," + cut + ",A," + seven + "," + cut + "*70"},
      {"\r\n+CGPSINFO: ,N,1,E,d,t,a,s,c\r\n", "$GPRMC,,V,,,,,,,,,W*70"},
      {"AT+CGPSINFO\r\r\nERROR\r\n", ""},
      {"", ""},
  };
  for (const auto& r : rows) {
    GpsInfo info;
    std::memset(&info, 'Z', sizeof info);  // the parser clears every field itself
    ASSERT_EQ(ParseCgpsinfoExec(r.first.c_str(), &info), !r.second.empty()) << r.first;
    if (r.second.empty()) continue;
    char out[kGprmcSize];
    EXPECT_EQ(FormatGprmc(info, out, sizeof out), r.second.compare(0, 9, "$GPRMC,,V") == 0 ? 0 : 1) << r.first;
    EXPECT_EQ(out, r.second) << r.first;
  }
}

}  // namespace
