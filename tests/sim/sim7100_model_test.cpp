// The simulated SIM7100 on its AT channel: command bytes in, the exact bytes
// the firmware reads out (echo first), on a clock the test steps.
#include "sim/sim7100_model.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "sim/command.h"
#include "sim/sms_pdu.h"

namespace {

using sim::Sim7100Model;

constexpr int64_t kMs = 1000;
// 2021-07-13 08:15:09 UTC.
constexpr time_t kWallClock = 1626164109;

class Sim7100Test : public ::testing::Test {
 protected:
  void SetUp() override {
    model_.SetSender([this](const std::string& bytes) { out_ += bytes; });
    model_.SetWallClock([] { return kWallClock; });
  }

  // Lets `ms` pass, with the model acting at each of its deadlines.
  void Advance(int64_t ms) {
    int64_t until = now_ + ms * kMs;
    for (int64_t d = model_.NextDeadlineUs(); d >= 0 && d <= until; d = model_.NextDeadlineUs()) {
      now_ = d > now_ ? d : now_;
      model_.OnDeadline(now_);
    }
    now_ = until;
  }

  // Writes `bytes` as the firmware does and takes what arrived `wait_ms` later.
  std::string Exchange(const std::string& bytes, int64_t wait_ms = 100) {
    model_.Receive(bytes, now_);
    Advance(wait_ms);
    return Take();
  }

  std::string Take() {
    std::string o = out_;
    out_.clear();
    return o;
  }

  sim::Reply Ctl(const std::string& line) { return model_.Command(sim::SplitWords(line), line, now_); }

  std::string StateJson() {
    sim::Json s = sim::Json::Object();
    model_.AddState(s, now_);
    return s.Dump(false);
  }

