// A scripted SIM7100 behind the AT channel interface, for whole modem passes
// without their seconds of waiting, and a fresh modem state for every test.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "config/config_data.h"
#include "log/log_store.h"
#include "modem/at_channel.h"
#include "modem/modem_loop.h"
#include "modem/modem_state.h"
#include "modem/sms_transport.h"
#include "modem/voice_call.h"
#include "platform/paths.h"
#include "platform/system_actions.h"
#include "support/firmware_process.h"

namespace testmodem {

// Answers as the module's manual and field captures show them (echo on,
// "\r\n<info>\r\n\r\nOK\r\n"); keeps a store that AT+CMGRD empties (read and
// delete) and records every command with its wait, and every pause. Time
// moves only with the waits and pauses of the dialogue; a scripted answer
// comes in pieces, each that many ms after its command.
class FakeModule final : public AtChannel {
 public:
  struct Exchange { std::string command; int wait_ms; };
  struct Piece { int after_ms; std::string text; };
  // The next command that starts with `first` gets the pieces `second`
  // instead of its answer (echo not added); used up in order.
  std::deque<std::pair<std::string, std::vector<Piece>>> script;
  std::string cpin = "+CPIN: READY";  // a "+CME ERROR: ..." line comes without OK
  std::string creg = "+CREG: 0,1", csq = "+CSQ: 22,0", gps = "+CGPSINFO: ,,,,,,,,";
  std::map<int, std::string> store;  // index -> SMS-DELIVER PDU, 50 places
  std::string cmgs_prompt = "\r\n> ", cmgs_result = "\r\n+CMGS: 46\r\n\r\nOK\r\n";
  std::map<std::string, std::string> overrides;  // whole answers, echo not added
  std::vector<Exchange> exchanges;
  std::vector<int> pauses;

  int Count(const std::string& prefix) const {
    return static_cast<int>(std::count_if(exchanges.begin(), exchanges.end(), [&](const Exchange& e) {
      return e.command.compare(0, prefix.size(), prefix) == 0;
    }));
  }

 private:
  std::string Reply(const std::string& c) {
    std::string used = std::to_string(store.size()) + ",50";
    const std::map<std::string, std::string> info = {
        {"AT+GMM\r\n", "SIMCOM_SIM7100C"}, {"AT+SIMEI?\r\n", "+SIMEI: 357396012183170"}, {"AT+CPIN?\r\n", cpin},
        {"AT+CREG?\r\n", creg}, {"AT+CSQ\r\n", csq}, {"AT+CGPSINFO\r\n", gps},
        {"AT+CPMS?\r\n", "+CPMS: \"SM\"," + used + ",\"SM\"," + used + ",\"SM\"," + used}};
    auto it = info.find(c);
    if (it != info.end()) return "\r\n" + it->second + (it->second.compare(0, 4, "+CME") == 0 ? "\r\n" : "\r\n\r\nOK\r\n");
    if (c.compare(0, 8, "AT+CMGS=") == 0) return cmgs_prompt;
    if (c.back() == 0x1A) return cmgs_result;
    if (c.compare(0, 9, "AT+CMGRD=") != 0) return "\r\nOK\r\n";
    int index = std::atoi(c.c_str() + 9);
    if (index >= 50) return "\r\n+CMS ERROR: 321\r\n";
    if (store.count(index) == 0) return "\r\nOK\r\n";
    std::string pdu = store[index];
    store.erase(index);
    return "\r\n+CMGRD: 0,," + std::to_string(pdu.size() / 2) + "\r\n" + pdu + "\r\n\r\nOK\r\n";
  }
  std::vector<Piece> Answer(const std::string& command) {
    for (auto it = script.begin(); it != script.end(); ++it) {
      if (command.compare(0, it->first.size(), it->first) != 0) continue;
      std::vector<Piece> pieces = it->second;
      script.erase(it);
      // A scripted read answer stands for the stored message: read and gone.
      if (command.compare(0, 9, "AT+CMGRD=") == 0) store.erase(std::atoi(command.c_str() + 9));
      return pieces;
    }
    if (overrides.count(command) != 0) return {{0, overrides[command]}};
    std::string echo = command.back() == '\n' ? command.substr(0, command.size() - 1) : command;
    return {{0, echo + Reply(command)}};
  }
  // What has arrived by now, in order, at most `max` bytes.
  int Take(char* buf, int max) {
    std::string out;
    while (!arriving_.empty() && arriving_.begin()->first <= now_ms_ && out.size() < static_cast<size_t>(max)) {
      std::string& text = arriving_.begin()->second;
      size_t n = std::min(text.size(), static_cast<size_t>(max) - out.size());
      out += text.substr(0, n);
      text.erase(0, n);
      if (text.empty()) arriving_.erase(arriving_.begin());
    }
    return static_cast<int>(out.copy(buf, out.size()));
  }
  int DoWriteRead(const char* cmd, int len, char* response, int wait_ms) override {
    std::string command(cmd, static_cast<size_t>(len));
    exchanges.push_back({command, wait_ms});
    for (const Piece& p : Answer(command)) arriving_.emplace(now_ms_ + p.after_ms, p.text);
    now_ms_ += wait_ms;
    std::memset(response, 0, kAtResponseSize);
    return Take(response, kAtResponseArea);
  }
  int DoRead(char* buf, int max_len) override { return Take(buf, max_len); }
  void DoPause(int ms) override {
    pauses.push_back(ms);
    now_ms_ += ms;
  }

