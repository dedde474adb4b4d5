// qrv806-config: the browser configurator. Serves one page (shipped inside
// this binary) on the loopback address and answers its calls by asking the
// unit on DEVICE, one request at a time, through the serial configuration
// protocol of utility mode.
#include <arpa/inet.h>
#include <signal.h>

#include <httplib.h>

#include <cstdio>
#include <cstring>
#include <ctime>
#include <nlohmann/json.hpp>
#include <string>
#include <thread>
#include <vector>

#include "tools/unit/settings_backup.h"
#include "tools/unit/unit_session.h"
#include "tools/unit/unit_settings.h"

namespace configpage {
struct Asset {
  const char* name;
  const unsigned char* data;
  std::size_t size;
};
extern const Asset kAssets[];
}  // namespace configpage

namespace {

using nlohmann::json;
using unitlink::UnitReply;

const char kUsage[] =
    "usage: qrv806-config DEVICE [--listen ADDR:PORT]\n"
    "  Serves the configurator for the unit on DEVICE (a serial port, or DIR/term of the simulated\n"
    "  board) at http://ADDR:PORT/ (default 127.0.0.1:8806; loopback addresses only).\n";

// Every request of the page that changes something carries this header: a
// page of another site cannot send it without the browser asking first,
// which this server never allows.
const char kPageHeader[] = "X-QRV806-Page";

// The unit's texts are 8-bit (ISO 8859-1); the page speaks UTF-8.
std::string Utf8(const std::string& latin1) {
  std::string out;
  for (unsigned char c : latin1) {
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

// UTF-8 from the page as the unit's 8-bit text; false for a character
// beyond U+00FF or a broken sequence.
bool Latin1(const std::string& utf8, std::string* out) {
  out->clear();
  for (size_t i = 0; i < utf8.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(utf8[i]);
    if (c < 0x80) {
      *out += static_cast<char>(c);
    } else if ((c == 0xC2 || c == 0xC3) && i + 1 < utf8.size() &&
               (static_cast<unsigned char>(utf8[i + 1]) & 0xC0) == 0x80) {
      *out += static_cast<char>(((c & 0x03) << 6) | (static_cast<unsigned char>(utf8[++i]) & 0x3F));
    } else {
      return false;
    }
  }
  return true;
}

json Strings(const std::vector<std::string>& list) {
  json out = json::array();
  for (const std::string& s : list) out.push_back(Utf8(s));
  return out;
}

json Answer(const std::string& request, const UnitReply& r) {
  return {{"request", Utf8(request)}, {"answer", Utf8(r.Describe())}, {"ok", r.ok()}};
}

void SendJson(httplib::Response& res, const json& body, int status = 200) {
  res.status = status;
  res.set_header("Cache-Control", "no-store");
  res.set_content(body.dump(-1, ' ', false, json::error_handler_t::replace), "application/json");
}

void SendUnitError(httplib::Response& res, const std::string& error) {
  SendJson(res, {{"ok", false}, {"error", Utf8(error)}}, 502);
}

// The fields of a query's answer; false with `error` when it was no OK.
bool Values(unitlink::UnitSession& unit, const std::string& request, size_t want, std::vector<std::string>* out,
            std::string* error) {
  const UnitReply r = unit.Ask(request);
  *error = unitlink::NotConfigurable(r, unit.device());
  if (error->empty() && r.values.size() < want) error->assign(request + ": unexpected answer " + r.Describe());
  if (!error->empty()) return false;
  *out = r.values;
  return true;
}

json Numbers(const std::vector<std::string>& v, size_t from, size_t count, bool real) {
  json out = json::array();
  for (size_t i = from; i < from + count && i < v.size(); ++i) {
    if (real) {
      out.push_back(std::strtod(v[i].c_str(), nullptr));
    } else {
      out.push_back(std::strtoll(v[i].c_str(), nullptr, 10));
    }
  }
  return out;
}

// Inputs, outputs, analog values, counters and signal: what the page
// refreshes every few seconds.
bool Live(unitlink::UnitSession& unit, json* out, std::string* error) {
  std::vector<std::string> io, sig;
  if (!Values(unit, "@IOSTA", 16, &io, error) || !Values(unit, "@SIG", 1, &sig, error)) return false;
  *out = {{"di", Numbers(io, 0, 5, false)},    {"ai", Numbers(io, 5, 4, true)},
          {"do", Numbers(io, 9, 2, false)},    {"counts", Numbers(io, 11, 5, false)},
          {"signal", std::atoi(sig[0].c_str())}};
  return true;
}

// The server's worker threads call this at once: localtime_r, not the one
// shared buffer of localtime.
std::string TimeText(time_t at, const char* format) {
  char text[32];
  struct tm local {};
  if (localtime_r(&at, &local) == nullptr) return "";
  std::strftime(text, sizeof text, format, &local);
  return text;
}

json SettingsJson(const unitlink::UnitSettings& s) {
  json events = json::array();
  for (const unitlink::EventSettings& ev : s.events) {
    events.push_back({{"definition", Utf8(ev.definition)},
                      {"phones", Strings(ev.phones)},
                      {"coding", ev.coding},
                      {"length", ev.length},
                      {"message", Utf8(ev.message)},
                      {"smsdbs", ev.smsdbs}});
  }
  json counters = json::array();
  for (const unitlink::CounterSettings& c : s.counters) counters.push_back({{"count", c.count}, {"preset", c.preset}});
  return {{"ok", true},
          {"name", Utf8(s.name)},
          {"model", Utf8(s.model)},
          {"firmware", Utf8(s.firmware)},
          {"control_phones", Strings(s.control_phones)},
          {"bridge_phone", Utf8(s.bridge_phone)},
          {"bridge_port", Utf8(s.bridge_port)},
          {"counters", counters},
          {"events", events}};
}

// A request the page may send: "@" and a name, no line end or other
// control character, within the unit's 1000-byte line. The factory test
// and the reboot take the line away from the page, so they are left to a
// terminal.
std::string RequestFault(const std::string& request) {
  if (request.size() < 2 || request[0] != '@') return "a request starts with \"@\"";
  if (request.size() > 1000) return "longer than the unit's 1000-byte line";
  for (unsigned char c : request) {
    if (c < 0x20 || c == 0x7f) return "holds a control character";
  }
  if (request.rfind("@QCTEST", 0) == 0 || request.rfind("@REBOOT", 0) == 0) return "not sent from the page";
  return "";
}

bool IsLoopback(const std::string& host) {
  if (host == "localhost") return true;
  in_addr v4{};
  if (inet_pton(AF_INET, host.c_str(), &v4) == 1) return (ntohl(v4.s_addr) >> 24) == 127;
  in6_addr v6{};
  return inet_pton(AF_INET6, host.c_str(), &v6) == 1 && IN6_IS_ADDR_LOOPBACK(&v6);
}

// "ADDR:PORT", "[ADDR]:PORT"; false when not a loopback address and a port.
bool ParseListen(const std::string& text, std::string* host, int* port) {
  const size_t colon = text.rfind(':');
  if (colon == std::string::npos || colon == 0) return false;
  std::string h = text.substr(0, colon);
  if (h.size() > 2 && h.front() == '[' && h.back() == ']') h = h.substr(1, h.size() - 2);
  char* end = nullptr;
  const long p = std::strtol(text.c_str() + colon + 1, &end, 10);
  if (*end != '\0' || end == text.c_str() + colon + 1 || p < 1 || p > 65535 || !IsLoopback(h)) return false;
  *host = h;
  *port = static_cast<int>(p);
  return true;
}

const char* ContentType(const std::string& name) {
  if (name.size() > 5 && name.compare(name.size() - 5, 5, ".html") == 0) return "text/html; charset=utf-8";
  if (name.size() > 4 && name.compare(name.size() - 4, 4, ".css") == 0) return "text/css; charset=utf-8";
  if (name.size() > 3 && name.compare(name.size() - 3, 3, ".js") == 0) return "text/javascript; charset=utf-8";
  if (name.size() > 4 && name.compare(name.size() - 4, 4, ".png") == 0) return "image/png";
  return "application/octet-stream";
}

// The Host a browser names must be this machine: a page of another site
// that gets its name to point here (DNS rebinding) is turned away.
bool LoopbackHost(const std::string& host_header) {
  std::string host = host_header;
  if (!host.empty() && host[0] == '[') {
    host = host.substr(1, host.find(']') == std::string::npos ? std::string::npos : host.find(']') - 1);
  } else if (host.find(':') != std::string::npos) {
    host = host.substr(0, host.find(':'));
  }
  return IsLoopback(host);
}

void Routes(httplib::Server& svr, unitlink::UnitSession& unit) {
  svr.set_pre_routing_handler([](const httplib::Request& req, httplib::Response& res) {
    if (LoopbackHost(req.get_header_value("Host"))) return httplib::Server::HandlerResponse::Unhandled;
    res.status = 403;
    res.set_content("only for this machine\n", "text/plain");
    return httplib::Server::HandlerResponse::Handled;
  });
  for (const configpage::Asset* a = configpage::kAssets; a->name != nullptr; ++a) {
    const std::string name = a->name;
    const std::string path = name == "index.html" ? "/" : "/" + name;
    const std::string body(reinterpret_cast<const char*>(a->data), a->size);
    svr.Get(path, [body, name](const httplib::Request&, httplib::Response& res) {
      res.set_content(body, ContentType(name));
    });
  }

  svr.Get("/api/unit", [&unit](const httplib::Request&, httplib::Response& res) {
    std::vector<std::string> model, name, fver, gain;
    std::string error;
    json live;
    if (!Values(unit, "@DEVNAME", 1, &model, &error) || !Values(unit, "@STAN", 1, &name, &error) ||
        !Values(unit, "@FVER", 1, &fver, &error) || !Values(unit, "@GAIN", 4, &gain, &error) ||
        !Live(unit, &live, &error)) {
      return SendUnitError(res, error);
    }
    SendJson(res, {{"ok", true},
                   {"device", unit.device()},
                   {"model", Utf8(model[0])},
                   {"name", Utf8(name[0] == "N/A" ? "" : name[0])},
                   {"firmware", Utf8(fver[0])},
                   {"gain", Numbers(gain, 0, 4, true)},
                   {"live", live}});
  });

  svr.Get("/api/live", [&unit](const httplib::Request&, httplib::Response& res) {
    json live;
    std::string error;
    if (!Live(unit, &live, &error)) return SendUnitError(res, error);
    live["ok"] = true;
    SendJson(res, live);
  });

  svr.Get("/api/settings", [&unit](const httplib::Request&, httplib::Response& res) {
    unitlink::UnitSettings s;
    std::string error = unitlink::NotConfigurable(unit.Ask("@DEVNAME"), unit.device());
    if (!error.empty() || !unitlink::ReadSettings(unit.AskFunction(), &s, &error)) {
      return SendUnitError(res, error);
    }
    SendJson(res, SettingsJson(s));
  });

  // The page's writes: each request in turn, stopping at the first that is
  // not answered with OK.
  svr.Post("/api/requests", [&unit](const httplib::Request& req, httplib::Response& res) {
    json body = json::parse(req.body, nullptr, false);
    if (!req.has_header(kPageHeader) || body.is_discarded() || !body.contains("requests") ||
        !body["requests"].is_array() || body["requests"].size() > 100) {
      return SendJson(res, {{"ok", false}, {"error", "bad call"}}, 400);
    }
    std::vector<std::string> requests;
    for (const json& r : body["requests"]) {
      std::string latin1;
      if (!r.is_string() || !Latin1(r.get<std::string>(), &latin1)) {
        return SendJson(res, {{"ok", false}, {"error", "a request holds a character the unit cannot take"}}, 400);
      }
      const std::string fault = RequestFault(latin1);
      if (!fault.empty()) {
        return SendJson(res, {{"ok", false}, {"error", Utf8(latin1) + ": " + fault}}, 400);
      }
      requests.push_back(latin1);
    }
    json steps = json::array();
    bool ok = true;
    std::string error;
    for (const std::string& request : requests) {
      const UnitReply r = unit.Ask(request);
      steps.push_back(Answer(request, r));
      if (!r.ok()) {
        ok = false;
        if (r.kind != unitlink::ReplyKind::kEr) error = unitlink::NotConfigurable(r, unit.device());
        break;
      }
    }
    SendJson(res, {{"ok", ok}, {"steps", steps}, {"error", Utf8(error)}});
  });

  svr.Get("/api/backup", [&unit](const httplib::Request&, httplib::Response& res) {
    std::string text;
    const time_t taken = time(nullptr);  // one time for the file's date and its name
    std::string error = unitlink::NotConfigurable(unit.Ask("@DEVNAME"), unit.device());
    if (!error.empty() || !unitlink::MakeBackup(unit.AskFunction(), TimeText(taken, "%Y-%m-%d %H:%M:%S"), &text, &error)) {
      return SendUnitError(res, error);
    }
    res.set_header("Content-Disposition", "attachment; filename=\"qrv806-backup-" + TimeText(taken, "%Y%m%d-%H%M%S") + ".txt\"");
    res.set_header("Cache-Control", "no-store");
    res.set_content(text, "text/plain; charset=iso-8859-1");
  });

  svr.Post("/api/restore", [&unit](const httplib::Request& req, httplib::Response& res) {
    if (!req.has_header(kPageHeader)) return SendJson(res, {{"ok", false}, {"error", "bad call"}}, 400);
    const bool keep_name = req.has_param("keep_name") && req.get_param_value("keep_name") == "1";
    std::vector<unitlink::RestoreLine> lines;
    std::string error;
    if (!unitlink::ParseBackup(req.body, keep_name, &lines, &error)) {
      return SendJson(res, {{"ok", false}, {"saved", false}, {"steps", json::array()},
                            {"error", Utf8(error + "; nothing sent")}});
    }
    error = unitlink::NotConfigurable(unit.Ask("@DEVNAME"), unit.device());
    if (!error.empty()) return SendUnitError(res, error);
    const unitlink::RestoreResult r = unitlink::Restore(unit.AskFunction(), lines);
    json steps = json::array();
    for (const unitlink::RestoreStep& step : r.steps) {
      json s = Answer(step.request, step.reply);
      s["line"] = step.line_no;
      steps.push_back(s);
    }
    SendJson(res, {{"ok", r.saved}, {"saved", r.saved}, {"steps", steps}, {"error", Utf8(r.error)}});
  });
}

}  // namespace

int main(int argc, char** argv) {
  std::string device, host = "127.0.0.1";
  int port = 8806;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "-h" || a == "--help") {
      std::fputs(kUsage, stdout);
      return 0;
    } else if (a == "--listen" && i + 1 < argc) {
      if (!ParseListen(argv[++i], &host, &port)) {
        std::fprintf(stderr, "qrv806-config: --listen wants a loopback ADDR:PORT (e.g. 127.0.0.1:8806), not '%s'\n",
                     argv[i]);
        return 2;
      }
    } else if (device.empty() && a[0] != '-') {
      device = a;
    } else {
      std::fprintf(stderr, "qrv806-config: bad argument '%s'\n%s", a.c_str(), kUsage);
      return 2;
    }
  }
  if (device.empty()) {
    std::fprintf(stderr, "qrv806-config: no device given\n%s", kUsage);
    return 2;
  }

