// The SIMCom SIM7100 as the simulated board's module: echo on, PDU mode,
// verbose +CME errors and numeric +CMS errors, answers delayed as a real
// module's are (a few ms for queries, hundreds of ms for a sent message),
// and a world around it that control commands set: the SIM card, the
// network, the signal, the GPS sky, incoming messages and the fate of sent
// ones.
//
// AT commands answered: AT, ATI, ATE0/1, ATZ, AT+GMM, AT+CGMM, AT+SIMEI?,
// AT+CGPS?/=, AT+CGPSINFO, AT+CPIN?/=, AT+CFUN?/=, AT+CREG?/=, AT+CSQ,
// AT+CNSMOD?, AT+CMEE?/=, AT+CMGF?/=0, AT+CPMS?/=, AT+CMGRD=, AT+CMGD=,
// AT+CMGS= (prompt, PDU, Ctrl-Z or ESC), and voice calls: AT+MORING?/=,
// ATD<number>;, AT+CHUP, ATH, ATA, AT+CLCC, AT+CCMXPLAYWAV=, AT+CCMXSTOPWAV,
// with a far end that answers, rejects, never answers or rings on until its
// voicemail takes the prompt. Anything else answers ERROR.
//
// In realistic mode (seeded) the module behaves as a real one does: its
// answers come in pieces spread over up to 300 ms, a confirmation is late
// now and then, the SIM is busy for a few seconds after power-up, radio-on
// and PIN entry, and unsolicited lines come between answers (+CMTI, RING,
// +CREG, +CGPSINFO). Faults on demand in either mode: the module gone for a
// while (back as after a reset), a busy SIM, late confirmations.
//
// Used by one thread at a time (the simulator's loop, or a ModemPtyServer).
#pragma once

#include <cstdint>
#include <ctime>
#include <functional>
#include <string>
#include <vector>

#include "sim/modem/at_line_reader.h"
#include "sim/modem/at_output_queue.h"
#include "sim/modem/call_log.h"
#include "sim/modem/modem_model.h"
#include "sim/modem/realistic_dice.h"
#include "sim/modem/sms_outbox.h"
#include "sim/modem/sms_pdu.h"
#include "sim/modem/sms_store.h"

namespace sim {

struct Sim7100Options {
  std::string model = "SIMCOM_SIM7100C";
  std::string revision = "4534B03SIM7100C";
  std::string imei = "861234030012345";
  /// The service centre that received messages name.
  std::string smsc = "+8613800210500";
  /// Places of the SIM's message store.
  int store_places = 50;
  /// Lines the module prints when it powers up, before the SIM's own
  /// ("+CPIN: READY", "SMS DONE", "PB DONE" for a ready SIM).
  std::vector<std::string> boot_lines = {"RDY"};
  /// The PUK of a SIM with a PIN.
  std::string puk = "12345678";
};

class Sim7100Model final : public ModemModel {
 public:
  enum class Card { kReady, kPin, kFailure, kAbsent };
  enum class Network { kHome, kRoaming, kNone };
  /// What the called party does.
  enum class FarEnd { kAnswer, kNoAnswer, kReject, kRingForever };

  explicit Sim7100Model(Sim7100Options options = {});

  /// The module powers up at `now_us`: it prints its boot lines and the
  /// SIM's, and registers a moment after its SIM is ready. (A model that
  /// is never powered up this way is registered from the start.)
  void PowerOn(int64_t now_us);
  /// The wall clock for time stamps and GPS fixes; the host's by default.
  void SetWallClock(std::function<time_t()> clock) { wall_clock_ = std::move(clock); }

  const SmsStore& store() const { return store_; }
  const SmsOutbox& outbox() const { return outbox_; }
  const CallLog& calls() const { return calls_; }
  /// The board's file system, under which the prompt paths of
  /// AT+CCMXPLAYWAV are found; empty (the default): host paths as given.
  void SetBoardRoot(std::string dir) { board_root_ = std::move(dir); }

  /// What the module reports now: "ready", "pin", "puk", "failure",
  /// "absent", or "off" while AT+CFUN=0 has the SIM powered down.
  std::string SimStatus() const;
  /// The registration state +CREG shows at `now_us` (0, 1, 2 or 5).
  int RegistrationAt(int64_t now_us) const;

