#include "sim/run/simulator.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/signalfd.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "platform/packet_data.h"
#include "platform/system_actions.h"
#include "sim/board/board.h"
#include "sim/board/board_files.h"
#include "sim/board/board_root.h"
#include "sim/control/command.h"
#include "sim/control/control_server.h"
#include "sim/run/console_tail.h"
#include "sim/run/firmware_process.h"
#include "sim/board/gpio_watch.h"
#include "sim/board/registration_file.h"
#include "sim/run/master_port.h"
#include "sim/modem/modem_model.h"
#include "sim/modem/modem_port.h"
#include "sim/run/monotonic.h"
#include "sim/run/pty_pair.h"
#include "sim/modem/realistic_dice.h"
#include "sim/modem/sim7100_model.h"
#include "sim/run/sim_log.h"

namespace sim {

namespace {

// A board takes a moment to come back after a reboot; it also keeps a
// firmware that reboots at once from spinning the host.
constexpr int64_t kRebootDelayUs = 500 * 1000;
// How long the firmware gets to end on SIGTERM before it is killed.
constexpr int kStopGraceMs = 3000;
// Console bytes that wait for a terminal nobody reads are few: a line
// without a listener loses them, as a real one would.
constexpr size_t kTerminalBacklog = 4096;
// What a person who opens the terminal later still finds of the console:
// the last lines, not minutes of them.
constexpr size_t kTerminalKept = 2048;
// The console lines `ctl console` can show; the firmware cuts its own at
// 255 characters.
constexpr size_t kConsoleLines = 200;
constexpr size_t kConsoleLineMax = 512;

std::string Absolute(const std::string& dir) {
  char buf[PATH_MAX];
  if (::realpath(dir.c_str(), buf)) return buf;
  return dir;
}

class Simulator {
 public:
  explicit Simulator(const SimOptions& o) : options_(o), root_(Absolute(o.root)) {}
  int Run();

 private:
  bool SetUp();
  void Loop();
  void TearDown();
  void OnSignals();
  void OnFirmwareEnded(int wait_status, int64_t now_us);
  Reply OnCommand(const std::string& line, int client, int64_t now_us);
  void PublishFirmwareInfo();
  bool PassConsoleOn();

