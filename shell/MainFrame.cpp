#include "shell/MainFrame.h"

#include "audio/EqualizerController.h"
#include "audio/ExtPlayerDX.h"
#include "audio/PlayerSurroundHost.h"
#include "audio/SurroundSettings.h"
#include "audio/dialogs/PlugInSoundFormat.h"
#include "audio/dialogs/SurroundDlg.h"
#include "libs/codexa/RecordingSettings.h"
#include "libs/lacquer/Lacquer.h"
#include "libs/ledgerline/Ledgerline.h"
#include "libs/trestle/TrestleMessageBox.h"
#include "libs/veneer/Colors.h"
#include "libs/veneer/Controls.h"
#include "libs/veneer/ModalDialog.h"
#include "modules/ModuleButtons.h"
#include "modules/ModuleHost.h"
#include "modules/ShellBridge.h"
#include "platform/Paths.h"
#include "shell/DeviceWatch.h"
#include "shell/FrameEdges.h"
#include "shell/FrameModuleSite.h"
#include "shell/HostSubsystems.h"
#include "shell/LaterSubsystems.h"
#include "shell/ProgramIcon.h"
#include "shell/StartingDlg.h"
#include "shell/StringTable.h"
#include "shell/WindowMessage.h"
#include "ui/adverts/Adverts.h"

#include <QActionGroup>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QCursor>
#include <QGuiApplication>
#include <QMenu>
#include <QPainter>
#include <QScreen>
#include <QStatusTipEvent>
#include <QThread>
#include <cstdio>
#include <cstdlib>

namespace shell {

namespace {

constexpr const char* kLogSender = "MainFrame";

// The module client area: module windows live here; where none covers it,
// it shows the skin's window colour.
class CFrameClientArea : public modules::CModulesFrame {
public:
    explicit CFrameClientArea(QWidget* parent) : modules::CModulesFrame(parent) {
        setObjectName(QStringLiteral("mdiclient"));
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter(this).fillRect(rect(), veneer::SkinColor(lacquer::kColorWindow));
    }
};

void Splash(unsigned stringId) {
    CStartingDlg::SetCurrentProgressText(QString::fromStdString(LoadString(stringId)));
}

} // namespace

CMainFrame::CMainFrame(CLaterSubsystems& later)
    : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint), m_later(later),
      m_status(
          [this](const std::string& text) {
              RunOnWindowThread([this, text] { DisplayStatus(text); });
          },
          [this](unsigned ms) {
              RunOnWindowThread([this, ms] { m_statusTimer.start(static_cast<int>(ms)); });
          }),
      m_exit([](int code) { std::exit(code); }) {
    setObjectName(QStringLiteral("MainFrame"));
    setAttribute(Qt::WA_DeleteOnClose, false);
    // Until a module is shown the title is the product's name alone.
    setWindowTitle(QString::fromStdString(LoadString(IDS_PRODUCT_NAME)));
    setWindowIcon(ProgramIcon());
    // No system caption means no system edges either: the frame has its own.
    new CFrameEdges(this);
    m_deviceWatch = new CDeviceWatch(this, [this] {
        // A module that plays or records may want to reopen its device.
        if (modules::CModuleEntry* active = m_host->GetActiveModule(); active && active->Window)
            m_moduleSite->SendWindowMessage(active->Window, WM_DEVICECHANGE, DBT_DEVNODES_CHANGED,
                                            0);
    });
    // Panels and the module client area cover the frame; before the first
    // layout it shows the palette's window colour rather than garbage.
    setAutoFillBackground(true);

    m_settings.SetModuleNameTest(
        [this](const char* name) { return name && m_later.IsLoadedModule(name); });
    m_controls = std::make_unique<ui::CFrameControls>(this, &m_panels);
    m_skins = std::make_unique<ui::CSkinManager>(this, m_controls.get(), &m_settings);

    m_statusTimer.setSingleShot(true);
    connect(&m_statusTimer, &QTimer::timeout, this, [this] { m_status.OnMessageTimer(); });
    connect(&m_advertTimer, &QTimer::timeout, this, [this] {
        if (m_adverts) m_adverts->ReloadAdvertLists();
        m_later.ReloadAdvertLists();
    });
    connect(&m_bannerTimer, &QTimer::timeout, this, [this] {
        if (m_adverts) m_adverts->BannerStep();
        m_later.BannerStep();
    });

    // The player (its device is the configured one), the module host and
    // its site. The host exists before the start-up asks for the modules.
    m_player = std::make_unique<CExtPlayerDX>();
    m_moduleSite = std::make_unique<CFrameModuleSite>(*this);
    m_host = std::make_unique<modules::CModuleHost>(*m_moduleSite, *m_player);
    if (auto* bridge = dynamic_cast<modules::CModuleHostBridge*>(&m_later))
        bridge->SetHost(m_host.get());
    if (auto* subsystems = dynamic_cast<CHostSubsystems*>(&m_later)) subsystems->SetFrame(this);
    connect(&m_positionTimer, &QTimer::timeout, this, [this] {
        m_host->Player().OnPositionTimer();
        ReportDeviceError();
    });

    // The debug manager must exist before the first line is logged.
    enLedgerline();
}

