#include "ui/SkinManager.h"

#include <QAbstractSlider>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QWidget>
#include <cstring>

#include "libs/lacquer/Lacquer.h"
#include "libs/veneer/Controls.h"
#include "platform/AsciiCase.h"
#include "platform/Paths.h"
#include "ui/FrameControls.h"
#include "ui/FrameSite.h"
#include "xml/XmlNode.h"

namespace ui {

namespace {
// What SkinWindow leaves on a widget: the Veneer class it stands for. A
// module's widget keeps its own class, so the skin reaches it through its
// palette; the hook marks it so a second SkinWindow does not stack hooks.
class CSkinHook : public QObject {
public:
    CSkinHook(QWidget* widget, const char* veneerClass) : QObject(widget) {
        setObjectName(QStringLiteral("veneer:") + QLatin1String(veneerClass));
    }
};

void Attach(QWidget* widget, const char* veneerClass) {
    const QString name = QStringLiteral("veneer:") + QLatin1String(veneerClass);
    if (!widget->findChild<QObject*>(name, Qt::FindDirectChildrenOnly))
        new CSkinHook(widget, veneerClass);
    veneer::ApplySkinPalette(widget);
    if (qobject_cast<QDialog*>(widget)) widget->setAutoFillBackground(true);
}

bool IsSurroundView(const QWidget* w) {
    return std::strcmp(w->metaObject()->className(), "SurrView") == 0 ||
           w->objectName() == QLatin1String("SurrView");
}

void SkinRecursively(QWidget* widget, bool flag, IFrameSite* site) {
    if (IsSurroundView(widget))
        site->SkinSurroundView(widget);
    else if (const char* cls = SkinClassFor(widget))
        Attach(widget, cls);
    for (QObject* child : widget->children())
        if (auto* w = qobject_cast<QWidget*>(child)) SkinRecursively(w, flag, site);
}
} // namespace

const char* SkinClassFor(const QWidget* w) {
    if (!w) return nullptr;
    // Veneer's own controls paint themselves already.
    if (dynamic_cast<const veneer::CSkinBase*>(w)) return nullptr;
    if (qobject_cast<const QDialog*>(w)) return "CSCScaleDialog";
    if (qobject_cast<const QLabel*>(w)) return "CSCStatic";
    if (qobject_cast<const QScrollBar*>(w)) return nullptr;
    if (qobject_cast<const QAbstractSlider*>(w)) return "CSCScaleSlider";
    if (qobject_cast<const QComboBox*>(w)) return "CSCComboBox";
    if (qobject_cast<const QLineEdit*>(w)) return "CSCEditBox";
    if (qobject_cast<const QGroupBox*>(w)) return "CSCScaleButton";
    if (qobject_cast<const QCheckBox*>(w) || qobject_cast<const QRadioButton*>(w))
        return "CSCButton";
    if (qobject_cast<const QAbstractButton*>(w)) return "CSCScaleButton";
    return nullptr;
}

CSkinManager::CSkinManager(IFrameSite* site, CFrameControls* controls,
                           const shell::CSettings* settings)
    : m_site(site), m_controls(controls), m_settings(settings) {}

CSkinManager::~CSkinManager() = default;

bool CSkinManager::FindSkins() {
    return FindSkins(platform::JoinPath(platform::ProgramDirectory(), "Skins"));
}

bool CSkinManager::FindSkins(const std::string& skinsFolder) {
    m_skinsFolder = skinsFolder;
    m_skins = FindSkinFiles(skinsFolder);
    m_current = ChooseSkin(m_skins, m_settings ? ReadCurrentSkinName(*m_settings) : std::string());
    if (m_current < 0) return false;
    lacquer::LoadStandardSkin(m_skins[m_current].path);
    return true;
}

std::string CSkinManager::NoSkinMessage() const {
    return "No usable skin was found in " + m_skinsFolder +
           ". The program needs at least one skin file there.";
}

const _sSkin* CSkinManager::Current() const {
    return m_current >= 0 && m_current < static_cast<int>(m_skins.size()) ? &m_skins[m_current]
                                                                          : nullptr;
}

std::string CSkinManager::StartupFailureMessage() const {
    return "Can't load skin " + (Current() ? Current()->path : std::string());
}

bool CSkinManager::ApplySkin() {
    m_mainFrame = nullptr;
    CXmlNode* root = nullptr;
    if (lacquer::GetSkinXMLRoot(&root) == lacquer::kEFail || !root) return false;
    m_mainFrame = root->FindChild("MAINFRAME");
    if (!m_mainFrame) return false;

    m_controls->RebuildFrameControls(*m_mainFrame, m_minWidth, m_minHeight);

    // The track position is taken when the thumb is let go and a click jumps
    // to the point, never page by page.
    for (veneer::CSCSlider* s : m_controls->Sliders(kIdPlayerPosition)) {
        const std::uint32_t style = s->GetSkinStyleEx() & ~0x0101u;
        s->SetSkinStyleEx(style);
        s->SetSkinStyleEx(style | 0x0202u);
    }
    m_site->UpdatePlayerControls();
    m_site->BroadcastSkinChanged();
    return true;
}

bool CSkinManager::ChangeSkin(int index) {
    if (index < 0 || index >= static_cast<int>(m_skins.size())) return false;
    const _sSkin chosen = m_skins[index];
    m_site->LockPlayerControl();
    m_minWidth = chosen.minWidth;
    m_minHeight = chosen.minHeight;
    lacquer::LoadStandardSkin(chosen.path);
    const bool ok = ApplySkin();
    if (ok) {
        m_current = index;
    } else {
        const _sSkin* current = Current();
        bool back = false;
        if (current) {
            m_minWidth = current->minWidth;
            m_minHeight = current->minHeight;
            lacquer::LoadStandardSkin(current->path);
            back = ApplySkin();
        }
        if (!back) {
            m_site->UnlockPlayerControl();
            m_site->FatalSkinError("Can't load skin: " + (current ? current->path : chosen.path),
                                   1);
            return false;
        }
    }
    m_site->NotifyActiveModuleSkin();
    m_site->UnlockPlayerControl();
    m_site->ReshowActiveModule();
    if (QWidget* frame = m_site->FrameWidget()) frame->update();
    if (!ok) m_site->ShowMessage("Can't load skin: " + chosen.path);
    return ok;
}

bool CSkinManager::OnSkinCommand(int command) {
    const int index = SkinIndexFromCommand(command, static_cast<int>(m_skins.size()));
    if (index < 0) return false;
    m_site->SaveEqualizerState();
    ChangeSkin(index);
    return true;
}

bool CSkinManager::IsCurrentCommand(int command) const {
    return m_current >= 0 &&
           SkinIndexFromCommand(command, static_cast<int>(m_skins.size())) == m_current;
}

void CSkinManager::SaveCurrentSkin() const {
    if (m_settings && Current()) WriteCurrentSkinName(*m_settings, Current()->name);
}

std::uint32_t CSkinManager::GetColor(int index) {
    return lacquer::GetSkinColor(index);
}

bool CSkinManager::SkinWindow(QWidget* window, bool flag) {
    if (window) SkinRecursively(window, flag, m_site);
    return true;
}

QImage* CSkinManager::GetModuleToolbarBitmap(const char* moduleName, const char* key,
                                             unsigned frame) {
    if (!m_mainFrame || !moduleName || !key) return nullptr;
    const CXmlNode* modules = m_mainFrame->FindChild("Modules");
    if (!modules) return nullptr;
    const CXmlNode* module = nullptr;
    for (const CXmlNode* e = modules->GetFirstChild(); e && !module; e = e->GetNextSibling()) {
        std::string name;
        if (e->GetAttribute("Name", name) && platform::EqualNoCase(name, moduleName)) module = e;
    }
    if (!module) return nullptr;
    const CXmlNode* toolbar = nullptr;
    for (const CXmlNode* e = module->GetFirstChild(); e && !toolbar; e = e->GetNextSibling()) {
        std::string id;
        if (platform::EqualNoCase(e->GetName(), "ModuleToolbar") && e->GetAttribute("ID", id) &&
            platform::EqualNoCase(id, key))
            toolbar = e;
    }
    if (!toolbar) return nullptr;
    std::string source;
    toolbar->GetAttribute("Source", source);
    const std::string path =
        platform::JoinPath(platform::JoinPath(platform::ProgramDirectory(), "Skins"), source);

    veneer::CDataSource data;
    if (source.empty() || !data.StartUp(QString::fromStdString(path))) return nullptr;
    QImage* frameImage = data.GetFrameBitmap(frame);
    if (!frameImage) {
        data.CleanUp();
        return nullptr;
    }
    auto* copy = new QImage(frameImage->copy());
    data.CloseHandle(frameImage);
    data.CleanUp();
    return copy;
}

} // namespace ui
