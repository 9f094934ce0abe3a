#include "ui/registration/DesktopAssociation.h"

#include "platform/AsciiCase.h"
#include "platform/AtomicFile.h"
#include "platform/Paths.h"
#include "platform/Registry.h"
#include "ui/registration/MimeAppsList.h"

#include <cstdlib>
#include <map>
#include <optional>
#include <set>
#include <sstream>
#include <unistd.h>

namespace ui {

namespace {

constexpr const char* kDefaultsSection = "Default Applications";
constexpr const char* kBackupKey = "Software\\Sonvara\\Desktop Defaults";
constexpr const char* kOwnMarker = "X-Sonvara-Registration";

std::string EnvOr(const char* name, const std::string& fallback) {
    const char* value = std::getenv(name);
    return value && *value ? std::string(value) : fallback;
}

// Where no MIME-info database is installed: the types it gives today for
// the formats people play most.
const std::multimap<std::string, std::string>& FallbackTypes() {
    static const std::multimap<std::string, std::string> table = {
        {".wav", "audio/x-wav"},        {".flac", "audio/flac"}, {".ogg", "audio/ogg"},
        {".ogg", "audio/x-vorbis+ogg"}, {".oga", "audio/ogg"},   {".opus", "audio/ogg"},
        {".opus", "audio/x-opus+ogg"},  {".mp3", "audio/mpeg"},  {".aiff", "audio/x-aiff"},
        {".aif", "audio/x-aiff"},       {".au", "audio/basic"},  {".snd", "audio/basic"},
        {".caf", "audio/x-caf"},        {".w64", "audio/x-wav"}, {".voc", "audio/x-voc"},
    };
    return table;
}

// extension (lower case, with dot) -> audio MIME types, from every globs2
// file of the data folders (the user's first).
std::multimap<std::string, std::string> ReadGlobs(const CDesktopAssociation::Folders& f) {
    std::multimap<std::string, std::string> globs;
    std::vector<std::string> dirs{f.dataHome};
    dirs.insert(dirs.end(), f.dataDirs.begin(), f.dataDirs.end());
    for (const auto& dir : dirs) {
        std::string text;
        if (dir.empty() || !platform::ReadWholeFile(platform::JoinPath(dir, "mime/globs2"), text))
            continue;
        std::istringstream in(text);
        std::string line;
        while (std::getline(in, line)) {
            if (line.empty() || line[0] == '#') continue;
            // weight:type:glob[:flags]
            const auto a = line.find(':');
            const auto b = a == std::string::npos ? a : line.find(':', a + 1);
            if (b == std::string::npos) continue;
            const std::string type = line.substr(a + 1, b - a - 1);
            std::string glob = line.substr(b + 1);
            glob = glob.substr(0, glob.find(':'));
            if (type.rfind("audio/", 0) != 0 || glob.size() < 3 || glob.rfind("*.", 0) != 0 ||
                glob.find_first_of("*?[", 1) != std::string::npos)
                continue;
            globs.emplace(platform::LowerAscii(glob.substr(1)), type);
        }
    }
    return globs;
}

std::optional<std::string> ReadBackup(HKEY key, const std::string& type, bool* hadNone) {
    using namespace platform;
    DWORD valueType = REG_NONE;
    DWORD size = 0;
    if (RegQueryValue(key, type.c_str(), &valueType, nullptr, &size) != ERROR_SUCCESS)
        return std::nullopt;
    *hadNone = valueType != REG_SZ;
    if (*hadNone) return std::string();
    std::string buffer(size, '\0');
    if (RegQueryValue(key, type.c_str(), &valueType, buffer.data(), &size) != ERROR_SUCCESS)
        return std::nullopt;
    buffer.resize(size > 0 ? size - 1 : 0);
    return buffer;
}

// The value of "Key=" in a desktop entry's main group, as written.
std::optional<std::string> DesktopValue(const std::string& path, const std::string& key) {
    CKeyFile file;
    if (!file.Load(path)) return std::nullopt;
    return file.Get("Desktop Entry", key);
}

} // namespace

CDesktopAssociation::Folders CDesktopAssociation::FromEnvironment() {
    const std::string home = EnvOr("HOME", "/");
    Folders f;
    f.dataHome = EnvOr("XDG_DATA_HOME", platform::JoinPath(home, ".local/share"));
    f.configHome = EnvOr("XDG_CONFIG_HOME", platform::JoinPath(home, ".config"));
    std::string dirs = EnvOr("XDG_DATA_DIRS", "/usr/local/share:/usr/share");
    std::size_t start = 0;
    while (start <= dirs.size()) {
        const std::size_t end = std::min(dirs.find(':', start), dirs.size());
        if (end > start) f.dataDirs.push_back(dirs.substr(start, end - start));
        start = end + 1;
    }
    return f;
}

std::string CDesktopAssociation::DesktopFilePath() const {
    return platform::JoinPath(platform::JoinPath(m_folders.dataHome, "applications"), kDesktopId);
}

std::string CDesktopAssociation::MimeAppsPath() const {
    return platform::JoinPath(m_folders.configHome, "mimeapps.list");
}

std::vector<std::string>
CDesktopAssociation::MimeTypesFor(const std::vector<std::string>& extensions) const {
    auto globs = ReadGlobs(m_folders);
    if (globs.empty()) globs = FallbackTypes();
    std::vector<std::string> types;
    std::set<std::string> seen;
    for (const auto& extension : extensions) {
        const auto range = globs.equal_range(platform::LowerAscii(extension));
        for (auto it = range.first; it != range.second; ++it)
            if (seen.insert(it->second).second) types.push_back(it->second);
    }
    return types;
}

std::string QuoteExecArgument(const std::string& argument) {
    std::string quoted = "\"";
    for (char c : argument) {
        if (c == '"' || c == '`' || c == '$' || c == '\\') quoted += '\\';
        quoted += c;
    }
    quoted += '"';
    // The Exec value is also a string value, whose own escape is "\\".
    std::string escaped;
    for (char c : quoted) {
        if (c == '\\') escaped += '\\';
        escaped += c;
    }
    return escaped;
}

bool CDesktopAssociation::Register(const std::string& programPath,
                                   const std::vector<std::string>& extensions) const {
    const std::vector<std::string> types = MimeTypesFor(extensions);
    std::string mimeList;
    for (const auto& t : types)
        mimeList += t + ";";

    std::string entry = "[Desktop Entry]\n"
                        "Type=Application\n"
                        "Name=Sonvara\n"
                        "GenericName=Music Player\n"
                        "Comment=Play music, record and morph voices\n"
                        "Exec=" +
                        QuoteExecArgument(programPath) +
                        " %F\n"
                        "TryExec=" +
                        programPath +
                        "\n"
                        "Icon=sonvara\n"
                        "Terminal=false\n"
                        "Categories=AudioVideo;Audio;Player;\n"
                        "MimeType=" +
                        mimeList + "\n" + kOwnMarker + "=true\n";
    const std::string applications = platform::JoinPath(m_folders.dataHome, "applications");
    if (!platform::MakeDirectories(applications) ||
        !platform::WriteFileAtomically(DesktopFilePath(), entry))
        return false;

    CKeyFile mimeApps;
    if (!platform::MakeDirectories(m_folders.configHome) || !mimeApps.Load(MimeAppsPath()))
        return false;
    HKEY backup = nullptr;
    if (platform::RegCreateKey(HKEY_CURRENT_USER, kBackupKey, &backup) != platform::ERROR_SUCCESS)
        return false;
    for (const auto& type : types) {
        const auto current = mimeApps.Get(kDefaultsSection, type);
        // A second registration keeps the owner from before the first.
        if (!current || FirstDesktopId(*current) != kDesktopId) {
            if (current)
                platform::RegSetValue(backup, type.c_str(), platform::REG_SZ, current->c_str(),
                                      static_cast<platform::DWORD>(current->size() + 1));
            else
                platform::RegSetValue(backup, type.c_str(), platform::REG_NONE, nullptr, 0);
        }
        mimeApps.Set(kDefaultsSection, type, std::string(kDesktopId) + ";");
    }
    platform::RegCloseKey(backup);
    return mimeApps.Save(MimeAppsPath());
}

void CDesktopAssociation::Unregister() const {
    CKeyFile mimeApps;
    const bool haveList = mimeApps.Load(MimeAppsPath());
    HKEY backup = nullptr;
    if (haveList &&
        platform::RegOpenKey(HKEY_CURRENT_USER, kBackupKey, &backup) == platform::ERROR_SUCCESS) {
        // Every type with a kept owner; the registry lists values only by
        // name lookup, so the types come from the entry being removed plus
        // the defaults that still name this program.
        std::set<std::string> types;
        if (auto listed = DesktopValue(DesktopFilePath(), "MimeType")) {
            std::size_t start = 0;
            while (start < listed->size()) {
                const std::size_t end = std::min(listed->find(';', start), listed->size());
                if (end > start) types.insert(listed->substr(start, end - start));
                start = end + 1;
            }
        }
        for (const auto& type : types) {
            bool hadNone = false;
            const auto kept = ReadBackup(backup, type, &hadNone);
            const auto current = mimeApps.Get(kDefaultsSection, type);
            // A type the user has since given to another program keeps it.
            if (current && FirstDesktopId(*current) == kDesktopId) {
                if (!kept || hadNone)
                    mimeApps.Remove(kDefaultsSection, type);
                else
                    mimeApps.Set(kDefaultsSection, type, *kept);
            }
            platform::RegDeleteValue(backup, type.c_str());
        }
        platform::RegCloseKey(backup);
        mimeApps.Save(MimeAppsPath());
    }
    // Only an entry this program wrote is removed.
    if (DesktopValue(DesktopFilePath(), kOwnMarker).value_or("") == "true")
        ::unlink(DesktopFilePath().c_str());
}

bool CDesktopAssociation::IsDefault(const std::string& programPath,
                                    const std::vector<std::string>& extensions) const {
    if (DesktopValue(DesktopFilePath(), "TryExec").value_or("") != programPath) return false;
    CKeyFile mimeApps;
    if (!mimeApps.Load(MimeAppsPath())) return false;
    for (const auto& type : MimeTypesFor(extensions)) {
        const auto current = mimeApps.Get(kDefaultsSection, type);
        if (!current || FirstDesktopId(*current) != kDesktopId) return false;
    }
    return true;
}

} // namespace ui
