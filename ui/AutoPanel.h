// The frame's five skinned panels. Each paints its skin image and keeps the
// controls the skin gives it at places defined relative to its edges.
//
// Who calls what: CMainFrame owns one CFramePanels, calls Create at frame
// creation, Layout on every size change (and RecalcLayout), and Restore /
// Save of the player panel switch at start-up and close. CFrameControls calls
// Reset and LoadFromSkin at each rebuild and AddControl for each placed
// control. Window thread only.
#pragma once

#include <QRect>
#include <vector>

#include "libs/veneer/Controls.h"
#include "ui/Placement.h"

class CXmlNode;

namespace shell {
class CSettings;
}

namespace ui {

class IFrameSite;

// One control held by a panel.
struct _CONTROL_INFO_ {
    veneer::CSkinBase* control = nullptr; // not owned by the panel
    int x = 0;
    int y = 0;
    int cx = 0;
    int cy = 0;
    unsigned flags = 0;
};

class CAutoPanel : public veneer::CSCScalePanel {
    Q_OBJECT
public:
    CAutoPanel(QWidget* frame, IFrameSite* site);
    ~CAutoPanel() override;

    // Loads the background from the panel element ("Source", "LeftWidth",
    // "RightWidth", "TopHeight", "BottomHeight", "ResizeMethod"). False, with
    // the previous image closed and the plain background, when the element
    // has no usable "Source".
    bool LoadFromSkin(const CXmlNode& element);
    // Forgets the image (a skin without this panel's element).
    void ClearSkin();
    // Takes the control into the panel and places it.
    bool AddControl(veneer::CSkinBase* control, int x, int y, int cx, int cy, unsigned flags);
    // Gives every held control back to the frame, hidden.
    void Reset();
    // Places every held control for the panel's present size.
    void PlaceControls();

    const std::vector<_CONTROL_INFO_>& Controls() const { return m_controls; }

protected:
    void resizeEvent(QResizeEvent* event) override;
    void PlaceOne(const _CONTROL_INFO_& info);

    QWidget* m_frame;
    IFrameSite* m_site;
    std::vector<_CONTROL_INFO_> m_controls;
    // Neither an image nor "Width"/"Height": the panel grows to hold its
    // controls, so a skin whose images are missing still shows them.
    bool m_sizeFromControls = false;
};

// The top panel doubles as the window caption: dragging it moves the frame,
// a double-click sends the frame FRAME_ZOOM (34080).
class CAutoPanelCaption : public CAutoPanel {
    Q_OBJECT
public:
    using CAutoPanel::CAutoPanel;

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

    bool m_dragging = false;
    QPoint m_dragOffset;
};

class CFramePanels {
public:
    CFramePanels() = default;
    CFramePanels(const CFramePanels&) = delete;
    CFramePanels& operator=(const CFramePanels&) = delete;

    // Creates the five panels as 15 x 15 children of the frame.
    void Create(QWidget* frame, IFrameSite* site);
    bool IsCreated() const { return m_panels[0] != nullptr; }

    CAutoPanel* Panel(EPanel panel) const { return m_panels[static_cast<int>(panel)]; }

    // Resets every panel, then loads each from its element of "Panels" (a
    // panel without element, or with panels null, keeps the plain look).
    void LoadFromSkin(const CXmlNode* panels);
    void ResetAll();

    // Places the panels in the client rectangle; returns what remains for the
    // module client area.
    QRect Layout(const QRect& client);

    // The player panel switch (config.ini FRAME OPTIONS / PanelPlayer).
    bool PlayerShown() const { return m_playerShown; }
    void SetPlayerShown(bool shown) { m_playerShown = shown; }
    void RestorePlayerPanel(const shell::CSettings& settings);
    void SavePlayerPanel(const shell::CSettings& settings) const;

    SSize InitialSize(EPanel panel) const;

private:
    CAutoPanel* m_panels[kPanelCount] = {};
    bool m_playerShown = true;
};

} // namespace ui
