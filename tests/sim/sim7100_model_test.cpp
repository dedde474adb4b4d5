// The simulated SIM7100 on its AT channel: command bytes in, the exact bytes
// the firmware reads out (echo first), on a clock the test steps.
#include "sim/sim7100_model.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>

#include "sim/command.h"
#include "sim/sms_pdu.h"

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
      // What the firmware parses of a first modem pass (the whole pass runs
      // end to end), and the store's two ways of saying "nothing there".
      {"AT+GMM\r\n", WithOk("SIMCOM_SIM7100C")},
      {"AT+SIMEI?\r\n", WithOk("+SIMEI: 861234030012345")},
      {"AT+CGPS?\r\n", WithOk("+CGPS: 0,1")},
      {"AT+CGPS=1\r\n", "\r\nOK\r\n"},
      {"AT+CGPS=1\r\n", "\r\nERROR\r\n"},  // already on
      {"AT+CMGD=4,4\r\n", "\r\nOK\r\n"},
      {"AT+CNSMOD?\r\n", WithOk("+CNSMOD: 0,4")},
      {"AT+CMGRD=0\r\n", "\r\nOK\r\n"},
      {"AT+CMGRD=50\r\n", "\r\n+CMS ERROR: 321\r\n"},
      {"at+csq\r", WithOk("+CSQ: 22,0")},  // lower case, CR alone
      {"AT+CPIN=1234\r\n", "\r\n+CME ERROR: operation not allowed\r\n"},
      {"AT+CMGF=1\r\n", "\r\nERROR\r\n"},  // PDU mode only
  };
  for (const auto& [in, out] : rows) EXPECT_EQ(Exchange(in), in + out) << in;
  // A line longer than the module takes is refused whole.
  EXPECT_EQ(Exchange("AT+" + std::string(600, 'X') + "\r").substr(604), "\r\nERROR\r\n");
  EXPECT_EQ(Exchange("AT\r"), "AT\r\r\nOK\r\n");
}

TEST_F(Sim7100Test, QueriesFitTheFirmwaresWaitUnlessMadeSlow) {
  model_.Receive("AT+CSQ\r\n", now_);
  EXPECT_EQ(Take(), "AT+CSQ\r\n");  // the echo at once
  Advance(1);
  EXPECT_EQ(Take(), "");  // the answer takes a few ms
  Advance(99);
  EXPECT_EQ(Take(), WithOk("+CSQ: 22,0"));

  EXPECT_TRUE(Ctl("modem-delay 150").ok);
  EXPECT_EQ(Exchange("AT+CSQ\r\n"), "AT+CSQ\r\n");
  // The late answer is read with the next command's echo, in the module's
  // order, and that command's answer comes late in turn.
  EXPECT_EQ(Exchange("AT+CREG?\r\n"), WithOk("+CSQ: 22,0") + "AT+CREG?\r\n");
  EXPECT_EQ(Exchange("", 100), WithOk("+CREG: 0,1"));
  EXPECT_NE(StateJson().find(R"("delay_ms":150)"), std::string::npos);
}

TEST_F(Sim7100Test, SimNetworkAndSignalAsTheModuleReportsThem) {
  const std::string store = WithOk(R"(+CPMS: "SM",0,50,"SM",0,50,"SM",0,50)");
  const struct { const char* ctl; std::string cpin, creg, cpms; const char* state; } rows[] = {
      {"sim pin 1234", WithOk("+CPIN: SIM PIN"), WithOk("+CREG: 0,0"), "\r\n+CMS ERROR: 311\r\n", R"("sim":"pin")"},
      {"sim absent", "\r\n+CME ERROR: SIM not inserted\r\n", WithOk("+CREG: 0,0"), "\r\n+CMS ERROR: 310\r\n",
       R"("sim":"absent")"},
      {"sim ready", WithOk("+CPIN: READY"), WithOk("+CREG: 0,1"), store, R"("sim":"ready")"},
      {"net roaming", WithOk("+CPIN: READY"), WithOk("+CREG: 0,5"), store, R"("registration":"roaming")"},
      {"net none", WithOk("+CPIN: READY"), WithOk("+CREG: 0,2"), store, R"("registration":"searching")"},
  };
  for (const auto& r : rows) {
    ASSERT_TRUE(Ctl(r.ctl).ok) << r.ctl;
    Advance(2000);  // the SIM's own lines, and registration after a ready SIM
    Take();
    EXPECT_EQ(Exchange("AT+CPIN?\r\n"), "AT+CPIN?\r\n" + r.cpin) << r.ctl;
    EXPECT_EQ(Exchange("AT+CREG?\r\n"), "AT+CREG?\r\n" + r.creg) << r.ctl;
    EXPECT_EQ(Exchange("AT+CPMS?\r\n"), "AT+CPMS?\r\n" + r.cpms) << r.ctl;
    EXPECT_NE(StateJson().find(r.state), std::string::npos) << r.ctl;
  }
  ASSERT_TRUE(Ctl("csq 99").ok);
  EXPECT_EQ(Exchange("AT+CSQ\r\n"), "AT+CSQ\r\n" + WithOk("+CSQ: 99,99"));
}

