// The call step of a modem pass against the simulated module, in virtual
// time: every wait of the dialogue (seconds of ringing, the 23 s voicemail
// pause, two minutes of polling) passes at once; and what the simulated
// module refuses.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "modem/modem_test_env.h"
#include "modem/voice_call.h"
#include "sim/control/command.h"
#include "sim/modem/sim7100_model.h"
#include "support/console_capture.h"
#include "support/firmware_process.h"
#include "voice/wav_test_file.h"

namespace {

namespace fs = std::filesystem;

// A mono 8 kHz 16-bit prompt of `seconds`, its samples left as a hole.
void WritePrompt(const std::string& path, uint32_t seconds) {
  std::ofstream(path, std::ios::binary) << voicetest::Wav(1, 8000, 16, seconds * 16000, 0);
  fs::resize_file(path, 44 + seconds * 16000);
}

// The module behind the AT channel; time moves only with the dialogue.
class ModelChannel final : public AtChannel {
 public:
  explicit ModelChannel(sim::Sim7100Model& model) : model_(model) {
    model_.SetSender([this](const std::string& bytes) { pending_ += bytes; });
  }
  std::vector<std::string> commands;
  int64_t now_us = 1000000000000;

 private:
  void Advance(int ms) {
    const int64_t until = now_us + int64_t{ms} * 1000;
    for (int64_t d = model_.NextDeadlineUs(); d >= 0 && d <= until; d = model_.NextDeadlineUs()) {
      now_us = std::max(now_us, d);
      model_.OnDeadline(now_us);
    }
    now_us = until;
  }
  int Take(char* buf, int max) {
    const int n = std::min<int>(max, static_cast<int>(pending_.size()));
    std::memcpy(buf, pending_.data(), static_cast<size_t>(n));
    pending_.erase(0, static_cast<size_t>(n));
    return n;
  }
  int DoWriteRead(const char* cmd, int len, char* response, int wait_ms) override {
    commands.emplace_back(cmd, static_cast<size_t>(len));
    model_.Receive(commands.back(), now_us);
    Advance(wait_ms);
    std::memset(response, 0, kAtResponseSize);
    return Take(response, kAtResponseArea);
  }
  int DoRead(char* buf, int max_len) override { return Take(buf, max_len); }
  void DoPause(int ms) override { Advance(ms); }

  sim::Sim7100Model& model_;
  std::string pending_;
};

class VoiceCallTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(root_.path() + "/media/card/voice");
    fs::create_directories(root_.path() + "/var/qrv_806_voice");
    for (auto [n, seconds] : {std::pair{0, 2u}, std::pair{1, 130u}}) {
      const std::string name = "EVNT" + std::to_string(n) + ".wav";
      WritePrompt(root_.path() + "/media/card/voice/" + name, seconds);
      fs::create_symlink(root_.path() + "/media/card/voice/" + name, root_.path() + "/var/qrv_806_voice/" + name);
    }
    model_.SetBoardRoot(root_.path());
  }
  // Places one call; returns its final status.
  int32_t Call(AtChannel& channel, const char* number, const char* wav) {
    voice_msg job{};
    std::strcpy(job.phone, number);
    std::strcpy(job.wav, wav);
    EXPECT_EQ(voice_send_one(job), 1);
    testsupport::ConsoleCapture capture;
    SendVoiceJob(channel);
    console_ = capture.Text();
    EXPECT_EQ(is_send_voice.load(), 0);
    return send_voice_status.load();
  }
  sim::Reply Ctl(const std::string& line) { return model_.Command(sim::SplitWords(line), line, 0); }
  std::string Has(const std::string& text) { return console_.find(text) != std::string::npos ? text : console_; }

  testsupport::TempDir root_;
  sim::Sim7100Model model_;
  std::string console_;
};

// (Answered at once and refused: the voice alarm end to end.)
TEST_F(VoiceCallTest, CallFlowsAgainstTheModule) {
  struct Row {
    const char* what;
    const char* setup;  // a control command for the module, or none
    const char* wav;
    int32_t status;
    const char* outcome;
    const char* console;  // a line the call must print
    bool hung_up;
  };
  const Row rows[] = {
      {"rings into voicemail", "call ring-forever", "EVNT0.wav", 3, "voicemail",
       ">Go voice mail...wait 23 second...\r\n", true},
      // Still ringing after 30 s: the prompt is refused and the call given up.
      {"nobody answers", "call noanswer", "EVNT0.wav", 4, "no answer", ">send_voice_status(CCMXPLAYWAV) --> 4\r\n",
       true},
      {"not registered", "net none", "EVNT0.wav", 4, "dial error", ">send_voice_status(ATD) --> 4\r\n", false},
      {"prompt missing", "call answer", "EVNT7.wav", 4, "answered", ">send_voice_status(CCMXPLAYWAV) --> 4\r\n", true},
      {"prompt outlasts the wait", "call answer", "EVNT1.wav", 3, "answered",
       ">send_voice_status(timeout) --> 3(4)\r\n", true},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    Ctl("net home");
    Ctl(row.setup);
    ModelChannel channel(model_);
    EXPECT_EQ(Call(channel, "+393331234567", row.wav), row.status);
    EXPECT_EQ(Has(row.console), row.console);
    const bool voicemail = console_.find("Go voice mail") != std::string::npos;
    const std::string setup = row.setup;  // rung for 30 s: the voicemail path
    EXPECT_EQ(voicemail, setup == "call ring-forever" || setup == "call noanswer");
    EXPECT_EQ(channel.commands[1], "ATD+393331234567;\r\n");
    EXPECT_EQ(channel.commands.back() == "AT+CHUP\r\n", row.hung_up);
    ASSERT_FALSE(model_.calls().records().empty());
    const sim::CallRecord& rec = model_.calls().records().back();
    EXPECT_EQ(rec.outcome, row.outcome);
    if (row.status == 3) {
      EXPECT_EQ(rec.prompt, row.wav);
    }
  }
}