  Sim7100Model model_;
  std::string out_;
  int64_t now_ = 1000 * 1000 * kMs;
};

TEST_F(Sim7100Test, AnswersTheFirmwaresCommandsWithEcho) {
  struct Row {
    const char* in;
    const char* out;
  };
  // The order of a first modem pass.
  const Row rows[] = {
      {"ATI\r\n",
       "ATI\r\n\r\nManufacturer: SIMCOM INCORPORATED\r\nModel: SIMCOM_SIM7100C\r\nRevision: 4534B03SIM7100C\r\n"
       "IMEI: 861234030012345\r\n+GCAP: +CGSM,+DS,+ES\r\n\r\nOK\r\n"},
      {"AT+GMM\r\n", "AT+GMM\r\n\r\nSIMCOM_SIM7100C\r\n\r\nOK\r\n"},
      {"AT+SIMEI?\r\n", "AT+SIMEI?\r\n\r\n+SIMEI: 861234030012345\r\n\r\nOK\r\n"},
      {"AT+CGPS?\r\n", "AT+CGPS?\r\n\r\n+CGPS: 0,1\r\n\r\nOK\r\n"},
      {"AT+CGPS=1\r\n", "AT+CGPS=1\r\n\r\nOK\r\n"},
      {"AT+CMGD=4,4\r\n", "AT+CMGD=4,4\r\n\r\nOK\r\n"},
      {"AT+CPIN?\r\n", "AT+CPIN?\r\n\r\n+CPIN: READY\r\n\r\nOK\r\n"},
      {"AT+CREG?\r\n", "AT+CREG?\r\n\r\n+CREG: 0,1\r\n\r\nOK\r\n"},
      {"AT+CSQ\r\n", "AT+CSQ\r\n\r\n+CSQ: 22,0\r\n\r\nOK\r\n"},
      {"AT+CNSMOD?\r\n", "AT+CNSMOD?\r\n\r\n+CNSMOD: 0,4\r\n\r\nOK\r\n"},
      {"AT+CGPSINFO\r\n", "AT+CGPSINFO\r\n\r\n+CGPSINFO: ,,,,,,,,\r\n\r\nOK\r\n"},
      {"AT+CPMS?\r\n", "AT+CPMS?\r\n\r\n+CPMS: \"SM\",0,50,\"SM\",0,50,\"SM\",0,50\r\n\r\nOK\r\n"},
      {"AT+CMGRD=0\r\n", "AT+CMGRD=0\r\n\r\nOK\r\n"},
      {"AT+CMGRD=49\r\n", "AT+CMGRD=49\r\n\r\nOK\r\n"},
      {"AT+CMGRD=50\r\n", "AT+CMGRD=50\r\n\r\n+CMS ERROR: 321\r\n"},
      // Other forms and refusals.
      {"AT\r\n", "AT\r\n\r\nOK\r\n"},
      {"at+csq\r", "at+csq\r\r\n+CSQ: 22,0\r\n\r\nOK\r\n"},  // lower case, CR alone
      {"\nAT+CGMM\r\n", "\nAT+CGMM\r\n\r\nSIMCOM_SIM7100C\r\n\r\nOK\r\n"},  // a stray line feed first
      {"AT+CGPS=1\r\n", "AT+CGPS=1\r\n\r\nERROR\r\n"},  // already on
      {"AT+CGPS?\r\n", "AT+CGPS?\r\n\r\n+CGPS: 1,1\r\n\r\nOK\r\n"},
      {"AT+CFUN?\r\n", "AT+CFUN?\r\n\r\n+CFUN: 1\r\n\r\nOK\r\n"},
      {"AT+CPIN=1234\r\n", "AT+CPIN=1234\r\n\r\n+CME ERROR: operation not allowed\r\n"},
      {"AT+CMGD=50\r\n", "AT+CMGD=50\r\n\r\n+CMS ERROR: 321\r\n"},
      {"AT+CMGRD=x\r\n", "AT+CMGRD=x\r\n\r\nERROR\r\n"},
      {"AT+CMGF=1\r\n", "AT+CMGF=1\r\n\r\nERROR\r\n"},  // PDU mode only
      {"AT+CPMS=\"SM\",\"SM\",\"SM\"\r\n", "AT+CPMS=\"SM\",\"SM\",\"SM\"\r\n\r\n+CPMS: 0,50,0,50,0,50\r\n\r\nOK\r\n"},
      {"AT+BOGUS\r\n", "AT+BOGUS\r\n\r\nERROR\r\n"},
      {"ATD+393331234567;\r\n", "ATD+393331234567;\r\n\r\nERROR\r\n"},  // voice calls are not simulated yet
      // Echo off and on again.
      {"ATE0\r\n", "ATE0\r\n\r\nOK\r\n"},
      {"AT+CSQ\r\n", "\r\n+CSQ: 22,0\r\n\r\nOK\r\n"},
      {"ATE1\r\n", "\r\nOK\r\n"},
      {"AT+CMEE=1\r\n", "AT+CMEE=1\r\n\r\nOK\r\n"},
      {"AT+CPIN=1234\r\n", "AT+CPIN=1234\r\n\r\n+CME ERROR: 3\r\n"},
  };
  for (const Row& r : rows) EXPECT_EQ(Exchange(r.in), r.out) << "command: " << r.in;
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
  EXPECT_EQ(Take(), "\r\n+CSQ: 22,0\r\n\r\nOK\r\n");

  EXPECT_TRUE(Ctl("modem-delay 150").ok);
  EXPECT_EQ(Exchange("AT+CSQ\r\n"), "AT+CSQ\r\n");
  // The late answer is read with the next command's echo, in the module's
  // order, and that command's answer comes late in turn.
  EXPECT_EQ(Exchange("AT+CREG?\r\n"), "\r\n+CSQ: 22,0\r\n\r\nOK\r\nAT+CREG?\r\n");
  EXPECT_EQ(Exchange("", 100), "\r\n+CREG: 0,1\r\n\r\nOK\r\n");
  EXPECT_NE(StateJson().find(R"("delay_ms":150)"), std::string::npos);
}

// An answer with its OK, as it follows the echo.
std::string WithOk(const std::string& line) { return "\r\n" + line + "\r\n\r\nOK\r\n"; }

TEST_F(Sim7100Test, SimNetworkAndSignalAsTheModuleReportsThem) {
  const std::string store = WithOk(R"(+CPMS: "SM",0,50,"SM",0,50,"SM",0,50)");
  struct Row {
    const char* ctl;
    std::string cpin, creg, cpms;
    const char* state;
  };
  const Row rows[] = {
      {"sim pin 1234", WithOk("+CPIN: SIM PIN"), WithOk("+CREG: 0,0"), "\r\n+CMS ERROR: 311\r\n", R"("sim":"pin")"},
      {"sim failure", "\r\n+CME ERROR: SIM failure\r\n", WithOk("+CREG: 0,0"), "\r\n+CMS ERROR: 313\r\n",
       R"("sim":"failure")"},
      {"sim absent", "\r\n+CME ERROR: SIM not inserted\r\n", WithOk("+CREG: 0,0"), "\r\n+CMS ERROR: 310\r\n",
       R"("sim":"absent")"},
      {"sim ready", WithOk("+CPIN: READY"), WithOk("+CREG: 0,1"), store, R"("sim":"ready")"},
      {"net roaming", WithOk("+CPIN: READY"), WithOk("+CREG: 0,5"), store, R"("registration":"roaming")"},
      {"net none", WithOk("+CPIN: READY"), WithOk("+CREG: 0,2"), store, R"("registration":"searching")"},
      {"net home", WithOk("+CPIN: READY"), WithOk("+CREG: 0,1"), store, R"("registration":"home")"},
  };
  for (const Row& r : rows) {
    ASSERT_TRUE(Ctl(r.ctl).ok) << r.ctl;
    Advance(2000);  // the SIM's own lines, and registration after a ready SIM
    Take();
    EXPECT_EQ(Exchange("AT+CPIN?\r\n"), "AT+CPIN?\r\n" + r.cpin) << r.ctl;
    EXPECT_EQ(Exchange("AT+CREG?\r\n"), "AT+CREG?\r\n" + r.creg) << r.ctl;
    EXPECT_EQ(Exchange("AT+CPMS?\r\n"), "AT+CPMS?\r\n" + r.cpms) << r.ctl;
    EXPECT_NE(StateJson().find(r.state), std::string::npos) << r.ctl;
  }
  ASSERT_TRUE(Ctl("csq 7").ok);
  EXPECT_EQ(Exchange("AT+CSQ\r\n"), "AT+CSQ\r\n\r\n+CSQ: 7,0\r\n\r\nOK\r\n");
  ASSERT_TRUE(Ctl("csq 99").ok);
  EXPECT_EQ(Exchange("AT+CSQ\r\n"), "AT+CSQ\r\n\r\n+CSQ: 99,99\r\n\r\nOK\r\n");
}

TEST_F(Sim7100Test, PinEntryRadioRestartAndPuk) {
  ASSERT_TRUE(Ctl("sim pin 1234").ok);
  EXPECT_EQ(Take(), "\r\n+CPIN: SIM PIN\r\n");
  EXPECT_EQ(Exchange("AT+CPIN=1111\r\n", 3000), "AT+CPIN=1111\r\n\r\n+CME ERROR: incorrect password\r\n");
  EXPECT_EQ(Exchange("AT+CPIN=1234\r\n", 3000),
            "AT+CPIN=1234\r\n\r\nOK\r\n\r\n+CPIN: READY\r\n\r\nSMS DONE\r\n\r\nPB DONE\r\n");
  EXPECT_EQ(Exchange("AT+CPIN?\r\n"), "AT+CPIN?\r\n\r\n+CPIN: READY\r\n\r\nOK\r\n");
  EXPECT_EQ(Exchange("AT+CREG?\r\n"), "AT+CREG?\r\n\r\n+CREG: 0,1\r\n\r\nOK\r\n");

  // Within the firmware's 500 ms the radio is off.
  EXPECT_EQ(Exchange("AT+CFUN=0\r\n", 500), "AT+CFUN=0\r\n\r\nOK\r\n\r\n+SIMCARD: NOT AVAILABLE\r\n");
  EXPECT_EQ(Exchange("AT+CPIN?\r\n"), "AT+CPIN?\r\n\r\n+CME ERROR: SIM not inserted\r\n");
  EXPECT_EQ(Exchange("AT+CSQ\r\n"), "AT+CSQ\r\n\r\n+CSQ: 99,99\r\n\r\nOK\r\n");
  EXPECT_NE(StateJson().find(R"("sim":"off")"), std::string::npos);
  // Back on within the firmware's 2000 ms; the SIM wants its PIN again.
  EXPECT_EQ(Exchange("AT+CFUN=1\r\n", 2000), "AT+CFUN=1\r\n\r\nOK\r\n\r\n+CPIN: SIM PIN\r\n");
  EXPECT_EQ(Exchange("AT+CREG?\r\n"), "AT+CREG?\r\n\r\n+CREG: 0,0\r\n\r\nOK\r\n");
  EXPECT_EQ(Exchange("AT+CFUN=9\r\n"), "AT+CFUN=9\r\n\r\nERROR\r\n");

  // Three wrong PINs ask for the PUK, which sets a new PIN.
  for (int i = 0; i < 3; ++i) Exchange("AT+CPIN=0000\r\n", 500);
  EXPECT_EQ(Exchange("AT+CPIN?\r\n"), "AT+CPIN?\r\n\r\n+CPIN: SIM PUK\r\n\r\nOK\r\n");
  EXPECT_EQ(Exchange("AT+CPIN=1234\r\n", 500), "AT+CPIN=1234\r\n\r\n+CME ERROR: SIM PUK required\r\n");
  EXPECT_EQ(Exchange("AT+CPIN=\"12345678\",\"4321\"\r\n", 200), "AT+CPIN=\"12345678\",\"4321\"\r\n\r\nOK\r\n");
  Advance(2000);
  Take();
  EXPECT_EQ(Exchange("AT+CPIN?\r\n"), "AT+CPIN?\r\n\r\n+CPIN: READY\r\n\r\nOK\r\n");
}

TEST_F(Sim7100Test, GpsFix) {
  Exchange("AT+CGPS=1\r\n");
  ASSERT_TRUE(Ctl("gps fix 45.5 -9.25").ok);
  // Time and date from the wall clock, in UTC.
  EXPECT_EQ(Exchange("AT+CGPSINFO\r\n"),
            "AT+CGPSINFO\r\n\r\n+CGPSINFO: 4530.000000,N,00915.000000,W,130721,081509.0,44.1,0.0,0\r\n\r\nOK\r\n");
  EXPECT_NE(StateJson().find(R"("gps":"fix")"), std::string::npos);
  ASSERT_TRUE(Ctl("gps nofix").ok);
  EXPECT_EQ(Exchange("AT+CGPSINFO\r\n"), "AT+CGPSINFO\r\n\r\n+CGPSINFO: ,,,,,,,,\r\n\r\nOK\r\n");
  // A stopped receiver has no fix, whatever the sky.
  ASSERT_TRUE(Ctl("gps fix").ok);
  EXPECT_EQ(Exchange("AT+CGPS=0\r\n"), "AT+CGPS=0\r\n\r\nOK\r\n\r\n+CGPS: 0\r\n");
  EXPECT_EQ(Exchange("AT+CGPSINFO\r\n"), "AT+CGPSINFO\r\n\r\n+CGPSINFO: ,,,,,,,,\r\n\r\nOK\r\n");
  EXPECT_NE(StateJson().find(R"("gps":"off")"), std::string::npos);
}

// The SMS-SUBMIT of the firmware's codec for "hello" to 1234567890.
const char* const kHelloPdu = "0011000A8121436587090000AA05E8329BFD06";

TEST_F(Sim7100Test, SubmitPromptConfirmAndOutbox) {
  // As the firmware sends it: the length line, then the PDU and Ctrl-Z.
  EXPECT_EQ(Exchange("AT+CMGS=18\r"), "AT+CMGS=18\r\r\n> ");
  model_.Receive(std::string(kHelloPdu) + "\x1A", now_);
  Advance(100);
  EXPECT_EQ(Take(), kHelloPdu);  // the echo of the PDU; the network takes longer
  Advance(2900);
  EXPECT_EQ(Take(), "\r\n+CMGS: 0\r\n\r\nOK\r\n");

  EXPECT_EQ(Exchange("AT+CMGS=18\r"), "AT+CMGS=18\r\r\n> ");
  EXPECT_EQ(Exchange(std::string(kHelloPdu) + "\x1A", 3000), std::string(kHelloPdu) + "\r\n+CMGS: 1\r\n\r\nOK\r\n");

  ASSERT_EQ(model_.outbox().size(), 2u);
  std::string lines = Ctl("outbox").text;
  std::string first = lines.substr(0, lines.find('\n'));
  EXPECT_EQ(first, std::string(R"({"time":")") + model_.outbox().records()[0].time +
                       R"(","number":"1234567890","coding":"gsm7","text":"hello","hex":null,"pdu":")" + kHelloPdu +
                       R"(","length":18,"result":"accepted","mr":0,"error":null,"own_number":false})");
  EXPECT_TRUE(Ctl("outbox clear").ok);
  EXPECT_EQ(Ctl("outbox").text, "");