  SimOptions options_;
  BoardRoot root_;
  int signal_fd_ = -1;
  // The firmware's standard output: read here, passed on to ours and kept
  // in the tail. The write end stays open here too, so the pipe never
  // reports a hang-up between two firmware runs.
  int console_read_ = -1;
  int console_write_ = -1;
  ConsoleTail console_{kConsoleLines, kConsoleLineMax};
  ControlServer server_;
  std::unique_ptr<PtyPair> modem_pty_, terminal_pty_, person_pty_;
  std::unique_ptr<GpioWatch> watch_;
  Sim7100Model modem_;
  std::unique_ptr<ModemPort> modem_port_;
  std::unique_ptr<MasterPort> terminal_, person_;
  std::unique_ptr<Board> board_;
  std::unique_ptr<RegistrationFile> registration_;
  std::unique_ptr<FirmwareProcess> firmware_;
  int64_t restart_at_us_ = -1;
  bool stop_ = false;
  int stop_client_ = -1;
  int exit_status_ = 0;
};

int Simulator::Run() {
  if (!SetUp()) {
    TearDown();
    return 1;
  }
  Loop();
  TearDown();
  return exit_status_;
}

bool Simulator::SetUp() {
  if (!MakeDirs(root_.dir())) {
    SimLog("cannot create the root %s: %s", root_.dir().c_str(), ErrnoText().c_str());
    return false;
  }
  root_ = BoardRoot(Absolute(root_.dir()));
  std::string error;

  // Signals arrive through the loop, never in the middle of a step.
  sigset_t mask;
  sigemptyset(&mask);
  for (int s : {SIGINT, SIGTERM, SIGHUP, SIGCHLD}) sigaddset(&mask, s);
  sigprocmask(SIG_BLOCK, &mask, nullptr);
  signal(SIGPIPE, SIG_IGN);
  signal_fd_ = signalfd(-1, &mask, SFD_NONBLOCK | SFD_CLOEXEC);
  if (signal_fd_ < 0) {
    SimLog("signalfd: %s", ErrnoText().c_str());
    return false;
  }

  // First the socket: it tells whether another simulator owns this root.
  if (!MakeDirs(root_.Path("/sim")) || !server_.Listen(root_.SocketPath(), &error)) {
    SimLog("%s", error.empty() ? ("cannot create " + root_.Path("/sim")).c_str() : error.c_str());
    return false;
  }
  error = root_.Layout(options_.utility);
  if (!error.empty()) {
    SimLog("%s", error.c_str());
    return false;
  }

  modem_pty_ = PtyPair::Open(&error);
  if (modem_pty_) terminal_pty_ = PtyPair::Open(&error);
  if (terminal_pty_) person_pty_ = PtyPair::Open(&error);
  if (!person_pty_ || !PlaceLink(modem_pty_->slave_path(), root_.Path("/dev/smd8"), &error) ||
      !PlaceLink(terminal_pty_->slave_path(), root_.Path("/dev/ttyHSL3"), &error) ||
      !PlaceLink(person_pty_->slave_path(), root_.Path("/term"), &error)) {
    SimLog("%s", error.c_str());
    return false;
  }
  // The module's player finds the prompts on the board's file system.
  modem_.SetBoardRoot(root_.dir());
  modem_port_ = std::make_unique<ModemPort>(modem_pty_->master(), modem_);
  modem_.SetNotifier([](const std::string& line) { SimLog("module: %s", line.c_str()); });
  // Realistic from power-up on, so that the SIM is busy at first.
  if (options_.realistic) modem_.SetRealistic(true, options_.seed_given ? options_.seed : FreshSeed(), MonotonicUs());
  modem_.PowerOn(MonotonicUs());
  registration_ = std::make_unique<RegistrationFile>(root_);
  if (!registration_->Update(modem_.Registered(MonotonicUs()))) {
    SimLog("cannot write %s: %s", root_.Path(platform::kSimRegistrationFile).c_str(), ErrnoText().c_str());
    return false;
  }
  terminal_ = std::make_unique<MasterPort>(terminal_pty_->master(), kTerminalBacklog);
  person_ = std::make_unique<MasterPort>(person_pty_->master(), kTerminalBacklog);
  person_->BoundUnread(person_pty_->held_slave(), kTerminalKept);

  board_ = std::make_unique<Board>(root_, modem_);
  watch_ = std::make_unique<GpioWatch>(root_, std::vector<int>{DoGpio(0), DoGpio(1), kStatusLedGpio, kGpsLedGpio});
  if (!watch_->Start(&error)) {
    SimLog("%s", error.c_str());
    return false;
  }
  int64_t now = MonotonicUs();
  for (const auto& c : watch_->TakeChanges()) board_->OnLineChange(c.gpio, c.level, now);

  int console[2];
  if (::pipe2(console, O_CLOEXEC) != 0) {
    SimLog("pipe: %s", ErrnoText().c_str());
    return false;
  }
  console_read_ = console[0];
  console_write_ = console[1];
  ::fcntl(console_read_, F_SETFL, O_NONBLOCK);

  std::string binary = options_.firmware.empty() ? FirmwareBesideSelf() : options_.firmware;
  std::vector<std::string> args = {"--root", root_.dir(), "--sim"};
  args.insert(args.end(), options_.firmware_args.begin(), options_.firmware_args.end());
  firmware_ = std::make_unique<FirmwareProcess>(binary, args, console_write_, options_.firmware_prefix);

  SimLog("board at %s; terminal: %s (e.g. picocom %s); control: qrv806-sim ctl --root %s help", root_.dir().c_str(),
         root_.Path("/term").c_str(), root_.Path("/term").c_str(), root_.dir().c_str());
  if (options_.utility) SimLog("init pin held: the firmware starts in utility mode");
  if (!options_.firmware_prefix.empty()) {
    std::string prefix;
    for (const auto& word : options_.firmware_prefix) prefix += (prefix.empty() ? "" : " ") + word;
    SimLog("firmware %s runs under '%s'", binary.c_str(), prefix.c_str());
  }
  if (!firmware_->Start(&error)) {
    SimLog("%s", error.c_str());
    return false;
  }
  SimLog("firmware started (pid %d)", static_cast<int>(firmware_->pid()));
  PublishFirmwareInfo();
  return true;
}

void Simulator::PublishFirmwareInfo() {
  FirmwareInfo info;
  info.running = firmware_ && firmware_->running();
  info.pid = info.running ? static_cast<int>(firmware_->pid()) : 0;
  info.starts = firmware_ ? firmware_->starts() : 0;
  board_->SetFirmwareInfo(info);
}

void Simulator::Loop() {
  std::vector<pollfd> fds;
  while (!stop_) {
    fds.clear();
    fds.push_back({signal_fd_, POLLIN, 0});
    fds.push_back({watch_->fd(), POLLIN, 0});
    fds.push_back({modem_port_->fd(), static_cast<short>(POLLIN | (modem_port_->wants_write() ? POLLOUT : 0)), 0});
    fds.push_back({terminal_->fd(), static_cast<short>(POLLIN | (terminal_->wants_write() ? POLLOUT : 0)), 0});
    fds.push_back({person_->fd(), static_cast<short>(POLLIN | (person_->wants_write() ? POLLOUT : 0)), 0});
    fds.push_back({console_read_, POLLIN, 0});
    int64_t deadline = server_.AddPollFds(&fds);
    for (int64_t d : {board_->NextTimerUs(), modem_port_->NextDeadlineUs(), restart_at_us_}) {
      if (d >= 0 && (deadline < 0 || d < deadline)) deadline = d;
    }

    timespec timeout{};
    timespec* timeout_ptr = TimeoutUntil(deadline, &timeout);  // null: nothing timed
    int r = ::ppoll(fds.data(), fds.size(), timeout_ptr, nullptr);
    if (r < 0 && errno != EINTR) {
      SimLog("poll: %s", ErrnoText().c_str());
      exit_status_ = 1;
      return;
    }
    int64_t now = MonotonicUs();

    if (fds[0].revents) OnSignals();
    if (fds[1].revents) {
      for (const auto& c : watch_->TakeChanges()) board_->OnLineChange(c.gpio, c.level, now);
    }
    if (fds[2].revents & POLLIN) modem_port_->OnReadable(now);
    if (fds[2].revents & POLLOUT) modem_port_->OnWritable();
    // The terminal line: what the firmware sends goes to the person's end
    // and back.
    if (fds[3].revents & POLLIN) person_->Send(terminal_->ReadAvailable());
    if (fds[4].revents & POLLIN) terminal_->Send(person_->ReadAvailable());
    if (fds[3].revents & POLLOUT) terminal_->Flush();
    if (fds[4].revents & POLLOUT) person_->Flush();
    if (fds[5].revents & POLLIN) PassConsoleOn();

    if (restart_at_us_ >= 0 && now >= restart_at_us_ && !stop_) {
      restart_at_us_ = -1;
      std::string error;
      if (firmware_->Start(&error)) {
        SimLog("firmware started again (pid %d)", static_cast<int>(firmware_->pid()));
      } else {
        SimLog("%s", error.c_str());
        exit_status_ = 1;
        stop_ = true;
      }
    }
    PublishFirmwareInfo();

    server_.Handle(fds, now, [&](const std::string& line, int client) { return OnCommand(line, client, now); });
    board_->RunTimers(now);
    modem_port_->RunTimers(now);
    // The data call follows the module's registration.
    registration_->Update(modem_.Registered(now));
  }
}

// True when more may be waiting: one call is bounded, so a chatty start-up
// cannot starve the lines and the socket.
bool Simulator::PassConsoleOn() {
  char buf[4096];
  for (int i = 0; i < 16; ++i) {
    ssize_t n = ::read(console_read_, buf, sizeof buf);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    for (ssize_t done = 0; done < n;) {
      ssize_t w = ::write(STDOUT_FILENO, buf + done, static_cast<size_t>(n - done));
      if (w < 0 && errno == EINTR) continue;
      if (w <= 0) break;  // our output is gone: the tail still keeps it
      done += w;
    }
    console_.Add(std::string(buf, static_cast<size_t>(n)));
  }
  return true;
}

void Simulator::OnSignals() {
  signalfd_siginfo info{};
  while (::read(signal_fd_, &info, sizeof info) == static_cast<ssize_t>(sizeof info)) {
    if (info.ssi_signo == SIGCHLD) {
      int status = 0;
      if (firmware_->Reap(&status)) OnFirmwareEnded(status, MonotonicUs());
    } else if (!stop_) {
      SimLog("%s: stopping the board", strsignal(static_cast<int>(info.ssi_signo)));
      stop_ = true;
    }
  }
}

void Simulator::OnFirmwareEnded(int wait_status, int64_t now_us) {
  if (WIFEXITED(wait_status) && WEXITSTATUS(wait_status) == platform::kRebootExitStatus) {
    SimLog("firmware asked for a reboot (exit status %d): starting it again", platform::kRebootExitStatus);
    restart_at_us_ = now_us + kRebootDelayUs;
    return;
  }
  if (stop_) return;
  SimLog("firmware ended with %s: stopping the board", DescribeWaitStatus(wait_status).c_str());
  exit_status_ = WIFEXITED(wait_status) ? WEXITSTATUS(wait_status) : 128 + WTERMSIG(wait_status);
  if (exit_status_ == 0) exit_status_ = 1;  // the firmware never ends on its own
  stop_ = true;
}

Reply Simulator::OnCommand(const std::string& line, int client, int64_t now_us) {
  Command c;
  std::string error;
  if (!ParseCommand(line, &c, &error)) return Reply::Error(error);
  if (c.kind == CommandKind::kConsole) return Reply::Ok(console_.Last(static_cast<size_t>(c.count)));
  if (c.kind == CommandKind::kStop) {
    // Answered once the board is down, so `ctl stop` returns when it is.
    stop_ = true;
    stop_client_ = client;
    SimLog("stop requested");
    return ControlServer::Deferred();
  }
  return board_->Execute(c, now_us);
}

void Simulator::TearDown() {
  if (firmware_ && firmware_->running()) {
    SimLog("stopping the firmware (pid %d)", static_cast<int>(firmware_->pid()));
    firmware_->Stop(kStopGraceMs);
  }
  // Its last lines, written while it stopped.
  if (console_read_ >= 0) {
    while (PassConsoleOn()) {
    }
  }
  if (stop_client_ >= 0) {
    server_.Answer(stop_client_, Reply::Ok("stopped"));
    server_.Drain(1000);
  }
  server_.Close();
  if (modem_pty_) RemoveLinkTo(modem_pty_->slave_path(), root_.Path("/dev/smd8"));
  if (terminal_pty_) RemoveLinkTo(terminal_pty_->slave_path(), root_.Path("/dev/ttyHSL3"));
  if (person_pty_) RemoveLinkTo(person_pty_->slave_path(), root_.Path("/term"));
  if (signal_fd_ >= 0) ::close(signal_fd_);
  if (console_read_ >= 0) ::close(console_read_);
  if (console_write_ >= 0) ::close(console_write_);
  if (board_) SimLog("board stopped");
}

}  // namespace

int RunSimulator(const SimOptions& options) {
  Simulator s(options);
  return s.Run();
}

}  // namespace sim
