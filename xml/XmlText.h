// Text helpers of the XML model: name comparison, the number and hex
// conversions behind the typed accessors, and the checks that keep
// SaveToFile from writing a file the loader would refuse.
//
// Number conversions always use the "C" conventions (a dot as decimal
// separator), whatever locale the process has set: a preset written under
// one locale must read back under another.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace xmltext {

// Case-insensitive equality of two UTF-8 names. Only ASCII letters are
// folded; other bytes must match exactly.
bool NamesEqual(std::string_view a, std::string_view b);

// atoi rules: leading white space, optional sign, decimal digits up to the
// first other character, 0 when there are none. Saturates at the int range
// instead of overflowing.
int ParseInt(std::string_view text);

// atof rules in the "C" locale (decimal, exponent, hex, inf, nan); 0 when the
// text does not start with a number.
double ParseDouble(const std::string& text);

std::string FormatInt(int value);
// printf "%g" (six significant digits), independent of the locale.
std::string FormatG(double value);

// Two upper-case hex digits per byte, high nibble first.
std::string EncodeHex(const void* data, std::size_t length);
// Decodes pairs of hex digits (either case) into buffer, at most capacity
// bytes; an odd last character is ignored and decoding stops at the first
// pair that is not two hex digits. Returns the number of bytes stored.
std::size_t DecodeHex(std::string_view text, void* buffer, std::size_t capacity);

// True when text is well-formed UTF-8 made only of characters XML 1.0 allows
// (tab, LF, CR and everything from U+0020 except surrogates, U+FFFE, U+FFFF).
bool IsXmlText(std::string_view text);
// True when text is an XML 1.0 Name (fifth edition rules, colons allowed).
bool IsXmlName(std::string_view text);

// Appends text with & < > " ' replaced by their entities and tab, LF and CR
// by character references (an attribute value loses them otherwise: the
// parser turns raw white space in attribute values into spaces).
void AppendEscaped(std::string& out, std::string_view text);

} // namespace xmltext