  // A message to the module's own number comes back into the store.
  ASSERT_TRUE(Ctl("own-number +1234567890").ok);
  Exchange("AT+CMGS=18\r");
  Exchange(std::string(kHelloPdu) + "\x1A", 500);
  EXPECT_EQ(model_.store().used(), 0);  // the network takes a moment
  Advance(1500);
  ASSERT_EQ(model_.store().used(), 1);
  EXPECT_EQ(model_.store().At(0)->from, "+1234567890");
  EXPECT_EQ(model_.store().At(0)->text, "hello");
  EXPECT_NE(Ctl("outbox").text.find(R"("own_number":true)"), std::string::npos);
  ASSERT_TRUE(Ctl("own-number off").ok);
  Exchange("AT+CMGS=18\r");
  Exchange(std::string(kHelloPdu) + "\x1A", 3000);
  EXPECT_EQ(model_.store().used(), 1);
}

TEST_F(Sim7100Test, SubmitFailures) {
  struct FailRow {
    const char* setup;   // a control command first, or ""
    const char* length;  // the AT+CMGS line
    std::string pdu;
    const char* answer;  // after the PDU
    const char* error;   // in the outbox
  };
  const FailRow rows[] = {
      {"sms-fail 1", "AT+CMGS=18\r", kHelloPdu, "\r\n+CMS ERROR: 500\r\n", "+CMS ERROR: 500 (sms-fail)"},
      {"sms-fail 1 332", "AT+CMGS=18\r", kHelloPdu, "\r\n+CMS ERROR: 332\r\n", "+CMS ERROR: 332 (sms-fail)"},
      {"", "AT+CMGS=17\r", kHelloPdu, "\r\n+CMS ERROR: 304\r\n",
       "+CMS ERROR: 304 (AT+CMGS announced 17 octets, the PDU has 18)"},
      {"", "AT+CMGS=18\r", "hello", "\r\n+CMS ERROR: 304\r\n",
       "+CMS ERROR: 304 (the PDU is not hexadecimal text (two digits per octet))"},
      {"", "AT+CMGS=18\r", std::string(1100, '0'), "\r\n+CMS ERROR: 304\r\n",
       "+CMS ERROR: 304 (the PDU text is longer than 1024 characters)"},
      {"net none", "AT+CMGS=18\r", kHelloPdu, "\r\n+CMS ERROR: 331\r\n", "+CMS ERROR: 331 (not registered)"},
  };
  for (const FailRow& r : rows) {
    if (*r.setup) {
      ASSERT_TRUE(Ctl(r.setup).ok) << r.setup;
    }
    EXPECT_EQ(Exchange(r.length), std::string(r.length) + "\r\n> ");
    std::string got = Exchange(r.pdu + "\x1A", 3000);
    EXPECT_EQ(got.substr(r.pdu.size()), r.answer) << r.error;
    ASSERT_FALSE(model_.outbox().records().empty());
    EXPECT_EQ(model_.outbox().records().back().error, r.error);
    EXPECT_FALSE(model_.outbox().records().back().accepted);
    Ctl("net home");
  }
  // The failures were used up: the next message goes.
  Exchange("AT+CMGS=18\r");
  EXPECT_NE(Exchange(std::string(kHelloPdu) + "\x1A", 3000).find("+CMGS: "), std::string::npos);

  // No prompt without a ready SIM; ESC cancels a PDU; a PDU never ended
  // is given up and the module takes commands again.
  Ctl("sim absent");
  Advance(1000);
  Take();
  EXPECT_EQ(Exchange("AT+CMGS=18\r"), "AT+CMGS=18\r\r\n+CMS ERROR: 310\r\n");
  Ctl("sim ready");
  Advance(2000);
  Take();
  EXPECT_EQ(Exchange("AT+CMGS=0\r"), "AT+CMGS=0\r\r\n+CMS ERROR: 304\r\n");
  EXPECT_EQ(Exchange("AT+CMGS=18\r"), "AT+CMGS=18\r\r\n> ");
  EXPECT_EQ(Exchange("0011\x1B"), "0011\r\nOK\r\n");
  EXPECT_EQ(Exchange("AT+CMGS=18\r"), "AT+CMGS=18\r\r\n> ");
  EXPECT_EQ(Exchange("0011"), "0011");
  EXPECT_NE(StateJson().find(R"("awaiting_pdu":true)"), std::string::npos);
  Advance(30000);
  EXPECT_EQ(Take(), "\r\n+CMS ERROR: 304\r\n");
  EXPECT_EQ(Exchange("AT\r\n"), "AT\r\n\r\nOK\r\n");
}

