// The technician's PDU tool, run as a program (the codec under it has its own
// tests and fuzz target).
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "support/coding_bytes.h"
#include "support/firmware_process.h"

namespace {

struct ToolResult {
  int status;  // exit status; -1 when it did not end in time
  std::string out, err;
};

// Runs qrv806-pdu; the shell sends its error stream to a file of its own and
// passes the arguments untouched through "$@".
ToolResult Tool(std::vector<std::string> args) {
  testsupport::TempDir dir;
  args.insert(args.begin(),
              {"-c", "exec \"$0\" \"$@\" 2>'" + dir.path() + "/err'", testsupport::BuiltProgram("qrv806-pdu")});
  int status = testsupport::ChildProcess("/bin/sh", args, dir.path() + "/out").WaitForExit(std::chrono::seconds(120));
  return {status, dir.Read("out"), dir.Read("err")};
}

TEST(PduToolTest, EncodeDecodeAndRefusal) {
  ToolResult r = Tool({"encode", "+4915112345678", "hi [x] \xE2\x82\xAC"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "AT+CMGS=25\n0011000D91945111325476F80000AA0BE83468C3C36F7CA04D19\n");
  r = Tool({"decode", "07917283010010F5040BC87238880900F10000993092516195800AE8329BFD4697D9EC37"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out,
            "type:        SMS-DELIVER (a message the unit receives)\n"
            "centre:      27381000015\n"
            "originator:  27838890001 (type of address 0xC8)\n"
            "time stamp:  99032915165908 (1999-03-29 15:16:59, zone digits 08)\n"
            "protocol:    0x00\n"
            "coding:      0x00 (GSM 7-bit)\n"
            "length:      10 septets, 10 characters\n"
            "text:        hellohello\n");
  // What the AT log keeps of a sent message.
  r = Tool({"decode", "0011000D91945111325476F80000AA0BE83468C3C36F7CA04D19"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out,
            "type:        SMS-SUBMIT (a message the unit sends)\n"
            "centre:      (none: the SIM's)\n"
            "destination: +4915112345678 (type of address 0x91)\n"
            "reference:   0\n"
            "protocol:    0x00\n"
            "validity:    0xAA (4 days)\n"
            "coding:      0x00 (GSM 7-bit)\n"
            "length:      11 septets, 8 characters\n"
            "text:        hi [x] \xE2\x82\xAC\n"
            "AT+CMGS:     25 (octets after the centre part)\n");
  // Bad input: a clear message on the error stream, nothing on the output.
  r = Tool({"encode", "12345", std::string(159, 'a') + "["});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("161 septets"), std::string::npos) << r.err;
  EXPECT_EQ(r.out, "");
}

// The tool reads each coding byte in the alphabet the unit reads it in.
TEST(PduToolTest, DecodesEachCodingByteInItsAlphabet) {
  for (const auto& row : testsupport::kCodingBytes) {
    ToolResult r = Tool({"decode", testsupport::CodingPdu(row.dcs, row.coding)});
    EXPECT_EQ(r.status, 0) << r.err;
    char coding[48];
    std::snprintf(coding, sizeof coding, "coding:      0x%02X (%s)\n", row.dcs,
                  row.coding == 0 ? "GSM 7-bit" : row.coding == 8 ? "UCS2" : "8-bit data");
    const std::string data = row.coding == 0 ? "length:      16 septets, 16 characters\ntext:        " +
                                                   testsupport::kCodingText + "\n"
                                             : "length:      14 octets\nhex:         " + testsupport::kCodingPacked + "\n";
    EXPECT_NE(r.out.find(coding + data), std::string::npos) << r.out;
  }
}

}  // namespace
