#include "shell/Settings.h"

#include "platform/AtomicFile.h"
#include "platform/Paths.h"
#include "platform/Profile.h"

#include <cstdio>
#include <cstring>
#include <strings.h>

namespace shell {

CSettings::CSettings(std::string path) {
    SetPath(std::move(path));
}

void CSettings::SetPath(std::string path) {
    m_path = std::move(path);
    platform::GuardSettingsFile(m_path);
}

std::string CSettings::DefaultPath() {
    return platform::SettingsDirectory() + "config.ini";
}

bool CSettings::IsOwner(const char* owner) const {
    if (!owner) return false;
    if (::strcasecmp(owner, kHostOwner) == 0) return true;
    return m_isModule && m_isModule(owner);
}

bool CSettings::GetParam(const char* owner, const char* key, char* buffer, unsigned size) const {
    if (!IsOwner(owner) || !key || !buffer || size == 0) return false;
    platform::GetPrivateProfileString(ParamSection(owner).c_str(), key, "", buffer, size,
                                      m_path.c_str());
    return buffer[0] != '\0';
}

bool CSettings::SetParam(const char* owner, const char* key, const char* value) const {
    if (!IsOwner(owner) || !key) return false;
    return platform::WritePrivateProfileString(ParamSection(owner).c_str(), key, value,
                                               m_path.c_str()) != 0;
}

bool CSettings::DeleteParam(const char* owner, const char* key) const {
    if (!IsOwner(owner) || !key) return false;
    std::string text;
    if (!platform::ReadWholeFile(m_path, text)) return false;

    // Work on lines as they stand, keeping each line's own ending.
    std::vector<std::string> lines;
    for (std::size_t pos = 0; pos < text.size();) {
        std::size_t nl = text.find('\n', pos);
        std::size_t end = nl == std::string::npos ? text.size() : nl + 1;
        lines.push_back(text.substr(pos, end - pos));
        pos = end;
    }
    auto bare = [](const std::string& line) {
        std::size_t n = line.size();
        while (n > 0 && (line[n - 1] == '\n' || line[n - 1] == '\r'))
            --n;
        return line.substr(0, n);
    };

    const std::string header = "[" + ParamSection(owner) + "]";
    std::size_t i = 0;
    while (i < lines.size() && bare(lines[i]) != header)
        ++i;
    if (i == lines.size()) return false;

    const std::string prefix = std::string(key) + "=";
    for (++i; i < lines.size() && !lines[i].starts_with('['); ++i) {
        if (lines[i].starts_with(prefix)) {
            lines.erase(lines.begin() + static_cast<std::ptrdiff_t>(i));
            break;
        }
    }
    std::string out;
    for (const auto& l : lines)
        out += l;
    platform::WriteFileAtomically(m_path, out);
    return true;
}

std::string CSettings::GetString(const char* section, const char* key, const char* def) const {
    // Profile values are single lines; 4096 characters is far beyond any we write.
    std::string buf(4096, '\0');
    auto n = platform::GetPrivateProfileString(
        section, key, def, buf.data(), static_cast<platform::DWORD>(buf.size()), m_path.c_str());
    buf.resize(n);
    return buf;
}

int CSettings::GetInt(const char* section, const char* key, int def) const {
    return static_cast<int>(platform::GetPrivateProfileInt(section, key, def, m_path.c_str()));
}

bool CSettings::SetString(const char* section, const char* key, const char* value) const {
    return platform::WritePrivateProfileString(section, key, value, m_path.c_str()) != 0;
}

bool CSettings::GetSwitch(const char* section, const char* key, bool def) const {
    std::string v = GetString(section, key, def ? "On" : "Off");
    return ::strcasecmp(v.c_str(), "On") == 0;
}

bool CSettings::SetSwitch(const char* section, const char* key, bool on) const {
    return SetString(section, key, on ? "On" : "Off");
}

void CSettings::WriteModulesOrder(const std::vector<std::string>& displayNames) const {
    char key[32];
    char value[260];
    for (int n = 1;; ++n) {
        std::snprintf(key, sizeof key, "_%d", n);
        platform::GetPrivateProfileString("MODULES_ORDER", key, "none__none", value, sizeof value,
                                          m_path.c_str());
        if (std::strcmp(value, "none__none") == 0) break;
        platform::WritePrivateProfileString("MODULES_ORDER", key, "", m_path.c_str());
    }
    for (std::size_t i = 0; i < displayNames.size(); ++i) {
        std::snprintf(key, sizeof key, "_%zu", i + 1);
        platform::WritePrivateProfileString("MODULES_ORDER", key, displayNames[i].c_str(),
                                            m_path.c_str());
    }
}

} // namespace shell