TEST_F(Sim7100Test, StoreReadAndDelete) {
  ASSERT_EQ(Ctl("sms from +393331234567 Hello [world] €5").text, "SMS stored at index 0 (gsm7, 36 octets)");
  ASSERT_EQ(Ctl("sms from 5551234 --ucs2 04120430").text, "SMS stored at index 1 (ucs2, 21 octets)");
  EXPECT_EQ(Exchange("AT+CPMS?\r\n"), "AT+CPMS?\r\n\r\n+CPMS: \"SM\",2,50,\"SM\",2,50,\"SM\",2,50\r\n\r\nOK\r\n");
  EXPECT_NE(StateJson().find(R"({"index":0,"from":"+393331234567","coding":"gsm7","text":"Hello [world] €5")"),
            std::string::npos)
      << StateJson();

  std::string pdu = model_.store().At(0)->pdu;
  EXPECT_EQ(Exchange("AT+CMGRD=0\r\n"), "AT+CMGRD=0\r\n\r\n+CMGRD: 0,,36\r\n" + pdu + "\r\n\r\nOK\r\n");
  EXPECT_EQ(Exchange("AT+CMGRD=0\r\n"), "AT+CMGRD=0\r\n\r\nOK\r\n");  // read means deleted
  EXPECT_EQ(model_.store().used(), 1);
  EXPECT_EQ(Exchange("AT+CMGD=1\r\n"), "AT+CMGD=1\r\n\r\nOK\r\n");
  EXPECT_EQ(model_.store().used(), 0);

  // Messages at 3 and 7 only: the firmware finds 3 first, then 7.
  for (int i = 0; i < 8; ++i) ASSERT_TRUE(Ctl("sms from 100" + std::to_string(i) + " m" + std::to_string(i)).ok);
  for (int i : {0, 1, 2, 4, 5, 6}) Exchange("AT+CMGD=" + std::to_string(i) + "\r\n");
  EXPECT_EQ(Exchange("AT+CMGRD=2\r\n"), "AT+CMGRD=2\r\n\r\nOK\r\n");
  EXPECT_NE(Exchange("AT+CMGRD=3\r\n").find("+CMGRD: 0,,"), std::string::npos);
  EXPECT_NE(Exchange("AT+CMGRD=7\r\n").find("+CMGRD: 0,,"), std::string::npos);
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
  for (const char* bad : {"sim", "sim pin", "sim pin 12", "sim pin 12a4", "sim pin 123456789", "sim gone", "csq",
                          "csq 32", "csq -1", "csq x", "net", "net lost", "gps", "gps fix 91 0", "gps fix 0 181",
                          "gps fix a b", "gps fix 1", "sms-fail", "sms-fail -1", "sms-fail 2 299", "sms-fail 2 512",
                          "outbox now", "modem-delay -1", "modem-delay 60001", "call answer", "calls"}) {
    EXPECT_FALSE(Ctl(bad).ok) << bad;
  }
  struct CtlRow {
    const char* line;
    bool ok;
    const char* part;
  };
  const CtlRow rows[] = {
      {"sms from TIM Offerta", true, "index 0 (gsm7"},      // an alphanumeric sender
      {"sms from +39 333", true, "index 1 (gsm7"},          // the text after the number, blanks kept
      {"sms from 123 Привет", true, "(ucs2"},               // not in the GSM alphabet
      {"sms pdu 07917283010010F5040BC87238880900F10000993092516195800AE8329BFD4697D9EC37", true, "28 octets"},
      {"sms pdu --raw 0004", true, "as given"},
      {"sms from +39333abc hi", false, "is no number"},
      {"sms from +123456789012345678901 hi", false, "is no number"},
      {"sms from VeryLongSenderName hi", false, "is no number"},
      {"sms from 123 --ucs2 041", false, "hexadecimal"},
      {"sms from 123 --ucs2 004100", false, "two octets"},
      {"sms pdu 0004", false, "not an SMS-DELIVER"},
      {"sms pdu XY", false, "hexadecimal"},
      {"sms to 123 hi", false, "usage"},
      {"own-number TIM", false, "digits"},
  };
  for (const CtlRow& r : rows) {
    sim::Reply reply = Ctl(r.line);
    EXPECT_EQ(reply.ok, r.ok) << r.line << ": " << reply.text;
    EXPECT_NE(reply.text.find(r.part), std::string::npos) << r.line << ": " << reply.text;
  }
  // One message's worth and no more.
  EXPECT_TRUE(Ctl("sms from 1 " + std::string(160, 'a')).ok);
  EXPECT_FALSE(Ctl("sms from 1 " + std::string(161, 'a')).ok);
  std::string euros;
  for (int i = 0; i < 80; ++i) euros += "€";  // escape pairs: two septets each
  EXPECT_TRUE(Ctl("sms from 1 " + euros).ok);
  EXPECT_FALSE(Ctl("sms from 1 " + euros + "€").ok);
  EXPECT_FALSE(Ctl("sms from 1 " + euros + "ж").ok);  // now UCS2: 81 units
  EXPECT_TRUE(Ctl("sms from 1 --ucs2 " + std::string(280, 'A')).ok);
  EXPECT_FALSE(Ctl("sms from 1 --ucs2 " + std::string(284, 'A')).ok);

  // A full store refuses more, with a hint.
  Ctl("sms clear");
  for (int i = 0; i < 50; ++i) ASSERT_TRUE(Ctl("sms from 1 m").ok);
  sim::Reply full = Ctl("sms from 1 m");
  EXPECT_FALSE(full.ok);
  EXPECT_NE(full.text.find("store is full"), std::string::npos);
}