CMainFrame::~CMainFrame() {
    veneer::SetStatusTextSink(nullptr, nullptr);
    m_advertTimer.stop();
    m_bannerTimer.stop();
    m_statusTimer.stop();
    m_positionTimer.stop();
    // The advert downloader ends at once, even in a transfer.
    m_adverts.reset();
    // Modules go while the controls and windows their release touches are
    // still there; the player stops last, once no module can reach it.
    if (auto* bridge = dynamic_cast<modules::CModuleHostBridge*>(&m_later))
        bridge->SetHost(nullptr);
    if (auto* subsystems = dynamic_cast<CHostSubsystems*>(&m_later)) subsystems->SetFrame(nullptr);
    m_equalizer.reset();
    m_surround.reset();
    m_surroundHost.reset();
    m_host.reset();
    m_moduleSite.reset();
    m_player.reset();
    // Skins and controls go before the panels that hold the controls.
    m_skins.reset();
    if (m_controls) m_controls->DestroyAll();
    m_controls.reset();
    m_later.RemoveTrayIcon();
}

int CMainFrame::Create() {
    // 1. Tooltips and status texts of the skinned controls.
    m_controls->LoadTexts([](int id) { return LoadString(static_cast<unsigned>(id)); });

    // 2. No system caption: the skin's top panel is the caption. The tray
    // icon (its tooltip is the product name).
    m_trayAvailable = m_later.CreateTrayIcon();

    // 3. The five panels.
    Splash(IDS_CREATING_SKIN_ELEMENTS);
    m_panels.Create(this, this);

    // 4. config.ini, unless a caller (a test) chose one already.
    if (m_settings.Path().empty()) m_settings.SetPath(CSettings::DefaultPath());
    m_equalizerControls = std::make_unique<CFrameEqualizerControls>(*this);
    m_equalizer = std::make_unique<CEqualizerController>(
        m_settings.Path(), platform::ProgramDirectory() + "Equalizer_presets.ini",
        [this](const float* gains, int count, bool on) {
            m_player->SetEqualizer(gains, count, on);
        });
    m_equalizer->SetControls(m_equalizerControls.get());

    // 5. The surround dialog and its settings.
    CreateSurround();
    m_later.CreateSurroundDialog();

    // 6. The debug log's filter level and whether it starts empty.
    m_filterLevel = m_settings.GetInt("Debug", "FilterLevel", 0);
    const int clearOnStartup = m_settings.GetInt("Debug", "ClearOnStartup", 0);
    enLedgerline()->Configure(platform::SettingsDirectory() + "sonvara-debug.log", m_filterLevel,
                              clearOnStartup);

    // 8. No input until the frame is complete.
    setEnabled(false);

    // 9. The module client area, where module windows live.
    m_moduleClient = new CFrameClientArea(this);
    m_moduleClient->raise();
    m_moduleSite->SetClientArea(m_moduleClient);
    // The frame's own accelerators, behind the active module's.
    m_host->SetHostAccelerators(SvAcceleratorList{{{"F1", ID_HELP_TOPICS}}});

    // 10. - 12.
    Splash(IDS_LOADING_EFFECTS);
    m_later.BuildEffectMenus();
    Splash(IDS_LOADING_ADVERTS);
    m_adverts = std::make_unique<ui::adverts::CAdverts>(
        [this] { return m_controls->FindControls(ui::kIdAdvertString); },
        ui::adverts::ReadAdvertSettings(m_settings.Path()));
    m_adverts->LoadAdverts();
    m_later.LoadAdverts();
    Splash(IDS_LOADING_MODULES);
    if (!m_skins->FindSkins()) {
        // Without any usable skin there is nothing to show: say so and end,
        // rather than index an empty list.
        const std::string message = m_skins->NoSkinMessage();
        enLedgerline()->WriteLogMessage(kLogSender, "%s", message.c_str());
        trestle::AfxSCMessageBox(message.c_str(), trestle::MB_OK | trestle::MB_ICONERROR);
        return 1;
    }
    m_later.LoadModules();

    // 13.
    RecalcLayout();

    // 14. The skin.
    Splash(IDS_LOADING_SKIN);
    enLedgerline()->WriteLogMessage(kLogSender, "Starting load skin...");
    if (!m_skins->ApplySkin()) {
        enLedgerline()->WriteLogMessage(kLogSender, "Load skin failed.");
        const std::string message = m_skins->StartupFailureMessage();
        trestle::AfxSCMessageBox(message.c_str(), trestle::MB_OK | trestle::MB_ICONERROR);
        return 1;
    }
    enLedgerline()->WriteLogMessage(kLogSender, "Finished load skin.");
    setMinimumSize(m_skins->MinWidth(), m_skins->MinHeight());

    // 15. Panels, controls, equalizer and player state.
    Splash(IDS_INITIALIZING_FRAME_STATE);
    RestoreFrameState();

    // 16.
    setEnabled(true);
    veneer::SetStatusTextSink(&CMainFrame::HoverStatusSink, this);

    // 17.
    char version[32];
    std::snprintf(version, sizeof version, "%i.%i.%i", 4, 0, 68);
    SetStatusText(LoadString(IDS_READY).c_str());
    const std::string product = LoadString(IDS_PRODUCT_NAME);
    const std::string format = LoadString(IDS_LOADED_SUCCESSFULLY);
    std::string loaded = format;
    if (int n = std::snprintf(nullptr, 0, format.c_str(), product.c_str(), version); n > 0) {
        loaded.assign(static_cast<std::size_t>(n) + 1, '\0');
        std::snprintf(loaded.data(), loaded.size(), format.c_str(), product.c_str(), version);
        loaded.pop_back();
    }
    ShowStatusMessage(loaded.c_str(), 5000);

    // 18. Frame timers; the advert lists are read once at once.
    m_advertTimer.start(kAdvertTimerMs);
    m_bannerTimer.start(kBannerTimerMs);
    m_adverts->ReloadAdvertLists();
    m_later.ReloadAdvertLists();
    m_deviceWatch->Start();
    return 0;
}

