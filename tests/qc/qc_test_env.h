// The factory dialogue's tests: the command tests' board (temporary root,
// GPIO and converter inputs as files, factory settings, quiet console) with
// the dialogue's pauses shortened and its state cleared.
#pragma once

#include <cstdlib>
#include <string>
#include <vector>

#include "cmd/cmd_test_env.h"
#include "modem/modem_state.h"
#include "modem/sms_transport.h"
#include "qc/qc_calibration.h"
#include "qc/qc_commands.h"
#include "qc/qc_pauses.h"
#include "queue/sms_queue.h"

namespace qctest {

class QcTest : public cmdtest::CmdTest {
 protected:
  void SetUp() override {
    CmdTest::SetUp();
    qc_io_settle_ms = 0;
    qc_calibration_pause_ms = 0;
    qc_sms_check_pause_ms = 0;
    QcClearCalibration();
    ResetSms();
  }
  void TearDown() override {
    ResetSms();
    qc_io_settle_ms = 10;
    qc_calibration_pause_ms = 50;
    qc_sms_check_pause_ms = 1000;
    CmdTest::TearDown();
  }
  static void ResetSms() {
    evt_in = evt_out = 0;
    for (auto& e : sms_evt) e.status = e.phone_idx = e.phone_n = 0;
    is_new_sms = 0;
  }

  /// The reply to one command, and into `console` what it printed.
  std::string Qc(const std::string& command, std::string* console = nullptr, QcNext* next = nullptr) {
    std::optional<cmdtest::ConsoleCapture> capture;
    if (console) capture.emplace();
    std::string reply;
    const QcNext n = QcInterpret(command.c_str(), &reply);
    if (next) *next = n;
    if (console) *console = capture->Text();
    return reply;
  }
  void SetVolts(int ch, double volts) { root_.Write("sim/ai/" + std::to_string(ch), std::to_string(volts)); }

  /// The numbers between the ";" of a reply such as "@QCAI10;OK;1.2500;-1.2500;1\r\n".
  static std::vector<double> Numbers(const std::string& reply) {
    std::vector<double> v;
    for (size_t at = reply.find(';'); at != std::string::npos; at = reply.find(';', at + 1)) {
      char* end = nullptr;
      const double d = std::strtod(reply.c_str() + at + 1, &end);
      if (end != reply.c_str() + at + 1) v.push_back(d);
    }
    return v;
  }
};

}  // namespace qctest
