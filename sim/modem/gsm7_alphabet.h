// The GSM 7-bit default alphabet (basic set and extension table) as the
// simulated module sees it: host texts are UTF-8, messages on the air are
// septets, UCS2 units or octets. Written for the simulator alone, apart from
// the firmware's codec, so that each checks the other.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace sim {

/// The escape septet that announces a character of the extension table.
constexpr uint8_t kGsmEscape = 0x1B;

/// Unicode code points of a UTF-8 text; false when the text is not UTF-8.
bool Utf8ToCodePoints(const std::string& text, std::vector<uint32_t>* out);
/// Appends one code point as UTF-8.
void AppendUtf8(uint32_t code_point, std::string* out);

/// The septets of a text (extension characters as escape pairs); false when
/// a character is in neither table.
bool CodePointsToGsm7(const std::vector<uint32_t>& text, std::vector<uint8_t>* septets);
/// The text of septets as UTF-8. An escape before a code the extension
/// table lacks shows that code's basic character; a final lone escape
/// shows a space.
std::string Gsm7ToUtf8(const std::vector<uint8_t>& septets);

/// Packs septets into octets, the first septet starting `fill_bits` bits
/// into the first octet (fill bits and the unused top bits are zero).
std::string PackSeptets(const std::vector<uint8_t>& septets, int fill_bits = 0);
/// Unpacks `count` septets starting at bit `first_bit` of `octets`; false
/// when the octets end first.
bool UnpackSeptets(const std::string& octets, int first_bit, int count, std::vector<uint8_t>* septets);
/// Octets that `count` septets take when packed from bit 0.
int PackedOctets(int count);

}  // namespace sim
