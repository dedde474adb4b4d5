// The PDU codec seen from outside: the technician's PDU tool run as a
// program, and a cross-check against python-gammu, an independent codec
// (fixed seeds, so a failure repeats).
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "modem/pdu_codec.h"
#include "support/firmware_process.h"

namespace {

struct ProgramResult {
  int status = -1;  // exit status; -1 when it did not end in time
  std::string out;
  std::string err;
};

ProgramResult Run(const std::string& program, const std::vector<std::string>& args) {
  testsupport::TempDir dir;
  // The shell sends the error stream to its own file; the arguments reach
  // the program untouched through "$@".
  std::vector<std::string> sh_args = {"-c", "exec \"$0\" \"$@\" 2>'" + dir.path() + "/err'", program};
  sh_args.insert(sh_args.end(), args.begin(), args.end());
  ProgramResult result;
  {
    testsupport::ChildProcess child("/bin/sh", sh_args, dir.path() + "/out");
    result.status = child.WaitForExit(std::chrono::seconds(120));
  }
  result.out = dir.Read("out");
  result.err = dir.Exists("err") ? dir.Read("err") : "";
  return result;
}

ProgramResult Tool(const std::vector<std::string>& args) {
  return Run(testsupport::BuiltProgram("qrv806-pdu"), args);
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
      {"decode", "0791947101670000000D91945111325476F80008127031805100000C0047007200FC00DF00204E2D\r\n",
       "centre:      491710760000\n"
       "originator:  4915112345678 (type of address 0x91, international, shown without +)\n"
       "time stamp:  21071308150000 (2021-07-13 08:15:00, zone digits 00)\n"
       "protocol:    0x00\n"
       "coding:      0x08 (UCS2)\n"
       "length:      12 octets\n"
       "hex:         0047007200FC00DF00204E2D\n"
       "text:        Gr\xC3\xBC\xC3\x9F \xE4\xB8\xAD\n"},
  };
  for (const auto& row : rows) {
    ProgramResult r = Tool(std::vector<std::string>(row.begin(), row.end() - 1));
    EXPECT_EQ(r.status, 0) << row[1] << r.err;
    EXPECT_EQ(r.out, row.back()) << row[1];
  }
  ProgramResult r = Tool({"--help"});
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.out.find("usage: qrv806-pdu encode NUMBER"), std::string::npos);
  EXPECT_EQ(r.err, "");
}

TEST(PduToolTest, BadInputGetsAClearErrorAndNonZeroExit) {
  const std::vector<std::string> rows[] = {  // arguments, then exit status and part of the message
      {"2", "missing command"},
      {"transmit", "2", "unknown command transmit"},
      {"encode", "12345", "2", "missing TEXT"},
      {"encode", "12345", "hi", "there", "2", "unexpected argument there"},
      {"encode", "12a45", "hi", "1", "bad number \"12a45\""},
      {"encode", "1234567890123456", "hi", "1", "bad number"},
      {"encode", "12345", "--ucs2", "004800", "1", "whole 16-bit units"},
      {"encode", "12345", "--8bit", "0x41", "1", "character 2 (\"x\") is not a hexadecimal digit"},
      {"encode", "12345", "--8bit", std::string(282, 'A'), "1", "141 octets"},
      {"encode", "12345", std::string(159, 'a') + "[", "1", "161 septets"},
      {"encode", "12345", "\xE4\xB8\xAD", "1", "U+4E2D"},
      {"decode", "07917283010010F5040BC8723888", "1", "not a complete SMS-DELIVER"},
  };
  for (const auto& row : rows) {
    ProgramResult r = Tool(std::vector<std::string>(row.begin(), row.end() - 2));
    EXPECT_EQ(std::to_string(r.status), row[row.size() - 2]) << row.back() << ": " << r.err;
    EXPECT_NE(r.err.find(row.back()), std::string::npos) << row.back() << ": " << r.err;
    EXPECT_EQ(r.out, "") << row.back();
  }
}

constexpr int kMessages = 400;

// Runs the gammu side; on a machine without gammu it fails, never skips.
std::vector<std::vector<std::string>> Gammu(std::vector<std::string> args) {
  args.insert(args.begin(), std::string(QRV_SOURCE_DIR) + "/tests/modem/pdu_gammu_check.py");
  ProgramResult r = Run("/usr/bin/python3", args);
  EXPECT_EQ(r.status, 0) << r.err << "(is python3-gammu installed? scripts/install-deps.sh)";
  std::vector<std::vector<std::string>> rows;  // lines cut at their tabs
  std::stringstream lines(r.out);
  for (std::string line; std::getline(lines, line);) {
    rows.emplace_back();
    std::stringstream fields(line + "\t");
    for (std::string field; std::getline(fields, field, '\t');) rows.back().push_back(field);
  }
  return rows;
}

std::string Hex(const std::string& bytes) {
  std::string text(2 * bytes.size() + 1, '\0');
  gsmBytes2String(reinterpret_cast<const uint8_t*>(bytes.data()), &text[0], static_cast<int>(bytes.size()));
  text.pop_back();
  return text;
}

