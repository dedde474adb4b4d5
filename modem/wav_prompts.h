// The voice prompts: /media/card/voice/EVNT0.wav to EVNT15.wav, linked into
// /var/qrv_806_voice/ where the module's player finds them, and their
// format (mono, 8000 Hz, 16 bits) checked at start-up and before a call.
#pragma once

#include "config/config_data.h"

constexpr int kVoicePrompts = kEventCount;

/// A consistent copy of voice_para[n] (a zeroed one for n outside 0..15).
/// The entries are written at start-up and by the format check before a
/// call, under the configuration lock.
VoicePara GetVoicePara(int n);

/// Makes /var/qrv_806_voice/ and, when any link is missing, a link for
/// every prompt (made whether or not the card holds the file). Returns 1.
int link_wav_to_var();
/// Start-up: fills voice_para for all 16 prompts (all absent without a card).
void check_wav_exist_format();
/// Reads prompt n's format into voice_para[n]; 1 when it is the accepted
/// one. `flag` has no effect. A file whose format chunk is not followed by
/// its data chunk still passes when the format matches.
int check_wav_format(int n, int flag);