TEST_F(Sim7100Test, PowerOnPrintsTheBootLinesThenRegisters) {
  model_.PowerOn(now_);
  Advance(500);
  EXPECT_EQ(Take(), "\r\nRDY\r\n\r\n+CPIN: READY\r\n");
  // The SIM's later lines do not hold up answers.
  EXPECT_EQ(Exchange("AT+CREG?\r\n", 50), "AT+CREG?\r\n\r\n+CREG: 0,2\r\n\r\nOK\r\n");
  Advance(2000);
  EXPECT_EQ(Take(), "\r\nSMS DONE\r\n\r\nPB DONE\r\n");
  EXPECT_EQ(Exchange("AT+CREG?\r\n"), "AT+CREG?\r\n\r\n+CREG: 0,1\r\n\r\nOK\r\n");
}

TEST_F(Sim7100Test, NoiseOnTheLineNeverStopsTheModule) {
  std::mt19937 random(7100);
  const char alphabet[] = "AT+CMGSRD=?,\"0123456789\r\n\x1A\x1B ";
  for (int i = 0; i < 2000; ++i) {
    std::string noise;
    size_t n = random() % 64;
    for (size_t k = 0; k < n; ++k) noise += alphabet[random() % (sizeof alphabet - 1)];
    model_.Receive(noise, now_);
    Advance(random() % 500);
  }
  // Whatever state the noise left, ESC and a fresh line get the module back.
  Advance(31000);
  Exchange("\x1B\r\n", 100);
  Take();
  EXPECT_EQ(Exchange("AT\r\n"), "AT\r\n\r\nOK\r\n");
}

}  // namespace