void CMainFrame::RestoreFrameState() {
    m_panels.RestorePlayerPanel(m_settings);
    m_controls->ShowPlayerPanelChecks(m_panels.PlayerShown());
    // Shuffle and repeat belong to the player, the equalizer switch and
    // bands to the equalizer controller; the buttons show what they hold.
    const ui::SPlayerSwitches switches = ui::ReadPlayerSwitches(m_settings);
    m_controls->ShowSwitches(switches);
    // The surround switch as the start-up probe left it (off when the
    // device opens no surround mode), and the player's stage with it.
    const bool surround = m_surroundHost->SurroundTurn();
    m_controls->SetChecked(ui::kIdSurrShow, surround, true);
    m_player->SetSurroundOn(surround);
    m_host->Player().SetShuffle(switches.shuffle);
    m_host->Player().SetRepeat(switches.repeat);
    m_equalizer->LoadEqualizerTurn();
    m_equalizer->LoadEqualizerState();
    m_equalizer->UpdateEqualizerEnable();
    // The volume and balance sliders start where the player is.
    m_moduleSite->SetSliderPositions(modules::EPlayerSlider::Volume,
                                     static_cast<int>(m_player->GetVolume()), false);
    m_moduleSite->SetSliderPositions(modules::EPlayerSlider::Balance,
                                     static_cast<int>(m_player->GetBalance()), false);
    m_host->Player().UpdateControlStates();
    m_later.RestorePlayerState();
    RecalcLayout();
}

