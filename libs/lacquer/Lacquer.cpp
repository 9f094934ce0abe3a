#include "libs/lacquer/Lacquer.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string_view>

#include "platform/AsciiCase.h"
#include "xml/XmlNode.h"

namespace lacquer {

namespace {

// Colours of a skin that gives none: a neutral dark scheme.
const COLORREF kDefaultColors[kColorCount] = {
    Rgb(0x2B, 0x2E, 0x34), Rgb(0xE6, 0xE8, 0xEB), Rgb(0x3A, 0x3E, 0x46), Rgb(0xE6, 0xE8, 0xEB),
    Rgb(0x3D, 0x8B, 0xFD), Rgb(0xFF, 0xFF, 0xFF), Rgb(0x1F, 0x22, 0x27), Rgb(0xE6, 0xE8, 0xEB),
    Rgb(0x50, 0x55, 0x5E), Rgb(0x6C, 0xB4, 0xFF)};

class CManager final : public ISWQuery {
public:
    COLORREF QuerySkinColor(int index) override { return GetSkinColor(index); }
    std::string QuerySkinFolder() override { return folder; }

    std::unique_ptr<CXmlNode> root;
    std::string folder;
};

CManager& Manager() {
    static CManager manager;
    return manager;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    c = platform::LowerAscii(c);
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

std::string Trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
        s.remove_suffix(1);
    return std::string(s);
}

} // namespace

void GetSWQueryInterface(void** query) {
    if (query) *query = static_cast<ISWQuery*>(&Manager());
}

bool LoadStandardSkin(const std::string& path) {
    CManager& m = Manager();
    auto root = std::make_unique<CXmlNode>();
    if (!root->LoadFromFile(path)) {
        m.root.reset();
        m.folder.clear();
        return false;
    }
    m.root = std::move(root);
    const std::size_t slash = path.find_last_of('/');
    m.folder = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
    return true;
}

std::uint32_t GetSkinXMLRoot(CXmlNode** root) {
    CManager& m = Manager();
    if (!root) return kEFail;
    *root = m.root.get();
    return m.root ? kSOk : kEFail;
}

void UnloadSkin() {
    Manager().root.reset();
    Manager().folder.clear();
}

COLORREF LoadColor(const std::string& textIn) {
    const std::string text = Trim(textIn);
    if (!text.empty() && text[0] == '#') {
        int d[6];
        const std::size_t n = text.size() - 1;
        if (n != 3 && n != 6) return 0;
        for (std::size_t i = 0; i < n; ++i)
            if ((d[i] = HexDigit(text[i + 1])) < 0) return 0;
        if (n == 3) return Rgb(d[0] * 17, d[1] * 17, d[2] * 17);
        return Rgb(d[0] * 16 + d[1], d[2] * 16 + d[3], d[4] * 16 + d[5]);
    }
    int r = 0, g = 0, b = 0;
    char tail = 0;
    if (std::sscanf(text.c_str(), "%d , %d , %d %c", &r, &g, &b, &tail) == 3 && r >= 0 &&
        r <= 255 && g >= 0 && g <= 255 && b >= 0 && b <= 255)
        return Rgb(r, g, b);
    return 0;
}

void LoadFont(LOGFONTA* font, const std::string& text) {
    if (!font) return;
    std::memset(font, 0, sizeof *font);
    font->lfHeight = -12;
    font->lfWeight = 400;
    std::strcpy(font->lfFaceName, "Sans");

    std::string parts[4];
    std::size_t start = 0;
    for (int i = 0; i < 4; ++i) {
        const std::size_t comma = text.find(',', start);
        parts[i] = Trim(std::string_view(text).substr(
            start, comma == std::string::npos ? std::string::npos : comma - start));
        if (comma == std::string::npos) break;
        start = comma + 1;
    }
    if (!parts[0].empty()) {
        std::strncpy(font->lfFaceName, parts[0].c_str(), sizeof font->lfFaceName - 1);
        font->lfFaceName[sizeof font->lfFaceName - 1] = 0;
    }
    if (!parts[1].empty()) {
        const int h = std::atoi(parts[1].c_str());
        if (h != 0 && h > -500 && h < 500) font->lfHeight = h;
    }
    if (!parts[2].empty()) {
        const int w = std::atoi(parts[2].c_str());
        if (w >= 100 && w <= 900) font->lfWeight = w;
    }
    if (!parts[3].empty()) font->lfItalic = std::atoi(parts[3].c_str()) != 0 ? 1 : 0;
}

COLORREF GetSkinColor(int index) {
    const int fallback = index >= 0 && index < kColorCount ? index : kColorWindowText;
    CManager& m = Manager();
    if (m.root) {
        if (const CXmlNode* colors = m.root->FindChild("Colors")) {
            for (const CXmlNode* c = colors->GetFirstChild(); c; c = c->GetNextSibling()) {
                int i = -1;
                std::string value;
                if (c->GetAttribute("Index", i) && i == fallback && c->GetAttribute("Value", value))
                    return LoadColor(value);
            }
        }
    }
    return kDefaultColors[fallback];
}

} // namespace lacquer
