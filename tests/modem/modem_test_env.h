// A fresh modem state for every test: counters, published values and
// mailboxes back to their start values, a temporary board root, and the
// reboot hook catching reboot requests.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <mutex>

#include "config/config_data.h"
#include "config/legacy_config.h"
#include "log/log_store.h"
#include "modem/modem_loop.h"
#include "modem/modem_state.h"
#include "modem/sms_transport.h"
#include "platform/paths.h"
#include "platform/system_actions.h"
#include "support/firmware_process.h"

namespace testmodem {

/// Reboot requests seen by the hook; the hook also ends the pass's wait
/// for the reboot through RebootStop().
inline std::atomic<int>& Reboots() {
  static std::atomic<int> n{0};
  return n;
}
inline std::atomic<bool>& RebootStop() {
  static std::atomic<bool> stop{false};
  return stop;
}
inline void CountReboot(bool) {
  ++Reboots();
  RebootStop() = true;
}

inline void ResetModemGlobals() {
  is_do_first_time_cmd = 0;
  is_input_pin = 0;
  modem_count4reset = 0;
  counterReboot = 0;
  modem_cpin_status = 0;
  modem_creg = 0;
  modem_csq = 0;
  gps_flag = 0;
  str_gmm.Set("");
  str_gprmc.Set("");
  std::memset(modem_imei, 0, sizeof modem_imei);
  is_send_sms = 0;
  send_sms_status = 0;
  is_new_sms = 0;
  std::memset(&send_sms, 0, sizeof send_sms);
  std::memset(&recv_new_sms, 0, sizeof recv_new_sms);
  SetModemVoiceJob(nullptr);
}

inline void SetPin(const char* pin) {
  std::lock_guard<std::recursive_mutex> lock(ConfigMutex());
  std::memset(sys_config.cPIN, 0, sizeof sys_config.cPIN);
  std::snprintf(sys_config.cPIN, sizeof sys_config.cPIN, "%s", pin);
}

/// An SMS record for sending.
inline sms_msg Message(const char* phone, uint8_t mode, const std::string& body) {
  sms_msg m;
  std::memset(&m, 0, sizeof m);
  std::strncpy(m.phone, phone, sizeof m.phone - 1);
  size_t n = body.size() < sizeof m.msg - 1 ? body.size() : sizeof m.msg - 1;
  std::memcpy(m.msg, body.data(), n);
  m.msg_len = static_cast<uint8_t>(body.size() > 255 ? 255 : body.size());
  m.sms_mode = mode;
  return m;
}

class ModemTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::SetRoot(root_.path());
    // The simulated card is present, so the AT log can be written.
    platform::SetSimulated(true);
    LogInit();
    ResetModemGlobals();
    SetPin("");
    Reboots() = 0;
    RebootStop() = false;
    previous_hook_ = platform::SetRebootHook(CountReboot);
  }
  void TearDown() override {
    platform::SetRebootHook(previous_hook_);
    ResetModemGlobals();
    SetPin("");
    LogInit();
    platform::SetSimulated(false);
    platform::SetRoot("");
  }

  testsupport::TempDir root_;
  platform::RebootHook previous_hook_ = nullptr;
};

}  // namespace testmodem
