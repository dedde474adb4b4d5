// The simulated SIM7100 on its AT channel: command bytes in, the exact bytes
// the firmware reads out (echo first), on a clock the test steps. What every
// modem pass meets (registration, GPS fix, reading the store) is checked end
// to end; here what the firmware meets only at times.
#include "sim/modem/sim7100_model.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>

#include "sim/control/command.h"
#include "sim/modem/sms_pdu.h"

namespace {

constexpr int64_t kMs = 1000;

class Sim7100Test : public ::testing::Test {
 protected:
  void SetUp() override {
    model_.SetSender([this](const std::string& bytes) { out_ += bytes; });
    model_.SetWallClock([] { return time_t{1626164109}; });  // 2021-07-13 08:15:09 UTC
  }
  // Lets `ms` pass, with the model acting at each of its deadlines.
  void Advance(int64_t ms) {
    int64_t until = now_ + ms * kMs;
    for (int64_t d = model_.NextDeadlineUs(); d >= 0 && d <= until; d = model_.NextDeadlineUs()) {
      model_.OnDeadline(now_ = std::max(d, now_));
    }
    now_ = until;
  }
  // Writes `bytes` as the firmware does and takes what arrived `wait_ms` later.
  std::string Exchange(const std::string& bytes, int64_t wait_ms = 100) {
    model_.Receive(bytes, now_);
    Advance(wait_ms);
    return Take();
  }
  std::string Take() { return std::exchange(out_, ""); }
  sim::Reply Ctl(const std::string& line) { return model_.Command(sim::SplitWords(line), line, now_); }
  std::string StateJson() {
    sim::Json s = sim::Json::Object();
    model_.AddState(s, now_);
    return s.Dump(false);
  }

  sim::Sim7100Model model_;
  std::string out_;
  int64_t now_ = 1000 * 1000 * kMs;
};

// An answer with its OK, as it follows the echo.
std::string WithOk(const std::string& line) { return "\r\n" + line + "\r\n\r\nOK\r\n"; }

TEST_F(Sim7100Test, AnswersTheFirmwaresCommandsWithEcho) {
  const std::pair<const char*, std::string> rows[] = {
      // The module's quirks the firmware must meet (its ordinary answers are
      // read in every modem pass end to end).
      {"AT+CGPS=1\r\n", "\r\nOK\r\n"},
      {"AT+CGPS=1\r\n", "\r\nERROR\r\n"},  // already on
      {"AT+CMGRD=50\r\n", "\r\n+CMS ERROR: 321\r\n"},
      {"at+csq\r", WithOk("+CSQ: 22,0")},  // lower case, CR alone
      {"AT+CMGF=1\r\n", "\r\nERROR\r\n"},  // PDU mode only
  };
  for (const auto& [in, out] : rows) EXPECT_EQ(Exchange(in), in + out) << in;
  // A line longer than the module takes is refused whole.
  EXPECT_EQ(Exchange("AT+" + std::string(600, 'X') + "\r").substr(604), "\r\nERROR\r\n");
  // (The echo at once and the answer within the firmware's wait: tests/e2e.)
  // A slow module: the late answer is read with the next command's echo.
  EXPECT_TRUE(Ctl("modem-delay 150").ok);
  EXPECT_EQ(Exchange("AT+CSQ\r\n"), "AT+CSQ\r\n");
  EXPECT_EQ(Exchange("AT+CREG?\r\n"), WithOk("+CSQ: 22,0") + "AT+CREG?\r\n");
}

TEST_F(Sim7100Test, RadioRestartAndPuk) {
  // An unlocked SIM (the firmware entering the PIN, a wrong one among them: tests/e2e).
  ASSERT_TRUE(Ctl("sim pin 1234").ok);
  Exchange("AT+CPIN=1234\r\n", 3000);
  // Within the firmware's 500 ms the radio is off.
  EXPECT_EQ(Exchange("AT+CFUN=0\r\n", 500), "AT+CFUN=0\r\n\r\nOK\r\n\r\n+SIMCARD: NOT AVAILABLE\r\n");
  EXPECT_EQ(Exchange("AT+CPIN?\r\n"), "AT+CPIN?\r\n\r\n+CME ERROR: SIM not inserted\r\n");
  // Back on within the firmware's 2000 ms; the SIM wants its PIN again.
  EXPECT_EQ(Exchange("AT+CFUN=1\r\n", 2000), "AT+CFUN=1\r\n\r\nOK\r\n\r\n+CPIN: SIM PIN\r\n");
  // Three wrong PINs lock the SIM to its PUK.
  for (int i = 0; i < 3; ++i) Exchange("AT+CPIN=0000\r\n", 500);
  EXPECT_EQ(Exchange("AT+CPIN?\r\n"), "AT+CPIN?\r\n" + WithOk("+CPIN: SIM PUK"));
  EXPECT_EQ(Exchange("AT+CPIN=1234\r\n", 500), "AT+CPIN=1234\r\n\r\n+CME ERROR: SIM PUK required\r\n");
}

// The SMS-SUBMIT of the firmware's codec for "hello" to 1234567890.
const std::string kHelloPdu = "0011000A8121436587090000AA05E8329BFD06";

// A message to the module's own number, which comes back into the store, is
// met by the QC station end to end.
TEST_F(Sim7100Test, SubmitsAnsweredAndKeptInTheOutbox) {
  const struct { const char *setup, *length, *answer, *outcome; } rows[] = {
      // A control command first, or ""; the AT+CMGS line; the answer after the
      // echo of the PDU; the outcome kept in the outbox.
      {"", "AT+CMGS=18\r", "\r\n+CMGS: 0\r\n\r\nOK\r\n", "accepted"},
      {"", "AT+CMGS=17\r", "\r\n+CMS ERROR: 304\r\n", "+CMS ERROR: 304 (AT+CMGS announced 17 octets, the PDU has 18)"},
      {"net none", "AT+CMGS=18\r", "\r\n+CMS ERROR: 331\r\n", "+CMS ERROR: 331 (not registered)"},
      {"sms-fail 1", "AT+CMGS=18\r", "\r\n+CMS ERROR: 500\r\n", "+CMS ERROR: 500 (sms-fail)"},
  };
  for (const auto& r : rows) {
    if (*r.setup) {
      ASSERT_TRUE(Ctl(r.setup).ok) << r.setup;
    }
    // As the firmware sends it: the length line, then the PDU and Ctrl-Z.
    EXPECT_EQ(Exchange(r.length), std::string(r.length) + "\r\n> ");
    EXPECT_EQ(Exchange(kHelloPdu + "\x1A"), kHelloPdu);  // the echo of the PDU; the network takes longer
    Advance(2900);
    EXPECT_EQ(Take(), r.answer);
    ASSERT_FALSE(model_.outbox().records().empty());
    const auto& rec = model_.outbox().records().back();
    EXPECT_EQ(rec.accepted ? "accepted" : rec.error, r.outcome);
    Ctl("net home");
  }
  const std::string first = R"({"time":")" + model_.outbox().records()[0].time +
                            R"(","number":"1234567890","coding":"gsm7","text":"hello","hex":null,"pdu":")" + kHelloPdu +
                            R"(","length":18,"result":"accepted","mr":0,"error":null,"own_number":false})" "\n";
  EXPECT_EQ(Ctl("outbox").text.substr(0, first.size()), first);
  // A PDU never ended is given up, and the module takes commands again.
  EXPECT_EQ(Exchange("AT+CMGS=18\r"), "AT+CMGS=18\r\r\n> ");
  EXPECT_EQ(Exchange("0011"), "0011");
  Advance(30000);
  EXPECT_EQ(Take(), "\r\n+CMS ERROR: 304\r\n");
  EXPECT_EQ(Exchange("AT\r\n"), "AT\r\n\r\nOK\r\n");
}

