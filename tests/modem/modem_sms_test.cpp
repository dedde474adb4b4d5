// The SMS transport: the sending text, the reading of stored messages, and
// the send and receive steps of a modem pass against a scripted module.

#include <utility>

#include "modem/modem_test_env.h"
#include "support/console_capture.h"

namespace {

using testmodem::FakeModule;
using testmodem::HelloDeliverPdu;
using testmodem::Message;
using SmsStepTest = testmodem::ModemTest;

std::string Repeat(const std::string& s, int n) { return n > 0 ? s + Repeat(s, n - 1) : ""; }

TEST(SmsTextTest, SendingText) {
  sms_msg full = Message("", 0, "hi");  // all 50 bytes of the number without a terminator
  std::memset(full.phone, '1', sizeof full.phone);
  const std::pair<sms_msg, std::string> rows[] = {  // "" = refused
      {Message("1234567890", 0, "hello"), "AT+CMGS=18\r0011000A8121436587090000AA05E8329BFD06\x1a"},
      {Message("12345", 8, "\x4F\x60\x59\x7D"), "AT+CMGS=15\r00110005812143F50008AA044F60597D\x1a"},
      // 170 characters of 7-bit text: the first 160 go; of 150 octets, 140.
      {Message("12345", 0, std::string(170, 'a')),
       "AT+CMGS=151\r00110005812143F50000AAA0" + Repeat("E170381C0E87C3", 20) + "\x1a"},
      {Message("12345", 4, std::string(150, '\x01')), "AT+CMGS=151\r00110005812143F50004AA8C" + Repeat("01", 140) + "\x1a"},
      {Message("1234567890123456789012345", 0, "hi"), ""},  // longer than the codec's field: never cut
      {full, ""},
  };
  for (const auto& row : rows) {
    char out[kSmsSendTextSize];
    std::memset(out, 'x', sizeof out);
    EXPECT_EQ(gmSMS_SendMsg(&row.first, out), row.second.empty() ? 0 : 1) << row.first.phone;
    EXPECT_EQ(out, row.second) << row.first.phone;
  }
}

TEST(SmsTextTest, ReadingStoredMessages) {
  const std::string pdu = HelloDeliverPdu();
  const std::string ok = "\r\n\r\nOK\r\n";
  const std::string none[] = {  // answers that hold no message
      "AT+CMGRD=0\r\r\nOK\r\n", "\r\n+CMS ERROR: 321\r\n", "\r\n+CMGRD: 0\r\n" + pdu + "\r\n",
      "\r\n+CMGRD: 0,,24", "\r\n+CMGRD: 0,,24\r", "\r\n+CMGRD: 0,,24\r\n",
      "\r\n+CMGRD: 0,,24\r\n" + pdu.substr(0, 30) + "\r\n", "\r\n+CMGRD: 0,,24\r\nZZ" + pdu + "\r\n",
      "\r\n+CMGRD: \"REC READ\",\"+8613917787249\",,\"06/07/10,12:09:38+32\"\r\nHow do you do\r\n"};
  sms_msg m{};
  for (const std::string& answer : none) EXPECT_EQ(gmSMS_getReadMsg(answer.c_str(), &m), 0) << answer;

  // Answers with one (the second with the A76xx alpha field), and the
  // largest messages, which stay in the record.
  const struct { std::string answer; const char* phone; std::string text; int mode; } found[] = {
      {"AT+CMGRD=3\r\r\n+CMGRD: 0,,24\r\n" + pdu + ok, "+4915112345678", "hello", 0},
      {"\r\n+CMGRD: 0,\"\",24\r\n" + pdu + ok, "+4915112345678", "hello", 0},
      {"\r\n+CMGRD: 0,,153\r\n000405812143F5" "0000" "12703180510000" "A0" + std::string(280, '0') + ok, "12345",
       std::string(160, '@'), 0},
      {"\r\n+CMGRD: 0,,153\r\n000405812143F5" "0008" "12703180510000" "8C" + std::string(280, 'A') + ok, "12345",
       std::string(140, '\xAA'), 8},
  };
  for (const auto& row : found) {
    ASSERT_EQ(gmSMS_getReadMsg(row.answer.c_str(), &m), 1) << row.answer;
    EXPECT_STREQ(m.phone, row.phone);
    EXPECT_EQ(std::string(m.msg, m.msg_len + 1u), row.text + '\0');
    EXPECT_EQ(m.sms_mode, row.mode);
  }
}

TEST_F(SmsStepTest, SendVerdicts) {
  // Destination, answers to the command line and to the PDU, final status, PDUs sent.
  const struct { const char *phone, *prompt, *result; int status, pdus_sent; } rows[] = {
      {"1234567890", "\r\n> ", "\r\n+CMGS: 46\r\n\r\nOK\r\n", 3, 1},
      {"+12ab", "\r\n> ", "\r\n+CMGS: 46\r\n\r\nOK\r\n", 4, 0},  // refused: never reaches the module
      {"1234567890", "", "\r\n+CMGS: 7\r\n\r\nOK\r\n", 3, 1},     // no prompt needed
      {"1234567890", "\r\nERROR\r\n", "\r\n+CMGS: 46\r\n\r\nOK\r\n", 4, 0},
      {"1234567890", "\r\n> ", "\r\n+CMS ERROR: 500\r\n", 4, 1},
      {"1234567890", "\r\n> ", "\r\nOK\r\n\r\n+CMGS: 46\r\n", 4, 1},  // OK before the confirmation
      {"1234567890", "\r\n> ", "", 4, 1},                              // confirmation later than the wait
      {"1234567890", "\r\n> ", "\r\n+CMGS: 46\r\n", 4, 1},             // no OK yet
      // Refused; the confirmation behind the refusal is an earlier message's.
      {"1234567890", "\r\n> ", "\r\n+CMS ERROR: 500\r\n\r\n+CMGS: 46\r\n\r\nOK\r\n", 4, 1},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(std::string(r.prompt) + r.result);
    FakeModule module;
    module.cmgs_prompt = r.prompt;
    module.cmgs_result = r.result;
    ASSERT_EQ(sms_send_one(Message(r.phone, 0, "hello")), 1);
    EXPECT_EQ(send_sms_status, 1);
    ModemPass(module, testmodem::reboot_stop);
    EXPECT_EQ(send_sms_status, r.status);
    EXPECT_EQ(is_send_sms, 0);
    ASSERT_EQ(module.Count("AT+CMGS="), r.phone[0] == '+' ? 0 : 1);
    EXPECT_EQ(module.Count("0011000A8121436587090000AA05E8329BFD06\x1a"), r.pdus_sent);
    for (const auto& e : module.exchanges) {
      if (e.command == "AT+CMGS=18\r") { EXPECT_EQ(e.wait_ms, 100); }
      if (e.command.back() == 0x1A) { EXPECT_EQ(e.wait_ms, 3000); }
    }
  }
}

TEST_F(SmsStepTest, MailboxTakesOneMessageAtATimeAndLogsTheExchange) {
  logEnable = 1;
  ASSERT_EQ(sms_send_one(Message("1234567890", 0, "hello")), 1);
  EXPECT_EQ(sms_send_one(Message("222", 0, "second")), 0);
  EXPECT_STREQ(send_sms.phone, "1234567890");
  Pass();
  EXPECT_EQ(module_.Count("0011"), 1);
  // Today's AT log file, wherever the date puts it.
  const std::string log = testmodem::AtLog(root_.path());
  EXPECT_NE(log.find("Cmmand=>AT+CMGS=18\r\n\r\nResponse=>\r\nAT+CMGS=18\r\r\n> 0011000A8121436587090000AA05E8329BFD06\n"),
            std::string::npos)
      << log;
  // Free again: the next one is taken, its body bounded by the record.
  sms_msg second = Message("222", 0, std::string(160, 'b'));
  second.msg_len = 255;
  EXPECT_EQ(sms_send_one(second), 1);
  EXPECT_EQ(send_sms.msg_len, 160);
  EXPECT_EQ(send_sms.msg[160], '\0');
}

// The network confirms the first message only after the send has been given
// up; the confirmation turns up during a later exchange, and counts for the
// message it belongs to alone.
TEST_F(SmsStepTest, ALateConfirmationCountsOnlyForItsOwnMessage) {
  logEnable = 1;
  const std::string late = "\r\n+CMGS: 46\r\n\r\nOK\r\n";
  const struct { const char* name; std::vector<FakeModule::Piece> second_pdu; int gap_ms, status; } rows[] = {
      // It comes behind the refusal of the next message's PDU ...
      {"after the refusal", {{0, "\r\n+CMS ERROR: 500\r\n"}}, 0, 4},
      // ... or before the next message's command: set aside, not taken.
      {"before the command", {{0, "\r\n+CMGS: 47\r\n\r\nOK\r\n"}}, 6000, 3},
      {"before, nothing after", {}, 6000, 4},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.name);
    testmodem::ResetModemGlobals();
    FakeModule module;
    const std::string pdu1 = "0011000A8111111111110000AA05E8329BFD06\x1a";
    module.script.push_back({pdu1, {{5000, late}}});
    module.script.push_back({"0011000A8122222222220000AA05E8329BFD06\x1a", r.second_pdu});
    int32_t status[2];
    std::string console;
    {
      testsupport::ConsoleCapture capture;
      for (int i = 0; i < 2; ++i) {
        sms_send_one(Message(i == 0 ? "1111111111" : "2222222222", 0, "hello"));
        ModemPass(module, testmodem::reboot_stop);
        status[i] = send_sms_status;
        module.Pause(r.gap_ms);
      }
      console = capture.Text();
    }
    EXPECT_EQ(status[0], 4);
    EXPECT_EQ(status[1], r.status);
    EXPECT_NE(console.find(">late +CMGS: 46 for the SMS to 1111111111: it was sent after all\r\n"), std::string::npos)
        << console;
    EXPECT_EQ(console.find("2222222222: it was"), std::string::npos);
  }
  EXPECT_NE(testmodem::AtLog(root_.path()).find("Cmmand=>(late) AT+CMGS=18\r\n\r\nResponse=>\r\n+CMGS: 46 for the SMS to 1111111111\n"),
            std::string::npos);

