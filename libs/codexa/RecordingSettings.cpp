#include "libs/codexa/RecordingSettings.h"

#include "libs/codexa/CoderFormats.h"
#include "platform/Paths.h"
#include "platform/Profile.h"

#include <cstdio>
#include <cstdlib>

namespace codexa {

namespace {

std::string g_settingsFile;

const std::string Section() {
    return std::string(kSvRecordingOwner) + ": params";
}

bool Read(const std::string& ini, const char* key, int& out) {
    char buffer[64] = {};
    platform::GetPrivateProfileString(Section().c_str(), key, "", buffer, sizeof buffer,
                                      ini.c_str());
    if (!buffer[0]) return false;
    char* end = nullptr;
    const long v = std::strtol(buffer, &end, 0);
    if (end == buffer || *end != '\0' || v < 0 || v > 0x7FFFFFFF) return false;
    out = static_cast<int>(v);
    return true;
}

} // namespace

void SetSettingsFile(const std::string& path) {
    g_settingsFile = path;
}

std::string SettingsFile() {
    return g_settingsFile.empty() ? platform::JoinPath(platform::SettingsDirectory(), "config.ini")
                                  : g_settingsFile;
}

SvRecordingFormat LoadRecordingFormat(const std::string& iniPath) {
    SvRecordingFormat f;
    const SvRecordingFormat fallback;
    Read(iniPath, kSvRecordingFormatKey, f.format);
    Read(iniPath, kSvRecordingSampleRateKey, f.sampleRate);
    Read(iniPath, kSvRecordingChannelsKey, f.channels);
    if (!IsWritable(f.format, f.sampleRate, f.channels)) return fallback;
    if (HasQuality(f.format)) {
        f.quality = 50;
        int q = 0;
        if (Read(iniPath, kSvRecordingQualityKey, q)) f.quality = q > 100 ? 100 : q;
    }
    f.extension = ExtensionFor(f.format);
    return f;
}

bool SaveRecordingFormat(const std::string& iniPath, const SvRecordingFormat& format) {
    if (!IsWritable(format.format, format.sampleRate, format.channels)) return false;
    const std::string section = Section();
    const char* file = iniPath.c_str();
    char hex[16];
    std::snprintf(hex, sizeof hex, "0x%06X", static_cast<unsigned>(format.format));
    const std::string rate = std::to_string(format.sampleRate);
    const std::string channels = std::to_string(format.channels);
    const std::string extension = ExtensionFor(format.format);
    bool ok =
        platform::WritePrivateProfileString(section.c_str(), kSvRecordingFormatKey, hex, file) != 0;
    ok = ok && platform::WritePrivateProfileString(section.c_str(), kSvRecordingSampleRateKey,
                                                   rate.c_str(), file) != 0;
    ok = ok && platform::WritePrivateProfileString(section.c_str(), kSvRecordingChannelsKey,
                                                   channels.c_str(), file) != 0;
    ok = ok && platform::WritePrivateProfileString(section.c_str(), kSvRecordingExtensionKey,
                                                   extension.c_str(), file) != 0;
    if (ok && HasQuality(format.format)) {
        const int q = format.quality < 0 ? 50 : format.quality > 100 ? 100 : format.quality;
        ok = platform::WritePrivateProfileString(section.c_str(), kSvRecordingQualityKey,
                                                 std::to_string(q).c_str(), file) != 0;
    } else if (ok) {
        ok = platform::WritePrivateProfileString(section.c_str(), kSvRecordingQualityKey, nullptr,
                                                 file) != 0;
    }
    return ok;
}

} // namespace codexa
