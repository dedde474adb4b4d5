#include "config/text_utils.h"

#include <cstdlib>
#include <cstring>

#include "base/console.h"

namespace {

constexpr int kHexMaxBytes = 161;      // what a message buffer holds
constexpr size_t kHexTextMax = 280;    // hexadecimal digits taken from a text
constexpr int kHexOutBytes = 140;      // bytes those digits can give
constexpr size_t kMatchDigits = 6;     // a sender matches on its last six characters

}  // namespace

char* get_next_str(char* text, char** rest, char delimiter) {
  char* unused = nullptr;
  if (rest == nullptr) rest = &unused;
  if (text == nullptr) {
    *rest = nullptr;
    return nullptr;
  }
  char* cut = delimiter != '\0' ? std::strchr(text, delimiter) : nullptr;
  if (cut == nullptr) {
    *rest = nullptr;
    return text;
  }
  *cut = '\0';
  *rest = cut[1] != '\0' ? cut + 1 : nullptr;
  return text;
}

char* get_entry(char* text, char** rest) { return get_next_str(text, rest, ';'); }

void Hex2HexStr(char* out, const char* bytes, int len) {
  static const char kDigits[] = "0123456789ABCDEF";
  if (len > kHexMaxBytes) {
    PrintMsg("Over size.\r\n");
    return;
  }
  int i = 0;
  for (; i < len; ++i) {
    unsigned char b = static_cast<unsigned char>(bytes[i]);
    out[2 * i] = kDigits[b >> 4];  // NOLINT(bugprone-implicit-widening-of-multiplication-result): i is below kHexMaxBytes
    out[2 * i + 1] = kDigits[b & 0x0F];
  }
  out[2 * i] = '\0';  // NOLINT(bugprone-implicit-widening-of-multiplication-result): i is at most kHexMaxBytes
}

void HexStr2Hex(const char* text, char* out) {
  size_t n = text != nullptr ? strnlen(text, kHexTextMax) : 0;
  for (int i = 0; i < kHexOutBytes; ++i) {
    // Each pair is read as a base-16 number of its own two characters: a
    // character that is not a digit ends it ("4G" is 0x04, a lone last "A"
    // is 0x0A), and pairs past the end of the text give 0.
    char pair[3] = {0, 0, 0};
    size_t at = 2 * static_cast<size_t>(i);
    if (at < n) pair[0] = text[at];
    if (at + 1 < n) pair[1] = text[at + 1];
    out[i] = static_cast<char>(std::strtol(pair, nullptr, 16));
  }
  std::memset(out + kHexOutBytes, 0, kHexMaxBytes - kHexOutBytes);
}

int phone_number_chk(const char* phone, const char (*list)[kPhoneSize]) {
  if (phone == nullptr || list == nullptr) return 0;
  size_t len = std::strlen(phone);
  // An empty sender matches nothing; one shorter than six characters only
  // an entry equal to it, so a short code can never match by accident.
  if (len == 0) return 0;
  const char* tail = len > kMatchDigits ? phone + len - kMatchDigits : phone;
  for (int i = 0; i < kCtrlPhoneCount; ++i) {
    char entry[kPhoneSize + 1];
    size_t n = strnlen(list[i], kPhoneSize);
    std::memcpy(entry, list[i], n);
    entry[n] = '\0';
    if (n == 0) continue;
    if (len < kMatchDigits ? std::strcmp(entry, phone) == 0 : std::strstr(entry, tail) != nullptr) return 1;
  }
  return 0;
}
