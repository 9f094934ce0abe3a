#include "ui/registration/MimeAppsList.h"

#include "platform/AtomicFile.h"

#include <sys/stat.h>

namespace ui {

namespace {

std::string Trim(const std::string& s) {
    const auto first = s.find_first_not_of(" \t\r");
    if (first == std::string::npos) return {};
    const auto last = s.find_last_not_of(" \t\r");
    return s.substr(first, last - first + 1);
}

bool IsSectionLine(const std::string& line) {
    const std::string t = Trim(line);
    return t.size() >= 2 && t.front() == '[' && t.back() == ']';
}

} // namespace

bool CKeyFile::Load(const std::string& path) {
    m_lines.clear();
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return true; // no file yet: empty
    std::string text;
    if (!platform::ReadWholeFile(path, text)) return false;
    Parse(text);
    return true;
}

void CKeyFile::Parse(const std::string& text) {
    m_lines.clear();
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        m_lines.push_back(std::move(line));
        start = end + 1;
    }
}

std::string CKeyFile::Text() const {
    std::string text;
    for (const auto& line : m_lines) {
        text += line;
        text += '\n';
    }
    return text;
}

bool CKeyFile::Save(const std::string& path) const {
    return platform::WriteFileAtomically(path, Text());
}

std::size_t CKeyFile::FindSection(const std::string& section) const {
    const std::string header = "[" + section + "]";
    for (std::size_t i = 0; i < m_lines.size(); ++i)
        if (Trim(m_lines[i]) == header) return i;
    return std::string::npos;
}

std::size_t CKeyFile::FindKey(std::size_t sectionLine, const std::string& key) const {
    for (std::size_t i = sectionLine + 1; i < m_lines.size() && !IsSectionLine(m_lines[i]); ++i) {
        const auto eq = m_lines[i].find('=');
        if (eq != std::string::npos && Trim(m_lines[i].substr(0, eq)) == key) return i;
    }
    return std::string::npos;
}

std::optional<std::string> CKeyFile::Get(const std::string& section, const std::string& key) const {
    const std::size_t s = FindSection(section);
    if (s == std::string::npos) return std::nullopt;
    const std::size_t k = FindKey(s, key);
    if (k == std::string::npos) return std::nullopt;
    return Trim(m_lines[k].substr(m_lines[k].find('=') + 1));
}

void CKeyFile::Set(const std::string& section, const std::string& key, const std::string& value) {
    std::size_t s = FindSection(section);
    if (s == std::string::npos) {
        if (!m_lines.empty() && !Trim(m_lines.back()).empty()) m_lines.emplace_back();
        m_lines.push_back("[" + section + "]");
        m_lines.push_back(key + "=" + value);
        return;
    }
    const std::size_t k = FindKey(s, key);
    if (k != std::string::npos) {
        m_lines[k] = key + "=" + value;
        return;
    }
    // After the section's last key, before any blank lines that close it.
    std::size_t insert = s + 1;
    for (std::size_t i = s + 1; i < m_lines.size() && !IsSectionLine(m_lines[i]); ++i)
        if (!Trim(m_lines[i]).empty()) insert = i + 1;
    m_lines.insert(m_lines.begin() + static_cast<std::ptrdiff_t>(insert), key + "=" + value);
}

void CKeyFile::Remove(const std::string& section, const std::string& key) {
    const std::size_t s = FindSection(section);
    if (s == std::string::npos) return;
    const std::size_t k = FindKey(s, key);
    if (k != std::string::npos) m_lines.erase(m_lines.begin() + static_cast<std::ptrdiff_t>(k));
}

std::string FirstDesktopId(const std::string& list) {
    return Trim(list.substr(0, list.find(';')));
}

} // namespace ui