  // It arrives in the same read as the next message's refusal, before the
  // module's echo of that PDU: the verdict is the refusal behind the echo.
  testmodem::ResetModemGlobals();
  FakeModule module;
  const std::string pdu2 = "0011000A8122222222220000AA05E8329BFD06\x1a";
  module.script.push_back({"0011000A811111111111", {}});
  module.script.push_back({pdu2, {{0, late + pdu2 + "\r\n+CMS ERROR: 500\r\n"}}});
  testsupport::ConsoleCapture capture;
  for (const char* phone : {"1111111111", "2222222222"}) {
    sms_send_one(Message(phone, 0, "hello"));
    ModemPass(module, testmodem::reboot_stop);
    EXPECT_EQ(send_sms_status, 4) << phone;
  }
  EXPECT_NE(capture.Text().find(">late +CMGS: 46 for the SMS to 1111111111"), std::string::npos) << capture.Text();

  // It comes in two pieces, each set aside by a different look: the line is
  // put together before it is read.
  testmodem::ResetModemGlobals();
  FakeModule cut;
  cut.script.push_back({"0011000A811111111111", {{5000, "\r\n+CM"}, {5600, "GS: 47\r\n\r\nOK\r\n"}}});
  testsupport::ConsoleCapture pieces;
  sms_send_one(Message("1111111111", 0, "hello"));
  for (int pass = 0; pass < 6; ++pass) ModemPass(cut, testmodem::reboot_stop);
  EXPECT_NE(pieces.Text().find(">late +CMGS: 47 for the SMS to 1111111111"), std::string::npos) << pieces.Text();
}

