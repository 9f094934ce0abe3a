#include "platform/ProfileParser.h"

#include "platform/AsciiCase.h"
#include "platform/TextEncoding.h"

#include <algorithm>
#include <unordered_set>

namespace platform::profile {

namespace {

constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";
constexpr std::string_view kUtf16LeMark = "\xFF\xFE";
constexpr std::string_view kUtf16BeMark = "\xFE\xFF";

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

bool HasLineBreak(std::string_view text) {
    return text.find_first_of("\r\n") != text.npos;
}

// A value wrapped in the same kind of quote at both ends is read without them.
std::string_view Unquote(std::string_view value) {
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front())
        return value.substr(1, value.size() - 2);
    return value;
}

} // namespace

std::string_view Trim(std::string_view text) {
    while (!text.empty() && IsBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

std::string CheckSectionName(std::string_view section) {
    if (HasLineBreak(section)) return "section name contains a line break";
    if (Trim(section).empty()) return "empty section name";
    return {};
}

std::string CheckKeyName(std::string_view key) {
    if (HasLineBreak(key)) return "key name contains a line break";
    std::string_view name = Trim(key);
    if (name.empty()) return "empty key name";
    if (name.find('=') != name.npos) return "key name contains '='";
    // Such a line would read back as a comment or a section header.
    if (name.front() == ';' || name.front() == '[') return "key name starts with ';' or '['";
    return {};
}

std::string CheckValue(std::string_view value) {
    if (HasLineBreak(value)) return "value contains a line break";
    return {};
}

Document::Line Document::ParseLine(std::string text) {
    Line line;
    std::string_view body = Trim(text);
    if (body.empty() || body.front() == ';') {
        // blank line or comment
    } else if (body.front() == '[') {
        std::size_t close = body.rfind(']');
        if (close != body.npos) {
            line.kind = Line::Kind::Section;
            line.name = Trim(body.substr(1, close - 1));
        }
    } else if (std::size_t eq = body.find('='); eq != body.npos) {
        std::string_view key = Trim(body.substr(0, eq));
        if (!key.empty()) {
            line.kind = Line::Kind::Entry;
            line.name = key;
            line.value = Unquote(Trim(body.substr(eq + 1)));
        }
    }
    line.text = std::move(text);
    return line;
}

Document Document::Parse(std::string_view bytes) {
    Document doc;
    std::string decoded;
    std::string_view text = bytes;
    if (bytes.starts_with(kUtf8Mark)) {
        doc.m_encoding = Encoding::Utf8WithMark;
        text.remove_prefix(kUtf8Mark.size());
    } else if (bytes.starts_with(kUtf16LeMark) || bytes.starts_with(kUtf16BeMark)) {
        // Saved as "Unicode" by a Windows editor: worked on as UTF-8, written
        // back in the encoding it came in.
        bool bigEndian = bytes.starts_with(kUtf16BeMark);
        doc.m_encoding = bigEndian ? Encoding::Utf16Be : Encoding::Utf16Le;
        decoded = Utf16ToUtf8(bytes.substr(2), bigEndian);
        text = decoded;
    }
    while (!text.empty()) {
        std::size_t end = text.find('\n');
        std::string_view raw = text.substr(0, end);
        text.remove_prefix(end == text.npos ? text.size() : end + 1);
        if (!raw.empty() && raw.back() == '\r') raw.remove_suffix(1);
        doc.m_lines.push_back(ParseLine(std::string(raw)));
    }
    return doc;
}

std::string Document::Serialize() const {
    std::string out;
    for (const Line& line : m_lines) {
        out += line.text;
        out += "\r\n";
    }
    switch (m_encoding) {
    case Encoding::Utf8:
        return out;
    case Encoding::Utf8WithMark:
        return std::string(kUtf8Mark) + out;
    case Encoding::Utf16Le:
        return std::string(kUtf16LeMark) + Utf8ToUtf16(out, false);
    case Encoding::Utf16Be:
        return std::string(kUtf16BeMark) + Utf8ToUtf16(out, true);
    }
    return out;
}

std::size_t Document::FindSection(std::string_view section) const {
    section = Trim(section);
    for (std::size_t i = 0; i < m_lines.size(); ++i)
        if (m_lines[i].kind == Line::Kind::Section && EqualNoCase(m_lines[i].name, section))
            return i;
    return std::string::npos;
}

std::size_t Document::SectionEnd(std::size_t header) const {
    std::size_t i = header + 1;
    while (i < m_lines.size() && m_lines[i].kind != Line::Kind::Section)
        ++i;
    return i;
}

const std::string* Document::Find(std::string_view section, std::string_view key) const {
    std::size_t header = FindSection(section);
    if (header == std::string::npos) return nullptr;
    key = Trim(key);
    for (std::size_t i = header + 1, end = SectionEnd(header); i < end; ++i)
        if (m_lines[i].kind == Line::Kind::Entry && EqualNoCase(m_lines[i].name, key))
            return &m_lines[i].value;
    return nullptr;
}

std::vector<std::string> Document::SectionNames() const {
    std::vector<std::string> names;
    for (const Line& line : m_lines) {
        if (line.kind != Line::Kind::Section || line.name.empty()) continue;
        auto same = [&](const std::string& n) { return EqualNoCase(n, line.name); };
        if (std::none_of(names.begin(), names.end(), same)) names.push_back(line.name);
    }
    return names;
}

std::vector<std::pair<std::string, std::string>> Document::Entries(std::string_view section) const {
    std::vector<std::pair<std::string, std::string>> entries;
    std::size_t header = FindSection(section);
    if (header == std::string::npos) return entries;
    for (std::size_t i = header + 1, end = SectionEnd(header); i < end; ++i)
        if (m_lines[i].kind == Line::Kind::Entry)
            entries.emplace_back(m_lines[i].name, m_lines[i].value);
    return entries;
}

std::vector<Document::Section> Document::ReadableSections() const {
    std::vector<Section> sections;
    std::unordered_set<std::string> seen; // folded names
    bool reading = false;                 // inside the first section of its name
    for (const Line& line : m_lines) {
        if (line.kind == Line::Kind::Section) {
            reading = !line.name.empty() && seen.insert(LowerAscii(line.name)).second;
            if (reading) sections.push_back({line.name, {}});
        } else if (line.kind == Line::Kind::Entry && reading) {
            sections.back().entries.emplace_back(line.name, line.value);
        }
    }
    return sections;
}

std::vector<std::string> Document::KeyNames(std::string_view section) const {
    std::vector<std::string> names;
    for (auto& [key, value] : Entries(section)) {
        auto same = [&](const std::string& n) { return EqualNoCase(n, key); };
        if (std::none_of(names.begin(), names.end(), same)) names.push_back(key);
    }
    return names;
}

void Document::Set(std::string_view section, std::string_view key, std::string_view value) {
    section = Trim(section);
    key = Trim(key);
    std::size_t header = FindSection(section);
    if (header == std::string::npos) {
        m_lines.push_back(ParseLine("[" + std::string(section) + "]"));
        m_lines.push_back(ParseLine(std::string(key) + "=" + std::string(value)));
        m_changed = true;
        return;
    }
    std::size_t end = SectionEnd(header);
    std::size_t insertAt = header + 1;
    for (std::size_t i = header + 1; i < end; ++i) {
        if (m_lines[i].kind != Line::Kind::Entry) continue;
        if (EqualNoCase(m_lines[i].name, key)) {
            // The key keeps the spelling it has in the file.
            std::string text = m_lines[i].name + "=" + std::string(value);
            if (text != m_lines[i].text) {
                m_lines[i] = ParseLine(std::move(text));
                m_changed = true;
            }
            return;
        }
        insertAt = i + 1;
    }
    m_lines.insert(m_lines.begin() + static_cast<std::ptrdiff_t>(insertAt),
                   ParseLine(std::string(key) + "=" + std::string(value)));
    m_changed = true;
}

void Document::DeleteKey(std::string_view section, std::string_view key) {
    std::size_t header = FindSection(section);
    if (header == std::string::npos) return;
    key = Trim(key);
    auto first = m_lines.begin() + static_cast<std::ptrdiff_t>(header + 1);
    auto last = m_lines.begin() + static_cast<std::ptrdiff_t>(SectionEnd(header));
    auto kept = std::remove_if(first, last, [&](const Line& line) {
        return line.kind == Line::Kind::Entry && EqualNoCase(line.name, key);
    });
    if (kept == last) return;
    m_lines.erase(kept, last);
    m_changed = true;
}

void Document::DeleteSection(std::string_view section) {
    for (std::size_t header = FindSection(section); header != std::string::npos;
         header = FindSection(section)) {
        m_changed = true;
        m_lines.erase(m_lines.begin() + static_cast<std::ptrdiff_t>(header),
                      m_lines.begin() + static_cast<std::ptrdiff_t>(SectionEnd(header)));
    }
}

} // namespace platform::profile
