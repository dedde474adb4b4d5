// The SMS transport: the sending text, the reading of stored messages, and
// the send and receive steps of a modem pass against a scripted module.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "modem/at_fake_module.h"
#include "modem/modem_test_env.h"
#include "modem/pdu_codec.h"

namespace {

using testmodem::FakeModule;
using testmodem::HelloDeliverPdu;
using testmodem::Message;

std::string SendText(const sms_msg& m, int* result) {
  char out[kSmsSendTextSize];
  std::memset(out, 'x', sizeof out);
  *result = gmSMS_SendMsg(&m, out);
  return out;
}

TEST(SmsTextTest, SendingText) {
  int result = 0;
  EXPECT_EQ(SendText(Message("1234567890", 0, "hello"), &result),
            "AT+CMGS=18\r0011000A8121436587090000AA05E8329BFD06\x1a");
  EXPECT_EQ(result, 1);
  // A leading "+" makes an international destination.
  EXPECT_EQ(SendText(Message("+4915112345678", 0, "hello"), &result),
            "AT+CMGS=20\r0011000D91945111325476F80000AA05E8329BFD06\x1a");
  // UCS2 octets go as they are.
  std::string ucs2("\x4F\x60\x59\x7D", 4);
  EXPECT_EQ(SendText(Message("12345", 8, ucs2), &result), "AT+CMGS=15\r00110005812143F50008AA044F60597D\x1a");
}

TEST(SmsTextTest, BodyIsCutToWhatOneMessageCarries) {
  int result = 0;
  // 170 characters of 7-bit text: the first 160 go (160 septets, 140 octets).
  std::string text = SendText(Message("12345", 0, std::string(170, 'a')), &result);
  ASSERT_EQ(result, 1);
  EXPECT_EQ(text.substr(0, 12), "AT+CMGS=151\r");
  EXPECT_EQ(text.substr(12 + 22, 2), "A0");
  // 150 octets of 8-bit data: 140 go.
  sms_msg data = Message("12345", 4, std::string(150, '\x01'));
  text = SendText(data, &result);
  EXPECT_EQ(text.substr(0, 12), "AT+CMGS=151\r");
  EXPECT_EQ(text.substr(12 + 22, 2), "8C");
  EXPECT_EQ(text.size(), 12 + 24 + 280 + 1u);
}

TEST(SmsTextTest, RefusedDestinationsGiveNoText) {
  const char* refused[] = {"", "+", "1234567890123456", "+1234567890123456", "12a45", "123 45", "*100#",
                           // Longer than the codec's address field: never cut.
                           "1234567890123456789012345"};
  for (const char* phone : refused) {
    int result = 1;
    EXPECT_EQ(SendText(Message(phone, 0, "hi"), &result), "") << phone;
    EXPECT_EQ(result, 0) << phone;
  }
  // A record whose number fills all 50 bytes without a terminator.
  sms_msg full = Message("", 0, "hi");
  std::memset(full.phone, '1', sizeof full.phone);
  int result = 1;
  EXPECT_EQ(SendText(full, &result), "");
  EXPECT_EQ(result, 0);
}

TEST(SmsTextTest, ReadingStoredMessages) {
  struct Row {
    std::string answer;
    int result;
    const char* phone;
    const char* text;
    int mode;
  };
  const std::string pdu = HelloDeliverPdu();
  const Row rows[] = {
      {"AT+CMGRD=3\r\r\n+CMGRD: 0,,24\r\n" + pdu + "\r\n\r\nOK\r\n", 1, "4915112345678", "hello", 0},
      // The A76xx form of the alpha field.
      {"\r\n+CMGRD: 0,\"\",24\r\n" + pdu + "\r\n\r\nOK\r\n", 1, "4915112345678", "hello", 0},
      {"\r\n+CMGRD: 0,,28\r\n07917283010010F5040BC87238880900F10000993092516195800AE8329BFD4697D9EC37\r\n\r\nOK\r\n",
       1, "27838890001", "hellohello", 0},
      // Empty slot, slot out of range, fields missing, PDU not there.
      {"AT+CMGRD=0\r\r\nOK\r\n", 0, "", "", 0},
      {"\r\n+CMS ERROR: 321\r\n", 0, "", "", 0},
      {"\r\n+CMGRD: 0\r\n" + pdu + "\r\n", 0, "", "", 0},
      {"\r\n+CMGRD: 0,,24", 0, "", "", 0},
      {"\r\n+CMGRD: 0,,24\r", 0, "", "", 0},
      {"\r\n+CMGRD: 0,,24\r\n", 0, "", "", 0},
      // A PDU the decoder refuses (cut short, not hexadecimal, text mode).
      {"\r\n+CMGRD: 0,,24\r\n" + pdu.substr(0, 30) + "\r\n", 0, "", "", 0},
      {"\r\n+CMGRD: 0,,24\r\nZZ" + pdu + "\r\n", 0, "", "", 0},
      {"\r\n+CMGRD: \"REC READ\",\"+8613917787249\",,\"06/07/10,12:09:38+32\"\r\nHow do you do\r\n", 0, "", "",
       0},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.answer);
    sms_msg m;
    std::memset(&m, 0, sizeof m);
    EXPECT_EQ(gmSMS_getReadMsg(r.answer.c_str(), &m), r.result);
    if (r.result != 1) continue;
    EXPECT_STREQ(m.phone, r.phone);
    EXPECT_STREQ(m.msg, r.text);
    EXPECT_EQ(m.msg_len, std::strlen(r.text));
    EXPECT_EQ(m.sms_mode, r.mode);
  }
}

