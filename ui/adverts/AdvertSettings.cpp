#include "ui/adverts/AdvertSettings.h"

#include "platform/Profile.h"

#include <algorithm>
#include <cstdlib>

namespace ui::adverts {

namespace {

std::string ReadString(const char* key, const std::string& file) {
    char buffer[2048] = {};
    platform::GetPrivateProfileString(kAdvertsSection, key, "", buffer, sizeof buffer,
                                      file.c_str());
    return buffer;
}

} // namespace

SAdvertSettings ReadAdvertSettings(const std::string& configPath) {
    SAdvertSettings settings;
    settings.url = ReadString("Url", configPath);
    settings.bannerUrl = ReadString("BannerUrl", configPath);
    const std::string interval = ReadString("IntervalMs", configPath);
    if (!interval.empty()) {
        const long long ms = std::strtoll(interval.c_str(), nullptr, 10);
        settings.interval = std::max(kMinimumInterval, std::chrono::milliseconds(ms));
    }
    return settings;
}

} // namespace ui::adverts