void CMainFrame::SaveFrameState() {
    m_panels.SavePlayerPanel(m_settings);
    m_skins->SaveCurrentSkin();
    ui::SPlayerSwitches switches = ui::ReadPlayerSwitches(m_settings);
    switches.shuffle = m_host->Player().GetShuffle() != 0;
    switches.repeat = m_host->Player().GetRepeat() != 0;
    if (m_equalizer) {
        switches.equalizer = m_equalizer->IsOn();
        m_equalizer->SaveEqualizerState();
    }
    if (m_surroundHost) switches.surround = m_surroundHost->SurroundTurn();
    if (m_surround) m_surround->SaveSettings();
    ui::WritePlayerSwitches(m_settings, switches);
    m_later.SavePlayerState();
}

// ---------------------------------------------------------------- placement

void CMainFrame::RestorePlacement() {
    const CPlacement placement = ReadPlacement(m_settings);
    switch (placement.mode) {
    case PlacementMode::Maximize:
        showMaximized();
        break;
    case PlacementMode::Minimize:
        showMinimized();
        OnCommand(ID_FRAME_MINIMIZE);
        break;
    case PlacementMode::Exact: {
        const CRect& r = placement.rect;
        QRect rect(r.left, r.top, r.Width(), r.Height());
        // A rectangle stored on a screen that is gone would open the window
        // where nobody can reach it: bring it back onto the primary screen.
        if (!QGuiApplication::screenAt(rect.center()) && QGuiApplication::primaryScreen()) {
            const QRect avail = QGuiApplication::primaryScreen()->availableGeometry();
            rect.moveCenter(avail.center());
        }
        setGeometry(rect);
        showNormal();
        break;
    }
    }
    UpdateZoomTooltip();
}

CPlacement CMainFrame::CurrentPlacement() const {
    CPlacement placement;
    if (isMaximized()) {
        placement.mode = PlacementMode::Maximize;
    } else if (isMinimized()) {
        placement.mode = PlacementMode::Minimize;
    } else {
        const QRect g = frameGeometry();
        placement.mode = PlacementMode::Exact;
        placement.rect = {g.left(), g.top(), g.left() + g.width(), g.top() + g.height()};
    }
    return placement;
}

void CMainFrame::SavePlacementKeys() {
    SavePlacement(m_settings, CurrentPlacement());
}

void CMainFrame::MinimizeToTray() {
    SavePlacementKeys();
    showMinimized();
    // Hidden, the window is reachable only through the tray icon; without one
    // it stays minimised on the task bar.
    if (m_trayAvailable) hide();
}

void CMainFrame::ToggleMaximize() {
    if (isMaximized())
        showNormal();
    else
        showMaximized();
}

void CMainFrame::UpdateZoomTooltip() {
    const std::string tip = LoadString(isMaximized() ? IDS_TIP_RESTORE : IDS_TIP_MAXIMIZE);
    m_controls->SetTooltips(ui::kIdFrameZoom, tip);
}

// ---------------------------------------------------------------- commands

void CMainFrame::OnFrameCommand(int id) {
    OnCommand(static_cast<unsigned>(id));
}

bool CMainFrame::OnCommand(unsigned id) {
    // A skinned button's instance id stands for its row's command.
    id = static_cast<unsigned>(m_controls->MapCommand(static_cast<int>(id)));

    // The frame's own commands come before the active module's routing, so
    // that no module can swallow close, zoom, the transport or the frame
    // menu buttons.
    if (OnFrameOwnCommand(id)) return true;

    // Then the active module sees the command before the frame's handlers.
    if (m_host->RouteCommand(id)) return true;

    switch (id) {
    case ID_FRAME_COMMAND_NOTHING:
        return true;
    case ID_HELP_TOPICS:
        m_host->Application().ShowHelp();
        return true;
    default:
        break;
    }
    if (OnPlayerCommand(id)) return true;
    if (id >= ID_LANGUAGE_FIRST && id <= ID_LANGUAGE_LAST) {
        if (m_languageCommand) m_languageCommand(id);
        return true;
    }
    if (m_skins->OnSkinCommand(static_cast<int>(id))) return true;
    if (m_later.OnHostCommand(id)) return true;
    // Menu and accelerator commands the host does not know belong to the
    // active module ("Go to" items and module buttons activate one).
    return m_later.RouteCommandToModule(id);
}

