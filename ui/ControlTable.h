// The table of every control kind a skin may place on the main frame: one row
// per control name with its command id, kind and texts, and the list of
// controls created for it from the current skin (instances).
//
// Instance ids: a new control goes to the head of its row's list and gets
// the id row id + (number already in the list) + 1, so two PLAYER_PLAY
// buttons get 33011 and 33012 and both command 33010 (MapCommand).
//
// Window-free: a control is an opaque CSkinBase pointer here; the table does
// not own it (ui::CFrameControls creates and destroys the widgets).
#pragma once

#include <string>
#include <vector>

namespace veneer {
class CSkinBase;
}

namespace ui {

enum EControlKind : int {
    kKindEnd = 0,
    kKindPushButton = 1,
    kKindCheckButton = 2,
    kKindText = 4,
    kKindScrollText = 5,
    kKindTvScreen = 6,
    kKindSurroundView = 7,
    kKindSlider = 20, // orientation from the skin's "Type"
    kKindHorzSlider = 21,
    kKindVertSlider = 22,
    kKindRoundSlider = 23,
};

// Command ids of rows the host acts on by name.
enum EControlId : int {
    kIdPlayerGotoPrev = 33000,
    kIdPlayerBackward = 33005,
    kIdPlayerPlay = 33010,
    kIdPlayerPause = 33015,
    kIdPlayerStop = 33020,
    kIdPlayerForward = 33025,
    kIdPlayerGotoNext = 33030,
    kIdPlayerShuffle = 33035,
    kIdPlayerRepeat = 33040,
    kIdPlayerRecord = 33090,
    kIdPlayerShow = 14060,
    kIdAdvertString = 14110,
    kIdPlayerPosition = 14010,
    kIdPlayerVolume = 14020,
    kIdPlayerBalance = 14030,
    kIdEquaSlider1 = 16000, // bands 16000 + 10 * b, b = 0 ... 9
    kIdSurrShow = 16135,
    kIdSurrView = 16125,
    kIdEquaTurn = 14040,
    kIdEquaPreset = 14050,
    kIdStatusBar = 14120,
    kIdTvScreen = 14130,
    kIdMenuFile = 15000, // menus 15000 ... 15060
    kIdFrameMini = 34070,
    kIdFrameZoom = 34080,
    kIdFrameClose = 34090,
};

// The player controls whose enabled state follows the player, in this order.
extern const int kPlayerControlIds[12];

// Text fields of a row hold at most this many characters.
constexpr int kMaxRowText = 29;

struct SInstance {
    int id = 0;
    veneer::CSkinBase* control = nullptr;
};

struct SControlRow {
    int kind = kKindEnd;
    int id = 0;
    const char* name = nullptr;
    int stringId = 0; // 0: no text
    std::string tooltip;
    std::string statusText;
    void* savedState = nullptr;       // a Veneer state block across a rebuild
    std::vector<SInstance> instances; // head (most recent) first
};

class CControlTable {
public:
    // The 41 rows in their fixed order.
    CControlTable();

    std::vector<SControlRow>& Rows() { return m_rows; }
    const std::vector<SControlRow>& Rows() const { return m_rows; }

    // The row named so (case ignored), or null.
    SControlRow* FindRowByName(const std::string& name);
    SControlRow* FindRow(int rowId);
    const SControlRow* FindRow(int rowId) const;

    // Fills both texts of each row from the string look-up (string ids 275
    // onward), cut to kMaxRowText characters on a UTF-8 character boundary.
    template <class Lookup> void LoadTexts(Lookup&& lookup) {
        for (SControlRow& row : m_rows) {
            if (row.stringId == 0) continue;
            row.tooltip = CutText(lookup(row.stringId));
            row.statusText = row.tooltip;
        }
    }
    static std::string CutText(const std::string& text);

    // Puts a new instance at the head of the row's list; returns its id.
    int AddInstance(SControlRow& row, veneer::CSkinBase* control);

    // The control of the first instance with this id in any row, or null.
    veneer::CSkinBase* FindControlById(int instanceId) const;
    // The row id of the first row holding an instance with this id, or 0.
    int FindRowIdByInstanceId(int instanceId) const;
    // The command a control's window id stands for: its row id when it is an
    // instance id of the table, else the id unchanged.
    int MapCommand(int windowId) const {
        const int row = FindRowIdByInstanceId(windowId);
        return row != 0 ? row : windowId;
    }
    // Every control of the row, head first (empty for unknown ids).
    std::vector<veneer::CSkinBase*> Controls(int rowId) const;

private:
    std::vector<SControlRow> m_rows;
};

// The kind of control a "Controls" child element creates, from its row's
// kind and, for kind 20, the element's "Type" ("Vertical" 22, "Horizontal"
// 21, "Round" 23, exact case). 0 when the element creates nothing: a slider
// without "Type", or with any other value.
int ResolveKind(int rowKind, const char* typeAttribute /* null when absent */);

} // namespace ui
