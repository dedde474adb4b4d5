// The simulated SIM7100 on its AT channel: command bytes in, the exact bytes
// the firmware reads out (echo first), on a clock the test steps. What every
// modem pass meets (registration, GPS fix, reading the store) is checked end
// to end; here what the firmware meets only at times.
#include "sim/modem/sim7100_model.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>

#include "sim/board/board.h"
#include "sim/board/registration_file.h"
#include "sim/control/command.h"
#include "sim/modem/at_output_queue.h"
#include "sim/modem/sms_pdu.h"
#include "support/firmware_process.h"

namespace {

constexpr int64_t kMs = 1000;

class Sim7100Test : public ::testing::Test {
 protected:
  void SetUp() override {
    model_.SetSender([this](const std::string& bytes) {
      out_ += bytes;
      ++sends_;
    });
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
  int sends_ = 0;  // pieces the firmware's reads may meet
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
      {"realistic on 4294967295", "seed 4294967295"},
      {"realistic on 4294967296", nullptr},
      {"realistic off", "off"},
      {"module gone 0", nullptr},
      {"sim busy 1.5", nullptr},
      {"cmgs-delay 600001", nullptr},
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

// ---------------------------------------------------------------------------
// Realistic mode and faults on demand

TEST(AtOutputQueue, NoUnsolicitedLineInsideAnAnswerInPieces) {
  sim::AtOutputQueue q;
  q.AddAnswer("\r\n+CSQ: 2", 0, true);
  q.AddAnswer("2,0\r\n\r\nOK\r\n", 20);
  q.AddUnsolicited("\r\nRING\r\n", 10);
  EXPECT_EQ(q.TakeDue(10), "\r\n+CSQ: 2");
  EXPECT_EQ(q.next_due_us(), 20);  // not the line's 10: no busy wait for it
  EXPECT_EQ(q.TakeDue(20), "2,0\r\n\r\nOK\r\n\r\nRING\r\n");
}

// The firmware's queries, a read and a message: answered in pieces over up
// to 300 ms in realistic mode, yet the same bytes as in plain mode.
TEST_F(Sim7100Test, RealisticAnswersComeInPiecesYetSayWhatPlainOnesSay) {
  const std::string lines[] = {"ATI\r\n", "AT+CSQ\r\n", "AT+CREG?\r\n", "AT+CPMS?\r\n", "AT+CGPSINFO\r\n",
                               "AT+CMGRD=0\r\n", "AT+CMGS=18\r" + kHelloPdu + "\x1A"};
  ASSERT_TRUE(Ctl("sms from +393331234567 hi").ok);
  auto run = [&] {
    std::string all;
    for (const std::string& line : lines) all += Exchange(line, line.find("CMGS") == std::string::npos ? 400 : 21000);
    return all;
  };
  const std::string plain = run();
  const int plain_sends = std::exchange(sends_, 0);
  ASSERT_TRUE(Ctl("sms from +393331234567 hi").ok);
  ASSERT_TRUE(Ctl("realistic on 7").ok);
  std::string expected = plain;
  expected.replace(expected.find("+CMGS: 0"), 8, "+CMGS: 1");  // the next message reference
  EXPECT_EQ(run(), expected);
  EXPECT_GT(sends_, plain_sends + 5);
  // (No unsolicited line within 30 s of the switch: none came in between.)
}

TEST_F(Sim7100Test, SimBusyAfterPowerUpRadioOnAndPinAndOnDemand) {
  ASSERT_TRUE(Ctl("realistic on 7").ok);
  model_.PowerOn(now_);
  const struct { int64_t before_ms; const char *ctl, *command, *answer; } rows[] = {
      {0, "", "AT+CPIN?\r\n", "+CME ERROR: SIM busy\r\n"},  // power-up
      {0, "", "AT+CPMS?\r\n", "+CMS ERROR: 314\r\n"},
      {0, "", "AT+CSQ\r\n", "+CSQ: 22,0\r\n\r\nOK\r\n"},  // not the SIM's
      {7000, "", "AT+CPIN?\r\n", "+CPIN: READY\r\n\r\nOK\r\n"},
      {0, "", "AT+CMEE=1\r\n", "OK\r\n"},
      {0, "", "AT+CFUN=0\r\n", "OK\r\n"},
      {0, "", "AT+CFUN=1\r\n", "OK\r\n"},
      {0, "", "AT+CPIN?\r\n", "+CME ERROR: 14\r\n"},  // radio on
      {7000, "sim pin 1234", "AT+CPIN=1234\r\n", "OK\r\n"},
      {0, "", "ATD+393331234567;\r\n", "+CME ERROR: 14\r\n"},  // PIN entry
      {7000, "realistic off", "AT+CMGD=4,4\r\n", "\r\nOK\r\n"},
      {0, "sim busy 2", "AT+CMGD=4,4\r\n", "+CMS ERROR: 314\r\n"},  // on demand
      {2000, "", "AT+CMGD=4,4\r\n", "\r\nOK\r\n"},
  };
  std::string all;
  for (const auto& r : rows) {
    Advance(r.before_ms);
    if (*r.ctl) {
      ASSERT_TRUE(Ctl(r.ctl).ok) << r.ctl;
    }
    std::string out = Exchange(r.command, 700);
    all += out;
    EXPECT_NE(out.find(std::string(r.command) + "\r\n"), std::string::npos) << r.command << out;
    EXPECT_NE(out.find(r.answer), std::string::npos) << r.command << ":\n" << out;
  }
  // Registration changes are reported in realistic mode.
  for (const char* line : {"\r\nRDY\r\n", "\r\n+CREG: 1\r\n", "\r\n+CREG: 0\r\n"}) {
    EXPECT_NE(all.find(line), std::string::npos) << line << all;
  }
}

TEST_F(Sim7100Test, LateConfirmations) {
  auto confirmation_ms = [&] {
    Exchange("AT+CMGS=18\r" + kHelloPdu + "\x1A", 0);
    for (int64_t ms = 0; ms <= 25000; ms += 50) {
      if (out_.find("OK\r\n") != std::string::npos) return std::exchange(out_, ""), ms;
      Advance(50);
    }
    return int64_t{-1};
  };
  ASSERT_TRUE(Ctl("cmgs-delay 5000").ok);
  EXPECT_EQ(confirmation_ms(), 5000);
  ASSERT_TRUE(Ctl("cmgs-delay 0").ok);
  EXPECT_EQ(confirmation_ms(), 400);
  // Realistic: now and then 1 to 20 s instead of 400 ms (plus the pieces).
  ASSERT_TRUE(Ctl("realistic on 7").ok);
  int late = 0;
  for (int i = 0; i < 24; ++i) {
    int64_t ms = confirmation_ms();
    ASSERT_GE(ms, 400);
    ASSERT_LE(ms, 20300);
    late += ms > 700;
  }
  EXPECT_GE(late, 1);
  EXPECT_LE(late, 10);
  EXPECT_EQ(model_.outbox().records().back().mr, 25);  // each confirmed once, in order
}

TEST_F(Sim7100Test, ModuleGoneComesBackAsAfterAReset) {
  Exchange("ATE0\r\n");
  ASSERT_TRUE(Ctl("module gone 5").ok);
  EXPECT_NE(StateJson().find(R"("gone_ms":5000)"), std::string::npos) << StateJson();
  EXPECT_FALSE(model_.Registered(now_));
  EXPECT_EQ(Exchange("AT+CSQ\r\n", 4900), "");  // not even echo
  EXPECT_EQ(Exchange("", 100), "\r\nRDY\r\n");
  // Echo is back on; the SIM is busy, then the module registers.
  EXPECT_EQ(Exchange("AT+CPIN?\r\n"), "AT+CPIN?\r\n\r\n+CME ERROR: SIM busy\r\n");
  EXPECT_NE(Exchange("", 3200).find("+CPIN: READY"), std::string::npos);  // after RDY and 3 s
  EXPECT_EQ(model_.RegistrationAt(now_), 2);
  Advance(3000);
  EXPECT_TRUE(model_.Registered(now_));
}

// The data call's service reads the registration the board writes for it.
TEST_F(Sim7100Test, DataCallOnlyWhileRegistered) {
  testsupport::TempDir dir;
  sim::BoardRoot root(dir.path());
  ASSERT_EQ(root.Layout(false), "");
  sim::Board board(root, model_);
  sim::RegistrationFile file(root);
  const struct { const char* ctl; int64_t after_ms; const char *registration, *qmi; } rows[] = {
      {"", 0, "registered\n", R"("qmi": "up")"},
      {"net none", 0, "not registered\n", R"("qmi": "down")"},
      {"net roaming", 0, "registered\n", R"("qmi": "up")"},
      {"module gone 2", 0, "not registered\n", R"("qmi": "down")"},
      {"", 2000 + 300 + 3000 + 2900, "not registered\n", R"("qmi": "down")"},  // RDY, SIM busy, searching
      {"", 200, "registered\n", R"("qmi": "up")"},
  };
  for (const auto& r : rows) {
    if (*r.ctl) {
      ASSERT_TRUE(Ctl(r.ctl).ok) << r.ctl;
    }
    Advance(r.after_ms);
    ASSERT_TRUE(file.Update(model_.Registered(now_)));
    EXPECT_EQ(dir.Read("sim/registration"), r.registration) << r.ctl << r.after_ms;
    EXPECT_NE(board.State(now_).Dump().find(r.qmi), std::string::npos) << r.ctl << r.after_ms;
  }
}

}  // namespace