  long now_ms_ = 0;
  std::multimap<long, std::string> arriving_;  // same time: in the order sent
};

// An SMS-DELIVER without centre address from 4915112345678 with "hello".
inline std::string HelloDeliverPdu() { return "00040D91945111325476F8000012703180510000" "05E8329BFD06"; }

// Today's AT log file under a board root, wherever the date puts it.
inline std::string AtLog(const std::string& root) {
  std::string log;
  FILE* f = popen(("find " + root + "/media/card/AT_CMD_LOG -name '*.txt' -exec cat {} +").c_str(), "r");
  for (int c; f != nullptr && (c = fgetc(f)) != EOF;) log += static_cast<char>(c);
  if (f != nullptr) pclose(f);
  return log;
}

inline void ResetModemGlobals() {
  is_do_first_time_cmd = is_input_pin = modem_count4reset = counterReboot = 0;
  modem_cpin_status = modem_creg = modem_csq = gps_flag = 0;
  is_send_sms = send_sms_status = is_new_sms = is_send_voice = send_voice_status = 0;
  str_gmm.Set("");
  str_gprmc.Set("");
  std::memset(modem_imei, 0, sizeof modem_imei);
  std::memset(&send_sms, 0, sizeof send_sms);
  std::memset(&recv_new_sms, 0, sizeof recv_new_sms);
  ResetSmsTransport();
  ResetModuleWatch();
}

inline void SetPin(const char* pin) {
  std::lock_guard<std::recursive_mutex> lock(ConfigMutex());
  std::memset(sys_config.cPIN, 0, sizeof sys_config.cPIN);
  std::snprintf(sys_config.cPIN, sizeof sys_config.cPIN, "%s", pin);
}

inline sms_msg Message(const char* phone, uint8_t mode, const std::string& body) {
  sms_msg m{};
  std::strncpy(m.phone, phone, sizeof m.phone - 1);
  std::memcpy(m.msg, body.data(), std::min(body.size(), sizeof m.msg - 1));
  m.msg_len = static_cast<uint8_t>(std::min<size_t>(body.size(), 255));
  m.sms_mode = mode;
  return m;
}

// Reboot requests caught by the hook, which also ends the pass's wait for them.
inline std::atomic<int> reboots{0};
inline std::atomic<bool> reboot_stop{false};

// A temporary board root with the simulated card (so the AT log is written).
class ModemTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::SetRoot(root_.path());
    platform::SetSimulated(true);
    Fresh();
    reboots = 0;
    reboot_stop = false;
    previous_hook_ = platform::SetRebootHook([](bool) { ++reboots; reboot_stop = true; });
  }
  void TearDown() override {
    platform::SetRebootHook(previous_hook_);
    Fresh();
    platform::SetSimulated(false);
    platform::SetRoot("");
  }
  static void Fresh() {
    LogInit();
    ResetModemGlobals();
    SetPin("");
  }
  int Pass() { return ModemPass(module_, reboot_stop); }

  testsupport::TempDir root_;
  platform::RebootHook previous_hook_ = nullptr;
  FakeModule module_;
};

}  // namespace testmodem
