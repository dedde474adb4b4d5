#include "tools/unit/unit_reply.h"

namespace unitlink {

namespace {

std::vector<std::string> Split(const std::string& text, char sep) {
  std::vector<std::string> out;
  size_t from = 0;
  for (;;) {
    const size_t at = text.find(sep, from);
    out.push_back(text.substr(from, at == std::string::npos ? std::string::npos : at - from));
    if (at == std::string::npos) return out;
    from = at + 1;
  }
}

std::string Printable(const std::string& bytes) {
  std::string out;
  for (unsigned char c : bytes) {
    if (c == '\r') {
      out += "\\r";
    } else if (c == '\n') {
      out += "\\n";
    } else if (c < 0x20 || c == 0x7f) {
      static const char kHex[] = "0123456789ABCDEF";
      out += "\\x";
      out += kHex[c >> 4];
      out += kHex[c & 15];
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

}  // namespace

std::string UnitReply::ValuesFrom(size_t first) const {
  std::string out;
  for (size_t i = first; i < values.size(); ++i) {
    if (i > first) out += ';';
    out += values[i];
  }
  return out;
}

std::string UnitReply::Describe() const {
  if (!error.empty()) return error;
  if (raw.empty()) return "no answer";
  return Printable(raw);
}

UnitReply ParseReply(const std::string& request, const std::string& raw) {
  UnitReply r;
  r.raw = raw;
  if (raw.empty()) return r;
  r.kind = ReplyKind::kForeign;
  const size_t end = raw.find("\r\n");
  if (raw[0] != '!' || end == std::string::npos || request.size() < 2) return r;
  const std::vector<std::string> f = Split(raw.substr(1, end - 1), ';');
  const std::string echoed = request.substr(1, request.find(';') == std::string::npos ? std::string::npos
                                                                                       : request.find(';') - 1);
  if (f.size() < 3 || f[1] != echoed || (f[2] != "OK" && f[2] != "ER")) return r;
  r.id = f[0];
  r.command = f[1];
  r.kind = f[2] == "OK" ? ReplyKind::kOk : ReplyKind::kEr;
  r.values.assign(f.begin() + 3, f.end());
  return r;
}

}  // namespace unitlink
