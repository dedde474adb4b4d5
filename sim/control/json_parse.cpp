// Reading JSON text back into a Json value: what `ctl watch` needs of the
// state report, and no more (numbers as double, \u escapes of the first
// plane).
#include <cstdlib>

#include "sim/control/json.h"

namespace sim {

namespace {

constexpr int kMaxDepth = 32;

class Reader {
 public:
  explicit Reader(const std::string& text) : s_(text) {}

  bool Whole(Json* out) {
    if (!Value(out, 0)) return false;
    Blanks();
    return at_ == s_.size();
  }

 private:
  void Blanks() {
    while (at_ < s_.size() && (s_[at_] == ' ' || s_[at_] == '\n' || s_[at_] == '\r' || s_[at_] == '\t')) ++at_;
  }
  bool Take(char c) {
    Blanks();
    if (at_ < s_.size() && s_[at_] == c) {
      ++at_;
      return true;
    }
    return false;
  }
  bool Word(const char* w) {
    const std::string word = w;
    if (s_.compare(at_, word.size(), word) != 0) return false;
    at_ += word.size();
    return true;
  }

  bool Value(Json* out, int depth) {
    if (depth > kMaxDepth) return false;
    Blanks();
    if (at_ >= s_.size()) return false;
    const char c = s_[at_];
    if (c == '{') return Object(out, depth);
    if (c == '[') return Array(out, depth);
    if (c == '"') {
      std::string text;
      if (!String(&text)) return false;
      *out = Json(std::move(text));
      return true;
    }
    if (Word("true")) {
      *out = Json(true);
      return true;
    }
    if (Word("false")) {
      *out = Json(false);
      return true;
    }
    if (Word("null")) {
      *out = Json();
      return true;
    }
    const char* begin = s_.c_str() + at_;
    char* end = nullptr;
    const double v = std::strtod(begin, &end);
    if (end == begin) return false;
    at_ += static_cast<size_t>(end - begin);
    *out = Json(v);
    return true;
  }

  bool Object(Json* out, int depth) {
    ++at_;
    *out = Json::Object();
    if (Take('}')) return true;
    do {
      std::string key;
      Json v;
      Blanks();
      if (!String(&key) || !Take(':') || !Value(&v, depth + 1)) return false;
      out->Set(key, std::move(v));
    } while (Take(','));
    return Take('}');
  }

  bool Array(Json* out, int depth) {
    ++at_;
    *out = Json::Array();
    if (Take(']')) return true;
    do {
      Json v;
      if (!Value(&v, depth + 1)) return false;
      out->Add(std::move(v));
    } while (Take(','));
    return Take(']');
  }

  bool String(std::string* text) {
    if (at_ >= s_.size() || s_[at_] != '"') return false;
    for (++at_; at_ < s_.size(); ++at_) {
      char c = s_[at_];
      if (c == '"') {
        ++at_;
        return true;
      }
      if (c != '\\') {
        *text += c;
        continue;
      }
      if (++at_ >= s_.size()) return false;
      switch (s_[at_]) {
        case 'n': *text += '\n'; break;
        case 'r': *text += '\r'; break;
        case 't': *text += '\t'; break;
        case 'b': *text += '\b'; break;
        case 'f': *text += '\f'; break;
        case 'u': {
          if (at_ + 4 >= s_.size()) return false;
          char* end = nullptr;
          const std::string hex = s_.substr(at_ + 1, 4);
          const unsigned long cp = std::strtoul(hex.c_str(), &end, 16);
          if (end != hex.c_str() + 4) return false;
          at_ += 4;
          if (cp < 0x80) {
            *text += static_cast<char>(cp);
          } else if (cp < 0x800) {
            *text += static_cast<char>(0xC0 | cp >> 6);
            *text += static_cast<char>(0x80 | (cp & 0x3F));
          } else {
            *text += static_cast<char>(0xE0 | cp >> 12);
            *text += static_cast<char>(0x80 | (cp >> 6 & 0x3F));
            *text += static_cast<char>(0x80 | (cp & 0x3F));
          }
          break;
        }
        default: *text += s_[at_];  // \" \\ \/
      }
    }
    return false;
  }

  const std::string& s_;
  size_t at_ = 0;
};

const Json& Null() {
  static const Json null;
  return null;
}

}  // namespace

const Json& Json::operator[](const std::string& key) const {
  if (type_ != Type::kObject) return Null();
  for (size_t i = 0; i < keys_.size(); ++i) {
    if (keys_[i] == key) return items_[i];
  }
  return Null();
}

const Json& Json::operator[](size_t index) const {
  return type_ == Type::kArray && index < items_.size() ? items_[index] : Null();
}

double Json::AsNumber() const {
  if (type_ == Type::kInt) return static_cast<double>(int_);
  return type_ == Type::kDouble ? double_ : 0;
}

bool Json::Parse(const std::string& text, Json* out) {
  Json value;
  if (!Reader(text).Whole(&value)) return false;
  *out = std::move(value);
  return true;
}

}  // namespace sim