// A module that reports nothing after the dial (it answers every command
// with OK): two minutes of polling, then the hang-up decides.
TEST_F(VoiceCallTest, SilentFarEndTimesOut) {
  testmodem::FakeModule module;
  EXPECT_EQ(Call(module, "0912345678", "EVNT0.wav"), 3);
  EXPECT_EQ(Has(">AT+CHUP(timeout) recv:"), ">AT+CHUP(timeout) recv:");
  const size_t from = console_.find(">wait calling...\n") + 17, to = console_.find(">AT+CHUP(timeout)");
  EXPECT_EQ(console_.substr(from, to - from), std::string(1201, '.'));
  module.overrides["AT+CHUP\r\n"] = "\r\nERROR\r\n";
  EXPECT_EQ(Call(module, "0912345678", "EVNT0.wav"), 4);
  EXPECT_EQ(Has(">send_voice_status(AT+CHUP) --> 4\r\n"), ">send_voice_status(AT+CHUP) --> 4\r\n");
  // A number that would smuggle a command past the dial is never dialled.
  EXPECT_EQ(Call(module, "123;+CFUN=0", "EVNT0.wav"), 4);
  // A dial without any answer may have placed the call: it is hung up, so it
  // cannot hold the line against every later dial. Any answer says no call
  // is up: nothing is sent after it.
  const struct { const char* answer; bool hung_up; } dials[] = {
      {"", true}, {"ATD0912345678;\r", true} /* its echo alone */, {"ATD0912345678;\r\r\nNO CARRIER\r\n", false},
      {"\r\r\nERROR\r\n", false}};
  for (const auto& d : dials) {
    module.overrides = {{"ATD0912345678;\r\n", d.answer}};
    module.exchanges.clear();
    EXPECT_EQ(Call(module, "0912345678", "EVNT0.wav"), 4);
    EXPECT_EQ(module.exchanges.back().command, d.hung_up ? "AT+CHUP\r\n" : "ATD0912345678;\r\n") << d.answer;
  }
}

// What the module says during a call that belongs to the SMS steps (a late
// confirmation) reaches them after the call.
TEST_F(VoiceCallTest, LateSmsAnswersDuringACallAreKeptForTheSmsSteps) {
  testmodem::ResetModemGlobals();
  testmodem::FakeModule module;
  module.cpin = "+CPIN: READY";
  module.script.push_back({"ATD", {{0, "ATD0912345678;\r\r\nOK\r\n"}, {2000, "\r\n+CMGS: 46\r\n\r\nOK\r\n"}}});
  Call(module, "0912345678", "EVNT0.wav");
  testsupport::ConsoleCapture capture;
  ModemPass(module, testmodem::reboot_stop);
  EXPECT_NE(capture.Text().find(">late +CMGS: 46 for an earlier SMS: it was sent after all"), std::string::npos)
      << capture.Text();
}

// The module's answer to `bytes` within `wait_ms`, as the channel reads it.
std::string Exchange(AtChannel& channel, const std::string& bytes, int wait_ms = 100) {
  char answer[kAtResponseSize];
  return std::string(answer, channel.WriteRead(bytes.data(), static_cast<int>(bytes.size()), answer, wait_ms));
}

// (A dial without network and a prompt missing from the card: the flows above.)
TEST_F(VoiceCallTest, SimulatedModuleRefusesBadDialsAndPrompts) {
  Ctl("net home");
  ModelChannel channel(model_);
  for (const std::string& dial : {std::string("ATD+393331234567\r\n") /* no ';': not a voice call */,
                                  std::string("ATD+3933x;\r\n"), "ATD" + std::string(41, '1') + ";\r\n"}) {
    EXPECT_EQ(Exchange(channel, dial, 2000), dial + "\r\nERROR\r\n");
    EXPECT_EQ(model_.calls().records().back().outcome, "dial error");
  }
  // In a call: a link to no file (by board path, as on the device), or a
  // path out of the board, is refused.
  fs::create_symlink("/media/card/voice/EVNT5.wav", root_.path() + "/var/qrv_806_voice/EVNT5.wav");
  Ctl("call answer 0");
  Exchange(channel, "ATD123;\r\n", 2000);
  for (const char* path : {"/var/qrv_806_voice/EVNT5.wav", "/var/../etc/passwd"}) {
    const std::string play = "AT+CCMXPLAYWAV=\"" + std::string(path) + "\",1\r\n";
    EXPECT_EQ(Exchange(channel, play), play + "\r\nERROR\r\n") << path;
  }
  // The network goes: the call ends as a network ends it.
  ASSERT_TRUE(Ctl("net none").ok);
  EXPECT_EQ(Exchange(channel, ""), "\r\nVOICE CALL: END: 000000\r\n\r\nNO CARRIER\r\n");
  EXPECT_EQ(model_.calls().records().back().outcome, "answered");
  for (const char* bad : {"call answer 101", "call maybe"}) EXPECT_FALSE(Ctl(bad).ok) << bad;
}

}  // namespace