bool CMainFrame::OnFrameOwnCommand(unsigned id) {
    modules::CModuleEntry* active = m_host->GetActiveModule();
    switch (id) {
    case ID_FRAME_MINIMIZE:
        MinimizeToTray();
        return true;
    case ID_FRAME_ZOOM:
        ToggleMaximize();
        return true;
    case ID_FRAME_CLOSE:
        close();
        return true;
    case ID_APP_EXIT:
        QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
        return true;
    case ID_FRAME_SWALLOWED:
        return true;
    case ui::kIdSurrShow:
        ShowSurroundDialog();
        return true;
    case ID_SOUND_FORMAT: {
        // The coders keep the recording format in the frame's config.ini.
        codexa::SetSettingsFile(m_settings.Path());
        audio::CPlugInSoundFormat dialog(nullptr);
        veneer::DoModal(dialog);
        return true;
    }
    case ui::kIdPlayerShow:
        m_controls->OnPlayerShowPressed();
        RecalcLayout();
        return true;
    case ui::kIdEquaTurn:
    case ui::kIdEquaPreset:
        return OnPlayerCommand(id);
    case ui::kIdPlayerRecord:
        // Recording is the shown module's business: the recorder hands its
        // window the command unchanged and updates the button.
        m_host->Micro().OnRecordCommand();
        return true;
    default:
        break;
    }
    if (id >= ui::kIdPlayerGotoPrev && id <= ui::kIdPlayerGotoNext) return OnPlayerCommand(id);
    if (id >= ui::kIdMenuFile && id <= ui::kIdMenuFile + 60) {
        m_later.OpenFrameMenu(id);
        return true;
    }
    // System commands (all four top bits set) from menus and accelerators
    // belong to the shown module's window.
    if (id >= kSystemCommandFirst && id <= 0xFFFF && active && active->Window) {
        m_moduleSite->SendWindowMessage(active->Window, WM_COMMAND, id, 0);
        return true;
    }
    return false;
}

bool CMainFrame::OnWindowMessage(CWindowMessageEvent& message) {
    switch (message.Message()) {
    case WM_COMMAND:
        message.SetResult(0);
        return OnCommand(static_cast<unsigned>(message.WParam() & 0xFFFF));
    case WM_CLOSE:
        close();
        return true;
    default:
        return false;
    }
}

bool CMainFrame::event(QEvent* e) {
    if (e->type() == CWindowMessageEvent::kType) {
        OnWindowMessage(static_cast<CWindowMessageEvent&>(*e));
        return true;
    }
    if (e->type() == QEvent::StatusTip) {
        // Menu prompts pass through the status line for a second.
        const QString tip = static_cast<QStatusTipEvent*>(e)->tip();
        if (!tip.isEmpty()) ShowStatusMessage(tip.toStdString().c_str(), 1000);
        return true;
    }
    return QWidget::event(e);
}

// ---------------------------------------------------------------- layout

void CMainFrame::RecalcLayout() {
    QRect rest = rect();
    if (m_panels.IsCreated()) rest = m_panels.Layout(rect());
    if (!m_moduleClient) return;
    m_moduleClient->setGeometry(rest);
    m_moduleClient->update();
    // The shown module fills the client area, whatever changed its size
    // (a resize, maximising, the player panel), without changing its z-order.
    if (modules::CModuleEntry* active = m_host->GetActiveModule(); active && active->Window)
        if (active->Window->parentWidget() == m_moduleClient)
            active->Window->setGeometry(m_moduleClient->rect());
}

void CMainFrame::resizeEvent(QResizeEvent* e) {
    QWidget::resizeEvent(e);
    RecalcLayout();
    UpdateZoomTooltip();
}

void CMainFrame::changeEvent(QEvent* e) {
    QWidget::changeEvent(e);
    if (e->type() == QEvent::WindowStateChange) UpdateZoomTooltip();
}

void CMainFrame::EnsureMinimumSize(int minWidth, int minHeight) {
    setMinimumSize(minWidth, minHeight);
    ui::IFrameSite::EnsureMinimumSize(minWidth, minHeight);
}

