// Conversions between the runtime's CP932 byte strings and UTF-8, used only where text leaves
// the runtime for the host (window title, file names, font engine).
#pragma once

#include <string>

namespace qr::platform {

// Bytes that do not convert become '?'.
std::string Cp932ToUtf8(const std::string& text);
std::string Utf8ToCp932(const std::string& text);

// The whole text or nothing: false when a character has no CP932 form, with that character (as
// UTF-8) in `failed`.
bool Utf8ToCp932Exactly(const std::string& text, std::string& out, std::string& failed);

// True for a byte that starts a two-byte CP932 character.
constexpr bool IsCp932LeadByte(unsigned char c) {
  return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
}

}  // namespace qr::platform
