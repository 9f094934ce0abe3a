#include "audio/PresetSections.h"

#include "platform/Profile.h"

std::vector<std::string> PresetSections(const std::string& file) {
    constexpr platform::DWORD kProbeSize = 260;
    std::vector<std::string> sections;
    for (unsigned n = 1;; ++n) {
        std::string section = std::to_string(n);
        char probe[kProbeSize];
        platform::GetPrivateProfileString(section.c_str(), "Name", "", probe, kProbeSize,
                                          file.c_str());
        if (probe[0] == '\0') break;
        sections.push_back(std::move(section));
    }
    return sections;
}
