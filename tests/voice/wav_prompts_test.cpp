// The prompt files: what wavread takes and refuses, what the format check
// stores, and the links and checks of start-up.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <string>

#include "base/sd_flags.h"
#include "config/config_data.h"
#include "modem/wav_file.h"
#include "modem/wav_prompts.h"
#include "platform/paths.h"
#include "support/firmware_process.h"
#include "voice/wav_test_file.h"

namespace {

using voicetest::Le;
using voicetest::Wav;

TEST(Wav, ReadAndFormatCheck) {
  const std::string list = "LIST" + Le(4, 4) + "INFO";
  const std::string good = Wav(1, 8000, 16, 1600, 1600);
  struct Row {
    const char* what;
    std::string file;
    bool read;        // wavread gives the samples
    int format_ok;    // check_wav_format
    int16_t channels;
    int32_t rate;
    int16_t bits;
  };
  const Row rows[] = {
      {"mono 8 kHz 16-bit", good, true, 1, 1, 8000, 16},
      {"two channels", Wav(2, 8000, 16, 64, 64), true, 0, 2, 8000, 16},
      {"16 kHz", Wav(1, 16000, 16, 64, 64), true, 0, 1, 16000, 16},
      {"8 bits", Wav(1, 8000, 8, 64, 64), true, 0, 1, 8000, 8},
      {"longer format chunk", Wav(1, 8000, 16, 64, 64, "", 18), true, 1, 1, 8000, 16},
      {"list chunk before data", Wav(1, 8000, 16, 64, 64, list), false, 1, 1, 8000, 16},
      {"no data", Wav(1, 8000, 16, 0, 0), true, 1, 1, 8000, 16},
      {"data cut short", good.substr(0, good.size() - 1), false, 1, 1, 8000, 16},
      {"data size 4 GiB", good.substr(0, 40) + Le(0xFFFFFFFF, 4) + good.substr(44), false, 1, 1, 8000, 16},
      {"format size 4 GiB", good.substr(0, 16) + Le(0xFFFFFFF0, 4) + good.substr(20), false, 1, 1, 8000, 16},
      {"header only", good.substr(0, 30), false, 0, 0, 0, 0},
      {"not WAVE", "RIFF" + Le(4, 4) + "AVI fmt ", false, 0, 0, 0, 0},
      {"empty", "", false, 0, 0, 0, 0},
  };
  testsupport::TempDir root;
  platform::SetRoot(root.path());
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    root.Write("media/card/voice/EVNT3.wav", row.file);
    wav_header h{};
    uint32_t size = 0;
    testing::internal::CaptureStderr();
    auto data = wavread((root.path() + "/media/card/voice/EVNT3.wav").c_str(), &h, &size);
    const std::string complaint = testing::internal::GetCapturedStderr();
    EXPECT_EQ(data != nullptr, row.read);
    EXPECT_EQ(complaint.empty(), row.read) << complaint;
    if (row.read) {
      EXPECT_EQ(size, row.file.size() - (row.file.find("data") + 8));
    }
    testing::internal::CaptureStderr();
    EXPECT_EQ(check_wav_format(3, 1), row.format_ok);
    testing::internal::GetCapturedStderr();
    const VoicePara p = GetVoicePara(3);
    EXPECT_EQ(p.sNumChannels, row.channels);
    EXPECT_EQ(p.lSampleRate, row.rate);
    EXPECT_EQ(p.sBitsPerSample, row.bits);
  }
  testing::internal::CaptureStderr();
  EXPECT_EQ(wavread((root.path() + "/missing.wav").c_str(), nullptr), nullptr);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "Can not open the wave file: " + root.path() + "/missing.wav.\n");
  platform::SetRoot("");
}

TEST(Wav, StartUpLinksAndChecksEveryPrompt) {
  testsupport::TempDir root;
  platform::SetRoot(root.path());
  root.Write("var/.keep", "");
  root.Write("media/card/voice/EVNT0.wav", Wav(1, 8000, 16, 16, 16));
  root.Write("media/card/voice/EVNT5.wav", Wav(2, 8000, 16, 16, 16));

  testing::internal::CaptureStdout();
  EXPECT_EQ(link_wav_to_var(), 1);
  std::string console = testing::internal::GetCapturedStdout();
  EXPECT_NE(console.find(">Voice File: /var/qrv_806_voice/EVNT15.wav does not exist!!.\r\n"), std::string::npos);
  // Every link is made, whether the card holds its file or not (one that
  // leads to its prompt: the voice alarm end to end).
  struct stat st {};
  EXPECT_EQ(lstat((root.path() + "/var/qrv_806_voice/EVNT9.wav").c_str(), &st), 0);
  testing::internal::CaptureStdout();
  link_wav_to_var();  // the second start finds everything in place
  EXPECT_EQ(testing::internal::GetCapturedStdout(), ">/var/qrv_806_voice/ already create!!\r\n");

  if_sd_card = 1;
  testing::internal::CaptureStdout();
  check_wav_exist_format();
  console = testing::internal::GetCapturedStdout();
  EXPECT_NE(console.find(">Voice File: /media/card/voice/EVNT5.wav format is Incorrect!!\r\n"), std::string::npos);
  EXPECT_NE(console.find(">Voice File: /media/card/voice/EVNT1.wav does not exist.\r\n"), std::string::npos);
  EXPECT_EQ(GetVoicePara(5).cIsExist, 1);
  EXPECT_EQ(GetVoicePara(5).cIsFormatOK, 0);
  EXPECT_EQ(GetVoicePara(1).cIsExist, 0);

  if_sd_card = 0;  // without a card every prompt is absent
  testing::internal::CaptureStdout();
  check_wav_exist_format();
  EXPECT_EQ(testing::internal::GetCapturedStdout(), ">SD card does not exist.\r\n");
  EXPECT_EQ(GetVoicePara(0).cIsExist + GetVoicePara(0).cIsFormatOK, 0);
  platform::SetRoot("");
}

}  // namespace
