#include "shell/FrameMenus.h"

#include "libs/ledgerline/Ledgerline.h"
#include "libs/prism/Prism.h"
#include "libs/trestle/TrestleMessageBox.h"
#include "modules/ModuleHost.h"
#include "platform/Paths.h"
#include "shell/MainFrame.h"
#include "shell/StringTable.h"
#include "shell/WindowMessage.h"
#include "sonvara/Messages.h"
#include "ui/ControlTable.h"

#include <QAbstractButton>
#include <QCursor>
#include <memory>

namespace shell {

namespace {

constexpr const char* kLogSender = "MainFrame";
// The audio manager window a module may own, and the commands of its two
// check boxes (menu commands 231 and 232).
constexpr const char* kAudioManagerTitle = "AudioMgr_A1BFEAAB_8377_459F_9E5A_9C29AE613751";
constexpr unsigned kAudioManagerBoxes[] = {1003, 1004};
// config.ini section of the vendor's web pages; a page without an address
// opens the local help instead.
constexpr const char* kWebSection = "WEB";

modules::SMenuTexts LoadMenuTexts() {
    modules::SMenuTexts t;
    t.voiceMorphing = LoadString(IDS_MENU_VOICE_MORPHING);
    t.morph = LoadString(IDS_MENU_MORPH);
    t.singleEffects = LoadString(IDS_MENU_SINGLE_EFFECTS);
    t.specialEffects = LoadString(IDS_MENU_SPECIAL_EFFECTS);
    t.window = LoadString(IDS_MENU_WINDOW);
    t.help = LoadString(IDS_MENU_HELP);
    t.smartUpdates = LoadString(IDS_MENU_SMART_UPDATES);
    t.noneAccel = LoadString(IDS_MENU_NONE_ACCEL);
    t.none = LoadString(IDS_MENU_NONE);
    t.productName = LoadString(IDS_PRODUCT_NAME);
    return t;
}

// An effect submenu of one type, walking the table in order.
SvMenuTree BuildEffectMenu(int type, const modules::SMenuTexts& texts) {
    std::vector<modules::SEffectMenuItem> items;
    for (const CEffectInfo& info : enPrism()->GetEffectTable()) {
        if (info.GetEffectType() != type) continue;
        std::unique_ptr<CSimpleEffect> effect(info.CreateEffect());
        if (!effect) continue;
        if (type == kEffectTypeSpecial) {
            std::vector<std::string> strings;
            effect->GetStringList(&strings);
            if (strings.empty()) continue;
        }
        const char* name = effect->GetDisplayName();
        items.push_back({info.GetID(), name ? name : ""});
    }
    return modules::EffectMenu(items, texts);
}

} // namespace

CFrameMenus::CFrameMenus(CMainFrame& frame) : m_frame(frame), m_texts(LoadMenuTexts()) {
    m_base = modules::BaseMenu(m_texts);
}

void CFrameMenus::BuildEffectMenus() {
    enLedgerline()->WriteLogMessage(kLogSender, "Creating Voice Morphing SubMenu...");
    m_voiceMorphing = BuildEffectMenu(kEffectTypeVoiceMorphing, m_texts);
    enLedgerline()->WriteLogMessage(kLogSender, "Voice Morphing SubMenu created.");
    enLedgerline()->WriteLogMessage(kLogSender, "Creating Special Effect SubMenu...");
    m_specialEffects = BuildEffectMenu(kEffectTypeSpecial, m_texts);
    enLedgerline()->WriteLogMessage(kLogSender, "Special Effect SubMenu created.");
}

void CFrameMenus::RebuildFrameMenu() {
    modules::CModuleHost& host = m_frame.Host();
    modules::SFrameMenuSources sources;
    sources.base = &m_base;
    if (modules::CModuleEntry* active = host.GetActiveModule()) sources.activeMenu = active->Menu;
    for (std::size_t i = 0; i < host.Count(); ++i)
        sources.moduleMenus.push_back(host.Entry(i).Menu);
    sources.voiceMorphing = &m_voiceMorphing;
    sources.specialEffects = &m_specialEffects;

    const SvMenuTree goTo = host.GoToMenu();
    std::vector<std::string> skinNames;
    for (const ui::_sSkin& skin : m_frame.Skins().Skins())
        skinNames.push_back(skin.name);
    const SvMenuTree skins = modules::ListMenu(
        skinNames, modules::ID_SKIN_FIRST, m_frame.Skins().CurrentIndex(), modules::kMaxSkinItems);
    std::vector<std::string> languageNames;
    int checkedLanguage = -1;
    const auto languages = m_frame.LanguageMenuItems();
    for (std::size_t i = 0; i < languages.size(); ++i) {
        languageNames.push_back(languages[i].first);
        if (languages[i].second) checkedLanguage = static_cast<int>(i);
    }
    const SvMenuTree languageMenu =
        modules::ListMenu(languageNames, modules::ID_LANGUAGE_ITEM_FIRST, checkedLanguage,
                          modules::ID_LANGUAGE_ITEM_LAST - modules::ID_LANGUAGE_ITEM_FIRST + 1);
    if (!goTo.items.empty()) sources.goTo = &goTo;
    sources.skins = &skins;
    if (!languageMenu.items.empty()) sources.languages = &languageMenu;
    m_frameMenu = modules::RebuildFrameMenu(sources, m_texts);
}

unsigned CFrameMenus::OpenFrameMenu(unsigned commandId) {
    const std::size_t index = (commandId - modules::ID_MENU_BUTTON_FIRST) / 10;
    if (index >= m_frameMenu.items.size() || !m_frameMenu.items[index].submenu) return 0;
    // Disabled top-level entries (only "none" inside) open nothing.
    if (m_frameMenu.items[index].state & SvMenuItem::Disabled) return 0;
    QPoint at = QCursor::pos();
    const auto buttons = m_frame.Controls().FindControls(static_cast<int>(commandId));
    for (veneer::CSkinBase* b : buttons) {
        if (QWidget* w = b->GetWnd(); w && w->isVisible()) {
            at = w->mapToGlobal(QPoint(0, w->height()));
            break;
        }
    }
    // The tree is copied: a command may rebuild the frame menu while the
    // pop-up's items still refer to it.
    const SvMenuTree popup = *m_frameMenu.items[index].submenu;
    return ShowPopup(popup, at);
}

unsigned CFrameMenus::ShowPopup(const SvMenuTree& tree, const QPoint& globalPosition) {
    veneer::CSCMenu menu(&m_frame);
    menu.SetMenuTree(tree);
    menu.SetUpdateHandler(
        [this](unsigned id, veneer::CSCMenu::SCommandUI& ui) { UpdateCommand(id, ui); });
    menu.ChangeToOwnerDraw();
    const unsigned chosen = menu.TrackPopupMenu(globalPosition);
    menu.ClearOwnerDraw();
    if (chosen != 0 && chosen != modules::ID_MENU_NONE) m_frame.OnCommand(chosen);
    return chosen;
}

bool CFrameMenus::OnCommand(unsigned id) {
    using namespace modules;
    switch (id) {
    case ID_VIEW_PLAYER_BAR:
        m_frame.Controls().TogglePlayerPanel();
        return true;
    case ID_HELP_TOPICS:
        m_frame.Host().Application().ShowHelp();
        return true;
    case ID_HELP_TUTORIALS:
        OpenWebPage("Tutorials");
        return true;
    case ID_HELP_COMMUNITY:
        OpenWebPage("Community");
        return true;
    case ID_HELP_SMART_UPDATES:
        OpenWebPage("Updates");
        return true;
    case ID_FREE_UPGRADE:
        OpenWebPage("FreeUpgrade");
        return true;
    case ID_APP_ABOUT:
        ShowAbout();
        return true;
    case ID_AUDIO_MANAGER_FIRST:
    case ID_AUDIO_MANAGER_SECOND: {
        QAbstractButton* box = AudioManagerCheckBox(id);
        if (!box) return true;
        box->toggle();
        // The audio manager window hears of it as of a click on the box.
        QWidget* window = box->parentWidget();
        while (window && window->windowTitle() != QLatin1String(kAudioManagerTitle))
            window = window->parentWidget();
        m_frame.Host().Site().SendWindowMessage(window ? window : box, WM_COMMAND,
                                                kAudioManagerBoxes[id - ID_AUDIO_MANAGER_FIRST], 0);
        return true;
    }
    case ID_MENU_NONE:
        return true;
    default:
        return false;
    }
}

void CFrameMenus::UpdateCommand(unsigned id, veneer::CSCMenu::SCommandUI& ui) {
    using namespace modules;
    modules::CModuleHost& host = m_frame.Host();
    if (id >= sonvara::ID_MODULE_FIRST && id <= sonvara::ID_MODULE_LAST) {
        const std::size_t index = id - sonvara::ID_MODULE_FIRST;
        ui.radio = true;
        ui.checked = index < host.Count() && host.Entry(index).Active;
        return;
    }
    if (id >= ID_SKIN_FIRST && id < ID_SKIN_FIRST + kMaxSkinItems) {
        ui.radio = true;
        ui.checked = m_frame.Skins().IsCurrentCommand(static_cast<int>(id));
        return;
    }
    if (id >= ID_LANGUAGE_ITEM_FIRST && id <= ID_LANGUAGE_ITEM_LAST) {
        const auto languages = m_frame.LanguageMenuItems();
        const std::size_t index = id - ID_LANGUAGE_ITEM_FIRST;
        ui.radio = true;
        ui.checked = index < languages.size() && languages[index].second;
        return;
    }
    switch (id) {
    case ID_VIEW_PLAYER_BAR:
        ui.checked = m_frame.Panels().PlayerShown();
        return;
    case sonvara::ID_PLAYER_SHUFFLE:
        ui.checked = host.Player().GetShuffle() != 0;
        return;
    case sonvara::ID_PLAYER_REPEAT:
        ui.checked = host.Player().GetRepeat() != 0;
        return;
    case ID_AUDIO_MANAGER_FIRST:
    case ID_AUDIO_MANAGER_SECOND: {
        QAbstractButton* box = AudioManagerCheckBox(id);
        ui.enabled = box != nullptr;
        ui.checked = box && box->isChecked();
        return;
    }
    case ID_FRAME_MINIMIZE:
        ui.enabled = m_frame.isVisible();
        return;
    case ID_VIEW_SURROUND:
        // Opens the "Surround" dialog (the frame's SURR_SHOW command).
        ui.enabled = true;
        return;
    case ID_MENU_NONE:
        ui.enabled = false;
        return;
    default:
        break;
    }
    // The transport and record items follow the skin's buttons, which the
    // player and recorder keep enabled by their state.
    if ((id >= sonvara::ID_PLAYER_GOTOPREV && id <= sonvara::ID_PLAYER_GOTONEXT) ||
        id == sonvara::ID_PLAYER_RECORD) {
        const auto controls = m_frame.Controls().FindControls(static_cast<int>(id));
        if (!controls.empty()) ui.enabled = controls.front()->GetWnd()->isEnabled();
    }
}

void CFrameMenus::OpenWebPage(const char* key) {
    const std::string url = m_frame.Settings().GetString(kWebSection, key, "");
    if (url.empty()) {
        m_frame.Host().Application().ShowHelp();
        return;
    }
    m_frame.Host().Site().OpenUrl(url);
}

void CFrameMenus::ShowAbout() {
    const std::string text = LoadString(IDS_PRODUCT_NAME) + "\nVersion 4.0.68\n\n" +
                             "A music player and host of sound tools.";
    trestle::AfxSCMessageBox(text.c_str(), trestle::MB_OK | trestle::MB_ICONINFORMATION);
}

QAbstractButton* CFrameMenus::AudioManagerCheckBox(unsigned command) const {
    modules::CModuleEntry* active = m_frame.Host().GetActiveModule();
    if (!active || !active->Window) return nullptr;
    const QString title = QString::fromLatin1(kAudioManagerTitle);
    const QString name =
        QString::number(kAudioManagerBoxes[command - modules::ID_AUDIO_MANAGER_FIRST]);
    for (QWidget* w : active->Window->findChildren<QWidget*>()) {
        if (w->windowTitle() != title) continue;
        if (auto* box = w->findChild<QAbstractButton*>(name)) return box;
    }
    return nullptr;
}

} // namespace shell
