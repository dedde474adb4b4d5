// The technician's PDU tool, run as a program.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "support/firmware_process.h"

namespace {

struct ToolResult {
  int status = -1;  // exit status; -1 when it did not end in time
  std::string out, err;
};

// Runs qrv806-pdu; the shell sends its error stream to a file of its own and
// passes the arguments untouched through "$@".
ToolResult Tool(const std::vector<std::string>& args) {
  testsupport::TempDir dir;
  std::vector<std::string> sh_args = {"-c", "exec \"$0\" \"$@\" 2>'" + dir.path() + "/err'",
                                      testsupport::BuiltProgram("qrv806-pdu")};
  sh_args.insert(sh_args.end(), args.begin(), args.end());
  ToolResult result;
  {
    testsupport::ChildProcess child("/bin/sh", sh_args, dir.path() + "/out");
    result.status = child.WaitForExit(std::chrono::seconds(120));
  }
  result.out = dir.Read("out");
  result.err = dir.Read("err");
  return result;
}

TEST(PduToolTest, EncodeAndDecodePrintWhatTheUnitSendsAndReads) {
  const std::vector<std::string> rows[] = {  // arguments, then the output
      {"encode", "+4915112345678", "hi [x] \xE2\x82\xAC",
       "AT+CMGS=25\n0011000D91945111325476F80000AA0BE83468C3C36F7CA04D19\n"},
      {"encode", "12345", "--ucs2", "00480069", "AT+CMGS=15\n00110005812143F50008AA0400480069\n"},
      {"encode", "12345", "--8bit", "0001ff", "AT+CMGS=14\n00110005812143F50004AA030001FF\n"},
      {"encode", "12345", "--", "-5", "AT+CMGS=13\n00110005812143F50000AA02AD1A\n"},
      {"decode", "07917283010010F5040BC87238880900F10000993092516195800AE8329BFD4697D9EC37",
       "centre:      27381000015\n"
       "originator:  27838890001 (type of address 0xC8)\n"
       "time stamp:  99032915165908 (1999-03-29 15:16:59, zone digits 08)\n"
       "protocol:    0x00\n"
       "coding:      0x00 (GSM 7-bit)\n"
       "length:      10 septets, 10 characters\n"
       "text:        hellohello\n"},
  };
  for (const auto& row : rows) {
    ToolResult r = Tool(std::vector<std::string>(row.begin(), row.end() - 1));
    EXPECT_EQ(r.status, 0) << row[1] << r.err;
    EXPECT_EQ(r.out, row.back()) << row[1];
  }
  ToolResult r = Tool({"--help"});
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.out.find("usage: qrv806-pdu encode NUMBER"), std::string::npos);
  EXPECT_EQ(r.err, "");
}

TEST(PduToolTest, BadInputGetsAClearErrorAndNonZeroExit) {
  const std::vector<std::string> rows[] = {  // arguments, then exit status and part of the message
      {"2", "missing command"},
      {"encode", "12345", "hi", "there", "2", "unexpected argument there"},
      {"encode", "12a45", "hi", "1", "bad number \"12a45\""},
      {"encode", "12345", "--ucs2", "004800", "1", "whole 16-bit units"},
      {"encode", "12345", "--8bit", "0x41", "1", "character 2 (\"x\") is not a hexadecimal digit"},
      {"encode", "12345", "--8bit", std::string(282, 'A'), "1", "141 octets"},
      {"encode", "12345", std::string(159, 'a') + "[", "1", "161 septets"},
      {"encode", "12345", "\xE4\xB8\xAD", "1", "U+4E2D"},
      {"decode", "07917283010010F5040BC8723888", "1", "not a complete SMS-DELIVER"},
  };
  for (const auto& row : rows) {
    ToolResult r = Tool(std::vector<std::string>(row.begin(), row.end() - 2));
    EXPECT_EQ(std::to_string(r.status), row[row.size() - 2]) << row.back() << ": " << r.err;
    EXPECT_NE(r.err.find(row.back()), std::string::npos) << row.back() << ": " << r.err;
    EXPECT_EQ(r.out, "") << row.back();
  }
}

}  // namespace
