#include "ui/FrameControls.h"
#include "ui/ScrollStaticAutoTooltip.h"

#include <QMetaObject>
#include <QPointer>
#include <algorithm>
#include <string_view>

#include "libs/lacquer/Lacquer.h"
#include "platform/Paths.h"
#include "ui/FrameSite.h"
#include "xml/XmlNode.h"

namespace ui {

namespace {
const char* const kWindowIdProperty = "sonvaraWindowId";

std::string Attr(const CXmlNode& e, const char* name, bool* present = nullptr) {
    std::string v;
    const bool has = e.GetAttribute(name, v);
    if (present) *present = has;
    return v;
}
} // namespace

CFrameControls::CFrameControls(IFrameSite* site, CFramePanels* panels)
    : m_site(site), m_panels(panels) {}

CFrameControls::~CFrameControls() {
    DestroyAll();
}

void CFrameControls::DestroyAll() {
    if (m_panels) m_panels->ResetAll();
    for (SControlRow& row : m_table.Rows()) {
        for (SInstance& inst : row.instances)
            delete inst.control->GetWnd();
        row.instances.clear();
        if (row.savedState) {
            // Any control can release a state block; the panels are ours.
            if (m_panels && m_panels->Panel(EPanel::Up))
                m_panels->Panel(EPanel::Up)->FreeMemory(row.savedState);
            row.savedState = nullptr;
        }
    }
    for (SModuleButtonRow& b : m_moduleButtons)
        if (b.control) delete b.control->GetWnd();
    m_moduleButtons.clear();
    for (std::int32_t h : m_imageHandles)
        veneer::CloseImageFile(h);
    m_imageHandles.clear();
    if (m_eqGroup >= 0) veneer::CSkinBase::RemoveGroup(m_eqGroup);
    m_eqGroup = -1;
}

std::int32_t CFrameControls::OpenSkinImage(const CXmlNode& element, const char* attribute) {
    std::string source;
    if (!element.GetAttribute(attribute, source) || source.empty()) return -1;
    const std::string path =
        platform::JoinPath(platform::JoinPath(platform::ProgramDirectory(), "Skins"), source);
    const std::int32_t h = veneer::OpenImageFile(path);
    if (h > 0) m_imageHandles.push_back(h);
    return h;
}

bool CFrameControls::RebuildFrameControls(const CXmlNode& mainFrame, int& minWidth,
                                          int& minHeight) {
    {
        const std::lock_guard<std::mutex> lock(m_lock);

        // Empty the panels, close the old images, drop the equalizer group.
        m_panels->ResetAll();
        for (std::int32_t h : m_imageHandles)
            veneer::CloseImageFile(h);
        m_imageHandles.clear();
        if (m_eqGroup >= 0) veneer::CSkinBase::RemoveGroup(m_eqGroup);
        m_eqGroup = -1;

        // Carry each row's state (checks, slider positions) across.
        for (SControlRow& row : m_table.Rows()) {
            if (row.instances.empty()) continue;
            if (row.savedState) m_panels->Panel(EPanel::Up)->FreeMemory(row.savedState);
            row.savedState = nullptr;
            row.instances.front().control->SaveControlState(&row.savedState);
        }
        for (SControlRow& row : m_table.Rows()) {
            for (SInstance& inst : row.instances)
                delete inst.control->GetWnd();
            row.instances.clear();
        }
        for (SModuleButtonRow& b : m_moduleButtons)
            if (b.control) delete b.control->GetWnd();
        m_moduleButtons.clear();

        m_panels->LoadFromSkin(mainFrame.FindChild("Panels"));

        SSize initial[kPanelCount];
        for (int i = 0; i < kPanelCount; ++i)
            initial[i] = m_panels->InitialSize(static_cast<EPanel>(i));
        const SSize minimum = MinimumClientSize(initial);
        if (minWidth == 0) minWidth = minimum.cx;
        if (minHeight == 0) minHeight = minimum.cy;

        if (const CXmlNode* controls = mainFrame.FindChild("Controls")) {
            for (const CXmlNode* e = controls->GetFirstChild(); e; e = e->GetNextSibling()) {
                if (SControlRow* row = m_table.FindRowByName(e->GetName())) CreateControl(*row, *e);
            }
        }

        std::vector<int> restored;
        for (SControlRow& row : m_table.Rows()) {
            if (!row.savedState) continue;
            restored.push_back(row.id);
            for (SInstance& inst : row.instances)
                inst.control->LoadControlState(row.savedState);
            m_panels->Panel(EPanel::Up)->FreeMemory(row.savedState);
            row.savedState = nullptr;
        }

        m_eqGroup = veneer::CSkinBase::GetUniqueGroupID();
        for (int b = 0; b < 10; ++b) {
            const int id = kIdEquaSlider1 + 10 * b;
            const bool fresh = std::find(restored.begin(), restored.end(), id) == restored.end();
            for (veneer::CSCSlider* s : Sliders(id)) {
                s->SetRange(0, 200, false);
                // A band the skin shows for the first time starts flat, until
                // the equalizer gives its own positions.
                if (fresh) s->SetPos(100, false);
                s->SetSkinStyleEx(s->GetSkinStyleEx() | veneer::kStyleCentred);
                s->AddToGroup(m_eqGroup);
            }
        }
        for (veneer::CSCSlider* s : Sliders(kIdPlayerBalance))
            s->SetSkinStyleEx(s->GetSkinStyleEx() | veneer::kStyleCentred);

        m_site->LoadEqualizerState();
        m_site->UpdateEqualizerEnable();
        m_site->ApplySurroundSettings();
        SetChecked(kIdSurrShow, m_site->SurroundOn(), true);

        m_site->RebuildModuleButtons(*this, mainFrame.FindChild("Modules"));
    }
    m_site->EnsureMinimumSize(minWidth, minHeight);
    // The new skin's panels may have other sizes than the old one's, and
    // the window need not change size for them to take their places.
    m_site->RecalcLayout();
    return true;
}

void CFrameControls::CreateControl(SControlRow& row, const CXmlNode& element) {
    bool hasType = false;
    const std::string type = Attr(element, "Type", &hasType);
    const int kind = ResolveKind(row.kind, hasType ? type.c_str() : nullptr);
    if (kind == 0) return;

    const int instanceId = row.id + static_cast<int>(row.instances.size()) + 1;
    const bool button = kind == kKindPushButton || kind == kKindCheckButton;
    const int windowId = button ? instanceId : row.id;
    veneer::CSkinBase* control = MakeControl(kind, row, element, windowId);
    if (!control) return;
    m_table.AddInstance(row, control);
    HookUp(control, windowId);

    // Images. A missing or unreadable image leaves the control in its plain
    // look, but still placed and with its tooltip, so the frame stays usable.
    bool resourcesOk = true;
    if (button) {
        const std::int32_t image = OpenSkinImage(element, "Source");
        if (image > 0) {
            veneer::SKIN_IMAGE_RESOURCES r;
            r.image = image;
            if (kind == kKindPushButton) {
                const std::int32_t alpha = OpenSkinImage(element, "SourceAlpha");
                r.alpha = alpha > 0 ? alpha : 0;
            }
            resourcesOk =
                control->UseCustomSkin(reinterpret_cast<veneer::_UNKNOWN_RESOURCES_*>(&r));
        }
    } else if (kind == kKindHorzSlider || kind == kKindVertSlider) {
        const std::int32_t image = OpenSkinImage(element, "Source");
        if (image > 0) {
            veneer::SKIN_SLIDER_RESOURCES r;
            r.image = image;
            const std::string align = Attr(element, "DrawAlign");
            r.drawAlign = align == "ALIGN_LEFT/TOP"       ? veneer::kAlignLeftTop
                          : align == "ALIGN_RIGHT/BOTTOM" ? veneer::kAlignRightBottom
                                                          : veneer::kAlignDefault;
            element.GetAttribute("BeginTrackOffset", r.beginTrackOffset);
            element.GetAttribute("EndTrackOffset", r.endTrackOffset);
            resourcesOk =
                control->UseCustomSkin(reinterpret_cast<veneer::_UNKNOWN_RESOURCES_*>(&r));
        }
    } else if (kind == kKindRoundSlider) {
        const std::int32_t image = OpenSkinImage(element, "Source");
        if (image > 0) {
            veneer::SKIN_ROUND_SLIDER_RESOURCES r;
            r.image = image;
            resourcesOk =
                control->UseCustomSkin(reinterpret_cast<veneer::_UNKNOWN_RESOURCES_*>(&r));
        }
    } else if (kind == kKindText || kind == kKindScrollText) {
        veneer::SKIN_SCROLL_TEXT_RESOURCES r;
        bool has = false;
        const std::string color = Attr(element, "TextColor", &has);
        if (has) r.color = lacquer::LoadColor(color);
        const std::string font = Attr(element, "LogFont", &has);
        if (has && !font.empty()) lacquer::LoadFont(&r.font, font);
        if (kind == kKindText) {
            veneer::SKIN_TEXT_RESOURCES t;
            t.color = r.color;
            t.font = r.font;
            resourcesOk =
                control->UseCustomSkin(reinterpret_cast<veneer::_UNKNOWN_RESOURCES_*>(&t));
        } else {
            element.GetAttribute("ScrollOffset", r.scrollOffset);
            element.GetAttribute("ScrollSpeed", r.scrollSpeed);
            resourcesOk =
                control->UseCustomSkin(reinterpret_cast<veneer::_UNKNOWN_RESOURCES_*>(&r));
        }
    } else if (kind == kKindTvScreen) {
        veneer::SKIN_TEXT_RESOURCES t;
        t.font = lacquer::LOGFONTA{};
        control->UseCustomSkin(reinterpret_cast<veneer::_UNKNOWN_RESOURCES_*>(&t));
    }
    (void)resourcesOk;

    PlaceControl(control, element);
    control->SetTooltip(row.tooltip, row.statusText);
    // Screen readers, and the plain look of a button without image, need a
    // name; the menu buttons have no tooltip, so they are named after their
    // menu ("MENU_FILE" is "File").
    QString name = QString::fromStdString(row.tooltip);
    if (name.isEmpty() && std::string_view(row.name).starts_with("MENU_")) {
        name = QString::fromLatin1(row.name + 5).toLower();
        if (!name.isEmpty()) name[0] = name[0].toUpper();
    }
    control->GetWnd()->setAccessibleName(name);
}

veneer::CSkinBase* CFrameControls::MakeControl(int kind, const SControlRow& row,
                                               const CXmlNode& element, int windowId) {
    QWidget* frame = m_site->FrameWidget();
    veneer::CSkinBase* control = nullptr;
    switch (kind) {
    case kKindPushButton:
    case kKindCheckButton: {
        auto* b = new veneer::CSCButton(frame);
        b->setCheckable(kind == kKindCheckButton);
        control = b;
        break;
    }
    case kKindHorzSlider:
    case kKindVertSlider: {
        const Qt::Orientation o = kind == kKindHorzSlider ? Qt::Horizontal : Qt::Vertical;
        const std::string stretch =
            Attr(element, kind == kKindHorzSlider ? "HorzStretch" : "VertStretch");
        if (stretch == "Yes")
            control = new veneer::CSCScaleSlider(o, frame);
        else
            control = new veneer::CSCSlider(o, frame);
        break;
    }
    case kKindRoundSlider:
        control = new veneer::CSCSliderRound(frame);
        break;
    case kKindText:
        control = new veneer::CSCStatic(frame);
        break;
    case kKindScrollText: {
        auto* s = new CScrollStaticAutoTooltip(frame);
        m_site->OnScrollTextCreated(s);
        control = s;
        break;
    }
    case kKindTvScreen:
        control = m_site->CreateTvScreen(frame);
        if (control) control->GetWnd()->hide();
        return control ? (control->GetWnd()->setProperty(kWindowIdProperty, windowId), control)
                       : nullptr;
    default:
        return nullptr; // the surround view and unknown kinds create nothing
    }
    QWidget* w = control->GetWnd();
    w->setProperty(kWindowIdProperty, windowId);
    w->setObjectName(QString::fromLatin1(row.name));
    w->setGeometry(0, 0, 50, 50);
    w->show();
    return control;
}

void CFrameControls::HookUp(veneer::CSkinBase* control, int windowId) {
    if (auto* b = dynamic_cast<veneer::CSCButton*>(control)) {
        // Posted, as a button's command is: the handler may rebuild the
        // controls, this button included.
        QPointer<CFrameControls> self(this);
        connect(b, &QAbstractButton::clicked, this, [self, windowId] {
            QMetaObject::invokeMethod(
                self.data(),
                [self, windowId] {
                    if (self) self->m_site->OnFrameCommand(self->MapCommand(windowId));
                },
                Qt::QueuedConnection);
        });
    } else if (auto* s = dynamic_cast<veneer::CSCSlider*>(control)) {
        connect(s, &veneer::CSCSlider::Notify, this, [this, windowId](int code, int position) {
            DispatchSlider(windowId, code, position);
        });
    }
}

bool CFrameControls::PlaceControl(veneer::CSkinBase* control, const CXmlNode& element) {
    return PlaceAt(control, element, 0, 0);
}

bool CFrameControls::PlaceAt(veneer::CSkinBase* control, const CXmlNode& element, int dx, int dy) {
    if (!control) return false;
    const SPlacement p = ReadPlacement(element);
    CAutoPanel* panel = p.hasOwner ? m_panels->Panel(p.owner) : nullptr;
    if (!panel) {
        // Not placed: kept out of sight rather than left over the caption.
        control->GetWnd()->hide();
        return false;
    }
    return panel->AddControl(control, p.x + dx, p.y + dy, p.cx, p.cy, p.flags);
}

bool CFrameControls::DressModuleButton(veneer::CSkinBase* button, const CXmlNode& element,
                                       const std::string& text, int dx, int dy) {
    if (!button) return false;
    // As for the other check buttons, a missing image leaves the plain look
    // (named after the module) rather than a button nobody can find.
    const std::int32_t image = OpenSkinImage(element, "Source");
    if (image > 0) {
        veneer::SKIN_IMAGE_RESOURCES r;
        r.image = image;
        button->UseCustomSkin(reinterpret_cast<veneer::_UNKNOWN_RESOURCES_*>(&r));
    }
    if (!PlaceAt(button, element, dx, dy)) return false;
    button->SetTooltip(text, text);
    button->GetWnd()->setAccessibleName(QString::fromStdString(text));
    return true;
}

veneer::CSkinBase* CFrameControls::FindControlById(int instanceId) const {
    if (veneer::CSkinBase* c = m_table.FindControlById(instanceId)) return c;
    for (const SModuleButtonRow& b : m_moduleButtons)
        if (b.id == instanceId) return b.control;
    return nullptr;
}

std::vector<veneer::CSCSlider*> CFrameControls::Sliders(int rowId) const {
    std::vector<veneer::CSCSlider*> out;
    for (veneer::CSkinBase* c : m_table.Controls(rowId))
        if (auto* s = dynamic_cast<veneer::CSCSlider*>(c)) out.push_back(s);
    return out;
}

void CFrameControls::DispatchSlider(int windowId, int code, int position) {
    if (windowId >= 16000 && windowId <= 16099) {
        m_site->ApplyEqualizer((windowId - 16000) / 10, code, position);
    } else if (windowId == kIdPlayerPosition || windowId == kIdPlayerVolume ||
               windowId == kIdPlayerBalance) {
        m_site->OnPlayerSlider(windowId, code, position);
    }
}

void CFrameControls::SetChecked(int rowId, bool checked, bool firstOnly) {
    for (veneer::CSkinBase* c : m_table.Controls(rowId)) {
        if (auto* b = dynamic_cast<veneer::CSCButton*>(c)) b->setChecked(checked);
        if (firstOnly) break;
    }
}

void CFrameControls::SetTooltips(int rowId, const std::string& tooltip) {
    for (veneer::CSkinBase* c : m_table.Controls(rowId))
        c->SetTooltip(tooltip, c->StatusText());
}

void CFrameControls::ShowSwitches(const SPlayerSwitches& s) {
    SetChecked(kIdPlayerShuffle, s.shuffle);
    SetChecked(kIdPlayerRepeat, s.repeat);
    SetChecked(kIdEquaTurn, s.equalizer);
    SetChecked(kIdSurrShow, s.surround, true);
}

void CFrameControls::ShowVolumeBalance(int volume, int balance) {
    for (veneer::CSCSlider* s : Sliders(kIdPlayerVolume))
        s->SetPos(volume, true);
    for (veneer::CSCSlider* s : Sliders(kIdPlayerBalance))
        s->SetPos(balance, true);
}

void CFrameControls::ShowPlayerPanelChecks(bool playerShown) {
    SetChecked(kIdPlayerShow, !playerShown);
}

bool CFrameControls::OnPlayerShowPressed() {
    bool shown = m_panels->PlayerShown();
    for (veneer::CSkinBase* c : m_table.Controls(kIdPlayerShow))
        if (auto* b = dynamic_cast<veneer::CSCButton*>(c)) shown = !b->isChecked();
    m_panels->SetPlayerShown(shown);
    ShowPlayerPanelChecks(shown);
    m_site->RecalcLayout();
    return shown;
}

bool CFrameControls::TogglePlayerPanel() {
    const bool shown = !m_panels->PlayerShown();
    m_panels->SetPlayerShown(shown);
    ShowPlayerPanelChecks(shown);
    m_site->RecalcLayout();
    return shown;
}

void CFrameControls::AddModuleButton(SModuleButtonRow row) {
    if (row.control) HookUp(row.control, row.id);
    m_moduleButtons.push_back(std::move(row));
}

} // namespace ui
