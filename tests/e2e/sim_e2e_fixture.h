// The simulated board as end-to-end tests drive it: `qrv806-sim run` in a
// temporary root, commands through `qrv806-sim ctl`, the state report read
// member by member. Whatever a test starts is stopped when it ends.
#pragma once

#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "config/config_data.h"
#include "config/config_file.h"
#include "platform/paths.h"
#include "support/console_capture.h"
#include "support/firmware_process.h"

namespace e2e {

inline const std::string kSim = testsupport::BuiltProgram("qrv806-sim");
inline const std::string kTerm = testsupport::BuiltProgram("qrv806-term");

// The firmware the board runs instead of the qrv806 of this build, and the
// emulator it runs under: the board's armhf build under qemu-arm (make
// cross-e2e). Empty for this build's own firmware.
inline std::string FirmwareFromEnvironment(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}
inline const std::string kFirmware = FirmwareFromEnvironment("QRV_E2E_FIRMWARE");
inline const std::string kFirmwarePrefix = FirmwareFromEnvironment("QRV_E2E_FIRMWARE_PREFIX");

// Generous: a sanitizer build on a busy two-core machine starts slowly, and
// an emulated firmware suffers most from a busy machine.
template <typename F>
bool WaitFor(F done, int timeout_s = 60) {
  const int scale = kFirmwarePrefix.empty() ? 1 : 3;
  return testsupport::WaitUntil(done, std::chrono::seconds(timeout_s * scale));
}

inline bool Alive(pid_t pid) { return pid > 0 && kill(pid, 0) == 0; }

// The value of a member in the state report, e.g. Member(json, "init_pin")
// gives "0"; `after` narrows the search to the text after that key.
inline std::string Member(const std::string& json, const std::string& key, const std::string& after = "") {
  size_t from = after.empty() ? 0 : json.find("\"" + after + "\"");
  if (from == std::string::npos) return "";
  size_t at = json.find("\"" + key + "\": ", from);
  if (at == std::string::npos) return "";
  at += key.size() + 4;
  size_t end = json[at] == '[' ? json.find(']', at) + 1 : json.find_first_of(",\n}", at);
  return json.substr(at, end - at);
}

// A blink of the LED `led` ("status" or "gps") near ON/OFF ms; the bounds
// are loose, as the host may be slow.
inline bool Blinks(const std::string& state, const char* led, int on_ms, int off_ms) {
  int on = std::atoi(Member(state, "on_ms", led).c_str());
  int off = std::atoi(Member(state, "off_ms", led).c_str());
  return Member(state, "blinking", led) == "true" && on > on_ms * 2 / 3 && on < on_ms * 3 / 2 + 100 &&
         off > off_ms * 2 / 3 && off < off_ms * 3 / 2 + 100;
}

struct CtlResult {
  int status;
  std::string out;  // standard output and error together
};

// Runs `PROGRAM ARGS...` to its end, its standard error as `redirect` says.
inline CtlResult RunSim(const std::vector<std::string>& args, const std::string& program = kSim,
                        const std::string& redirect = "2>&1") {
  std::string cmd = "'" + program + "'";
  for (const auto& a : args) cmd += " '" + a + "'";
  CtlResult r{-1, ""};
  FILE* p = popen((cmd + " " + redirect).c_str(), "r");
  if (!p) return r;
  char buf[4096];
  for (size_t n; (n = fread(buf, 1, sizeof buf, p)) > 0;) r.out.append(buf, n);
  int status = pclose(p);
  r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return r;
}

class SimE2eTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const std::string& program : {kSim, kTerm}) ASSERT_EQ(access(program.c_str(), X_OK), 0) << program;
  }

  void TearDown() override {
    sim_.reset();  // TERM, then KILL, and reaped
    if (Alive(firmware_pid_)) kill(firmware_pid_, SIGKILL);
  }

  // Starts `qrv806-sim run --root ROOT ARGS...`, its output to a file; with
  // QRV_E2E_REALISTIC=SEED in the environment (the e2e-realistic label) the
  // module behaves like a real one, and with QRV_E2E_FIRMWARE=PROGRAM and
  // QRV_E2E_FIRMWARE_PREFIX="EMULATOR ARGS" another firmware runs on it.
  void StartSim(std::vector<std::string> args = {}) {
    args.insert(args.begin(), {"run", "--root", root_});
    if (const char* seed = std::getenv("QRV_E2E_REALISTIC")) args.insert(args.begin() + 3, std::string("--realistic=") + seed);
    if (!kFirmware.empty()) args.insert(args.begin() + 3, {"--firmware", kFirmware});
    if (!kFirmwarePrefix.empty()) args.insert(args.begin() + 3, {"--firmware-prefix", kFirmwarePrefix});
    sim_ = std::make_unique<testsupport::ChildProcess>(kSim, args, dir_.path() + "/sim-output.txt");
  }

  // Waits until the simulator answers on its socket.
  void WaitReady() {
    ASSERT_TRUE(WaitFor([&] { return sim_->Running() && Ctl({"state"}).status == 0; }))
        << "the simulator did not come up; its output:\n" << Output();
    firmware_pid_ = std::atoi(Member(State(), "pid").c_str());
  }

  // Waits for `done`; on a time-out fails with what the board shows.
  void Await(const std::function<bool()>& done, const std::string& what, int timeout_s = 90) {
    EXPECT_TRUE(WaitFor(done, timeout_s)) << what << "\nstate:\n" << State() << "\noutbox:\n" << Ctl({"outbox"}).out
                                          << "\ncalls:\n" << Ctl({"calls"}).out << "\nsimulator output:\n" << Output();
  }
  void AwaitState(const std::function<bool(const std::string&)>& done, const std::string& what) {
    Await([&] { return done(State()); }, what, 60);
  }
  void StartRegistered(std::vector<std::string> args = {}) {
    StartSim(args);
    WaitReady();
    AwaitState([](const std::string& s) { return Member(s, "registration") == "\"home\""; }, "registered");
  }
  // Past the firmware's first modem pass, whose AT+CMGD=4,4 empties the
  // store: only messages that arrive later are read.
  void AwaitFirstModemPass() {
    AwaitState([](const std::string& s) { return std::atoi(Member(s, "at_commands", "modem").c_str()) > 7; },
               "the firmware's first modem pass");
  }
  // Requests through qrv806-term on the board's terminal, waiting up to
  // `first_byte_s` for the first reply byte; its standard output (the CR LF
  // of replies escaped).
  std::string Term(std::vector<std::string> requests, int first_byte_s = 10) {
    requests.insert(requests.begin(), {"-t", std::to_string(first_byte_s), root_ + "/term"});
    return RunSim(requests, kTerm, "2>>'" + dir_.path() + "/term-errors.txt'").out;
  }
  bool OutboxHas(const std::string& text) { return Ctl({"outbox"}).out.find(text) != std::string::npos; }

  CtlResult Ctl(std::vector<std::string> args) {
    args.insert(args.begin(), {"ctl", "--root", root_});
    return RunSim(args);
  }
  std::string State() { return Ctl({"state"}).out; }
  std::string Output() { return sim_->Output(); }
  // A file under the board's root.
  std::string Board(const std::string& relative) { return dir_.Read("root/" + relative); }
  // Today's day file of a log ("USR_LOG", "AT_CMD_LOG", "QMI_LOG"; "" while there is none).
  std::string LogToday(const std::string& log) {
    char day[16];
    const time_t now = time(nullptr);
    std::strftime(day, sizeof day, "%Y/%m/%d", localtime(&now));
    const std::string file = "root/media/card/" + log + "/" + day + ".txt";
    return dir_.Exists(file) ? dir_.Read(file) : "";
  }
  std::string UserLogToday() { return LogToday("USR_LOG"); }
  // Writes APP/config.ini under the board's root (or another folder of the
  // test) from the factory settings as `edit` changes them; its content.
  std::string WriteConfig(const std::function<void()>& edit, const std::string& folder = "root") {
    const std::string at = dir_.path() + "/" + folder;
    std::filesystem::create_directories(at + "/APP");
    platform::SetRoot(at);
    {
      testsupport::ConsoleCapture quiet;
      init_orvel_config();
      set_default();
      edit();
      EXPECT_EQ(save_orvel_config(), 1);
    }
    platform::SetRoot("");
    return dir_.Read(folder + "/APP/config.ini");
  }
  static void Phones(OrvelEvent& ev, std::initializer_list<const char*> numbers) {
    ev.phone_n_now = 0;
    for (const char* n : numbers) std::snprintf(ev.phone[ev.phone_n_now++], kPhoneSize, "%s", n);
  }

  testsupport::TempDir dir_;
  std::string root_ = dir_.path() + "/root";
  std::unique_ptr<testsupport::ChildProcess> sim_;
  pid_t firmware_pid_ = -1;
};

}  // namespace e2e
