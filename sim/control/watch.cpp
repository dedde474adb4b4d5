#include "sim/control/watch.h"

#include <signal.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <ctime>
#include <vector>

#include "sim/board/board_root.h"
#include "sim/control/control_client.h"

namespace sim {

namespace {

constexpr int kRefreshMs = 250;
// Each answer comes from the simulator's loop at once; a board that does
// not answer within this is shown as not answering.
constexpr int kAnswerTimeoutMs = 2000;
constexpr int kConsoleLinesAsked = 200;
// Lines of the board part of the screen, and the least room for the console.
constexpr int kBoardRows = 10;
constexpr int kMinRows = kBoardRows + 3;
constexpr int kMinColumns = 40;

volatile sig_atomic_t g_leave = 0;

void OnLeave(int) { g_leave = 1; }

const char* Lamp(bool on) { return on ? "\u25CF" : "\u25CB"; }  // ● ○

std::string Fixed(double v, int decimals) {
  char text[32];
  std::snprintf(text, sizeof text, "%+.*f", decimals, v);
  return text;
}

std::string Number(const Json& v) { return v.is_null() ? "-" : std::to_string(static_cast<long long>(v.AsNumber())); }

std::string Text(const Json& v) { return v.is_null() ? "-" : v.AsString(); }

// An LED as it is now, and its blink as the simulator measured it: a bar of
// ten cells, one per tenth of the period, lit for the on part.
std::string Led(const char* name, const Json& led) {
  std::string out = std::string(name) + " " + Lamp(led["on"].AsBool());
  if (!led["blinking"].AsBool()) return out + (led["on"].AsBool() ? " on       " : " off      ") + "steady";
  const double on = led["on_ms"].AsNumber(), off = led["off_ms"].AsNumber();
  out += " blinking " + Number(led["on_ms"]) + "/" + Number(led["off_ms"]) + " ms [";
  const int lit = on + off > 0 ? static_cast<int>(10 * on / (on + off) + 0.5) : 0;
  for (int i = 0; i < 10; ++i) out += i < lit ? "\u2588" : "\u2591";  // █ ░
  return out + "]";
}

// Characters on the screen, counting a UTF-8 sequence as one.
size_t Shown(const std::string& s) {
  size_t n = 0;
  for (unsigned char c : s) n += (c & 0xC0) != 0x80;
  return n;
}

std::string Cut(const std::string& line, int columns) {
  std::string out;
  size_t shown = 0;
  for (size_t i = 0; i < line.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(line[i]);
    if ((c & 0xC0) != 0x80 && ++shown > static_cast<size_t>(columns)) break;
    out += c < 0x20 || c == 0x7F ? '.' : line[i];  // no control bytes reach the terminal
  }
  return out;
}

std::string Pad(std::string s, size_t width) {
  const size_t shown = Shown(s);
  return shown < width ? s + std::string(width - shown, ' ') : s + " ";
}

}  // namespace

std::string WatchScreen(const std::string& root, const Json& state, const std::string& console, int columns,
                        int rows) {
  std::vector<std::string> lines;
  const Json& fw = state["firmware"];
  char clock[16];
  const time_t now = time(nullptr);
  struct tm tm {};
  localtime_r(&now, &tm);
  std::strftime(clock, sizeof clock, "%H:%M:%S", &tm);
  lines.push_back(std::string("QRV-806 simulated board ") + clock + "   " + root);
  lines.push_back("firmware  " + (fw["running"].AsBool() ? "running, pid " + Number(fw["pid"]) : std::string("not running")) +
                  ", started " + Number(fw["starts"]) + " time(s)" + (state["init_pin"].AsNumber() != 0 ? ", init pin held" : ""));
  lines.push_back("LEDs      " + Pad(Led("status", state["led"]["status"]), 44) + Led("gps", state["led"]["gps"]));

  std::string in = "inputs   ";
  for (size_t i = 0; i < state["di"].size(); ++i) {
    in += " DI" + std::to_string(i) + " " + Lamp(state["di"][i].AsNumber() != 0);
    const double left = state["pulses_left"][i].AsNumber();
    if (left > 0) in += " (" + Number(state["pulses_left"][i]) + " pulses to go)";
  }
  if (state["jig"].AsBool()) in += "   jig on";
  lines.push_back(in);
  std::string out = "outputs  ";
  for (size_t i = 0; i < state["do"].size(); ++i) out += " DO" + std::to_string(i) + " " + Lamp(state["do"][i].AsNumber() != 0);
  lines.push_back(out);
  std::string ai = "analog   ";
  for (size_t i = 0; i < state["ai"].size(); ++i) ai += " AI" + std::to_string(i) + " " + Fixed(state["ai"][i].AsNumber(), 3) + " V";
  lines.push_back(ai);
  lines.push_back("modem     SIM " + Text(state["sim"]) + ", " + Text(state["registration"]) + ", signal " +
                  Number(state["signal"]) + ", GPS " + Text(state["gps"]) + ", packet data " + Text(state["qmi"]));
  const Json& store = state["store"];
  lines.push_back("messages  " + Number(store["used"]) + " of " + Number(store["total"]) + " waiting in the module, " +
                  Number(state["modem"]["outbox"]) + " sent; calls " + Number(state["call"]["calls"]) + ", now " +
                  Text(state["call"]["state"]));
  const Json& sd = state["sd"];
  lines.push_back("SD card   " + (sd["present"].AsBool() ? "in, " + Number(sd["use"]) + " % used" : std::string("out")));
  lines.push_back("--- console " + std::string(static_cast<size_t>(columns > 13 ? columns - 13 : 0), '-'));

  std::vector<std::string> tail;
  for (size_t from = 0; from < console.size();) {
    size_t end = console.find('\n', from);
    if (end == std::string::npos) end = console.size();
    tail.push_back(console.substr(from, end - from));
    from = end + 1;
  }
  const size_t room = rows > static_cast<int>(lines.size()) ? static_cast<size_t>(rows) - lines.size() : 0;
  for (size_t i = tail.size() > room ? tail.size() - room : 0; i < tail.size(); ++i) lines.push_back(tail[i]);

  std::string screen;
  for (const std::string& line : lines) screen += Cut(line, columns) + "\n";
  return screen;
}

int RunWatch(const std::string& root) {
  struct sigaction leave {};
  leave.sa_handler = OnLeave;
  sigaction(SIGINT, &leave, nullptr);
  sigaction(SIGTERM, &leave, nullptr);
  const std::string socket = BoardRoot(root).SocketPath();
  std::fputs("\x1b[?25l\x1b[2J", stdout);  // no cursor; a clean screen
  while (!g_leave) {
    int columns = 80, rows = 24;
    winsize ws{};
    if (ioctl(STDOUT_FILENO, TIOCGWINSZ, &ws) == 0 && ws.ws_col > 0 && ws.ws_row > 0) {
      columns = ws.ws_col < kMinColumns ? kMinColumns : ws.ws_col;
      rows = ws.ws_row < kMinRows ? kMinRows : ws.ws_row;
    }
    Reply state, console;
    std::string error;
    std::string screen;
    Json json;
    if (SendCommand(socket, "state", kAnswerTimeoutMs, &state, &error) &&
        SendCommand(socket, "console " + std::to_string(kConsoleLinesAsked), kAnswerTimeoutMs, &console, &error) &&
        Json::Parse(state.text, &json)) {
      screen = WatchScreen(root, json, console.ok ? console.text : "", columns, rows - 1);
    } else {
      if (error.empty()) error = "the state report cannot be read: " + state.text;
      screen = Cut("qrv806-sim ctl watch: " + error, columns) + "\n" +
               Cut("asking again every " + std::to_string(kRefreshMs) + " ms; Ctrl-C leaves", columns) + "\n";
    }
    // Home, each line over the old one with the rest of it cleared, then
    // the rest of the screen cleared.
    std::string frame = "\x1b[H";
    for (size_t from = 0; from < screen.size();) {
      const size_t end = screen.find('\n', from);
      frame += screen.substr(from, end - from) + "\x1b[K\r\n";
      from = end + 1;
    }
    frame += "\x1b[J";
    std::fwrite(frame.data(), 1, frame.size(), stdout);
    std::fflush(stdout);
    timespec pause{0, kRefreshMs * 1000000L};
    nanosleep(&pause, nullptr);  // a signal ends it early
  }
  std::fputs("\x1b[?25h\n", stdout);  // the cursor back
  std::fflush(stdout);
  return 0;
}

}  // namespace sim
