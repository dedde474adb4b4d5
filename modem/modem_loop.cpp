#include "modem/modem_loop.h"

#include <cstdio>
#include <cstring>
#include <mutex>

#include "base/console.h"
#include "base/sleep.h"
#include "base/thread_start.h"
#include "config/config_data.h"
#include "log/log_store.h"
#include "modem/at_answers.h"
#include "modem/modem_state.h"
#include "modem/modem_wake.h"
#include "modem/serial_port.h"
#include "modem/sms_transport.h"
#include "modem/voice_call.h"
#include "platform/paths.h"
#include "platform/system_actions.h"

std::atomic<int32_t> is_do_first_time_cmd{0};
std::atomic<int32_t> is_input_pin{0};
std::atomic<int32_t> modem_count4reset{0};
std::atomic<int32_t> counterReboot{0};

namespace {

constexpr int kQueryWaitMs = 100;
constexpr int kPinWaitMs = 3000;
constexpr int kRadioOffWaitMs = 500;
constexpr int kRadioPauseMs = 2000;
constexpr int kRadioOnWaitMs = 2000;
// PIN requests answered with the PIN; later ones wait for a ready SIM, so a
// wrong PIN never uses up the SIM's last attempt.
constexpr int kPinAttempts = 2;
// Every fifth unusable SIM answer restarts the radio.
constexpr int kUnusableAnswersPerRestart = 5;
// The 1300th "SIM failure" answer reboots the device.
constexpr int kSimFailuresBeforeReboot = 1300;
constexpr int kPassRestMs = 1000;
constexpr int kStopCheckMs = 100;

// A command whose answer only goes to the AT log.
void ExchangeAndLog(AtChannel& channel, const char* command, char* response, int wait_ms = kQueryWaitMs) {
  channel.Exchange(command, response, wait_ms);
  AtCmdLog(command, response);
}

void FirstPassCommands(AtChannel& channel, char* response) {
  ExchangeAndLog(channel, "ATI\r\n", response);

  ExchangeAndLog(channel, "AT+GMM\r\n", response);
  str_gmm.Set(response);

  ExchangeAndLog(channel, "AT+SIMEI?\r\n", response);
  // Only this thread writes the IMEI once the threads run; nobody reads it.
  ParseSimeiQuery(response, modem_imei, sizeof modem_imei);

  ExchangeAndLog(channel, "AT+CGPS?\r\n", response);
  ExchangeAndLog(channel, "AT+CGPS=1\r\n", response);
  ExchangeAndLog(channel, "AT+CMGD=4,4\r\n", response);
  is_do_first_time_cmd.store(1);
}

// The configured PIN as the module takes it: exactly four digits. Anything
// else is never sent, as a malformed or cut PIN would use up an attempt of
// the SIM (or put stray text into the AT command).
bool UsablePin(char (&pin)[kPinSize]) {
  {
    std::lock_guard<std::recursive_mutex> lock(ConfigMutex());
    std::memcpy(pin, sys_config.cPIN, sizeof pin);
  }
  pin[kPinSize - 1] = '\0';
  if (std::strlen(pin) != 4) return false;
  for (int i = 0; i < 4; ++i) {
    if (pin[i] < '0' || pin[i] > '9') return false;
  }
  return true;
}

void EnterPin(AtChannel& channel, char* response) {
  char pin[kPinSize];
  if (!UsablePin(pin)) {
    PrintMsg(">SIM PIN wanted, but the configured PIN is not 4 digits: not sent\r\n");
    return;
  }
  char command[32];
  std::snprintf(command, sizeof command, "AT+CPIN=%c%c%c%c\r\n", pin[0], pin[1], pin[2], pin[3]);
  ExchangeAndLog(channel, command, response, kPinWaitMs);
}

void RadioCommand(AtChannel& channel, const char* command, char* response, int wait_ms) {
  PrintMsg(">send: %s\n", command);
  channel.Exchange(command, response, wait_ms);
  PrintMsg(">recv:\n%s\n", response);
  AtCmdLog(command, response);
}

void RestartRadio(AtChannel& channel, char* response) {
  RadioCommand(channel, "AT+CFUN=0\r\n", response, kRadioOffWaitMs);
  channel.Pause(kRadioPauseMs);
  RadioCommand(channel, "AT+CFUN=1\r\n", response, kRadioOnWaitMs);
}

// The reboot takes the process down; until it does, nothing else is done.
void RebootAndWait(const std::atomic<bool>& stop) {
  PrintMsg(">SIM failure %d times: reboot\r\n", counterReboot.load());
  ResetSIM7100();
  while (!stop.load()) SleepMilliseconds(kStopCheckMs);
}

bool IsBlankAnswer(const char* response) { return std::strspn(response, "\r\n") == std::strlen(response); }

// Step 3. False when the pass must not go on (a reboot was asked for).
// `answered` tells whether the module said anything at all.
bool CheckSim(AtChannel& channel, char* response, const std::atomic<bool>& stop, bool* answered) {
  ExchangeAndLog(channel, "AT+CPIN?\r\n", response);
  *answered = !IsBlankAnswer(response);
  CpinAnswer answer = ParseCpinQuery(response);
  if (answer == CpinAnswer::kReady) {
    modem_cpin_status.store(0);
    is_input_pin.store(0);
    return true;
  }
  if (answer == CpinAnswer::kPinWanted) {
    modem_cpin_status.store(1);
    int32_t requests = is_input_pin.fetch_add(1) + 1;
    if (requests <= kPinAttempts) EnterPin(channel, response);
    return true;
  }
  if (answer == CpinAnswer::kSimFailure &&
      counterReboot.fetch_add(1) + 1 >= kSimFailuresBeforeReboot) {
    RebootAndWait(stop);
    return false;
  }
  modem_cpin_status.store(2);
  if (modem_count4reset.fetch_add(1) + 1 >= kUnusableAnswersPerRestart) {
    modem_count4reset.store(0);
    RestartRadio(channel, response);
  }
  return true;
}

void PollRegistration(AtChannel& channel, char* response) {
  ExchangeAndLog(channel, "AT+CREG?\r\n", response);
  int32_t stat = 0;
  if (ParseCregQuery(response, &stat)) modem_creg.store(stat);
}

void PollSignal(AtChannel& channel, char* response) {
  ExchangeAndLog(channel, "AT+CSQ\r\n", response);
  int32_t rssi = 0;
  if (ParseCsqExec(response, &rssi)) modem_csq.store(rssi);
}

void PollGps(AtChannel& channel, char* response) {
  ExchangeAndLog(channel, "AT+CGPSINFO\r\n", response);
  GpsInfo info;
  if (!ParseCgpsinfoExec(response, &info)) return;
  char sentence[kGprmcSize];
  int fix = FormatGprmc(info, sentence, sizeof sentence);
  str_gprmc.Set(sentence);
  gps_flag.store(fix);
}

// The rest between passes, in one wait that a job handed to a mailbox cuts
// short (a stop is seen at the end of the rest).
void RestUnlessStopped(int ms, const std::atomic<bool>& stop) {
  if (!stop.load()) ModemRest(ms);
}

// A job waits while the module cannot send it (SIM not ready, not
// registered, or not answering at all): a try made now could only fail, and
// three failures give a number up, so an outage of a minute would lose the
// alarm. The console says so once per outage. A module that stays unable
// (a wrong PIN, no SIM) would hold the jobs for ever: after
// kWaitingPassesMax passes (about five minutes) they are tried all the same,
// and fail and are given up as any failed number is.
constexpr int kWaitingPassesMax = 200;
// Passes in a row without any answer that count as the module gone: one
// slow answer is no outage.
constexpr int kSilentPassesForGone = 3;

// The modem thread's own memory between passes.
struct ModuleWatch {
  int silent_passes = 0;   // passes in a row in which nothing answered
  int waiting_passes = 0;  // passes that jobs have waited for the module
  bool told_waiting = false;
};

ModuleWatch& Watch() {
  static ModuleWatch watch;
  return watch;
}

bool ModuleCanSend() {
  const int32_t creg = modem_creg.load();
  return modem_cpin_status.load() == 0 && (creg == 1 || creg == 5);
}

// True at the first pass with an answer after kSilentPassesForGone passes
// that the module did not answer at all: it was gone, and comes back as
// after a reset. `answered` tells whether any command of this pass got an
// answer.
bool ModuleAnswersAgain(bool answered) {
  ModuleWatch& watch = Watch();
  const bool again = answered && watch.silent_passes >= kSilentPassesForGone;
  watch.silent_passes = answered ? 0 : watch.silent_passes + 1;
  return again;
}

// Whether the jobs of this pass may be tried; says once when they start to
// wait for the module, once when they go on, and once when they are tried
// after waiting too long.
bool JobsMayGo(bool ready) {
  ModuleWatch& watch = Watch();
  const bool sms = is_send_sms.load() != 0;
  const bool voice = is_send_voice.load() != 0;
  if (ready) {
    if (watch.told_waiting) PrintMsg(">Module ready again: waiting jobs go on\r\n");
    watch = ModuleWatch{watch.silent_passes, 0, false};
    return true;
  }
  if (!sms && !voice) {
    // Nothing waits: the next job's wait, and its line, start afresh.
    watch.waiting_passes = 0;
    watch.told_waiting = false;
    return false;
  }
  if (!watch.told_waiting) {
    PrintMsg(">Module not ready (SIM status %d, registration %d): %s waits\r\n", modem_cpin_status.load(),
             modem_creg.load(), sms && voice ? "SMS and call" : sms ? "SMS" : "call");
    watch.told_waiting = true;
  }
  if (watch.waiting_passes < kWaitingPassesMax && ++watch.waiting_passes == kWaitingPassesMax) {
    PrintMsg(">Module still not ready after %d passes: waiting jobs are tried all the same\r\n", kWaitingPassesMax);
  }
  return watch.waiting_passes >= kWaitingPassesMax;
}

}  // namespace

