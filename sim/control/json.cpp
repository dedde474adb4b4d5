#include "sim/control/json.h"

#include <cmath>
#include <cstdio>

namespace sim {

Json& Json::Add(Json v) {
  items_.push_back(std::move(v));
  return *this;
}

Json& Json::Set(const std::string& key, Json v) {
  for (size_t i = 0; i < keys_.size(); ++i) {
    if (keys_[i] == key) {
      items_[i] = std::move(v);
      return *this;
    }
  }
  keys_.push_back(key);
  items_.push_back(std::move(v));
  return *this;
}

std::string JsonQuote(const std::string& text) {
  std::string out = "\"";
  for (unsigned char c : text) {
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (c < 0x20 || c == 0x7F) {
          char esc[8];
          std::snprintf(esc, sizeof esc, "\\u%04x", c);
          out += esc;
        } else {
          out += static_cast<char>(c);
        }
    }
  }
  return out + "\"";
}

std::string Json::Dump(bool pretty) const {
  std::string out;
  DumpTo(out, pretty, 0);
  return out;
}

void Json::DumpTo(std::string& out, bool pretty, int depth) const {
  auto newline = [&](int d) {
    if (!pretty) return;
    out += '\n';
    out.append(static_cast<size_t>(d) * 2, ' ');
  };
  switch (type_) {
    case Type::kNull: out += "null"; return;
    case Type::kBool: out += bool_ ? "true" : "false"; return;
    case Type::kInt: out += std::to_string(int_); return;
    case Type::kDouble: {
      if (!std::isfinite(double_)) {
        out += "null";
        return;
      }
      char text[32];
      std::snprintf(text, sizeof text, "%.10g", double_);
      out += text;
      return;
    }
    case Type::kString: out += JsonQuote(string_); return;
    case Type::kArray:
    case Type::kObject: {
      bool object = type_ == Type::kObject;
      out += object ? '{' : '[';
      if (items_.empty()) {
        out += object ? '}' : ']';
        return;
      }
      // Arrays of plain values stay on one line even when indented.
      bool flat = !object;
      for (const Json& v : items_) flat = flat && v.type_ != Type::kArray && v.type_ != Type::kObject;
      for (size_t i = 0; i < items_.size(); ++i) {
        if (i > 0) out += flat && pretty ? ", " : ",";
        if (!flat) newline(depth + 1);
        if (object) {
          out += JsonQuote(keys_[i]);
          out += pretty ? ": " : ":";
        }
        items_[i].DumpTo(out, pretty, depth + 1);
      }
      if (!flat) newline(depth);
      out += object ? '}' : ']';
      return;
    }
  }
}

}  // namespace sim