TEST(PduGammuCrossCheck, FirmwareSubmitsReadRightInGammu) {
  // 7-bit texts draw on the whole alphabet, the escape characters twice, and
  // three characters without a GSM code (they must arrive as "?").
  std::string pool = "\x0C^{}\\[~]|\xA4\x0C^{}\\[~]|\xA4\xE1\xB0\xFE";
  for (uint8_t c : Table7Bit2Iso) pool += static_cast<char>(c == 0x1B ? 'e' : c);
  std::mt19937 rng(806);
  std::vector<std::string> pdus;
  std::vector<std::vector<std::string>> expected;  // as gammu should read them
  const int sizes[] = {0, 1, 7, 8, 9, 70, 139, 140, 141, 159, 160};
  for (int i = 0; i < kMessages; ++i) {
    pdu_param p{};
    std::string number = rng() % 2 ? "" : "+";  // gammu keeps the "+"
    for (int d = 1 + static_cast<int>(rng() % 15); d > 0; --d) number += static_cast<char>('0' + rng() % 10);
    std::strcpy(p.TPA, number.c_str());
    p.TOA = kToaUnknown;
    uint32_t kind = rng() % 4;  // 7-bit twice as often as UCS2 and 8-bit
    p.TP_DCS = kind <= 1 ? 0 : kind == 2 ? 8 : 4;
    int len = rng() % 2 ? sizes[rng() % 11] : static_cast<int>(rng() % 161);
    std::string data;
    std::string arrives;
    int septets = 0;
    bool full = false;  // the encoder stops at the first character that does not fit
    for (int c = 0; c < len; ++c) {
      if (p.TP_DCS == 0) {
        data += pool[rng() % pool.size()];
        int need = gsmIsoSeptets(static_cast<uint8_t>(data.back()));
        full = full || septets + need > kPduMaxSeptets;
        if (full) continue;
        septets += need;
        arrives += need == 2 || std::memchr(Table7Bit2Iso, data.back(), 128) != nullptr ? data.back() : '?';
      } else if (p.TP_DCS == 8 && c % 2 == 1) {
        // UCS2 without what gammu cannot carry: zero units, surrogates, and
        // 0x0001 and "~", which gammu swaps for each other.
        uint16_t unit = static_cast<uint16_t>(2 + rng() % 0xFFFC);
        if (unit >= 0xD800 && unit < 0xE000) unit = static_cast<uint16_t>(unit - 0x1000);
        data += {static_cast<char>(unit >> 8), static_cast<char>(unit == 0x7E ? 0x7D : unit & 0xFF)};
      } else if (p.TP_DCS == 4) {
        data += static_cast<char>(rng());
      }
    }
    if (p.TP_DCS != 0) arrives = data.substr(0, kPduMaxOctets);  // the rest is not sent
    std::memcpy(p.TP_UD, data.data(), data.size());
    p.TP_UDL = static_cast<uint8_t>(data.size());
    char text[kPduTextSize];
    int tpdu = gsmEncodePdu(&p, text);
    EXPECT_EQ(tpdu, static_cast<int>(std::strlen(text) - 2) / 2) << number;
    pdus.push_back(text);
    expected.push_back({"ok", number, std::to_string(p.TP_DCS),
                        std::to_string(p.TP_DCS == 0 ? septets : static_cast<int>(arrives.size())), Hex(arrives)});
  }
  testsupport::TempDir dir;
  std::string file;
  for (const std::string& pdu : pdus) file += pdu + "\n";
  dir.Write("submit.txt", file);
  std::vector<std::vector<std::string>> got = Gammu({"decode-submit", dir.path() + "/submit.txt"});
  ASSERT_EQ(got.size(), expected.size());
  for (size_t i = 0; i < got.size(); ++i) EXPECT_EQ(got[i], expected[i]) << pdus[i];
}

TEST(PduGammuCrossCheck, GammuDeliversReadRightInFirmware) {
  std::vector<std::vector<std::string>> rows = Gammu({"make-deliver", "4404", std::to_string(kMessages)});
  ASSERT_EQ(rows.size(), static_cast<size_t>(kMessages));
  int escapes = 0;
  for (const auto& f : rows) {
    ASSERT_EQ(f.size(), 6u) << f[0];  // pdu, centre, originator, coding, data, time stamp
    pdu_param p;
    int n = gsmDecodePdu(f[0].c_str(), &p);
    ASSERT_GE(n, 0) << f[0];
    EXPECT_EQ((std::vector<std::string>{p.SCA, p.TPA, std::to_string(p.TP_DCS), Hex(std::string(p.TP_UD, n)),
                                        p.TP_SCTS}),
              std::vector<std::string>(f.begin() + 1, f.end()))
        << f[0];
    escapes += p.TP_DCS == 0 && n < p.TP_UDL ? 1 : 0;
  }
  EXPECT_GT(escapes, 10) << "the sample should hold texts with escape pairs";
}

}  // namespace
