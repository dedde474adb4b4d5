// The simulated board as people and tools use it: `qrv806-sim run` in a
// temporary root, driven with `qrv806-sim ctl`.
#include <fcntl.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
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

namespace {

const std::string kSim = std::string(QRV_BUILD_DIR) + "/qrv806-sim";

// Generous: a sanitizer build on a busy two-core machine starts slowly.
constexpr int kTimeoutS = 60;

bool WaitFor(const std::function<bool()>& done, int timeout_s = kTimeoutS) {
  auto end = std::chrono::steady_clock::now() + std::chrono::seconds(timeout_s);
  while (std::chrono::steady_clock::now() < end) {
    if (done()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return done();
}

std::string ReadAll(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  std::stringstream s;
  s << f.rdbuf();
  return s.str();
}

bool Alive(pid_t pid) { return pid > 0 && kill(pid, 0) == 0; }

// The value of a member in the state report, e.g. Member(json, "init_pin")
// gives "0"; `after` narrows the search to the text after that key.
std::string Member(const std::string& json, const std::string& key, const std::string& after = "") {
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

TEST_F(SimE2eTest, DrivesTheInputsOfTheRunningFirmware) {
  StartSim();
  WaitReady();
  std::string state = State();
  EXPECT_EQ(Member(state, "running"), "true") << state;
  EXPECT_TRUE(Alive(firmware_pid_));
  EXPECT_EQ(Member(state, "starts"), "1");

  CtlResult di = Ctl({"di", "0", "on"});
  EXPECT_EQ(di.status, 0);
  EXPECT_EQ(di.out, "DI0 on (line low)\n");
  EXPECT_EQ(ReadAll(Gpio(27)), "1\n");
  EXPECT_EQ(Ctl({"ai", "2", "3.3"}).status, 0);
  EXPECT_EQ(ReadAll(root_ + "/sim/ai/2"), "3.3\n");
  EXPECT_EQ(Ctl({"initpin", "on"}).status, 0);

  state = State();
  EXPECT_EQ(Member(state, "di"), "[1, 0, 0, 0, 0]") << state;
  EXPECT_EQ(Member(state, "ai"), "[0, 0, 3.3, 0]") << state;
  EXPECT_EQ(Member(state, "init_pin"), "1") << state;
  EXPECT_EQ(Member(state, "do"), "[0, 0]") << state;
  EXPECT_EQ(Member(state, "sim"), "\"unknown\"") << state;
  EXPECT_EQ(Member(state, "present", "sd"), "true") << state;
  EXPECT_EQ(Member(state, "qmi"), "\"up\"") << state;

  // Not registered with a network: once its start delay is over the
  // firmware holds the status LED steadily on, which the simulator sees
  // through the LED's value file.
  EXPECT_TRUE(WaitFor([&] {
    std::string s = State();
    return Member(s, "on", "status") == "true" && Member(s, "blinking", "status") == "false" &&
           std::atoi(Member(s, "for_ms", "status").c_str()) > 2500;
  })) << State();

  CtlResult bad = Ctl({"di", "9", "on"});
  EXPECT_EQ(bad.status, 1);
  EXPECT_NE(bad.out.find("inputs are 0 to 4"), std::string::npos) << bad.out;
  CtlResult modem = Ctl({"csq", "20"});
  EXPECT_EQ(modem.status, 1);
  EXPECT_NE(modem.out.find("not available yet"), std::string::npos) << modem.out;
}

TEST_F(SimE2eTest, StopLeavesNothingBehind) {
  StartSim();
  WaitReady();
  ASSERT_TRUE(Alive(firmware_pid_));
  EXPECT_TRUE(std::filesystem::is_symlink(root_ + "/dev/smd8"));
  EXPECT_TRUE(std::filesystem::is_symlink(root_ + "/dev/ttyHSL3"));
  EXPECT_TRUE(std::filesystem::is_symlink(root_ + "/term"));

  CtlResult stop = Ctl({"stop"});
  EXPECT_EQ(stop.status, 0);
  EXPECT_EQ(stop.out, "stopped\n");
  ASSERT_TRUE(WaitFor([&] { return Reap(); }));
  EXPECT_TRUE(WIFEXITED(sim_status_));
  EXPECT_EQ(WEXITSTATUS(sim_status_), 0);
  EXPECT_FALSE(Alive(firmware_pid_));
  EXPECT_FALSE(std::filesystem::exists(root_ + "/sim/ctl.sock"));
  EXPECT_FALSE(std::filesystem::is_symlink(root_ + "/dev/smd8"));

  CtlResult none = Ctl({"state"});
  EXPECT_EQ(none.status, 2);
  EXPECT_NE(none.out.find("no simulator is running"), std::string::npos) << none.out;

  // The root is kept: a second run starts on it.
  StartSim();
  WaitReady();
  EXPECT_TRUE(Alive(firmware_pid_));
}

TEST_F(SimE2eTest, InitPinAtPowerUpGivesUtilityMode) {
  StartSim({"--utility"});
  ASSERT_TRUE(WaitFor([&] {
    return ReadAll(output_).find(">Initial pin is triggered!! Go to Utility mode!!") != std::string::npos;
  })) << ReadAll(output_);
  WaitReady();
  EXPECT_EQ(Member(State(), "init_pin"), "1");
}

TEST_F(SimE2eTest, FirmwareIsStartedAgainAfterAReboot) {
  // Exits with 3 (a reboot) the first time, then stays up.
  std::string fw = FakeFirmware(
      "echo \"fake firmware $*\"\n"
      "if [ ! -e \"$2/rebooted\" ]; then touch \"$2/rebooted\"; exit 3; fi\n"
      "exec sleep 600\n");
  StartSim({"--firmware", fw, "--", "2021-07-13", "08:00:00"});
  ASSERT_TRUE(WaitFor([&] { return Member(State(), "starts") == "2" && Member(State(), "running") == "true"; }))
      << ReadAll(output_);
  std::string out = ReadAll(output_);
  EXPECT_NE(out.find("fake firmware --root " + root_ + " --sim 2021-07-13 08:00:00"), std::string::npos) << out;
  EXPECT_NE(out.find("asked for a reboot"), std::string::npos) << out;
}

TEST_F(SimE2eTest, FirmwareEndingOtherwiseStopsTheBoard) {
  std::string fw = FakeFirmware("sleep 1\nexit 7\n");
  StartSim({"--firmware", fw});
  ASSERT_TRUE(WaitFor([&] { return Reap(); })) << ReadAll(output_);
  EXPECT_EQ(WEXITSTATUS(sim_status_), 7);
  EXPECT_NE(ReadAll(output_).find("firmware ended with exit status 7"), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(root_ + "/sim/ctl.sock"));
}

TEST_F(SimE2eTest, TerminalLineJoinsFirmwarePortAndPerson) {
  StartSim({"--firmware", FakeFirmware("exec sleep 600\n")});
  WaitReady();
  auto open_raw = [](const std::string& path) {
    int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    termios t{};
    tcgetattr(fd, &t);
    cfmakeraw(&t);
    tcsetattr(fd, TCSANOW, &t);
    return fd;
  };
  auto read_until = [](int fd, size_t n) {
    std::string got;
    WaitFor([&] {
      char buf[256];
      ssize_t r = read(fd, buf, sizeof buf);
      if (r > 0) got.append(buf, static_cast<size_t>(r));
      return got.size() >= n;
    }, 10);
    return got;
  };
  int person = open_raw(root_ + "/term");
  int port = open_raw(root_ + "/dev/ttyHSL3");
  ASSERT_GE(person, 0);
  ASSERT_GE(port, 0);
  ASSERT_EQ(write(port, "OK\r\n", 4), 4);
  EXPECT_EQ(read_until(person, 4), "OK\r\n");
  ASSERT_EQ(write(person, "@TIME?\r\n", 8), 8);
  EXPECT_EQ(read_until(port, 8), "@TIME?\r\n");

  // The firmware closes and opens its port again: the line stays up.
  close(port);
  port = open_raw(root_ + "/dev/ttyHSL3");
  ASSERT_EQ(write(port, "again\n", 6), 6);
  EXPECT_EQ(read_until(person, 6), "again\n");
  close(port);
  close(person);

  // The modem line is open and silent.
  int modem = open_raw(root_ + "/dev/smd8");
  ASSERT_GE(modem, 0);
  ASSERT_EQ(write(modem, "AT\r", 3), 3);
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  char buf[16];
  EXPECT_LT(read(modem, buf, sizeof buf), 1);
  close(modem);
}

TEST_F(SimE2eTest, MeasuresTheBlinkOfAnLed) {
  // No firmware touches the LEDs here; the test switches the GPS LED.
  StartSim({"--firmware", FakeFirmware("exec sleep 600\n")});
  WaitReady();
  for (int i = 0; i < 3; ++i) {
    std::ofstream(Gpio(92)) << "1";
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    std::ofstream(Gpio(92)) << "0";
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
  }
  std::ofstream(Gpio(92)) << "1";
  std::string state = State();
  EXPECT_EQ(Member(state, "blinking", "gps"), "true") << state;
  // Loose bounds: the host may be slow, the measure is of real time.
  int on_ms = std::atoi(Member(state, "on_ms", "gps").c_str());
  int off_ms = std::atoi(Member(state, "off_ms", "gps").c_str());
  EXPECT_GE(on_ms, 250) << state;
  EXPECT_LT(on_ms, 2000) << state;
  EXPECT_GE(off_ms, 100) << state;
  EXPECT_LT(off_ms, 2000) << state;
}

TEST(SimCommandLine, ErrorsAreClear) {
  struct Row {
    std::string args;
    int status;
    const char* part;
  };
  const Row rows[] = {
      {"ctl --root /nonexistent/qrv-root state", 2, "no simulator is running"},
      {"ctl --root /tmp", 2, "ctl needs a command"},
      {"run --colour", 2, "unknown option '--colour'"},
      {"fly", 2, "unknown action 'fly'"},
      {"help", 0, "usage: qrv806-sim run"},
  };
  for (const auto& r : rows) {
    std::string cmd = "'" + kSim + "' " + r.args + " 2>&1";
    FILE* p = popen(cmd.c_str(), "r");
    ASSERT_NE(p, nullptr);
    std::string out;
    char buf[1024];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
    int status = pclose(p);
    EXPECT_EQ(WEXITSTATUS(status), r.status) << r.args << "\n" << out;
    EXPECT_NE(out.find(r.part), std::string::npos) << r.args << "\n" << out;
  }
}

}  // namespace
