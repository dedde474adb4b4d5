#include "modem/wav_prompts.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <mutex>

#include "base/console.h"
#include "base/sd_flags.h"
#include "base/sleep.h"
#include "modem/wav_file.h"
#include "platform/paths.h"

namespace {

constexpr const char* kLinkDir = "/var/qrv_806_voice/";
// The pause the board took after each prompt, which also paces the console.
constexpr int kPerPromptPauseMs = 10;

void CardPath(int n, char* out, size_t size) { std::snprintf(out, size, "/media/card/voice/EVNT%d.wav", n); }
void LinkPath(int n, char* out, size_t size) { std::snprintf(out, size, "/var/qrv_806_voice/EVNT%d.wav", n); }

}  // namespace

VoicePara GetVoicePara(int n) {
  if (n < 0 || n >= kVoicePrompts) return VoicePara{};
  std::lock_guard<std::recursive_mutex> lock(ConfigMutex());
  return voice_para[n];
}

int link_wav_to_var() {
  if (::mkdir(platform::Path(kLinkDir).c_str(), 0755) != 0) {
    if (errno == EEXIST) {
      PrintMsg(">/var/qrv_806_voice/ already create!!\r\n");
    } else {
      PrintMsg(">Create /var/qrv_806_voice/ error!!\r\n");
    }
  }
  bool missing = false;
  char path[64];
  for (int n = 0; n < kVoicePrompts; ++n) {
    LinkPath(n, path, sizeof path);
    struct stat st {};
    if (::lstat(platform::Path(path).c_str(), &st) != 0) {
      PrintMsg(">Voice File: %s does not exist!!.\r\n", path);
      missing = true;
    }
  }
  if (!missing) return 1;
  char target[64];
  for (int n = 0; n < kVoicePrompts; ++n) {
    CardPath(n, target, sizeof target);
    LinkPath(n, path, sizeof path);
    if (::symlink(platform::Path(target).c_str(), platform::Path(path).c_str()) != 0) {
      // A link that is there already stays as it is, as `ln -s` left it.
    }
    SleepMilliseconds(kPerPromptPauseMs);
  }
  return 1;
}

int check_wav_format(int n, int /*flag*/) {
  if (n < 0 || n >= kVoicePrompts) return 0;
  char path[64];
  CardPath(n, path, sizeof path);
  wav_header header{};
  wavread(platform::Path(path).c_str(), &header);  // the samples are not needed
  std::lock_guard<std::recursive_mutex> lock(ConfigMutex());
  voice_para[n].sNumChannels = header.num_channels;
  voice_para[n].lSampleRate = header.sample_rate;
  voice_para[n].sBitsPerSample = header.bits_per_sample;
  return header.num_channels == 1 && header.sample_rate == 8000 && header.bits_per_sample == 16 ? 1 : 0;
}

void check_wav_exist_format() {
  if (if_sd_card.load() != 1) {
    PrintMsg(">SD card does not exist.\r\n");
    std::lock_guard<std::recursive_mutex> lock(ConfigMutex());
    for (VoicePara& p : voice_para) p.cIsExist = p.cIsFormatOK = 0;
    return;
  }
  char path[64];
  for (int n = 0; n < kVoicePrompts; ++n) {
    CardPath(n, path, sizeof path);
    if (::access(platform::Path(path).c_str(), F_OK) != 0) {
      {
        std::lock_guard<std::recursive_mutex> lock(ConfigMutex());
        voice_para[n].cIsExist = 0;
      }
      PrintMsg(">Voice File: %s does not exist.\r\n", path);
    } else {
      PrintMsg(">Voice File: %s exist.\r\n", path);
      const int ok = check_wav_format(n, 1);
      {
        std::lock_guard<std::recursive_mutex> lock(ConfigMutex());
        voice_para[n].cIsExist = 1;
        voice_para[n].cIsFormatOK = static_cast<uint8_t>(ok);
      }
      if (ok == 0) PrintMsg(">Voice File: %s format is Incorrect!!\r\n", path);
    }
    SleepMilliseconds(kPerPromptPauseMs);
  }
}
