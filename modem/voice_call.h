// Voice calls through the modem thread: the voice mailbox and step 10 of a
// modem pass, which dials, waits for an answer (or assumes voicemail after
// about 30 s of ringing), plays the prompt into the call and hangs up.
//
// The mailbox works like the SMS send mailbox: the filler writes the record
// and the status and sets the flag last; the modem thread clears the flag
// before it publishes the final status 3 (done) or 4 (failed). Every call
// ends with one of them, so a caller may wait without a time limit.
#pragma once

#include <atomic>
#include <cstdint>

#include "modem/at_channel.h"

/// One call: the number and the prompt's file name ("EVNT%d.wav").
struct voice_msg {
  char phone[50];
  char wav[20];
};

/// send_voice_status values.
enum VoiceSendStatus : int32_t {
  kVoiceNone = 0,
  kVoiceHandedOver = 1,
  kVoiceCalling = 2,
  kVoiceDone = 3,
  kVoiceFailed = 4,
};

extern voice_msg send_voice;
/// 1 while send_voice holds a call not yet finished.
extern std::atomic<int32_t> is_send_voice;
extern std::atomic<int32_t> send_voice_status;

/// Whether the modem thread would dial `number`: digits with an optional
/// leading "+", and "*" and "#".
bool VoiceDialable(const char* number);

/// Hands one call to the modem thread: 0 (nothing changed) while the
/// mailbox is busy, else 1 with send_voice_status 1.
int voice_send_one(voice_msg job);

/// How long the call steps wait; shortened by tests only.
struct VoiceCallTiming {
  int poll_ms = 100;
  /// Polls without answer, ringing or refusal (and polls while the prompt
  /// plays) before the call is hung up.
  int max_polls = 1200;
  /// Ringing polls after which the far end is taken for voicemail.
  int max_rings = 300;
  int voicemail_wait_ms = 23000;
};

/// Step 10 of a modem pass: places the call of the voice mailbox (the
/// caller checked is_send_voice), frees the mailbox, publishes 3 or 4.
void SendVoiceJob(AtChannel& channel, const VoiceCallTiming& timing = VoiceCallTiming());
