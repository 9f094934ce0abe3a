// The advert settings in config.ini, section [ADVERTS]:
//   Url        the address of the advert file (http or https); empty, the
//              default, means the program never connects for adverts
//   BannerUrl  the banner page; empty, the default, means no banner
//   IntervalMs the pause before each download, 600000 (ten minutes) unless
//              set; never below 1000
// Window-free; read once when the frame is created.
#pragma once

#include <chrono>
#include <string>

namespace ui::adverts {

inline constexpr const char* kAdvertsSection = "ADVERTS";
inline constexpr std::chrono::milliseconds kDefaultInterval{600000};
inline constexpr std::chrono::milliseconds kMinimumInterval{1000};

struct SAdvertSettings {
    std::string url;
    std::string bannerUrl;
    std::chrono::milliseconds interval = kDefaultInterval;
};

SAdvertSettings ReadAdvertSettings(const std::string& configPath);

} // namespace ui::adverts