// ---------------------------------------------------------------- pop-ups

QMenu* CMainFrame::BuildSkinAndLanguageMenu(QWidget* parent) {
    auto* menu = new veneer::CSCMenu(parent);
    auto* skins = new veneer::CSCMenu(menu);
    skins->setTitle(QStringLiteral("&Skins"));
    menu->addMenu(skins);
    auto* skinGroup = new QActionGroup(skins);
    const auto& list = m_skins->Skins();
    for (std::size_t i = 0; i < list.size(); ++i) {
        const unsigned id = static_cast<unsigned>(ui::kSkinCommandFirst + i);
        QAction* a = skins->addAction(QString::fromStdString(list[i].name));
        a->setCheckable(true);
        a->setChecked(m_skins->IsCurrentCommand(static_cast<int>(id)));
        skinGroup->addAction(a);
        connect(a, &QAction::triggered, this, [this, id] { OnCommand(id); });
    }
    if (m_languageMenu) {
        auto* languages = new veneer::CSCMenu(menu);
        languages->setTitle(QStringLiteral("&Language"));
        menu->addMenu(languages);
        const auto entries = m_languageMenu();
        for (std::size_t i = 0; i < entries.size() && i <= ID_LANGUAGE_LAST - ID_LANGUAGE_FIRST;
             ++i) {
            const unsigned id = static_cast<unsigned>(ID_LANGUAGE_FIRST + i);
            QAction* a = languages->addAction(QString::fromStdString(entries[i].first));
            a->setCheckable(true);
            a->setChecked(entries[i].second);
            connect(a, &QAction::triggered, this, [this, id] { OnCommand(id); });
        }
    }
    menu->ChangeToOwnerDraw();
    return menu;
}

void CMainFrame::contextMenuEvent(QContextMenuEvent* e) {
    // The frame menu with its skin and language lists belongs to the menu
    // subsystem; until it exists, the lists are reachable from here.
    std::unique_ptr<QMenu> menu(BuildSkinAndLanguageMenu(this));
    // No skin has a button for command 234 yet: the recording format stays
    // within the user's reach from here.
    menu->addSeparator();
    QAction* soundFormat = menu->addAction(QStringLiteral("Sound &Format..."));
    if (menu->exec(e->globalPos()) == soundFormat) OnCommand(ID_SOUND_FORMAT);
}

// ---------------------------------------------------------------- player

bool CMainFrame::OnPlayerCommand(unsigned id) {
    modules::CPlayerInterface& player = m_host->Player();
    if (id >= ui::kIdPlayerGotoPrev && id <= ui::kIdPlayerGotoNext) {
        // The transport goes to the player's owner; another subsystem may
        // still want it when no module is there to take it.
        if (!player.OnTransportCommand(id)) m_later.HandlePlayerCommand(id);
        ReportDeviceError();
        return true;
    }
    switch (id) {
    case ui::kIdPlayerShuffle:
        m_controls->SetChecked(ui::kIdPlayerShuffle, player.ToggleShuffle());
        return true;
    case ui::kIdPlayerRepeat:
        m_controls->SetChecked(ui::kIdPlayerRepeat, player.ToggleRepeat());
        return true;
    case ui::kIdEquaTurn:
        m_equalizer->OnTurnPressed();
        return true;
    case ui::kIdEquaPreset:
        ShowPresetMenu();
        return true;
    default:
        return false;
    }
}

void CMainFrame::ShowPresetMenu() {
    SvMenuTree tree;
    for (const CEqualizerController::PresetMenuItem& item : m_equalizer->BuildPresetMenu()) {
        if (item.separator)
            tree.AddSeparator();
        else
            tree.AddCommand(item.text, static_cast<unsigned>(item.id),
                            item.checked ? std::uint32_t{SvMenuItem::Checked} : 0u);
    }
    if (tree.items.empty()) return;
    veneer::CSCMenu menu(this);
    menu.SetMenuTree(tree);
    menu.ChangeToOwnerDraw();
    const unsigned chosen = menu.TrackPopupMenu(QCursor::pos());
    if (chosen) m_equalizer->ChoosePreset(static_cast<int>(chosen));
}

