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
#include <memory>
#include <string>
#include <vector>

#include "support/firmware_process.h"

namespace e2e {

inline const std::string kSim = testsupport::BuiltProgram("qrv806-sim");

// Generous: a sanitizer build on a busy two-core machine starts slowly.
template <typename F>
bool WaitFor(F done, int timeout_s = 60) {
  return testsupport::WaitUntil(done, std::chrono::seconds(timeout_s));
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

// Runs `qrv806-sim ARGS...` to its end.
inline CtlResult RunSim(const std::vector<std::string>& args) {
  std::string cmd = "'" + kSim + "'";
  for (const auto& a : args) cmd += " '" + a + "'";
  CtlResult r{-1, ""};
  FILE* p = popen((cmd + " 2>&1").c_str(), "r");
  if (!p) return r;
  char buf[4096];
  for (size_t n; (n = fread(buf, 1, sizeof buf, p)) > 0;) r.out.append(buf, n);
  int status = pclose(p);
  r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return r;
}

class SimE2eTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(access(kSim.c_str(), X_OK), 0) << "build qrv806-sim first"; }

  void TearDown() override {
    sim_.reset();  // TERM, then KILL, and reaped
    if (Alive(firmware_pid_)) kill(firmware_pid_, SIGKILL);
  }

  // Starts `qrv806-sim run --root ROOT ARGS...`, its output to a file.
  void StartSim(std::vector<std::string> args = {}) {
    args.insert(args.begin(), {"run", "--root", root_});
    sim_ = std::make_unique<testsupport::ChildProcess>(kSim, args, dir_.path() + "/sim-output.txt");
  }

  // Waits until the simulator answers on its socket.
  void WaitReady() {
    ASSERT_TRUE(WaitFor([&] { return sim_->Running() && Ctl({"state"}).status == 0; }))
        << "the simulator did not come up; its output:\n" << Output();
    firmware_pid_ = std::atoi(Member(State(), "pid").c_str());
  }

  CtlResult Ctl(std::vector<std::string> args) {
    args.insert(args.begin(), {"ctl", "--root", root_});
    return RunSim(args);
  }
  std::string State() { return Ctl({"state"}).out; }
  std::string Output() { return sim_->Output(); }
  // A file under the board's root.
  std::string Board(const std::string& relative) { return dir_.Read("root/" + relative); }
  // A stand-in firmware: a script run instead of qrv806.
  std::string FakeFirmware(const std::string& body) {
    dir_.Write("fake-firmware.sh", "#!/bin/sh\n" + body);
    chmod((dir_.path() + "/fake-firmware.sh").c_str(), 0755);
    return dir_.path() + "/fake-firmware.sh";
  }

  testsupport::TempDir dir_;
  std::string root_ = dir_.path() + "/root";
  std::unique_ptr<testsupport::ChildProcess> sim_;
  pid_t firmware_pid_ = -1;
};

}  // namespace e2e
