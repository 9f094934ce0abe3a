#include "ui/registration/ExtensionFilter.h"

namespace ui {

std::vector<std::string> ParseExtensionFilter(const std::string& filter) {
    std::vector<std::string> extensions;
    std::size_t pos = filter.find('|');
    if (pos == std::string::npos) return extensions;
    pos += 2;
    while (pos < filter.size() && filter[pos] != '|') {
        const std::size_t semicolon = filter.find(';', pos);
        if (semicolon == std::string::npos) break;
        std::string entry = filter.substr(pos, semicolon - pos);
        // A "|" inside the entry is the end of this pattern list.
        if (entry.find('|') != std::string::npos) break;
        if (!entry.empty()) extensions.push_back(std::move(entry));
        pos = semicolon + 1;
        if (pos < filter.size() && filter[pos] == '|') break;
        ++pos;
    }
    return extensions;
}

} // namespace ui
