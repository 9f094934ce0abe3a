// The usable skin files of the Skins folder and the user's choice among them.
// Window-free.
#pragma once

#include <string>
#include <vector>

namespace shell {
class CSettings;
}

namespace ui {

// One usable skin file.
struct _sSkin {
    std::string name;  // the root's "Caption": menu text and config.ini value
    std::string path;  // full path of the file
    int minWidth = 0;  // the root's "Width", 0 when absent
    int minHeight = 0; // the root's "Height", 0 when absent
};

// Every "*.xml" file of skinsFolder (extension case ignored) whose root is a
// "SKIN" element (case ignored) with a non-empty "Caption", in file-name
// order so the menu does not depend on the file system's listing order.
// Files that cannot be read or parsed are passed over.
std::vector<_sSkin> FindSkinFiles(const std::string& skinsFolder);

// The index of the first skin whose name equals the one stored (case
// ignored), 0 when none does; -1 only for an empty list.
int ChooseSkin(const std::vector<_sSkin>& skins, const std::string& storedName);

// config.ini section CURRENTSKIN, key "Name".
std::string ReadCurrentSkinName(const shell::CSettings& settings);
bool WriteCurrentSkinName(const shell::CSettings& settings, const std::string& name);

// Skin menu commands: one per skin, 366 + index, for every skin the list
// holds (the menu is not cut at sixteen).
constexpr int kSkinCommandFirst = 366;
// The skin index a command stands for, or -1 when it is not a skin command of
// a list of skinCount skins.
inline int SkinIndexFromCommand(int command, int skinCount) {
    const int index = command - kSkinCommandFirst;
    return index >= 0 && index < skinCount ? index : -1;
}

// The player switches of config.ini section PLAYER ("On"/"Off").
struct SPlayerSwitches {
    bool shuffle = false;
    bool repeat = false;
    bool equalizer = false; // "EqualizerTurn"
    bool surround = false;  // "ZuzuvezizuTurn"
    bool operator==(const SPlayerSwitches&) const = default;
};
SPlayerSwitches ReadPlayerSwitches(const shell::CSettings& settings);
void WritePlayerSwitches(const shell::CSettings& settings, const SPlayerSwitches& switches);

// config.ini section "FRAME OPTIONS", key "PanelPlayer" (default "On").
bool ReadPlayerPanelShown(const shell::CSettings& settings);
void WritePlayerPanelShown(const shell::CSettings& settings, bool shown);

} // namespace ui
