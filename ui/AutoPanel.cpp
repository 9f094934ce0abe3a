#include "ui/AutoPanel.h"

#include <QMouseEvent>
#include <QWindow>

#include "platform/AsciiCase.h"
#include "platform/Paths.h"
#include "shell/Settings.h"
#include "ui/ControlTable.h"
#include "ui/FrameSite.h"
#include "ui/SkinList.h"
#include "xml/XmlNode.h"

namespace ui {

namespace {
SSize ToSSize(QSize s) {
    return SSize{s.width(), s.height()};
}
} // namespace

CAutoPanel::CAutoPanel(QWidget* frame, IFrameSite* site)
    : veneer::CSCScalePanel(frame), m_frame(frame), m_site(site) {
    resize(15, 15);
}

CAutoPanel::~CAutoPanel() {
    // The held controls belong to the frame's control set: hand them back
    // before this widget deletes its children.
    Reset();
    if (m_record.image > 0) veneer::CloseImageFile(m_record.image);
}

void CAutoPanel::ClearSkin() {
    if (m_record.image > 0) veneer::CloseImageFile(m_record.image);
    m_record = veneer::SKIN_PANEL_RESOURCES{};
    m_image.reset();
    m_custom = false;
    SetPlainSize(QSize());
    m_sizeFromControls = true;
    update();
}

bool CAutoPanel::LoadFromSkin(const CXmlNode& element) {
    ClearSkin();
    m_record.image = 0;
    // A panel whose image is missing still has a size: the skin may give
    // "Width" and "Height" for the plain look.
    int w = 0, h = 0;
    element.GetAttribute("Width", w);
    element.GetAttribute("Height", h);
    SetPlainSize(QSize(std::max(0, w), std::max(0, h)));
    m_sizeFromControls = w <= 0 && h <= 0;

    std::string source;
    if (!element.GetAttribute("Source", source)) return false;
    const std::string path =
        platform::JoinPath(platform::JoinPath(platform::ProgramDirectory(), "Skins"), source);
    const std::int32_t handle = veneer::OpenImageFile(path);
    if (handle < 0) return false;

    veneer::SKIN_PANEL_RESOURCES record;
    record.image = handle;
    element.GetAttribute("LeftWidth", record.leftWidth);
    element.GetAttribute("RightWidth", record.rightWidth);
    element.GetAttribute("TopHeight", record.topHeight);
    element.GetAttribute("BottomHeight", record.bottomHeight);
    std::string method;
    element.GetAttribute("ResizeMethod", method);
    record.resizeMethod =
        platform::EqualNoCase(method, "Tile") ? veneer::kResizeTile : veneer::kResizeStretch;
    m_record.image = handle; // closed by the next load even if the record is refused
    const bool ok = UseCustomSkin(reinterpret_cast<const veneer::_UNKNOWN_RESOURCES_*>(&record));
    // An image that does not decode: plain look at the skin's plain size.
    if (ok && !m_image) m_custom = false;
    if (m_custom) m_sizeFromControls = false;
    update();
    return ok;
}

bool CAutoPanel::AddControl(veneer::CSkinBase* control, int x, int y, int cx, int cy,
                            unsigned flags) {
    if (!control) return false;
    QWidget* w = control->GetWnd();
    m_controls.push_back(_CONTROL_INFO_{control, x, y, cx, cy, flags});
    if (m_sizeFromControls) {
        constexpr int kMargin = 4;
        const QSize plain = GetInitialSize();
        SetPlainSize(QSize(std::max(plain.width(), x + std::max(cx, 0) + kMargin),
                           std::max(plain.height(), y + std::max(cy, 0) + kMargin)));
    }
    w->setParent(this);
    w->show();
    PlaceOne(m_controls.back());
    return true;
}

void CAutoPanel::Reset() {
    for (const _CONTROL_INFO_& info : m_controls) {
        QWidget* w = info.control->GetWnd();
        w->hide();
        w->setParent(m_frame);
    }
    m_controls.clear();
}

void CAutoPanel::PlaceOne(const _CONTROL_INFO_& info) {
    QWidget* w = info.control->GetWnd();
    const SRect r = PlaceRect(info.x, info.y, info.cx, info.cy, info.flags,
                              ToSSize(GetInitialSize()), ToSSize(size()), ToSSize(w->size()));
    const QRect target(r.left, r.top, std::max(0, r.Width()), std::max(0, r.Height()));
    if (w->geometry() != target) w->setGeometry(target);
}

void CAutoPanel::PlaceControls() {
    for (const _CONTROL_INFO_& info : m_controls)
        PlaceOne(info);
}

void CAutoPanel::resizeEvent(QResizeEvent* event) {
    PlaceControls();
    veneer::CSCScalePanel::resizeEvent(event);
}

// ---------------------------------------------------------------- caption

void CAutoPanelCaption::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    // A maximised window does not move.
    if (m_frame->isMaximized()) return;
    // Let the window manager move the window where it can (Wayland needs
    // that); otherwise move it ourselves.
    if (QWindow* handle = m_frame->windowHandle(); handle && handle->startSystemMove()) return;
    m_dragging = true;
    m_dragOffset = event->globalPosition().toPoint() - m_frame->frameGeometry().topLeft();
}