// Verdicts read from answers that end late, come behind an earlier answer,
// or carry a zero byte: each message gets its own, and a confirmation that
// came only in part is still told as late for its own message.
TEST_F(SmsStepTest, EachSendIsJudgedByItsOwnWholeAnswer) {
  using Pieces = std::vector<FakeModule::Piece>;
  const std::string pdu2 = "0011000A8122222222220000AA05E8329BFD06\x1a";
  const std::string own = "\r\n+CMGS: 48\r\n\r\nOK\r\n";
  const struct { const char* name; Pieces first, second; int32_t status[2]; const char* late; } rows[] = {
      {"confirmation line within the wait, its OK after it",
       {{500, "\r\n+CMGS: 47\r\n"}, {5000, "\r\nOK\r\n"}}, {{0, pdu2 + own}}, {4, 3},
       ">late +CMGS: 47 for the SMS to 1111111111"},
      {"an earlier answer before the echo, the own one after the wait",
       {}, {{0, "\r\n+CMGS: 46\r\n\r\nOK\r\n" + pdu2}, {3500, own}}, {4, 3},
       ">late +CMGS: 46 for the SMS to 1111111111"},
      {"a zero byte inside the answer", {{0, std::string("\r\n+CMGS: 47\r\n\0\r\nOK\r\n", 20)}}, {{0, pdu2 + own}},
       {3, 3}, nullptr},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.name);
    testmodem::ResetModemGlobals();
    FakeModule module;
    module.script.push_back({"0011000A811111111111", r.first});
    module.script.push_back({"0011000A812222222222", r.second});
    testsupport::ConsoleCapture capture;
    for (int i = 0; i < 2; ++i) {
      sms_send_one(Message(i == 0 ? "1111111111" : "2222222222", 0, "hello"));
      ModemPass(module, testmodem::reboot_stop);
      EXPECT_EQ(send_sms_status, r.status[i]) << i;
    }
    for (int pass = 0; pass < 4; ++pass) ModemPass(module, testmodem::reboot_stop);
    const std::string text = capture.Text();
    EXPECT_EQ(text.find(r.late != nullptr ? r.late : ">late"), r.late != nullptr ? text.find(">late") : std::string::npos)
        << text;
    EXPECT_EQ(text.find("2222222222: it was"), std::string::npos) << text;
  }
}

