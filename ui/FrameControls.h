// The main frame's skinned controls: the control table, the controls created
// from the skin's "Controls" element, their placement in the panels, the
// look-ups the rest of the host uses, command remapping and slider dispatch.
//
// Who calls what: CMainFrame owns one CFrameControls (constructed with the
// frame's IFrameSite and CFramePanels). At creation it calls LoadTexts; the
// skin manager's ApplySkin calls RebuildFrameControls; the frame's start-up
// calls ShowSwitches / ShowVolumeBalance after it restored the player's flags
// (ReadPlayerSwitches), its close calls WritePlayerSwitches with the
// player's flags. Commands reach the frame through IFrameSite::OnFrameCommand
// (already mapped); slider moves go to IFrameSite::OnPlayerSlider and
// ApplyEqualizer through DispatchSlider. Window thread only.
#pragma once

#include <QObject>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "ui/AutoPanel.h"
#include "ui/ControlTable.h"
#include "ui/SkinList.h"

class CXmlNode;

namespace ui {

class IFrameSite;

// A module button row (kind 2), owned by the frame's control set.
struct SModuleButtonRow {
    int id = -1;
    std::string tooltip;
    std::string statusText;
    veneer::CSkinBase* control = nullptr; // owned; destroyed at the next rebuild
};

class CFrameControls : public QObject {
    Q_OBJECT
public:
    CFrameControls(IFrameSite* site, CFramePanels* panels);
    ~CFrameControls() override;

    CControlTable& Table() { return m_table; }
    const CControlTable& Table() const { return m_table; }

    // Tooltips and status texts of the rows from the string table.
    template <class Lookup> void LoadTexts(Lookup&& lookup) { m_table.LoadTexts(lookup); }

    // Rebuilds panels and controls from the skin's MAINFRAME element; the
    // minimum client size is computed from the panels when it is 0. True.
    bool RebuildFrameControls(const CXmlNode& mainFrame, int& minWidth, int& minHeight);

    // Gives the control to the panel the element's "Owner" names, at the
    // element's place. False (control left where it is) with no such owner.
    bool PlaceControl(veneer::CSkinBase* control, const CXmlNode& element);

    // Dresses a module button from a "ModuleButton" element: the check
    // button strip of its "Source", the place it gives moved by (dx, dy), and
    // text as tooltip and status text. False, and the button hidden, when
    // the element names no valid owner panel.
    bool DressModuleButton(veneer::CSkinBase* button, const CXmlNode& element,
                           const std::string& text, int dx = 0, int dy = 0);

    // Look-ups.
    std::vector<veneer::CSkinBase*> FindControls(int rowId) const {
        return m_table.Controls(rowId);
    }
    veneer::CSkinBase* FindControlById(int instanceId) const;
    int FindRowIdByInstanceId(int instanceId) const {
        return m_table.FindRowIdByInstanceId(instanceId);
    }
    int MapCommand(int windowId) const { return m_table.MapCommand(windowId); }

    // The sliders of a row as sliders (position, volume, balance lists).
    std::vector<veneer::CSCSlider*> Sliders(int rowId) const;

    // Routes a slider move: bands to ApplyEqualizer, position, volume and
    // balance to OnPlayerSlider; anything else is dropped.
    void DispatchSlider(int windowId, int code, int position);

    // Sets the check of every control of the row (first only: just the head).
    void SetChecked(int rowId, bool checked, bool firstOnly = false);
    // Tooltip of every control of the row.
    void SetTooltips(int rowId, const std::string& tooltip);
    // Switch buttons follow the player's flags; volume and balance sliders
    // move to the player's values.
    void ShowSwitches(const SPlayerSwitches& switches);
    void ShowVolumeBalance(int volume, int balance);
    // PLAYER_SHOW buttons: checked exactly when the player panel is hidden.
    void ShowPlayerPanelChecks(bool playerShown);
    // The frame's handler of command 14060 (a PLAYER_SHOW button was
    // pressed): the panel follows the button's check state, the frame is laid
    // out again. Returns the new shown state.
    bool OnPlayerShowPressed();
    // The View menu's player-bar command 227: flips the panel, sets the
    // PLAYER_SHOW checks and lays out again. Returns the new shown state.
    bool TogglePlayerPanel();

    // Module buttons (the module host fills these in its
    // IFrameSite::RebuildModuleButtons). The control must be a child of the
    // frame; ownership passes here.
    void AddModuleButton(SModuleButtonRow row);
    const std::vector<SModuleButtonRow>& ModuleButtons() const { return m_moduleButtons; }

    int EqualizerGroup() const { return m_eqGroup; }
    std::mutex& ControlLock() { return m_lock; }

    // Destroys every control (frame destruction).
    void DestroyAll();

private:
    void CreateControl(SControlRow& row, const CXmlNode& element);
    veneer::CSkinBase* MakeControl(int kind, const SControlRow& row, const CXmlNode& element,
                                   int windowId);
    std::int32_t OpenSkinImage(const CXmlNode& element, const char* attribute);
    void HookUp(veneer::CSkinBase* control, int windowId);
    bool PlaceAt(veneer::CSkinBase* control, const CXmlNode& element, int dx, int dy);

    IFrameSite* m_site;
    CFramePanels* m_panels;
    CControlTable m_table;
    std::vector<SModuleButtonRow> m_moduleButtons;
    std::vector<std::int32_t> m_imageHandles;
    int m_eqGroup = -1;
    std::mutex m_lock;
};

} // namespace ui