void CMainFrame::ReportDeviceError() {
    std::string error = m_player->GetDeviceError();
    if (error == m_lastDeviceError) return;
    m_lastDeviceError = error;
    if (!error.empty()) SetStatusText(("Cannot open the sound device: " + error).c_str());
}

void CMainFrame::OnPlayerSlider(int id, int code, int position) {
    modules::CPlayerInterface& player = m_host->Player();
    if (id == ui::kIdPlayerPosition) {
        // A seek when the thumb is let go. A page click or key also ends
        // with an end-of-scroll: it seeks too, or the thumb would sit where
        // the player is not until the timer moves it back. The end-of-scroll
        // that follows a thumb release does not seek a second time.
        const bool afterThumb = m_positionThumbReleased;
        m_positionThumbReleased = code == veneer::kSbThumbPosition;
        if (code == veneer::kSbThumbPosition || (code == veneer::kSbEndScroll && !afterThumb))
            player.OnPositionSlider(position);
        return;
    }
    // Volume and balance follow the thumb while it moves and settle where
    // any move ends (repeating a value changes nothing).
    const bool moving = code == veneer::kSbThumbTrack || code == veneer::kSbThumbPosition ||
                        code == veneer::kSbEndScroll;
    if (!moving) return;
    if (id == ui::kIdPlayerVolume)
        player.OnVolumeSlider(position);
    else if (id == ui::kIdPlayerBalance)
        player.OnBalanceSlider(position);
}

void CMainFrame::RebuildFrameMenu() {
    m_later.BuildFrameMenu();
}

void CMainFrame::UpdatePlayerControls() {
    m_host->Player().UpdateControlStates();
}

void CMainFrame::ApplyEqualizer(int band, int /*code*/, int /*position*/) {
    if (m_equalizer) m_equalizer->OnSliderScroll(ui::kIdEquaSlider1 + 10 * band);
}

void CMainFrame::SaveEqualizerState() {
    if (m_equalizer) m_equalizer->SaveEqualizerState();
}

void CMainFrame::LoadEqualizerState() {
    if (m_equalizer) m_equalizer->LoadEqualizerState();
}

void CMainFrame::UpdateEqualizerEnable() {
    if (m_equalizer) m_equalizer->UpdateEqualizerEnable();
}

void CMainFrame::CreateSurround() {
    m_surroundHost = std::make_unique<CPlayerSurroundHost>(*m_player);
    // Playback restarts through the module interface, so its position timer
    // and controls follow as after a press of PLAYER_PLAY.
    m_surroundHost->play = [this] { m_host->Player().Play(); };
    m_surroundHost->positionSlider = [this] {
        return m_moduleSite->FirstSliderPosition(modules::EPlayerSlider::Position).value_or(0);
    };
    m_surroundHost->setPositionSlider = [this](int position) {
        m_moduleSite->SetSliderPositions(modules::EPlayerSlider::Position, position, false);
    };
    m_surroundHost->surroundTurnChanged = [this](bool on) {
        m_controls->SetChecked(ui::kIdSurrShow, on, true);
    };
    m_surroundHost->SetSurroundTurn(ui::ReadPlayerSwitches(m_settings).surround);
    m_surround = std::make_unique<CSurroundSettings>(
        m_settings.Path(), platform::ProgramDirectory() + "Zuzuvezizu_presets.ini",
        *m_surroundHost);
    m_surround->LoadSettings(true);
}

void CMainFrame::ApplySurroundSettings() {
    if (m_surround) m_surround->LoadSettings(false);
}

bool CMainFrame::SurroundOn() {
    return m_surroundHost && m_surroundHost->SurroundTurn();
}

void CMainFrame::ShowSurroundDialog() {
    if (!m_surround) return;
    // The button toggled itself when pressed; it shows the switch, not the press.
    m_controls->SetChecked(ui::kIdSurrShow, m_surroundHost->SurroundTurn(), true);
    {
        CSurroundDlg dialog(*m_surround, m_skins.get(), this);
        dialog.Run();
    }
    const std::uint32_t supported = m_surround->supportedModes;
    m_surround->SaveSettings();
    m_surround = std::make_unique<CSurroundSettings>(
        m_settings.Path(), platform::ProgramDirectory() + "Zuzuvezizu_presets.ini",
        *m_surroundHost);
    m_surround->LoadSettings(false);
    m_surround->supportedModes = supported;
}

