#include "xml/XmlText.h"

#include <charconv>
#include <climits>
#include <cstdint>
#include <cstdlib>

#ifdef _WIN32
#include <locale.h>
#else
#include <clocale>
#include <locale.h>
#endif

namespace xmltext {

namespace {

char FoldAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool IsCSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Decodes one UTF-8 sequence at text[pos]; returns the code point and moves
// pos past it, or returns -1 for a malformed, overlong or surrogate sequence.
long DecodeUtf8(std::string_view text, std::size_t& pos) {
    const auto b0 = static_cast<unsigned char>(text[pos]);
    if (b0 < 0x80) {
        ++pos;
        return b0;
    }
    int extra;
    long cp;
    long min;
    if ((b0 & 0xE0) == 0xC0) {
        extra = 1;
        cp = b0 & 0x1F;
        min = 0x80;
    } else if ((b0 & 0xF0) == 0xE0) {
        extra = 2;
        cp = b0 & 0x0F;
        min = 0x800;
    } else if ((b0 & 0xF8) == 0xF0) {
        extra = 3;
        cp = b0 & 0x07;
        min = 0x10000;
    } else {
        return -1;
    }
    if (text.size() - pos <= static_cast<std::size_t>(extra)) return -1;
    for (int i = 1; i <= extra; ++i) {
        const auto b = static_cast<unsigned char>(text[pos + i]);
        if ((b & 0xC0) != 0x80) return -1;
        cp = (cp << 6) | (b & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return -1;
    pos += static_cast<std::size_t>(extra) + 1;
    return cp;
}

bool IsXmlChar(long cp) {
    return cp == 0x9 || cp == 0xA || cp == 0xD || (cp >= 0x20 && cp <= 0xD7FF) ||
           (cp >= 0xE000 && cp <= 0xFFFD) || (cp >= 0x10000 && cp <= 0x10FFFF);
}

bool IsNameStartChar(long cp) {
    return cp == ':' || cp == '_' || (cp >= 'A' && cp <= 'Z') || (cp >= 'a' && cp <= 'z') ||
           (cp >= 0xC0 && cp <= 0xD6) || (cp >= 0xD8 && cp <= 0xF6) ||
           (cp >= 0xF8 && cp <= 0x2FF) || (cp >= 0x370 && cp <= 0x37D) ||
           (cp >= 0x37F && cp <= 0x1FFF) || (cp >= 0x200C && cp <= 0x200D) ||
           (cp >= 0x2070 && cp <= 0x218F) || (cp >= 0x2C00 && cp <= 0x2FEF) ||
           (cp >= 0x3001 && cp <= 0xD7FF) || (cp >= 0xF900 && cp <= 0xFDCF) ||
           (cp >= 0xFDF0 && cp <= 0xFFFD) || (cp >= 0x10000 && cp <= 0xEFFFF);
}

bool IsNameChar(long cp) {
    return IsNameStartChar(cp) || cp == '-' || cp == '.' || (cp >= '0' && cp <= '9') ||
           cp == 0xB7 || (cp >= 0x300 && cp <= 0x36F) || (cp >= 0x203F && cp <= 0x2040);
}

#ifdef _WIN32
double StrtodC(const char* text) {
    static const _locale_t c = _create_locale(LC_NUMERIC, "C");
    return _strtod_l(text, nullptr, c);
}
#else
double StrtodC(const char* text) {
    // The thread's locale is switched to "C" only for this call, so a
    // locale set by the application (Qt sets the user's) does not change
    // what a decimal point is.
    static const locale_t c = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    if (!c) return std::strtod(text, nullptr);
    const locale_t old = uselocale(c);
    const double value = std::strtod(text, nullptr);
    uselocale(old);
    return value;
}
#endif

} // namespace

bool NamesEqual(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (FoldAscii(a[i]) != FoldAscii(b[i])) return false;
    }
    return true;
}

int ParseInt(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && IsCSpace(text[i]))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    // Accumulate as a negative number so INT_MIN is reachable.
    long long value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 - (text[i] - '0');
        if (value < static_cast<long long>(INT_MIN) - 1)
            value = static_cast<long long>(INT_MIN) - 1;
    }
    if (!negative) {
        value = -value;
        return value > INT_MAX ? INT_MAX : static_cast<int>(value);
    }
    return value < INT_MIN ? INT_MIN : static_cast<int>(value);
}

double ParseDouble(const std::string& text) {
    return StrtodC(text.c_str());
}

std::string FormatInt(int value) {
    return std::to_string(value);
}

std::string FormatG(double value) {
    // to_chars with a precision is defined as printf in the "C" locale.
    char buf[64];
    const auto result = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::general, 6);
    return std::string(buf, result.ptr);
}

std::string EncodeHex(const void* data, std::size_t length) {
    static const char digits[] = "0123456789ABCDEF";
    std::string out;
    if (!data) return out;
    out.reserve(length * 2);
    const auto* bytes = static_cast<const unsigned char*>(data);
    for (std::size_t i = 0; i < length; ++i) {
        out.push_back(digits[bytes[i] >> 4]);
        out.push_back(digits[bytes[i] & 0x0F]);
    }
    return out;
}

std::size_t DecodeHex(std::string_view text, void* buffer, std::size_t capacity) {
    if (!buffer) return 0;
    auto* out = static_cast<unsigned char*>(buffer);
    const std::size_t pairs = text.size() / 2;
    std::size_t stored = 0;
    while (stored < pairs && stored < capacity) {
        const int hi = HexDigit(text[2 * stored]);
        const int lo = HexDigit(text[2 * stored + 1]);
        if (hi < 0 || lo < 0) break;
        out[stored++] = static_cast<unsigned char>((hi << 4) | lo);
    }
    return stored;
}

bool IsXmlText(std::string_view text) {
    std::size_t pos = 0;
    while (pos < text.size()) {
        if (!IsXmlChar(DecodeUtf8(text, pos))) return false;
    }
    return true;
}

bool IsXmlName(std::string_view text) {
    if (text.empty()) return false;
    std::size_t pos = 0;
    bool first = true;
    while (pos < text.size()) {
        const long cp = DecodeUtf8(text, pos);
        if (cp < 0 || !(first ? IsNameStartChar(cp) : IsNameChar(cp))) return false;
        first = false;
    }
    return true;
}

void AppendEscaped(std::string& out, std::string_view text) {
    for (char c : text) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        case '\'':
            out += "&apos;";
            break;
        case '\t':
            out += "&#9;";
            break;
        case '\n':
            out += "&#10;";
            break;
        case '\r':
            out += "&#13;";
            break;
        default:
            out += c;
            break;
        }
    }
}

} // namespace xmltext
