// The skins of the host: the list found at start-up, the current one, and
// applying a skin to the frame (panels and controls rebuilt from it). Also
// the frame's ISkin implementation handed to modules.
//
// Who calls what: CMainFrame owns one CSkinManager (after its CFramePanels
// and CFrameControls). Start-up (module-loading step) calls FindSkins, then
// "Loading Skin..." calls ApplySkin and on false ends with the message
// StartupFailureMessage(); the skin menu is built from Skins() with
// command kSkinCommandFirst + index (all skins, not only sixteen), its
// commands go to OnSkinCommand and its update handler asks IsCurrentCommand;
// the frame's minimum-size handling reads MinWidth / MinHeight; close calls
// SaveCurrentSkin. Window thread only.
#pragma once

#include <string>
#include <vector>

#include "ui/ISkin.h"
#include "ui/SkinList.h"

class CXmlNode;

namespace shell {
class CSettings;
}

namespace ui {

class CFrameControls;
class IFrameSite;

class CSkinManager : public ISkin {
public:
    CSkinManager(IFrameSite* site, CFrameControls* controls, const shell::CSettings* settings);
    virtual ~CSkinManager();
    CSkinManager(const CSkinManager&) = delete;
    CSkinManager& operator=(const CSkinManager&) = delete;

    // Scans <program directory>/Skins, chooses the skin config.ini names
    // (the first one otherwise) and makes it current in Lacquer. False when
    // no usable skin exists: the frame then shows NoSkinMessage() and ends
    // with exit code 1 instead of crashing on an empty list.
    bool FindSkins();
    // The same over a given folder (tests).
    bool FindSkins(const std::string& skinsFolder);
    std::string NoSkinMessage() const;

    // Takes the current skin from Lacquer and rebuilds the frame from its
    // MAINFRAME element; false when there is no skin tree or no MAINFRAME.
    bool ApplySkin();
    // "Can't load skin " + the current skin's path (start-up failure).
    std::string StartupFailureMessage() const;

    // Switches to skin index; a skin that fails to apply brings the previous
    // one back and the user is told "Can't load skin: " + its path. When the
    // previous one fails too, IFrameSite::FatalSkinError ends the program.
    // True when the new skin is current.
    bool ChangeSkin(int index);

    // Skin menu commands (366 + index): equalizer state saved, then
    // ChangeSkin. False when the command is not a skin command.
    bool OnSkinCommand(int command);
    bool IsCurrentCommand(int command) const;

    // config.ini CURRENTSKIN / Name := the current skin's name.
    void SaveCurrentSkin() const;

    const std::vector<_sSkin>& Skins() const { return m_skins; }
    int CurrentIndex() const { return m_current; }
    const _sSkin* Current() const;
    int MinWidth() const { return m_minWidth; }
    int MinHeight() const { return m_minHeight; }
    const CXmlNode* MainFrameElement() const { return m_mainFrame; }

    // ISkin
    std::uint32_t GetColor(int index) override;
    bool SkinWindow(QWidget* window, bool flag) override;
    QImage* GetModuleToolbarBitmap(const char* moduleName, const char* key,
                                   unsigned frame) override;

private:
    IFrameSite* m_site;
    CFrameControls* m_controls;
    const shell::CSettings* m_settings;
    std::string m_skinsFolder;
    std::vector<_sSkin> m_skins;
    int m_current = -1;
    int m_minWidth = 0;
    int m_minHeight = 0;
    CXmlNode* m_mainFrame = nullptr;
};

// What SkinWindow attaches to a widget of the given kind: the Veneer class
// name ("CSCStatic", "CSCScaleDialog", ...), or empty for none. Exposed for
// tests.
const char* SkinClassFor(const QWidget* widget);

} // namespace ui
