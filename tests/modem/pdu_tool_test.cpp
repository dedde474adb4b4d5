// The technician's PDU tool, run as a program.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <string>
#include <vector>

#include "tests/modem/pdu_program_run.h"

namespace {

using pdutest::ProgramResult;

ProgramResult Tool(const std::vector<std::string>& args) {
  const std::string tool = testsupport::BuiltProgram("qrv806-pdu");
  struct stat st;
  if (stat(tool.c_str(), &st) != 0) {
    ADD_FAILURE() << tool << " is not built: build the qrv806-pdu target first";
    return {};
  }
  return pdutest::RunProgram(tool, args);
}

TEST(PduToolTest, EncodePrintsWhatTheUnitSends) {
  struct Row {
    std::vector<std::string> args;
    std::string out;
  };
  const Row rows[] = {
      {{"encode", "1234567890", "hello"}, "AT+CMGS=18\n0011000A8121436587090000AA05E8329BFD06\n"},
      {{"encode", "+4915112345678", "hi [x] \xE2\x82\xAC"},
       "AT+CMGS=25\n0011000D91945111325476F80000AA0BE83468C3C36F7CA04D19\n"},
      {{"encode", "12345", "--ucs2", "00480069"}, "AT+CMGS=15\n00110005812143F50008AA0400480069\n"},
      {{"encode", "12345", "--8bit", "0001ff"}, "AT+CMGS=14\n00110005812143F50004AA030001FF\n"},
      {{"encode", "12345", "--", "-5"}, "AT+CMGS=13\n00110005812143F50000AA02AD1A\n"},
      {{"encode", "12345", ""}, "AT+CMGS=11\n00110005812143F50000AA00\n"},
      {{"encode", "12345", std::string(160, 'a')},
       "AT+CMGS=151\n00110005812143F50000AA"
       "A0" + [] {
         std::string s;
         for (int i = 0; i < 20; ++i) s += "E170381C0E87C3";
         return s;
       }() + "\n"},
  };
  for (const Row& row : rows) {
    ProgramResult r = Tool(row.args);
    EXPECT_EQ(r.status, 0) << row.args[2] << r.err;
    EXPECT_EQ(r.out, row.out) << row.args[2];
  }
}

TEST(PduToolTest, DecodeShowsTheFields) {
  ProgramResult r =
      Tool({"decode", "07917283010010F5040BC87238880900F10000993092516195800AE8329BFD4697D9EC37"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out,
            "centre:      27381000015\n"
            "originator:  27838890001 (type of address 0xC8)\n"
            "time stamp:  99032915165908 (1999-03-29 15:16:59, zone digits 08)\n"
            "protocol:    0x00\n"
            "coding:      0x00 (GSM 7-bit)\n"
            "length:      10 septets, 10 characters\n"
            "text:        hellohello\n");

  r = Tool({"decode",
            "0791947101670000000D91945111325476F80008127031805100000C0047007200FC00DF00204E2D\r\n"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("originator:  4915112345678 (type of address 0x91, international"),
            std::string::npos)
      << r.out;
  EXPECT_NE(r.out.find("hex:         0047007200FC00DF00204E2D\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("text:        Gr\xC3\xBC\xC3\x9F \xE4\xB8\xAD\n"), std::string::npos) << r.out;
}

TEST(PduToolTest, BadInputGetsAClearErrorAndNonZeroExit) {
  struct Row {
    std::vector<std::string> args;
    int status;
    std::string err;  // part of the message
  };
  const Row rows[] = {
      {{}, 2, "missing command"},
      {{"transmit"}, 2, "unknown command transmit"},
      {{"encode"}, 2, "missing NUMBER"},
      {{"encode", "12345"}, 2, "missing TEXT"},
      {{"encode", "12345", "--ucs2"}, 2, "--ucs2 needs HEX"},
      {{"encode", "12345", "--7bit", "x"}, 2, "unknown option --7bit"},
      {{"encode", "12345", "hi", "there"}, 2, "unexpected argument there"},
      {{"encode", "12a45", "hi"}, 1, "bad number \"12a45\""},
      {{"encode", "", "hi"}, 1, "bad number"},
      {{"encode", "1234567890123456", "hi"}, 1, "bad number"},
      {{"encode", "+12345678901234567890", "hi"}, 1, "bad number"},
      {{"encode", "12345", "--ucs2", "004"}, 1, "odd number of digits"},
      {{"encode", "12345", "--ucs2", "0048006"}, 1, "odd number of digits"},
      {{"encode", "12345", "--ucs2", "004800"}, 1, "whole 16-bit units"},
      {{"encode", "12345", "--8bit", "0x41"}, 1, "character 2 (\"x\") is not a hexadecimal digit"},
      {{"encode", "12345", "--8bit", std::string(282, 'A')}, 1, "141 octets"},
      {{"encode", "12345", std::string(161, 'a')}, 1, "too long"},
      {{"encode", "12345", std::string(159, 'a') + "["}, 1, "161 septets"},
      {{"encode", "12345", "\xE4\xB8\xAD"}, 1, "U+4E2D"},
      {{"decode"}, 2, "missing HEX"},
      {{"decode", "0791", "x"}, 2, "unexpected argument"},
      {{"decode", "07917283010010F5040BC8723888"}, 1, "not a complete SMS-DELIVER"},
      {{"decode", "0791728301001G"}, 1, "not a hexadecimal digit"},
      {{"decode", "079"}, 1, "odd number of digits"},
      {{"decode", ""}, 1, "empty"},
  };
  for (const Row& row : rows) {
    ProgramResult r = Tool(row.args);
    std::string label = row.args.empty() ? "(none)" : row.args[0] + " " + (row.args.size() > 1 ? row.args[1] : "");
    EXPECT_EQ(r.status, row.status) << label << ": " << r.err;
    EXPECT_NE(r.err.find(row.err), std::string::npos) << label << ": " << r.err;
    EXPECT_EQ(r.out, "") << label;
  }
}

TEST(PduToolTest, HelpGoesToStandardOutput) {
  ProgramResult r = Tool({"--help"});
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.out.find("usage: qrv806-pdu encode NUMBER"), std::string::npos);
  EXPECT_EQ(r.err, "");
}

}  // namespace
