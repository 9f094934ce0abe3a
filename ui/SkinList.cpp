#include "ui/SkinList.h"

#include <algorithm>
#include <filesystem>

#include "platform/AsciiCase.h"
#include "shell/Settings.h"
#include "xml/XmlNode.h"

namespace ui {

std::vector<_sSkin> FindSkinFiles(const std::string& skinsFolder) {
    namespace fs = std::filesystem;
    std::vector<fs::path> files;
    std::error_code ec;
    for (fs::directory_iterator it(skinsFolder, ec), end; !ec && it != end; it.increment(ec)) {
        std::error_code typeEc;
        if (!it->is_regular_file(typeEc)) continue;
        if (platform::EqualNoCase(it->path().extension().string(), ".xml"))
            files.push_back(it->path());
    }
    std::sort(files.begin(), files.end());

    std::vector<_sSkin> skins;
    for (const fs::path& file : files) {
        CXmlNode root;
        if (!root.LoadFromFile(file.string())) continue;
        if (!platform::EqualNoCase(root.GetName(), "SKIN")) continue;
        _sSkin skin;
        if (!root.GetAttribute("Caption", skin.name) || skin.name.empty()) continue;
        skin.path = file.string();
        root.GetAttribute("Width", skin.minWidth);
        root.GetAttribute("Height", skin.minHeight);
        skins.push_back(std::move(skin));
    }
    return skins;
}

int ChooseSkin(const std::vector<_sSkin>& skins, const std::string& storedName) {
    if (skins.empty()) return -1;
    for (std::size_t i = 0; i < skins.size(); ++i)
        if (platform::EqualNoCase(skins[i].name, storedName)) return static_cast<int>(i);
    return 0;
}

std::string ReadCurrentSkinName(const shell::CSettings& settings) {
    std::string name = settings.GetString("CURRENTSKIN", "Name", "");
    if (name.size() > 260) name.resize(260);
    return name;
}

bool WriteCurrentSkinName(const shell::CSettings& settings, const std::string& name) {
    return settings.SetString("CURRENTSKIN", "Name", name.c_str());
}

SPlayerSwitches ReadPlayerSwitches(const shell::CSettings& settings) {
    SPlayerSwitches s;
    s.shuffle = settings.GetSwitch("PLAYER", "Shuffle", false);
    s.repeat = settings.GetSwitch("PLAYER", "Repeat", false);
    s.equalizer = settings.GetSwitch("PLAYER", "EqualizerTurn", false);
    s.surround = settings.GetSwitch("PLAYER", "ZuzuvezizuTurn", false);
    return s;
}

void WritePlayerSwitches(const shell::CSettings& settings, const SPlayerSwitches& s) {
    settings.SetSwitch("PLAYER", "Shuffle", s.shuffle);
    settings.SetSwitch("PLAYER", "Repeat", s.repeat);
    settings.SetSwitch("PLAYER", "EqualizerTurn", s.equalizer);
    settings.SetSwitch("PLAYER", "ZuzuvezizuTurn", s.surround);
}

bool ReadPlayerPanelShown(const shell::CSettings& settings) {
    return settings.GetSwitch("FRAME OPTIONS", "PanelPlayer", true);
}

void WritePlayerPanelShown(const shell::CSettings& settings, bool shown) {
    settings.SetSwitch("FRAME OPTIONS", "PanelPlayer", shown);
}

} // namespace ui