// Stored messages whose read answers come in pieces, late or together: each
// reaches the receiver exactly once, in order, and the store ends up empty.
TEST_F(SmsStepTest, EveryStoredMessageIsReceivedOnceWhateverTheTiming) {
  using Pieces = std::vector<FakeModule::Piece>;
  const std::string hello = HelloDeliverPdu();
  const std::string a = "00040A812143658755" "0000" "12703180510000" "0141";  // "A" from 1234567855
  const std::string head = "AT+CMGRD=0\r\r\n+CMGRD: 0,,24\r\n", ok = "\r\n\r\nOK\r\n";
  const std::string answer_a = "\r\n+CMGRD: 0,,16\r\n" + a + ok;
  const std::string cmti = "\r\n+CMTI: \"SM\",4\r\n";
  const std::string both = "+4915112345678:hello 1234567855:A ";
  // Message "A" is stored after the first one, or comes in the same answer.
  const struct { const char* name; Pieces pieces; bool a_stored; std::string received; } rows[] = {
      {"cut inside the PDU", {{0, head + hello.substr(0, 21)}, {150, hello.substr(21) + ok}}, true, both},
      {"header before its PDU", {{0, head}, {400, hello + ok}}, true, both},
      {"+CMTI in the middle", {{0, head}, {50, cmti}, {120, hello + ok}}, true, both},
      {"+CMTI with the header", {{0, head + cmti + hello + ok}}, true, both},
      {"two answers in one read", {{0, head + hello + ok + answer_a}}, false, both},
      {"the second one comes later", {{0, head + hello + ok + answer_a.substr(0, 30)}, {200, answer_a.substr(30)}},
       false, both},
      // Past the wait for its final result code: the rest is still taken at
      // the end of the pass ...
      {"rest after the wait", {{0, head}, {4000, hello + ok}}, true, both},
      // ... but a module that never finishes loses that one message, says so,
      // and the reading stops for the pass.
      {"never finished", {{0, head + hello.substr(0, 10)}}, true, "1234567855:A "},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.name);
    testmodem::ResetModemGlobals();
    FakeModule module;
    module.store[0] = hello;  // what the script answers for
    if (r.a_stored) module.store[5] = a;
    module.script.push_back({"AT+CMGRD=0\r\n", r.pieces});
    std::string received, console;
    {
      testsupport::ConsoleCapture capture;
      for (int pass = 0; pass < 4; ++pass) {
        ModemPass(module, testmodem::reboot_stop);
        sms_msg got;
        if (sms_check_new_one(&got) == 1) received += std::string(got.phone) + ":" + got.msg + " ";
      }
      console = capture.Text();
    }
    EXPECT_EQ(received, r.received);
    EXPECT_TRUE(module.store.empty());
    EXPECT_LE(module.pauses.size(), 80u);  // every wait bounded
    if (r.received != both) {
      EXPECT_NE(console.find(">AT+CMGRD=0: no final answer within 3000 ms"), std::string::npos) << console;
      EXPECT_NE(console.find(">SMS answer incomplete after 3000 ms: the message is lost"), std::string::npos);
    }
  }
}

