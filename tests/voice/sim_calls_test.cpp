// Voice calls of the simulated SIM7100: what it refuses (each far end's
// dialogue is met by the firmware's own calls in voice_call_test).
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <utility>

#include "sim/command.h"
#include "sim/sim7100_model.h"
#include "support/firmware_process.h"
#include "voice/wav_test_file.h"

namespace {

namespace fs = std::filesystem;
using voicetest::Wav;
constexpr int64_t kMs = 1000;

void WriteFile(const std::string& path, const std::string& bytes) { std::ofstream(path, std::ios::binary) << bytes; }

class SimCallsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(root_ + "/media/card/voice");
    fs::create_directories(root_ + "/var/qrv_806_voice");
    WriteFile(root_ + "/media/card/voice/EVNT0.wav", Wav(1, 8000, 16, 16000, 16000));  // 1 s at 16000 bytes/s
    // Linked by host path, and by board path as on the device.
    fs::create_symlink(root_ + "/media/card/voice/EVNT0.wav", root_ + "/var/qrv_806_voice/EVNT0.wav");
    fs::create_symlink("/media/card/voice/EVNT5.wav", root_ + "/var/qrv_806_voice/EVNT5.wav");
    model_.SetBoardRoot(root_);
    model_.SetSender([this](const std::string& bytes) { out_ += bytes; });
  }

  std::string Exchange(const std::string& bytes, int64_t wait_ms = 100) {
    model_.Receive(bytes, now_);
    const int64_t until = now_ + wait_ms * kMs;
    for (int64_t d = model_.NextDeadlineUs(); d >= 0 && d <= until; d = model_.NextDeadlineUs()) {
      now_ = d > now_ ? d : now_;
      model_.OnDeadline(now_);
    }
    now_ = until;
    return std::exchange(out_, "");
  }
  sim::Reply Ctl(const std::string& line) { return model_.Command(sim::SplitWords(line), line, now_); }

  testsupport::TempDir dir_;
  const std::string root_ = dir_.path();
  sim::Sim7100Model model_;
  std::string out_;
  int64_t now_ = 1000 * 1000 * kMs;
};

// (A dial without network and a prompt missing from the card: the call
// flows of voice_call_test.)
TEST_F(SimCallsTest, RefusedDialsAndPromptsAnswerErrors) {
  for (const std::string& dial : {std::string("ATD+393331234567\r\n") /* no ';': not a voice call */,
                                  std::string("ATD+3933x;\r\n"), "ATD" + std::string(41, '1') + ";\r\n"}) {
    EXPECT_EQ(Exchange(dial, 2000), dial + "\r\nERROR\r\n");
    EXPECT_EQ(model_.calls().records().back().outcome, "dial error");
  }
  // In a call: a link to no file, or a path out of the board, is refused.
  Ctl("call answer 0");
  Exchange("ATD123;\r\n", 2000);
  for (const char* path : {"/var/qrv_806_voice/EVNT5.wav", "/var/../etc/passwd"}) {
    std::string play = "AT+CCMXPLAYWAV=\"" + std::string(path) + "\",1\r\n";
    EXPECT_EQ(Exchange(play), play + "\r\nERROR\r\n") << path;
  }
  // The network goes: the call ends as a network ends it.
  ASSERT_TRUE(Ctl("net none").ok);
  EXPECT_EQ(Exchange(""), "\r\nVOICE CALL: END: 000000\r\n\r\nNO CARRIER\r\n");
  EXPECT_EQ(model_.calls().records().back().outcome, "answered");
  for (const char* bad : {"call answer 101", "call maybe"}) EXPECT_FALSE(Ctl(bad).ok) << bad;
}

}  // namespace
