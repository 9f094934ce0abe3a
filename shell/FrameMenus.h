// The frame's menus and the host's menu commands: the effect submenus (from
// the effect manager, once at creation), the composed frame menu (at every
// activation change), the skinned pop-ups the skin's menu buttons open, the
// commands of those menus the host handles itself and their update handlers
// (check, radio and enabled states, asked each time a pop-up opens).
//
// The composition is modules/FrameMenu's plain data; this class gathers its
// sources from the frame and shows the result. Window thread only.
#pragma once

#include "libs/veneer/Controls.h"
#include "modules/FrameMenu.h"

#include <QPoint>
#include <string>

namespace shell {

class CMainFrame;

class CFrameMenus {
public:
    explicit CFrameMenus(CMainFrame& frame);

    // The two effect submenus from the effect manager's table.
    void BuildEffectMenus();
    // The frame menu from the base menu, the modules' menus, the effect
    // submenus and the list pop-ups (skins, languages, "Go to").
    void RebuildFrameMenu();
    const SvMenuTree& FrameMenu() const { return m_frameMenu; }
    const SvMenuTree& VoiceMorphingMenu() const { return m_voiceMorphing; }
    const SvMenuTree& SpecialEffectsMenu() const { return m_specialEffects; }

    // Commands 15000 to 15060: pop-up (id - 15000) / 10 of the frame menu
    // under the skin's button of that id (at the cursor when there is none).
    // The chosen command goes to the frame; it is returned (0: none).
    unsigned OpenFrameMenu(unsigned commandId);
    // Any tree as a skinned pop-up at a global position; the chosen command
    // goes to the frame and is returned (0: none).
    unsigned ShowPopup(const SvMenuTree& tree, const QPoint& globalPosition);

    // The host's own commands of the menus (help, web pages, About, the
    // player bar, the audio manager's check boxes). True when handled.
    bool OnCommand(unsigned id);
    // The update handler of every menu command.
    void UpdateCommand(unsigned id, veneer::CSCMenu::SCommandUI& ui);

private:
    void OpenWebPage(const char* key);
    void ShowAbout();
    // The check box (1003 or 1004) of the active module's audio manager
    // window, or null.
    class QAbstractButton* AudioManagerCheckBox(unsigned command) const;

    CMainFrame& m_frame;
    modules::SMenuTexts m_texts;
    SvMenuTree m_base;
    SvMenuTree m_frameMenu;
    SvMenuTree m_voiceMorphing;
    SvMenuTree m_specialEffects;
};

} // namespace shell