void ResetSIM7100() { platform::Reboot(); }

int ModemPass(AtChannel& channel, const std::atomic<bool>& stop) {
  char response[kAtResponseSize];
  if (is_do_first_time_cmd.load() == 0) FirstPassCommands(channel, response);
  bool answered = false;
  if (!CheckSim(channel, response, stop, &answered)) return -1;
  PollRegistration(channel, response);
  answered = answered || !IsBlankAnswer(response);
  PollSignal(channel, response);
  answered = answered || !IsBlankAnswer(response);
  // A module that was reset (its boot line seen, or answering again after
  // passes in which it was silent) has its GPS receiver off again.
  const bool answers_again = ModuleAnswersAgain(answered);
  if (TakeModuleRestarted() || answers_again) {
    PrintMsg(">Module restarted: GPS switched on again\r\n");
    ExchangeAndLog(channel, "AT+CGPS=1\r\n", response);
  }
  ExchangeAndLog(channel, "AT+CNSMOD?\r\n", response);
  PollGps(channel, response);
  const bool go = JobsMayGo(ModuleCanSend());
  if (go && is_send_sms.load() != 0) SendSmsJob(channel);
  if (is_new_sms.load() == 0) FetchNewSms(channel);
  if (go && is_send_voice.load() != 0) SendVoiceJob(channel);
  SettleSetAside(channel);
  return 0;
}

void ResetModuleWatch() { Watch() = ModuleWatch{}; }

int ModemPassOnPort(const std::atomic<bool>& stop) {
  int fd = uart_open(platform::Path("/dev/smd8").c_str(), 115200, 8, 'N', 1);
  if (fd < 0) {
    PrintMsg(">open com_at fails\n");
    return -1;
  }
  SerialAtChannel channel(fd);
  int result = ModemPass(channel, stop);
  uart_close(fd);
  return result;
}

int get_modem_info() {
  static const std::atomic<bool> kNeverStop{false};
  return ModemPassOnPort(kNeverStop);
}

void RunModemLoop(const std::atomic<bool>& stop) {
  while (!stop.load()) {
    ModemPassOnPort(stop);
    RestUnlessStopped(kPassRestMs, stop);
  }
}

void* thread_modem(void*) {
  NameThisThread("modem");
  PrintMsg("[thread_modem is start]\r\n");
  static const std::atomic<bool> kNeverStop{false};
  RunModemLoop(kNeverStop);
  return nullptr;
}
