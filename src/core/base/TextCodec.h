// SPDX-License-Identifier: MIT
// Conversion of outside text to the program's UTF-8.
#pragma once

#include <string>
#include <string_view>

namespace kov {

bool isValidUtf8(std::string_view text);
// Text that is valid UTF-8 stays as it is; anything else is read as CP932 (Shift_JIS).
// Bytes that CP932 cannot convert become U+FFFD.
std::string legacyTextToUtf8(std::string_view text);
// CP932 to UTF-8; std::nullopt-like failure is reported as false with out untouched.
bool cp932ToUtf8(std::string_view text, std::string& out);
// UTF-8 to CP932; false when some character has no CP932 form.
bool utf8ToCp932(std::string_view text, std::string& out);
// EUC-JP (with the Windows extensions) to UTF-8. Invalid or unconvertible sequences become
// U+FFFD; false only when the system has no EUC-JP converter.
bool eucJpToUtf8(std::string_view text, std::string& out);

// True for a Shift_JIS lead byte: the byte and the next one form one character.
inline bool isSjisLeadByte(unsigned char c) {
    return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
}

}  // namespace kov