TEST_F(Sim7100Test, ControlCommandsCheckTheirInput) {
  std::string euros;
  for (int i = 0; i < 80; ++i) euros += "€";  // escape pairs: two septets each
  const std::pair<std::string, const char*> rows[] = {  // nullptr: refused
      {"sms from TIM Offerta", "index 0 (gsm7"},  // an alphanumeric sender
      {"sms from 123 Привет", "(ucs2"},           // not in the GSM alphabet
      {"sms pdu 07917283010010F5040BC87238880900F10000993092516195800AE8329BFD4697D9EC37", "28 octets"},
      {"sms from 1 " + std::string(160, 'a'), "gsm7"},  // one message's worth and no more
      {"sms from 1 " + euros, "gsm7"},
      {"sms from 1 " + std::string(161, 'a'), nullptr},
      {"sms from 1 " + euros + "€", nullptr},
      {"sms from 1 --ucs2 " + std::string(284, 'A'), nullptr},
      {"sms from +123456789012345678901 hi", nullptr},
      {"sms pdu 0004", nullptr},
      {"own-number TIM", nullptr},
      {"csq 32", nullptr},
  };
  for (const auto& [line, part] : rows) {
    sim::Reply reply = Ctl(line);
    EXPECT_EQ(reply.ok, part != nullptr) << line << ": " << reply.text;
    if (part) {
      EXPECT_NE(reply.text.find(part), std::string::npos) << line << ": " << reply.text;
    }
  }
  // A full store refuses more, with a hint.
  for (int i = 0; i < 45; ++i) ASSERT_TRUE(Ctl("sms from 1 m").ok);
  EXPECT_NE(Ctl("sms from 1 m").text.find("store is full"), std::string::npos);
}

}  // namespace