TEST_F(SmsStepTest, StoredMessagesAreFetchedOneByOne) {
  module_.store[0] = "0004FF";  // undecodable: skipped
  module_.store[3] = HelloDeliverPdu();
  module_.store[7] = "00040A812143658755" "0000" "12703180510000" "0141";  // "A" from 1234567855
  Pass();
  EXPECT_EQ(is_new_sms, 1);
  EXPECT_EQ(module_.exchanges.back().command, "AT+CMGRD=3\r\n");
  EXPECT_EQ(module_.Count("AT+CMGRD="), 4);  // 0, 1, 2, 3
  Pass();  // while the message waits, nothing more is looked for
  EXPECT_EQ(module_.Count("AT+CPMS?\r\n"), 1);
  sms_msg got;
  ASSERT_EQ(sms_check_new_one(&got), 1);
  EXPECT_EQ(std::string(got.phone) + ":" + std::string(got.msg, got.msg_len + 1u),
            std::string("+4915112345678:hello\0", 21));
  EXPECT_EQ(is_new_sms, 0);
  EXPECT_EQ(sms_check_new_one(&got), 0);

  Pass();
  EXPECT_EQ(module_.Count("AT+CMGRD="), 4 + 8);
  ASSERT_EQ(sms_check_new_one(&got), 1);
  EXPECT_EQ(std::string(got.phone) + ":" + got.msg, "1234567855:A");
  EXPECT_TRUE(module_.store.empty());

  // An empty store, or one without a parsable answer, is not scanned.
  module_.store[0] = HelloDeliverPdu();
  for (const char* a : {"", "AT+CPMS?\r\r\nERROR\r\n", "\r\n+CPMS: \"SM\",x,50\r\n",
                        "\r\n+CPMS: \"SM\",0,50,\"SM\",0,50,\"SM\",0,50\r\n\r\nOK\r\n"}) {
    module_.overrides["AT+CPMS?\r\n"] = a;
    Pass();
  }
  EXPECT_EQ(is_new_sms, 0);
  EXPECT_EQ(module_.Count("AT+CMGRD="), 12);
}

}  // namespace