TEST(SmsTextTest, ReadingAMaximalMessageStaysInTheRecord) {
  // 160 septets of "@" (all-zero septets) and 140 UCS2 octets.
  std::string seven = "000405812143F5" "0000" "12703180510000" "A0" + std::string(280, '0');
  sms_msg m;
  ASSERT_EQ(gmSMS_getReadMsg(("\r\n+CMGRD: 0,,153\r\n" + seven + "\r\n").c_str(), &m), 1);
  EXPECT_EQ(m.msg_len, 160);
  std::string ucs2 = "000405812143F5" "0008" "12703180510000" "8C" + std::string(280, 'A');
  ASSERT_EQ(gmSMS_getReadMsg(("\r\n+CMGRD: 0,,153\r\n" + ucs2 + "\r\n").c_str(), &m), 1);
  EXPECT_EQ(m.msg_len, 140);
  EXPECT_EQ(m.sms_mode, 8);
}

class SmsStepTest : public testmodem::ModemTest {
 protected:
  int Pass() { return ModemPass(module_, testmodem::RebootStop()); }
  std::string AtLog() {
    // Today's AT log file, wherever the date puts it.
    std::string out;
    std::string cmd = "find " + root_.path() + "/media/card/AT_CMD_LOG -name '*.txt' -exec cat {} +";
    FILE* f = popen(cmd.c_str(), "r");
    char buf[4096];
    size_t n;
    while (f != nullptr && (n = fread(buf, 1, sizeof buf, f)) > 0) out.append(buf, n);
    if (f != nullptr) pclose(f);
    return out;
  }

  FakeModule module_;
};

TEST_F(SmsStepTest, SendVerdicts) {
  struct Row {
    const char* name;
    const char* prompt;   // answer to the command line
    const char* result;   // answer to the PDU
    int status;
    bool pdu_sent;
  };
  const Row rows[] = {
      {"confirmed", "\r\n> ", "\r\n+CMGS: 46\r\n\r\nOK\r\n", 3, true},
      // A destination the codec refuses never reaches the module.
      {"refused destination", "\r\n> ", "\r\n+CMGS: 46\r\n\r\nOK\r\n", 4, false},
      {"confirmed without a prompt", "", "\r\n+CMGS: 7\r\n\r\nOK\r\n", 3, true},
      {"error to the command line", "\r\nERROR\r\n", "\r\n+CMGS: 46\r\n\r\nOK\r\n", 4, false},
      {"CMS error to the command line", "\r\n+CMS ERROR: 331\r\n", "", 4, false},
      {"error to the PDU", "\r\n> ", "\r\n+CMS ERROR: 500\r\n", 4, true},
      {"OK before the confirmation", "\r\n> ", "\r\nOK\r\n\r\n+CMGS: 46\r\n", 4, true},
      {"confirmation later than the wait", "\r\n> ", "", 4, true},
      {"confirmation without OK yet", "\r\n> ", "\r\n+CMGS: 46\r\n", 4, true},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.name);
    FakeModule module;
    module.cmgs_prompt = r.prompt;
    module.cmgs_result = r.result;
    const bool refused = std::string(r.name) == "refused destination";
    ASSERT_EQ(sms_send_one(Message(refused ? "+12ab" : "1234567890", 0, "hello")), 1);
    EXPECT_EQ(send_sms_status, 1);
    ModemPass(module, testmodem::RebootStop());
    EXPECT_EQ(send_sms_status, r.status);
    EXPECT_EQ(is_send_sms, 0);
    ASSERT_EQ(module.CountPrefix("AT+CMGS="), refused ? 0 : 1);
    EXPECT_EQ(module.submitted.size(), r.pdu_sent ? 1u : 0u);
    for (const auto& e : module.exchanges) {
      if (e.command == "AT+CMGS=18\r") {
        EXPECT_EQ(e.wait_ms, 100);
      }
      if (e.command.back() == 0x1A) {
        EXPECT_EQ(e.command, "0011000A8121436587090000AA05E8329BFD06\x1a");
        EXPECT_EQ(e.wait_ms, 3000);
      }
    }
  }
}