void CMainFrame::RebuildModuleButtons(ui::CFrameControls& controls, const CXmlNode* modules) {
    modules::RebuildModuleButtons(*m_host, controls, this, modules);
}

void CMainFrame::NotifyActiveModuleSkin() {
    m_host->NotifySkinChanged();
}

void CMainFrame::ReshowActiveModule() {
    // The active module is activated again: it hears KelLoadSkin and
    // KelChangeState(1), its window comes back on top of the rebuilt panels,
    // and the frame menu and accelerators are made anew.
    modules::CModuleEntry* active = m_host->GetActiveModule();
    if (!active) return;
    for (std::size_t i = 0; i < m_host->Count(); ++i)
        if (&m_host->Entry(i) == active) m_host->ActivateModule(static_cast<int>(i));
}

void CMainFrame::OnScrollTextCreated(veneer::CSCScrollStatic* text) {
    if (m_adverts) m_adverts->OnScrollTextCreated(text);
}

veneer::CSkinBase* CMainFrame::CreateTvScreen(QWidget* parent) {
    return m_adverts ? m_adverts->CreateTvScreen(parent) : nullptr;
}

// ---------------------------------------------------------------- site

void CMainFrame::ShowMessage(const std::string& text) {
    trestle::AfxSCMessageBox(text.c_str(), trestle::MB_OK | trestle::MB_ICONWARNING);
}

void CMainFrame::FatalSkinError(const std::string& message, int exitCode) {
    enLedgerline()->WriteLogMessage(kLogSender, "%s", message.c_str());
    trestle::AfxSCMessageBox(message.c_str(), trestle::MB_OK | trestle::MB_ICONERROR);
    if (m_exit) m_exit(exitCode);
}

void CMainFrame::BroadcastSkinChanged() {
    const auto children = findChildren<QWidget*>();
    for (QWidget* w : children) {
        CWindowMessageEvent message(WM_SKIN_CHANGED, 0, 0);
        QCoreApplication::sendEvent(w, &message);
    }
    if (m_moduleClient) m_moduleClient->update();
    // The new maximise button starts with the row's "Maximize" text.
    UpdateZoomTooltip();
}

// ---------------------------------------------------------------- status line

void CMainFrame::SetStatusText(const char* text) {
    m_status.SetStatusText(text);
}

void CMainFrame::ShowStatusMessage(const char* text, unsigned milliseconds) {
    m_status.ShowStatusMessage(text, milliseconds);
}

void CMainFrame::DisplayStatus(const std::string& text) {
    const QString q = QString::fromStdString(text);
    for (veneer::CSkinBase* c : m_controls->FindControls(ui::kIdStatusBar))
        if (auto* s = dynamic_cast<veneer::CSCStatic*>(c)) s->SetText(q);
}

void CMainFrame::RunOnWindowThread(std::function<void()> work) {
    if (QThread::currentThread() == thread())
        work();
    else
        QMetaObject::invokeMethod(this, std::move(work), Qt::QueuedConnection);
}

void CMainFrame::HoverStatusSink(void* context, const std::string& text) {
    auto* frame = static_cast<CMainFrame*>(context);
    // Leaving a control brings the kept status text back.
    frame->DisplayStatus(text.empty() ? frame->m_status.StatusText() : text);
}

// ---------------------------------------------------------------- close

void CMainFrame::closeEvent(QCloseEvent* e) {
    if (m_closed || CloseSequence()) {
        m_closed = true;
        e->accept();
    } else {
        e->ignore();
    }
}

bool CMainFrame::CloseSequence() {
    // 1. The one module that may refuse, unless a restart is pending.
    if (!m_later.ModulesAllowClose() && !m_restartPending) return false;
    // 2. - 3.
    m_later.WriteMessageHistoryLog();
    m_settings.WriteModulesOrder(m_later.ModuleDisplayNames());
    // 4.
    SavePlacementKeys();
    // 5. - 6.
    m_later.ActivateModule(-1);
    m_later.ReleaseModules();
    // 7.
    SaveFrameState();
    m_advertTimer.stop();
    m_bannerTimer.stop();
    m_positionTimer.stop();
    return true;
}

} // namespace shell
