// A small JSON value for the simulator's answers: the state report of
// `ctl state` (printed indented) and JSON lines (printed compact), and read
// back by `ctl watch`.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace sim {

class Json {
 public:
  enum class Type { kNull, kBool, kInt, kDouble, kString, kArray, kObject };

  Json() = default;  // null
  Json(bool v) : type_(Type::kBool), bool_(v) {}
  Json(int v) : type_(Type::kInt), int_(v) {}
  Json(int64_t v) : type_(Type::kInt), int_(v) {}
  Json(double v) : type_(Type::kDouble), double_(v) {}
  Json(const char* v) : type_(Type::kString), string_(v) {}
  Json(std::string v) : type_(Type::kString), string_(std::move(v)) {}

  static Json Array() { return Json(Type::kArray); }
  static Json Object() { return Json(Type::kObject); }

  Type type() const { return type_; }

  /// Reading a value (`ctl watch` reads the state report): a member or an
  /// item that is not there, or is of another type, reads as null, false,
  /// 0 or "".
  const Json& operator[](const std::string& key) const;
  const Json& operator[](size_t index) const;
  size_t size() const { return items_.size(); }
  bool is_null() const { return type_ == Type::kNull; }
  bool AsBool() const { return type_ == Type::kBool && bool_; }
  double AsNumber() const;
  const std::string& AsString() const { return string_; }

  /// Reads JSON text; false when it is not one whole JSON value (or nests
  /// deeper than 32 levels).
  static bool Parse(const std::string& text, Json* out);

  /// Appends to an array.
  Json& Add(Json v);
  /// Sets a member of an object; members keep the order they were first set in.
  Json& Set(const std::string& key, Json v);

  /// Indented with two spaces, or all on one line.
  std::string Dump(bool pretty = true) const;

 private:
  explicit Json(Type t) : type_(t) {}
  void DumpTo(std::string& out, bool pretty, int depth) const;

  Type type_ = Type::kNull;
  bool bool_ = false;
  int64_t int_ = 0;
  double double_ = 0;
  std::string string_;
  std::vector<Json> items_;       // array items or object values
  std::vector<std::string> keys_;  // object keys, parallel to items_
};

/// The text quoted and escaped as a JSON string.
std::string JsonQuote(const std::string& text);

}  // namespace sim
