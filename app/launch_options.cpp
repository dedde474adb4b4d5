#include "app/launch_options.h"

#include <cctype>
#include <cstdio>
#include <string>

LaunchOptions ParseLaunchOptions(int argc, char** argv) {
  LaunchOptions opt;
  if (argc > 0) opt.args.emplace_back(argv[0]);
  int i = 1;
  // The board options come before the device's own arguments.
  while (i < argc) {
    std::string a = argv[i];
    if (a == "--sim") {
      opt.simulated = true;
      ++i;
    } else if (a == "--root") {
      if (i + 1 >= argc) {
        opt.error = "--root needs a folder";
        return opt;
      }
      opt.root = argv[i + 1];
      i += 2;
    } else if (a.rfind("--root=", 0) == 0) {
      opt.root = a.substr(7);
      ++i;
    } else if (a == "--qmi-device" || a.rfind("--qmi-device=", 0) == 0) {
      const bool joined = a != "--qmi-device";
      if (!joined && i + 1 >= argc) {
        opt.error = "--qmi-device needs a device path or qrtr:NODE";
        return opt;
      }
      const std::string value = joined ? a.substr(a.find('=') + 1) : argv[i + 1];
      if (!platform::ParseQmiEndpoint(value, &opt.qmi_device)) {
        opt.error = "--qmi-device takes an absolute device path (at most " + std::to_string(platform::kQmiPathMax) +
                    " characters) or qrtr:NODE (0-65535), not \"" + value.substr(0, 64) + "\"";
        return opt;
      }
      i += joined ? 1 : 2;
    } else {
      break;
    }
  }
  for (; i < argc; ++i) opt.args.emplace_back(argv[i]);
  return opt;
}

namespace {

bool AllDigits(const std::string& s) {
  if (s.empty()) return false;
  for (char c : s)
    if (!std::isdigit(static_cast<unsigned char>(c))) return false;
  return true;
}

bool ParseDate(const std::string& d, int* y, int* m, int* day) {
  std::string ys, ms, ds;
  if (d.size() == 8 && AllDigits(d)) {
    ys = d.substr(0, 4);
    ms = d.substr(4, 2);
    ds = d.substr(6, 2);
  } else {
    size_t a = d.find_first_of("-/");
    if (a == std::string::npos) return false;
    size_t b = d.find(d[a], a + 1);
    if (b == std::string::npos) return false;
    ys = d.substr(0, a);
    ms = d.substr(a + 1, b - a - 1);
    ds = d.substr(b + 1);
  }
  if (!AllDigits(ys) || !AllDigits(ms) || !AllDigits(ds)) return false;
  if (ys.size() != 4 || ms.size() > 2 || ds.size() > 2) return false;
  *y = std::stoi(ys);
  *m = std::stoi(ms);
  *day = std::stoi(ds);
  static const int kDays[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (*y < 1970 || *m < 1 || *m > 12 || *day < 1 || *day > kDays[*m - 1]) return false;
  bool leap = (*y % 4 == 0 && *y % 100 != 0) || *y % 400 == 0;
  return !(*m == 2 && *day == 29 && !leap);
}

bool ParseTime(const std::string& t, int* h, int* mi, int* s) {
  std::vector<std::string> parts;
  size_t start = 0;
  for (;;) {
    size_t colon = t.find(':', start);
    parts.push_back(t.substr(start, colon == std::string::npos ? std::string::npos : colon - start));
    if (colon == std::string::npos) break;
    start = colon + 1;
  }
  if (parts.size() < 2 || parts.size() > 3) return false;
  for (const auto& p : parts)
    if (!AllDigits(p) || p.size() > 2) return false;
  *h = std::stoi(parts[0]);
  *mi = std::stoi(parts[1]);
  *s = parts.size() == 3 ? std::stoi(parts[2]) : 0;
  return *h <= 23 && *mi <= 59 && *s <= 60;
}

}  // namespace

bool ParseDateTimeArgs(const std::string& date, const std::string& time, struct tm* out) {
  int y = 0, m = 0, d = 0, h = 0, mi = 0, s = 0;
  if (!ParseDate(date, &y, &m, &d) || !ParseTime(time, &h, &mi, &s)) return false;
  struct tm t {};
  t.tm_year = y - 1900;
  t.tm_mon = m - 1;
  t.tm_mday = d;
  t.tm_hour = h;
  t.tm_min = mi;
  t.tm_sec = s;
  t.tm_isdst = -1;
  *out = t;
  return true;
}
