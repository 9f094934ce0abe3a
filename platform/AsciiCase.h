// Letter-case folding for names that compare without regard to case (INI
// sections and keys, registry keys and values). Only ASCII letters fold:
// names are UTF-8 and a locale-dependent fold would make the same file read
// differently on different machines.
#pragma once

#include <string>
#include <string_view>

namespace platform {

inline char LowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
}

inline std::string LowerAscii(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        c = LowerAscii(c);
    return out;
}

inline bool EqualNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
    return true;
}

} // namespace platform