  // SIGINT and SIGTERM end the server from a thread of their own.
  sigset_t stop_signals;
  sigemptyset(&stop_signals);
  sigaddset(&stop_signals, SIGINT);
  sigaddset(&stop_signals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stop_signals, nullptr);
  signal(SIGPIPE, SIG_IGN);

  unitlink::UnitSession unit(device);
  httplib::Server svr;
  Routes(svr, unit);
  if (!svr.bind_to_port(host.c_str(), port)) {
    std::fprintf(stderr, "qrv806-config: cannot listen on %s:%d (in use?)\n", host.c_str(), port);
    return 1;
  }
  const std::string why = unitlink::NotConfigurable(unit.Ask("@DEVNAME"), device);
  std::printf("qrv806-config: %s\n", why.empty() ? ("unit on " + device + " answers in utility mode").c_str()
                                                  : why.c_str());
  std::printf("qrv806-config: open http://%s:%d/ in a browser (Ctrl-C ends)\n",
              host.find(':') != std::string::npos ? ("[" + host + "]").c_str() : host.c_str(), port);
  std::fflush(stdout);

  std::thread stopper([&] {
    int sig = 0;
    sigwait(&stop_signals, &sig);
    svr.stop();
  });
  const bool served = svr.listen_after_bind();
  // Ended some other way: wake the stopper so it can be joined.
  if (stopper.joinable()) {
    pthread_kill(stopper.native_handle(), SIGTERM);
    stopper.join();
  }
  return served ? 0 : 1;
}
