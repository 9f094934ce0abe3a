#include "platform/DamagedSettings.h"

#include "platform/TextEncoding.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>

namespace platform {

namespace {

std::atomic<SettingsLogWriter> g_logWriter{nullptr};

bool Exists(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

} // namespace

std::string SettingsDamage(std::string_view bytes, bool utf16Allowed) {
    if (bytes.empty()) return "the file is empty";
    if (utf16Allowed && (bytes.starts_with("\xFF\xFE") || bytes.starts_with("\xFE\xFF"))) return {};
    if (bytes.find('\0') != std::string_view::npos) return "the file holds NUL bytes";
    if (!IsValidUtf8(bytes)) return "the file is not UTF-8 text";
    return {};
}

std::string KeepDamagedFileAside(const std::string& file, const std::string& why,
                                 std::string* error) {
    std::string backup = file + ".bad";
    for (int n = 2; Exists(backup); ++n)
        backup = file + ".bad" + std::to_string(n);
    if (std::rename(file.c_str(), backup.c_str()) != 0) {
        const std::string reason =
            "cannot rename " + file + " to " + backup + ": " + std::strerror(errno);
        if (error) *error = reason;
        LogSettingsNote(file + " is damaged (" + why + ") and " + reason + "; it is left as it is");
        return {};
    }
    LogSettingsNote(file + " is damaged (" + why + "); defaults are used and it is kept as " +
                    backup);
    return backup;
}

void SetSettingsLogWriter(SettingsLogWriter writer) {
    g_logWriter = writer;
}

void LogSettingsNote(const std::string& line) {
    if (SettingsLogWriter writer = g_logWriter.load()) {
        writer(line);
        return;
    }
    std::fprintf(stderr, "sonvara: %s\n", line.c_str());
}

} // namespace platform
