// CSkinBase: the part every Veneer control shares. Each control class derives
// from a Qt widget class and from CSkinBase; the host reaches the widget
// through GetWnd().
//
// Who calls what: the host's control rebuild (ui::CFrameControls) calls
// UseCustomSkin, SetTooltip, Get/SetSkinStyleEx, Save/LoadControlState,
// FreeMemory and the group calls; the panels call GetSkinSize. Window thread
// only, like every widget.
#pragma once

#include <cstdint>
#include <string>

#include "libs/veneer/Resources.h"

class QWidget;

namespace veneer {

// Extended skin style bits (GetSkinStyleEx / SetSkinStyleEx).
enum ESkinStyleEx : std::uint32_t {
    // Sliders: a click beside the thumb moves it by a page.
    kStylePageClick = 0x0001,
    // Sliders: a click moves the thumb to the point clicked.
    kStyleJumpClick = 0x0002,
    // Sliders: the owner hears every move while the thumb is dragged.
    kStyleNotifyDrag = 0x0100,
    // Sliders: the owner hears the position only when the thumb is released
    // (a track position must not seek at every pixel of a drag).
    kStyleNotifyRelease = 0x0200,
    // Sliders: the fill runs from the centre of the track (balance, bands).
    kStyleCentred = 0x1000,
    // The default of a new slider.
    kStyleSliderDefault = kStylePageClick | kStyleNotifyDrag,
};

// Slider notification codes, as the owner receives them.
enum ESliderCode : int {
    kSbLineUp = 0,
    kSbLineDown = 1,
    kSbPageUp = 2,
    kSbPageDown = 3,
    kSbThumbPosition = 4,
    kSbThumbTrack = 5,
    kSbTop = 6,
    kSbBottom = 7,
    kSbEndScroll = 8,
};

// Opaque parameter block of Get/SetSkinParams (unused by the host).
struct _UNKNOWN_PARAMS_ {
    std::int32_t size;
};

struct SIZE {
    std::int32_t cx;
    std::int32_t cy;
};

class CSkinBase {
public:
    virtual ~CSkinBase();

    // Plain look: the control paints without skin images.
    virtual bool IsWindowsInterface() const { return !m_custom; }
    virtual bool UseWindowsInterface();
    virtual bool IsStandardSkin() const { return false; }
    virtual bool UseStandardSkin() { return false; }
    virtual bool IsCustomSkin() const { return m_custom; }
    // Takes the record the control's kind expects (told apart by size).
    // False, with the plain look kept, for a record of another kind.
    virtual bool UseCustomSkin(const _UNKNOWN_RESOURCES_* resources);
    virtual bool GetSkinParams(_UNKNOWN_PARAMS_* params) const;
    virtual bool SetSkinParams(const _UNKNOWN_PARAMS_* params);
    virtual std::uint32_t GetSkinStyleEx() const { return m_styleEx; }
    virtual bool SetSkinStyleEx(std::uint32_t style);
    virtual QWidget* GetWnd() = 0;
    // The tooltip shows over the control; the status text goes to the status
    // sink (veneer::SetStatusTextSink) while the pointer is over it.
    virtual bool SetTooltip(const std::string& tooltip, const std::string& statusText);
    // *state = a block owned by Veneer until FreeMemory.
    virtual bool SaveControlState(void** state) const;
    virtual bool LoadControlState(const void* state);
    virtual bool FreeMemory(void* state) const;
    // The natural size of the control's skin image (0 x 0 without one).
    virtual bool GetSkinSize(SIZE* size) const;

    const std::string& Tooltip() const { return m_tooltip; }
    const std::string& StatusText() const { return m_statusText; }

    // Groups: sliders of one group move together while the user drags one of
    // them with Ctrl held.
    static int GetUniqueGroupID();
    static bool RemoveGroup(int group);
    bool AddToGroup(int group);
    int Group() const { return m_group; }

protected:
    CSkinBase() = default;
    virtual bool CheckInterface(std::uint32_t flags) const;
    // Called after the resources or style changed: repaint.
    virtual void UpdateResources();
    // Panels and controls are used from the window thread only; these exist
    // for the interface's sake and guard nothing else.
    void Lock() {}
    void Unlock() {}
    // Called when the pointer enters and leaves the control.
    void ShowStatusText(bool entering) const;

    // Kind-specific part of UseCustomSkin; the record's size is checked.
    virtual bool TakeResources(const _UNKNOWN_RESOURCES_* resources) = 0;

    bool m_custom = false;
    std::uint32_t m_styleEx = 0;
    std::string m_tooltip;
    std::string m_statusText;
    int m_group = -1;
};

// Where status texts of hovered controls go (the frame's status line). The
// sink gets an empty text when the pointer leaves. None by default.
using StatusTextSink = void (*)(void* context, const std::string& text);
void SetStatusTextSink(StatusTextSink sink, void* context);

// Hands Veneer the Lacquer query object (start-up, once).
void SetSWQueryInterface(void* query);
lacquer::ISWQuery* SWQuery();

} // namespace veneer