  /// Realistic mode on with `seed`, or off. (Before PowerOn, so that the
  /// SIM is busy after power-up.)
  void SetRealistic(bool on, uint32_t seed, int64_t now_us);
  bool realistic() const { return realistic_; }

 private:
  enum class SimState { kReady, kPin, kPuk, kFailure, kAbsent, kOff };
  struct Delivery {
    int64_t due_us;
    StoredSms message;
  };
  enum class CallPhase { kIdle, kSetup, kRinging, kConnected, kVoicemail };
  struct Call {
    CallPhase phase = CallPhase::kIdle;
    int64_t next_event_us = -1;  // the next ring, or the far end's decision
    int64_t connected_us = -1;   // for the duration VOICE CALL: END reports
    CallRecord record;
  };

  // ModemModel.
  void DoReceive(const std::string& bytes, int64_t now_us) override;
  int64_t DoNextDeadlineUs() const override;
  void DoOnDeadline(int64_t now_us) override;
  Reply DoCommand(const std::vector<std::string>& words, const std::string& line, int64_t now_us) override;
  void DoAddState(Json& state, int64_t now_us) const override;
  bool DoRegistered(int64_t now_us) const override;

  // The AT dialogue (sim7100_model.cpp).
  void HandleLine(const std::string& line, int64_t now_us);
  void HandleExtended(const std::string& name, char form, const std::string& args, int64_t now_us);
  void HandlePin(const std::string& args, int64_t now_us);
  void HandleFun(const std::string& args, int64_t now_us);
  void HandleGps(char form, const std::string& args, int64_t now_us);
  void HandleStorage(char form, const std::string& args, int64_t now_us);
  void HandleRead(const std::string& args, int64_t now_us);
  void HandleDelete(const std::string& args, int64_t now_us);
  void HandleSubmitLength(const std::string& args, int64_t now_us);
  void HandleSubmit(const std::string& pdu, bool too_long, int64_t now_us);

  // Voice calls (sim7100_voice.cpp).
  void HandleMoring(char form, const std::string& args, int64_t now_us);
  void HandleDial(const std::string& dial_string, int64_t now_us);
  void HandleHangUp(int64_t now_us);
  void HandleCallList(int64_t now_us);
  void HandlePlay(char form, const std::string& args, int64_t now_us);
  void HandleStopPlay(int64_t now_us);
  void CallEvent(int64_t now_us);
  void EndCall(const char* outcome, int64_t now_us);
  /// A call up while the module loses its network ends as a network ends it.
  void DropCallOffNetwork(int64_t now_us);
  void StopPlayer(int64_t after_us, int64_t now_us);
  std::string DialRefusal(std::string* why, int64_t now_us) const;
  std::string CallStateName() const;
  Reply CallCommand(const std::vector<std::string>& w, int64_t now_us);
  Reply CallsCommand(const std::vector<std::string>& w);
  Json CallState() const;
  void Answer(const std::string& bytes, int64_t delay_us, int64_t now_us);
  void Unsolicited(const std::string& line, int64_t after_us, int64_t now_us);
  void SimLines(int64_t after_us, int64_t now_us);
  std::string CmeError(int code) const;
  /// The +CMS error of an SMS command while the SIM is not ready; 0 when it is.
  int SmsSimError() const;
  std::string GpsInfo() const;
  void Flush(int64_t now_us);
  SimState EffectiveSim() const;
  void SimBecameReady(int64_t now_us);
  /// Boot lines, the SIM's start (busy for `busy_us`) and its lines, and
  /// registration `registration_us` after the SIM is ready.
  void Boot(int64_t busy_us, int64_t registration_us, int64_t now_us);