TEST_F(Sim7100Test, PinEntryRadioRestartAndPuk) {
  ASSERT_TRUE(Ctl("sim pin 1234").ok);
  EXPECT_EQ(Take(), "\r\n+CPIN: SIM PIN\r\n");
  EXPECT_EQ(Exchange("AT+CPIN=1111\r\n", 3000), "AT+CPIN=1111\r\n\r\n+CME ERROR: incorrect password\r\n");
  EXPECT_EQ(Exchange("AT+CPIN=1234\r\n", 3000),
            "AT+CPIN=1234\r\n\r\nOK\r\n\r\n+CPIN: READY\r\n\r\nSMS DONE\r\n\r\nPB DONE\r\n");
  EXPECT_EQ(Exchange("AT+CREG?\r\n"), "AT+CREG?\r\n" + WithOk("+CREG: 0,1"));
  // Within the firmware's 500 ms the radio is off.
  EXPECT_EQ(Exchange("AT+CFUN=0\r\n", 500), "AT+CFUN=0\r\n\r\nOK\r\n\r\n+SIMCARD: NOT AVAILABLE\r\n");
  EXPECT_EQ(Exchange("AT+CPIN?\r\n"), "AT+CPIN?\r\n\r\n+CME ERROR: SIM not inserted\r\n");
  EXPECT_NE(StateJson().find(R"("sim":"off")"), std::string::npos);
  // Back on within the firmware's 2000 ms; the SIM wants its PIN again.
  EXPECT_EQ(Exchange("AT+CFUN=1\r\n", 2000), "AT+CFUN=1\r\n\r\nOK\r\n\r\n+CPIN: SIM PIN\r\n");
  // Three wrong PINs ask for the PUK, which sets a new PIN.
  for (int i = 0; i < 3; ++i) Exchange("AT+CPIN=0000\r\n", 500);
  EXPECT_EQ(Exchange("AT+CPIN?\r\n"), "AT+CPIN?\r\n" + WithOk("+CPIN: SIM PUK"));
  EXPECT_EQ(Exchange("AT+CPIN=1234\r\n", 500), "AT+CPIN=1234\r\n\r\n+CME ERROR: SIM PUK required\r\n");
  EXPECT_EQ(Exchange("AT+CPIN=\"12345678\",\"4321\"\r\n", 200), "AT+CPIN=\"12345678\",\"4321\"\r\n\r\nOK\r\n");
  Advance(2000);
  Take();
  EXPECT_EQ(Exchange("AT+CPIN?\r\n"), "AT+CPIN?\r\n" + WithOk("+CPIN: READY"));
}

TEST_F(Sim7100Test, GpsFix) {
  Exchange("AT+CGPS=1\r\n");
  ASSERT_TRUE(Ctl("gps fix 45.5 -9.25").ok);
  // Time and date from the wall clock, in UTC.
  EXPECT_EQ(Exchange("AT+CGPSINFO\r\n"),
            "AT+CGPSINFO\r\n" + WithOk("+CGPSINFO: 4530.000000,N,00915.000000,W,130721,081509.0,44.1,0.0,0"));
  // A stopped receiver has no fix, whatever the sky.
  EXPECT_EQ(Exchange("AT+CGPS=0\r\n"), "AT+CGPS=0\r\n\r\nOK\r\n\r\n+CGPS: 0\r\n");
  EXPECT_EQ(Exchange("AT+CGPSINFO\r\n"), "AT+CGPSINFO\r\n" + WithOk("+CGPSINFO: ,,,,,,,,"));
  EXPECT_NE(StateJson().find(R"("gps":"off")"), std::string::npos);
}

