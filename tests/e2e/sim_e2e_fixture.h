// The simulated board as end-to-end tests drive it: `qrv806-sim run` in a
// temporary root, commands through `qrv806-sim ctl`, the state report read
// member by member. Whatever a test starts is stopped when it ends.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace e2e {

inline const std::string kSim = std::string(QRV_BUILD_DIR) + "/qrv806-sim";

// Generous: a sanitizer build on a busy two-core machine starts slowly.
constexpr int kTimeoutS = 60;

inline bool WaitFor(const std::function<bool()>& done, int timeout_s = kTimeoutS) {
  auto end = std::chrono::steady_clock::now() + std::chrono::seconds(timeout_s);
  while (std::chrono::steady_clock::now() < end) {
    if (done()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return done();
}

inline std::string ReadAll(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  std::stringstream s;
  s << f.rdbuf();
  return s.str();
}

inline bool Alive(pid_t pid) { return pid > 0 && kill(pid, 0) == 0; }

// The value of a member in the state report, e.g. Member(json, "init_pin")
// gives "0"; `after` narrows the search to the text after that key.
inline std::string Member(const std::string& json, const std::string& key, const std::string& after = "") {
  size_t from = 0;
  if (!after.empty()) {
    from = json.find("\"" + after + "\"");
    if (from == std::string::npos) return "";
  }
  size_t at = json.find("\"" + key + "\": ", from);
  if (at == std::string::npos) return "";
  at += key.size() + 4;
  size_t end = json.find_first_of(",\n}", at);
  if (json[at] == '[') end = json.find(']', at) + 1;
  return json.substr(at, end - at);
}

// A blink of the LED `led` ("status" or "gps") near ON/OFF ms; the bounds
// are loose, as the host may be slow.
inline bool Blinks(const std::string& state, const char* led, int on_ms, int off_ms) {
  if (Member(state, "blinking", led) != "true") return false;
  int on = std::atoi(Member(state, "on_ms", led).c_str());
  int off = std::atoi(Member(state, "off_ms", led).c_str());
  return on > on_ms * 2 / 3 && on < on_ms * 3 / 2 + 100 && off > off_ms * 2 / 3 && off < off_ms * 3 / 2 + 100;
}

struct CtlResult {
  int status;
  std::string out;  // standard output and error together
};

class SimE2eTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/qrv-sim-e2e.XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    dir_ = tmpl;
    root_ = dir_ + "/root";
    output_ = dir_ + "/sim-output.txt";
    ASSERT_EQ(access(kSim.c_str(), X_OK), 0) << "build qrv806-sim first";
  }

  void TearDown() override {
    // Whatever happened in the test, nothing it started outlives it.
    pid_t firmware = firmware_pid_;
    if (sim_pid_ > 0) {
      kill(sim_pid_, SIGTERM);
      if (!WaitFor([&] { return Reap(); }, 15)) {
        kill(sim_pid_, SIGKILL);
        waitpid(sim_pid_, nullptr, 0);
      }
      sim_pid_ = -1;
    }
    if (Alive(firmware)) kill(firmware, SIGKILL);
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
  }

  // Starts `qrv806-sim run --root ROOT ARGS...`, its output to a file.
  void StartSim(const std::vector<std::string>& args = {}) {
    std::vector<std::string> words = {kSim, "run", "--root", root_};
    words.insert(words.end(), args.begin(), args.end());
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      int fd = open(output_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      dup2(fd, STDOUT_FILENO);
      dup2(fd, STDERR_FILENO);
      std::vector<char*> argv;
      for (auto& w : words) argv.push_back(w.data());
      argv.push_back(nullptr);
      execv(argv[0], argv.data());
      _exit(127);
    }
    sim_pid_ = pid;
  }

  // Waits until the simulator answers on its socket.
  void WaitReady() {
    ASSERT_TRUE(WaitFor([&] { return !Reap() && Ctl({"state"}).status == 0; }))
        << "the simulator did not come up; its output:\n" << ReadAll(output_);
    firmware_pid_ = std::atoi(Member(Ctl({"state"}).out, "pid").c_str());
  }

  // True once the simulator has ended (and was reaped).
  bool Reap() {
    if (sim_pid_ <= 0) return true;
    int status = 0;
    if (waitpid(sim_pid_, &status, WNOHANG) != sim_pid_) return false;
    sim_status_ = status;
    sim_pid_ = -1;
    return true;
  }

  CtlResult Ctl(const std::vector<std::string>& args) {
    std::string cmd = "'" + kSim + "' ctl --root '" + root_ + "'";
    for (const auto& a : args) cmd += " '" + a + "'";
    cmd += " 2>&1";
    CtlResult r{-1, ""};
    FILE* p = popen(cmd.c_str(), "r");
    if (!p) return r;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0) r.out.append(buf, n);
    int status = pclose(p);
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
  }

  std::string State() { return Ctl({"state"}).out; }

  // A stand-in firmware: a script run instead of qrv806.
  std::string FakeFirmware(const std::string& body) {
    std::string path = dir_ + "/fake-firmware.sh";
    std::ofstream(path) << "#!/bin/sh\n" << body;
    chmod(path.c_str(), 0755);
    return path;
  }

  std::string Gpio(int gpio) { return root_ + "/sys/class/gpio/gpio" + std::to_string(gpio) + "/value"; }

  std::string dir_, root_, output_;
  pid_t sim_pid_ = -1;
  pid_t firmware_pid_ = -1;
  int sim_status_ = 0;
};

}  // namespace e2e