void CAutoPanelCaption::mouseMoveEvent(QMouseEvent* event) {
    if (m_dragging) m_frame->move(event->globalPosition().toPoint() - m_dragOffset);
}

void CAutoPanelCaption::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) m_dragging = false;
}

void CAutoPanelCaption::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    m_dragging = false;
    if (m_site) m_site->OnFrameCommand(kIdFrameZoom);
}

// ---------------------------------------------------------------- the five

void CFramePanels::Create(QWidget* frame, IFrameSite* site) {
    if (IsCreated()) return;
    m_panels[static_cast<int>(EPanel::Up)] = new CAutoPanelCaption(frame, site);
    for (EPanel p : {EPanel::Down, EPanel::Left, EPanel::Right, EPanel::Player})
        m_panels[static_cast<int>(p)] = new CAutoPanel(frame, site);
    for (int i = 0; i < kPanelCount; ++i)
        m_panels[i]->setObjectName(QString::fromLatin1(PanelName(static_cast<EPanel>(i))));
}

void CFramePanels::ResetAll() {
    for (CAutoPanel* p : m_panels)
        if (p) p->Reset();
}

void CFramePanels::LoadFromSkin(const CXmlNode* panels) {
    for (int i = 0; i < kPanelCount; ++i) {
        CAutoPanel* p = m_panels[i];
        if (!p) continue;
        p->Reset();
        const CXmlNode* e = panels ? panels->FindChild(PanelName(static_cast<EPanel>(i))) : nullptr;
        if (e)
            p->LoadFromSkin(*e);
        else
            p->ClearSkin();
    }
}

SSize CFramePanels::InitialSize(EPanel panel) const {
    const CAutoPanel* p = Panel(panel);
    return p ? ToSSize(p->GetInitialSize()) : SSize{};
}

QRect CFramePanels::Layout(const QRect& client) {
    SFrameLayoutIn in;
    in.client = SRect{client.left(), client.top(), client.right() + 1, client.bottom() + 1};
    for (int i = 0; i < kPanelCount; ++i)
        in.initial[i] = InitialSize(static_cast<EPanel>(i));
    in.playerShown = m_playerShown;
    const SFrameLayoutOut out = LayoutFrame(in);
    for (int i = 0; i < kPanelCount; ++i) {
        CAutoPanel* p = m_panels[i];
        if (!p) continue;
        if (static_cast<EPanel>(i) == EPanel::Player) {
            p->setVisible(out.playerVisible);
            if (!out.playerVisible) continue;
        } else {
            p->show();
        }
        const SRect& r = out.panel[i];
        p->setGeometry(r.left, r.top, std::max(0, r.Width()), std::max(0, r.Height()));
    }
    for (CAutoPanel* p : m_panels)
        if (p) p->update();
    const SRect& m = out.moduleArea;
    return QRect(m.left, m.top, std::max(0, m.Width()), std::max(0, m.Height()));
}

void CFramePanels::RestorePlayerPanel(const shell::CSettings& settings) {
    m_playerShown = ReadPlayerPanelShown(settings);
}

void CFramePanels::SavePlayerPanel(const shell::CSettings& settings) const {
    WritePlayerPanelShown(settings, m_playerShown);
}

} // namespace ui
