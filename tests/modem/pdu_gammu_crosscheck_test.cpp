// Cross-check against python-gammu, an independent codec: PDUs the firmware
// encodes must read back right in gammu, and SMS-DELIVER PDUs gammu encodes
// must read right in the firmware. Seeds are fixed, so a failure repeats.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "modem/pdu_codec.h"
#include "tests/modem/pdu_program_run.h"

namespace {

constexpr char kPython[] = "/usr/bin/python3";
constexpr int kMessages = 400;

std::string Script() { return std::string(QRV_SOURCE_DIR) + "/tests/modem/pdu_gammu_check.py"; }

std::vector<std::string> SplitTabs(const std::string& line) {
  std::vector<std::string> fields;
  std::stringstream ss(line);
  std::string field;
  while (std::getline(ss, field, '\t')) fields.push_back(field);
  if (!line.empty() && line.back() == '\t') fields.push_back("");
  return fields;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::stringstream ss(text);
  std::string line;
  while (std::getline(ss, line)) lines.push_back(line);
  return lines;
}

std::string Hex(const uint8_t* data, int n) {
  std::string text(2 * static_cast<size_t>(n) + 1, '\0');
  gsmBytes2String(data, &text[0], n);
  text.resize(2 * static_cast<size_t>(n));
  return text;
}

std::string Hex(const std::string& bytes) {
  return Hex(reinterpret_cast<const uint8_t*>(bytes.data()), static_cast<int>(bytes.size()));
}

// The cross-check must not pass quietly on a machine without gammu.
bool GammuAvailable() {
  pdutest::ProgramResult r = pdutest::RunProgram(kPython, {"-c", "import gammu"});
  if (r.status != 0) {
    ADD_FAILURE() << "python-gammu is missing (" << kPython << " cannot import gammu: " << r.err
                  << "); install the Debian package python3-gammu (scripts/install-deps.sh)";
    return false;
  }
  return true;
}

struct Sent {
  std::string number;  // as gammu shows it: "+" kept for international
  int coding;
  int length;          // septets or octets
  std::string data;    // ISO-8859-1 text or octets, as they should arrive
  std::string pdu;
};

Sent RandomMessage(std::mt19937& rng) {
  Sent m;
  pdu_param p{};
  p.TOA = kToaUnknown;
  bool international = rng() % 2 == 0;
  int digits = 1 + static_cast<int>(rng() % 15);
  m.number = international ? "+" : "";
  for (int i = 0; i < digits; ++i) m.number += static_cast<char>('0' + rng() % 10);
  std::strcpy(p.TPA, m.number.c_str());

  const int sizes[] = {0, 1, 7, 8, 9, 70, 139, 140, 159, 160};
  int kind = static_cast<int>(rng() % 4);
  if (kind <= 1) {
    // 7-bit: the whole alphabet, escape characters often, and now and then a
    // character with no GSM code (it must arrive as "?").
    std::string text;
    int len = (rng() % 2 == 0) ? sizes[rng() % 10] : static_cast<int>(rng() % 161);
    for (int i = 0; i < len; ++i) {
      uint32_t pick = rng() % 100;
      if (pick < 15) {
        text += "\x0C^{}\\[~]|\xA4"[rng() % 10];
      } else if (pick < 18) {
        text += "\xE1\xB0\xFE"[rng() % 3];
      } else {
        uint8_t c = Table7Bit2Iso[rng() % 128];
        text += static_cast<char>(c == 0x1B ? 'e' : c);
      }
    }
    m.coding = 0;
    std::memcpy(p.TP_UD, text.data(), text.size());
    p.TP_UDL = static_cast<uint8_t>(text.size());
    int septets = 0;
    for (char c : text) {
      int need = gsmIsoSeptets(static_cast<uint8_t>(c));
      if (septets + need > kPduMaxSeptets) break;
      septets += need;
      bool in_table = need == 2;
      for (uint8_t v : Table7Bit2Iso) in_table = in_table || v == static_cast<uint8_t>(c);
      m.data += in_table ? c : '?';
    }
    m.length = septets;
  } else {
    int len = (rng() % 2 == 0) ? sizes[rng() % 8] : static_cast<int>(rng() % 141);
    if (kind == 2) {
      // UCS2 without what gammu cannot carry: zero units, surrogates, and
      // 0x0001 and "~", which gammu swaps for each other.
      len &= ~1;
      for (int i = 0; i < len; i += 2) {
        uint16_t unit = static_cast<uint16_t>(2 + rng() % 0xFFFC);
        if (unit >= 0xD800 && unit < 0xE000) unit = static_cast<uint16_t>(unit - 0x1000);
        if (unit == 0x7E) unit = 0x7D;
        m.data += static_cast<char>(unit >> 8);
        m.data += static_cast<char>(unit & 0xFF);
      }
      m.coding = 8;
    } else {
      for (int i = 0; i < len; ++i) m.data += static_cast<char>(rng() & 0xFF);
      m.coding = 4;
    }
    std::memcpy(p.TP_UD, m.data.data(), m.data.size());
    p.TP_UDL = static_cast<uint8_t>(m.data.size());
    m.length = static_cast<int>(m.data.size());
  }
  p.TP_DCS = static_cast<uint8_t>(m.coding);

  char text[kPduTextSize];
  int tpdu = gsmEncodePdu(&p, text);
  EXPECT_EQ(tpdu, static_cast<int>(std::strlen(text) - 2) / 2) << m.number;
  m.pdu = text;
  return m;
}

TEST(PduGammuCrossCheck, FirmwareSubmitsReadRightInGammu) {
  if (!GammuAvailable()) return;
  std::mt19937 rng(806);
  std::vector<Sent> sent;
  std::string file;
  for (int i = 0; i < kMessages; ++i) {
    sent.push_back(RandomMessage(rng));
    file += sent.back().pdu + "\n";
  }
  testsupport::TempDir dir;
  dir.Write("submit.txt", file);

  pdutest::ProgramResult r =
      pdutest::RunProgram(kPython, {Script(), "decode-submit", dir.path() + "/submit.txt"});
  ASSERT_EQ(r.status, 0) << r.err;
  std::vector<std::string> lines = Lines(r.out);
  ASSERT_EQ(lines.size(), sent.size()) << r.out << r.err;
  for (size_t i = 0; i < sent.size(); ++i) {
    const Sent& m = sent[i];
    std::vector<std::string> f = SplitTabs(lines[i]);
    ASSERT_EQ(f.size(), 5u) << lines[i] << " for " << m.pdu;
    EXPECT_EQ(f[0], "ok") << m.pdu;
    EXPECT_EQ(f[1], m.number) << m.pdu;
    EXPECT_EQ(f[2], std::to_string(m.coding)) << m.pdu;
    EXPECT_EQ(f[3], std::to_string(m.length)) << m.pdu;
    EXPECT_EQ(f[4], Hex(m.data)) << m.pdu;
  }
}

TEST(PduGammuCrossCheck, GammuDeliversReadRightInFirmware) {
  if (!GammuAvailable()) return;
  pdutest::ProgramResult r =
      pdutest::RunProgram(kPython, {Script(), "make-deliver", "4404", std::to_string(kMessages)});
  ASSERT_EQ(r.status, 0) << r.err;
  std::vector<std::string> lines = Lines(r.out);
  ASSERT_EQ(lines.size(), static_cast<size_t>(kMessages)) << r.err;
  int escapes = 0;
  for (const std::string& line : lines) {
    std::vector<std::string> f = SplitTabs(line);
    ASSERT_EQ(f.size(), 6u) << line;
    const std::string& pdu = f[0];
    int coding = std::stoi(f[3]);
    pdu_param p;
    int n = gsmDecodePdu(pdu.c_str(), &p);
    ASSERT_GE(n, 0) << pdu;
    EXPECT_EQ(p.SCA, f[1]) << pdu;
    EXPECT_EQ(p.TPA, f[2]) << pdu;
    EXPECT_EQ(p.TP_DCS, coding) << pdu;
    EXPECT_EQ(p.TP_SCTS, f[5]) << pdu;
    EXPECT_EQ(Hex(reinterpret_cast<const uint8_t*>(p.TP_UD), n), f[4]) << pdu;
    if (coding == 0 && n < p.TP_UDL) ++escapes;
  }
  EXPECT_GT(escapes, 10) << "the sample should hold texts with escape pairs";
}

}  // namespace