// The SMS-SUBMIT of the firmware's codec for "hello" to 1234567890.
const std::string kHelloPdu = "0011000A8121436587090000AA05E8329BFD06";

TEST_F(Sim7100Test, SubmitPromptConfirmAndOutbox) {
  // As the firmware sends it: the length line, then the PDU and Ctrl-Z.
  EXPECT_EQ(Exchange("AT+CMGS=18\r"), "AT+CMGS=18\r\r\n> ");
  EXPECT_EQ(Exchange(kHelloPdu + "\x1A"), kHelloPdu);  // the echo of the PDU; the network takes longer
  Advance(2900);
  EXPECT_EQ(Take(), "\r\n+CMGS: 0\r\n\r\nOK\r\n");
  ASSERT_EQ(model_.outbox().size(), 1u);
  EXPECT_EQ(Ctl("outbox").text, R"({"time":")" + model_.outbox().records()[0].time +
                                     R"(","number":"1234567890","coding":"gsm7","text":"hello","hex":null,"pdu":")" +
                                     kHelloPdu + R"(","length":18,"result":"accepted","mr":0,"error":null,)"
                                     R"("own_number":false})" "\n");
  EXPECT_TRUE(Ctl("outbox clear").ok);
  EXPECT_EQ(Ctl("outbox").text, "");

  // A message to the module's own number comes back into the store.
  ASSERT_TRUE(Ctl("own-number +1234567890").ok);
  Exchange("AT+CMGS=18\r");
  Exchange(kHelloPdu + "\x1A", 500);
  EXPECT_EQ(model_.store().used(), 0);  // the network takes a moment
  Advance(1500);
  ASSERT_EQ(model_.store().used(), 1);
  EXPECT_EQ(model_.store().At(0)->from, "+1234567890");
  EXPECT_EQ(model_.store().At(0)->text, "hello");
}

TEST_F(Sim7100Test, SubmitFailures) {
  const struct { const char *setup, *length; std::string pdu; std::string error; } rows[] = {
      // A control command first, or ""; the AT+CMGS line; the error answered and kept in the outbox.
      {"sms-fail 1", "AT+CMGS=18\r", kHelloPdu, "+CMS ERROR: 500 (sms-fail)"},
      {"sms-fail 1 332", "AT+CMGS=18\r", kHelloPdu, "+CMS ERROR: 332 (sms-fail)"},
      {"", "AT+CMGS=17\r", kHelloPdu, "+CMS ERROR: 304 (AT+CMGS announced 17 octets, the PDU has 18)"},
      {"", "AT+CMGS=18\r", "hello", "+CMS ERROR: 304 (the PDU is not hexadecimal text (two digits per octet))"},
      {"", "AT+CMGS=18\r", std::string(1100, '0'), "+CMS ERROR: 304 (the PDU text is longer than 1024 characters)"},
      {"net none", "AT+CMGS=18\r", kHelloPdu, "+CMS ERROR: 331 (not registered)"},
  };
  for (const auto& r : rows) {
    if (*r.setup) {
      ASSERT_TRUE(Ctl(r.setup).ok) << r.setup;
    }
    EXPECT_EQ(Exchange(r.length), std::string(r.length) + "\r\n> ");
    EXPECT_EQ(Exchange(r.pdu + "\x1A", 3000).substr(r.pdu.size()), "\r\n" + r.error.substr(0, 15) + "\r\n");
    ASSERT_FALSE(model_.outbox().records().empty());
    EXPECT_EQ(model_.outbox().records().back().error, r.error);
    EXPECT_FALSE(model_.outbox().records().back().accepted);
    Ctl("net home");
  }
  // The failures were used up: the next message goes.
  Exchange("AT+CMGS=18\r");
  EXPECT_NE(Exchange(kHelloPdu + "\x1A", 3000).find("+CMGS: "), std::string::npos);

  // No prompt without a ready SIM; ESC cancels a PDU; a PDU never ended
  // is given up and the module takes commands again.
  Ctl("sim absent");
  Advance(1000);
  Take();
  EXPECT_EQ(Exchange("AT+CMGS=18\r"), "AT+CMGS=18\r\r\n+CMS ERROR: 310\r\n");
  Ctl("sim ready");
  Advance(2000);
  Take();
  EXPECT_EQ(Exchange("AT+CMGS=18\r"), "AT+CMGS=18\r\r\n> ");
  EXPECT_EQ(Exchange("0011\x1B"), "0011\r\nOK\r\n");
  EXPECT_EQ(Exchange("AT+CMGS=18\r"), "AT+CMGS=18\r\r\n> ");
  EXPECT_EQ(Exchange("0011"), "0011");
  Advance(30000);
  EXPECT_EQ(Take(), "\r\n+CMS ERROR: 304\r\n");
  EXPECT_EQ(Exchange("AT\r\n"), "AT\r\n\r\nOK\r\n");
}

