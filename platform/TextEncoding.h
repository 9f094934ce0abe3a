// Conversions between UTF-16 text files and the UTF-8 strings used inside
// the program, for setting files that a Windows editor saved as "Unicode".
#pragma once

#include <string>
#include <string_view>

namespace platform {

// UTF-16 bytes (without byte-order mark; an odd last byte is dropped) to
// UTF-8. Unpaired surrogates become U+FFFD.
std::string Utf16ToUtf8(std::string_view bytes, bool bigEndian);

// UTF-8 to UTF-16 bytes (without byte-order mark). Invalid UTF-8 sequences
// become U+FFFD.
std::string Utf8ToUtf16(std::string_view text, bool bigEndian);

// Whether text is well-formed UTF-8 (no overlong forms, no surrogates,
// nothing above U+10FFFF).
bool IsValidUtf8(std::string_view text);

// The length of the well-formed UTF-8 sequence at text[pos] (1 to 4), or 0
// when the bytes there are not one.
std::size_t Utf8SequenceAt(std::string_view text, std::size_t pos);

} // namespace platform