TEST_F(SmsStepTest, MailboxTakesOneMessageAtATime) {
  ASSERT_EQ(sms_send_one(Message("111", 0, "first")), 1);
  EXPECT_EQ(sms_send_one(Message("222", 0, "second")), 0);
  EXPECT_STREQ(send_sms.phone, "111");
  EXPECT_STREQ(send_sms.msg, "first");
  Pass();
  EXPECT_EQ(module_.submitted.size(), 1u);
  // Free again: the next one is taken, its body bounded by the record.
  sms_msg second = Message("222", 0, std::string(160, 'b'));
  second.msg_len = 255;
  EXPECT_EQ(sms_send_one(second), 1);
  EXPECT_EQ(send_sms.msg_len, 160);
  EXPECT_EQ(send_sms.msg[160], '\0');
}

TEST_F(SmsStepTest, ExchangeGoesToTheAtLog) {
  logEnable = 1;
  ASSERT_EQ(sms_send_one(Message("1234567890", 0, "hello")), 1);
  Pass();
  std::string log = AtLog();
  EXPECT_NE(log.find("Cmmand=>AT+CMGS=18\r\n\r\nResponse=>\r\nAT+CMGS=18\r\r\n> 0011000A8121436587090000AA05E8329BFD06\n"),
            std::string::npos)
      << log;
  EXPECT_NE(log.find("Cmmand=>AT+CPIN?\r\n"), std::string::npos);
}

TEST_F(SmsStepTest, StoredMessagesAreFetchedOneByOne) {
  module_.store[3] = HelloDeliverPdu();
  module_.store[7] = "00040A812143658755" "0000" "12703180510000" "0141";  // "A" from 1234567855
  Pass();
  EXPECT_EQ(is_new_sms, 1);
  EXPECT_EQ(module_.Commands().back(), "AT+CMGRD=3\r\n");
  EXPECT_EQ(module_.CountPrefix("AT+CMGRD="), 4);  // 0, 1, 2, 3

  // While the message waits, nothing more is looked for.
  Pass();
  EXPECT_EQ(module_.Count("AT+CPMS?\r\n"), 1);

  sms_msg got;
  ASSERT_EQ(sms_check_new_one(&got), 1);
  EXPECT_STREQ(got.phone, "4915112345678");
  EXPECT_STREQ(got.msg, "hello");
  EXPECT_EQ(got.msg_len, 5);
  EXPECT_EQ(got.sms_mode, 0);
  EXPECT_EQ(is_new_sms, 0);
  EXPECT_EQ(sms_check_new_one(&got), 0);

  Pass();
  EXPECT_EQ(is_new_sms, 1);
  EXPECT_EQ(module_.CountPrefix("AT+CMGRD="), 4 + 8);
  ASSERT_EQ(sms_check_new_one(&got), 1);
  EXPECT_STREQ(got.phone, "1234567855");
  EXPECT_STREQ(got.msg, "A");
  EXPECT_TRUE(module_.store.empty());

  // An empty store is not scanned.
  Pass();
  EXPECT_EQ(is_new_sms, 0);
  EXPECT_EQ(module_.CountPrefix("AT+CMGRD="), 12);
}

TEST_F(SmsStepTest, UndecodableMessageIsSkipped) {
  module_.store[0] = "0004FF";
  module_.store[1] = HelloDeliverPdu();
  Pass();
  EXPECT_EQ(is_new_sms, 1);
  EXPECT_STREQ(recv_new_sms.msg, "hello");
}

TEST_F(SmsStepTest, StorageWithoutAParsableAnswerIsNotScanned) {
  module_.store[0] = HelloDeliverPdu();
  const char* answers[] = {"", "AT+CPMS?\r\r\nERROR\r\n", "\r\n+CPMS: \"SM\",x,50\r\n",
                           "\r\n+CPMS: \"SM\",0,50,\"SM\",0,50,\"SM\",0,50\r\n\r\nOK\r\n"};
  for (const char* a : answers) {
    module_.overrides["AT+CPMS?\r\n"] = a;
    Pass();
  }
  EXPECT_EQ(module_.CountPrefix("AT+CMGRD="), 0);
  EXPECT_EQ(is_new_sms, 0);
}

}  // namespace