TEST_F(Sim7100Test, StoreReadAndDelete) {
  ASSERT_EQ(Ctl("sms from +393331234567 Hello [world] €5").text, "SMS stored at index 0 (gsm7, 36 octets)");
  ASSERT_EQ(Ctl("sms from 5551234 --ucs2 04120430").text, "SMS stored at index 1 (ucs2, 21 octets)");
  EXPECT_EQ(Exchange("AT+CPMS?\r\n"), "AT+CPMS?\r\n" + WithOk("+CPMS: \"SM\",2,50,\"SM\",2,50,\"SM\",2,50"));
  EXPECT_NE(StateJson().find(R"({"index":0,"from":"+393331234567","coding":"gsm7","text":"Hello [world] €5")"),
            std::string::npos)
      << StateJson();
  std::string pdu = model_.store().At(0)->pdu;
  EXPECT_EQ(Exchange("AT+CMGRD=0\r\n"), "AT+CMGRD=0\r\n\r\n+CMGRD: 0,,36\r\n" + pdu + "\r\n\r\nOK\r\n");
  EXPECT_EQ(Exchange("AT+CMGRD=0\r\n"), "AT+CMGRD=0\r\n\r\nOK\r\n");  // read means deleted
  EXPECT_EQ(Exchange("AT+CMGD=1\r\n"), "AT+CMGD=1\r\n\r\nOK\r\n");
  EXPECT_EQ(model_.store().used(), 0);
  // AT+CMGD=4,4 empties the store; so does `sms clear`.
  Ctl("sms from 1 a");
  Ctl("sms from 2 b");
  EXPECT_EQ(Exchange("AT+CMGD=,4\r\n"), "AT+CMGD=,4\r\n\r\nOK\r\n");
  EXPECT_EQ(model_.store().used(), 0);
  Ctl("sms from 1 a");
  EXPECT_EQ(Ctl("sms clear").text, "store emptied");
  EXPECT_EQ(model_.store().used(), 0);
}

TEST_F(Sim7100Test, ControlCommandsCheckTheirInput) {
  std::string euros;
  for (int i = 0; i < 80; ++i) euros += "€";  // escape pairs: two septets each
  const std::pair<std::string, const char*> rows[] = {  // nullptr: refused
      {"sms from TIM Offerta", "index 0 (gsm7"},  // an alphanumeric sender
      {"sms from +39 333", "index 1 (gsm7"},      // the text after the number, blanks kept
      {"sms from 123 Привет", "(ucs2"},           // not in the GSM alphabet
      {"sms pdu 07917283010010F5040BC87238880900F10000993092516195800AE8329BFD4697D9EC37", "28 octets"},
      {"sms pdu --raw 0004", "as given"},
      {"sms from 1 " + std::string(160, 'a'), "gsm7"},  // one message's worth and no more
      {"sms from 1 " + euros, "gsm7"},
      {"sms from 1 --ucs2 " + std::string(280, 'A'), "ucs2"},
      {"sms from 1 " + std::string(161, 'a'), nullptr},
      {"sms from 1 " + euros + "€", nullptr},
      {"sms from 1 " + euros + "ж", nullptr},  // now UCS2: 81 units
      {"sms from 1 --ucs2 " + std::string(284, 'A'), nullptr},
      {"sms from +123456789012345678901 hi", nullptr},
      {"sms from 123 --ucs2 004100", nullptr},
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
  Ctl("sms clear");
  for (int i = 0; i < 50; ++i) ASSERT_TRUE(Ctl("sms from 1 m").ok);
  EXPECT_NE(Ctl("sms from 1 m").text.find("store is full"), std::string::npos);
}

}  // namespace