  // Realistic mode and faults on demand (sim7100_realistic.cpp).
  /// Queues echo or an answer; in realistic mode in pieces.
  void Emit(const std::string& bytes, int64_t due_us);
  bool Gone(int64_t now_us) const { return gone_until_us_ >= 0 && now_us < gone_until_us_; }
  bool SimBusy(int64_t now_us) const;
  /// The answer of a SIM-dependent command while the SIM is busy, or "".
  std::string SimBusyAnswer(const std::string& name, int64_t now_us) const;
  /// How long a SIM that starts up (power-up, radio on, PIN) stays busy:
  /// a few seconds in realistic mode, at once otherwise.
  int64_t SimInitUs();
  void BusyUntil(int64_t until_us);
  /// From a ready SIM to a registered module.
  int64_t RegistrationDelayUs();
  /// From Ctrl-Z to the network's verdict on a message, `usual_us` unless
  /// the network is slow.
  int64_t NetworkVerdictUs(int64_t usual_us);
  void ComeBack(int64_t now_us);
  void ReportRegistration(int64_t now_us);
  void RandomEvent(int64_t now_us);
  void IncomingRing(int64_t now_us);
  void NewMessageLine(int index, int64_t now_us);
  void RealismDeadlines(int64_t* next) const;
  Reply RealisticCommand(const std::vector<std::string>& w, int64_t now_us);
  Reply ModuleCommand(const std::vector<std::string>& w, int64_t now_us);
  Reply SimBusyCommand(const std::vector<std::string>& w, int64_t now_us);
  Reply CmgsDelayCommand(const std::vector<std::string>& w);
  void AddRealismState(Json& modem, int64_t now_us) const;

  // The world (sim7100_control.cpp).
  Reply SimCommand(const std::vector<std::string>& w, int64_t now_us);
  Reply NetCommand(const std::vector<std::string>& w, int64_t now_us);
  Reply GpsCommand(const std::vector<std::string>& w);
  Reply SmsCommand(const std::vector<std::string>& w, const std::string& line, int64_t now_us);
  Reply StoreMessage(const std::string& pdu, const std::string& what, int64_t now_us);
  StoredSms Stored(const std::string& pdu) const;
  std::string LocalTime() const;

  Sim7100Options options_;
  std::function<time_t()> wall_clock_;
  AtLineReader reader_;
  AtOutputQueue output_;
  SmsStore store_;
  SmsOutbox outbox_;
  std::vector<Delivery> deliveries_;
  CallLog calls_;
  Call call_;
  std::string board_root_;

  // Module settings.
  bool echo_ = true;
  int cmee_ = 2;
  int fun_ = 1;
  int creg_n_ = 0;
  bool gps_on_ = false;
  int next_mr_ = 0;
  int cmgs_length_ = 0;
  int64_t pdu_deadline_us_ = -1;  // when a PDU not ended by Ctrl-Z is given up
  int64_t registered_from_us_;    // registration follows a ready SIM after a moment
  int64_t commands_seen_ = 0;     // command lines taken, for the state report
  bool moring_ = false;           // report the far end ringing (AT+MORING=1)
  int64_t player_end_us_ = -1;    // when the prompt playing ends; -1: the player is idle
  bool player_in_call_ = false;   // the prompt plays into the call, not locally
  std::string last_command_;

  // The world.
  Card card_ = Card::kReady;
  std::string pin_;
  bool unlocked_ = true;
  int pin_attempts_left_ = 3;
  Network network_ = Network::kHome;
  int csq_ = 22;
  bool sky_fix_ = false;
  double latitude_ = 31.222389;
  double longitude_ = 121.353901;
  int64_t extra_delay_us_ = 0;
  int sms_fail_left_ = 0;
  int sms_fail_code_ = 500;
  std::string own_number_;
  FarEnd far_end_ = FarEnd::kAnswer;
  int answer_rings_ = 2;

  // Realistic mode and faults on demand.
  bool realistic_ = false;
  RealisticDice dice_;
  int64_t sim_busy_until_us_ = -1;
  int64_t cmgs_delay_us_ = 0;       // every confirmation this late; 0: as usual
  int64_t gone_until_us_ = -1;      // the port is silent until then
  int64_t gone_since_us_ = -1;
  int reported_registration_ = -1;  // the last state a +CREG line reported
  int64_t registration_watch_us_ = -1;
  int64_t next_event_us_ = -1;      // the next unsolicited event of realistic mode
  struct Incoming {
    std::string number;  // empty: no incoming call
    int rings_left = 0;
    int64_t next_us = -1;
  } incoming_;
};

}  // namespace sim
