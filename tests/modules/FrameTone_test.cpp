// The whole program path, offscreen: the real application and frame start
// in a scratch program folder whose Modules folder holds the tone module
// (and the observer module, for what a user meets with two modules),
// PLAYER_PLAY goes through the frame's command path, the frame's event loop
// runs until the module's tone has played out through the configured wav:
// device, and the file written at close holds the tone.
#include "audio/EqualizerController.h"
#include "audio/ExtPlayer.h"
#include "audio/ExtPlayerDX.h"
#include "audio/SurroundSettings.h"
#include "audio/dialogs/SurroundDlg.h"
#include "libs/lacquer/Lacquer.h"
#include "libs/trestle/TrestleMessageBox.h"
#include "libs/veneer/Controls.h"
#include "modules/ModuleHost.h"
#include "modules/ShellBridge.h"
#include "platform/AtomicFile.h"
#include "platform/Paths.h"
#include "platform/Profile.h"
#include "shell/KelFrameApp.h"
#include "shell/MainFrame.h"
#include "shell/WindowMessage.h"
#include "sonvara/Messages.h"
#include "support/TempDir.h"
#include "support/UnpluggedDevices.h"
#include "support/WavFile.h"
#include "ui/ControlTable.h"
#include "ui/FrameControls.h"
#include "ui/SkinList.h"

#include <QCoreApplication>
#include <QKeySequence>
#include <QPlainTextEdit>
#include <QShortcut>
#include <QTest>
#include <QWindow>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <gtest/gtest.h>

namespace {

namespace fs = std::filesystem;

using testsupport::ReadWav;
using testsupport::WavData;

class FrameTone : public ::testing::Test {
protected:
    virtual const char* SkinsSource() const { return SHELL_FIXTURES_DIR "/Skins"; }
    void SetUp() override {
        fs::create_directories(program + "Modules");
        fs::create_directories(settingsDir);
        fs::copy(SkinsSource(), program + "Skins", fs::copy_options::recursive);
        fs::create_symlink(TONE_MODULE, program + "Modules/Tone.so");
        platform::SetProgramDirectory(program);
        platform::SetSettingsDirectory(settingsDir);
        // Any question the program asks is answered at once.
        trestle::SetMessageBoxHook([](const trestle::MessageBoxRequest&) { return 1; });
        setenv("SONVARA_AUDIO_OUTPUT", ("wav:" + wavPath).c_str(), 1);
        setenv("SONVARA_TONE_MS", "300", 1);
    }
    void TearDown() override {
        app.reset();
        CExtPlayerDX::OverrideConfiguredDevice({});
        unsetenv("SONVARA_AUDIO_OUTPUT");
        unsetenv("SONVARA_TONE_MS");
        trestle::SetMessageBoxHook(nullptr);
        lacquer::UnloadSkin();
        platform::SetProgramDirectory("");
        platform::SetSettingsDirectory("");
    }

    testsupport::TempDir dir;
    std::string program = dir.file("app/");
    std::string settingsDir = dir.file("settings/");
    std::string wavPath = dir.file("out.wav");
    modules::CModuleHostBridge later;
    std::unique_ptr<shell::CKelFrameApp> app;

    shell::CMainFrame& Start(std::vector<const char*> args = {}) {
        args.insert(args.begin(), "sonvara");
        app = std::make_unique<shell::CKelFrameApp>(static_cast<int>(args.size()), args.data(),
                                                    later);
        EXPECT_TRUE(app->InitInstance());
        return *app->Frame();
    }
    void Command(unsigned id) {
        shell::CWindowMessageEvent message(shell::WM_COMMAND, id, 0);
        QCoreApplication::sendEvent(app->Frame(), &message);
    }
    void CloseAndExit() {
        app->Frame()->close();
        app->ExitInstance(0);
        app.reset();
    }
    std::string Value(const char* section, const char* key) const {
        char buffer[64];
        platform::GetPrivateProfileString(section, key, "<none>", buffer, sizeof buffer,
                                          (settingsDir + "config.ini").c_str());
        return buffer;
    }
};

// The shipped skins: equalizer, switches, sliders and a Modules element.
class FrameWithFullSkin : public FrameTone {
protected:
    const char* SkinsSource() const override { return SONVARA_SKINS_DIR; }
};

TEST_F(FrameTone, PlayInTheRunningFrameWritesTheToneThroughTheConfiguredDevice) {
    const char* argv[] = {"sonvara"};
    app = std::make_unique<shell::CKelFrameApp>(1, argv, later);
    ASSERT_TRUE(app->InitInstance());
    shell::CMainFrame* frame = app->Frame();
    ASSERT_NE(frame, nullptr);
    modules::CModuleHost& host = frame->Host();
    ASSERT_EQ(host.Count(), 1u);
    EXPECT_EQ(later.ModuleDisplayNames(), std::vector<std::string>{"Tone"});
    ASSERT_NE(host.GetActiveModule(), nullptr);

    // Through the window message a skinned button or menu would send.
    shell::CWindowMessageEvent play(shell::WM_COMMAND, sonvara::ID_PLAYER_PLAY, 0);
    QCoreApplication::sendEvent(frame, &play);
    EXPECT_STREQ(host.Player().GetPlayerOwner(), "Tone");
    CExtPlayerDX& player = frame->Player();
    ASSERT_EQ(player.GetState(), CExtPlayer::kPlaying) << player.GetDeviceError();

    // The tone ends by itself; the frame's loop runs meanwhile (timer 1).
    EXPECT_TRUE(QTest::qWaitFor([&] { return player.GetState() != CExtPlayer::kPlaying; }, 30000));
    EXPECT_EQ(player.GetStopReason(), CExtPlayer::kEndOfStream);

    frame->close();
    app->ExitInstance(0);
    app.reset();

    // The module order is written at close from the loaded table.
    char order[64];
    platform::GetPrivateProfileString("MODULES_ORDER", "_1", "", order, sizeof order,
                                      (settingsDir + "config.ini").c_str());
    EXPECT_STREQ(order, "Tone");

    WavData wav;
    ASSERT_TRUE(ReadWav(wavPath, wav));
    ASSERT_EQ(wav.channels, 2);
    ASSERT_EQ(wav.rate, 44100u);
    const std::size_t frames = wav.samples.size() / 2;
    // The tone: the first run of sound, where only zero crossings are quiet.
    std::size_t first = frames, last = 0;
    for (std::size_t n = 0; n < frames; ++n) {
        if (std::abs(wav.samples[2 * n]) <= 100) continue;
        if (first == frames)
            first = n;
        else if (n - last > 32)
            break;
        last = n;
    }
    ASSERT_LT(first, frames);
    ASSERT_GT(last, first + 2000);
    const double toneFrames = 0.3 * 44100;
    EXPECT_NEAR(static_cast<double>(last - first + 1), toneFrames, 0.01 * toneFrames);

    // 440 Hz by zero crossings inside the tone.
    int crossings = 0;
    const std::size_t from = first + 1000, to = last - 1000;
    for (std::size_t n = from; n < to; ++n)
        if ((wav.samples[2 * n] < 0) != (wav.samples[2 * n + 2] < 0)) ++crossings;
    const double hz = crossings / 2.0 / (static_cast<double>(to - from) / 44100.0);
    EXPECT_NEAR(hz, 440.0, 5.0);
}

// The stored equalizer and switches reach the player and the controls at
// start, the frame's buttons and sliders drive them, and the close stores
// what they ended as.
TEST_F(FrameWithFullSkin, PlayerAndEqualizerStateCrossStartControlsAndClose) {
    const std::string config = settingsDir + "config.ini";
    platform::WritePrivateProfileString("PLAYER", "EqualizerTurn", "On", config.c_str());
    platform::WritePrivateProfileString("PLAYER", "EqualizerBand3", "150", config.c_str());
    platform::WritePrivateProfileString("PLAYER", "Shuffle", "On", config.c_str());
    shell::CMainFrame& frame = Start();
    ui::CFrameControls& controls = frame.Controls();

    ASSERT_FALSE(controls.Sliders(ui::kIdEquaSlider1 + 20).empty());
    EXPECT_EQ(controls.Sliders(ui::kIdEquaSlider1 + 20).front()->GetPos(), 150);
    EXPECT_TRUE(controls.Sliders(ui::kIdEquaSlider1 + 20).front()->isEnabled());
    EXPECT_TRUE(frame.Player().IsEqualizerOn());
    EXPECT_FLOAT_EQ(frame.Player().GetEqualizerGains()[2],
                    CEqualizerController::GainFromPosition(150));
    EXPECT_EQ(frame.Host().Player().GetShuffle(), 1);

    // The skin names modules that are not loaded: their buttons are there,
    // disabled; the loaded Tone module keeps its place behind, on the
    // skin's button for other modules.
    const auto& rows = controls.ModuleButtons();
    ASSERT_EQ(rows.size(), 4u);
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(rows[i].id, -1);
        EXPECT_FALSE(rows[i].control->GetWnd()->isEnabled());
    }
    EXPECT_EQ(rows[3].id, 236);
    EXPECT_EQ(rows[3].tooltip, "Tone");
    EXPECT_EQ(later.ModuleDisplayNames(), std::vector<std::string>{"Tone"});

    Command(ui::kIdEquaTurn);
    EXPECT_FALSE(frame.Player().IsEqualizerOn());
    EXPECT_FALSE(controls.Sliders(ui::kIdEquaSlider1 + 20).front()->isEnabled());
    Command(ui::kIdPlayerShuffle);
    EXPECT_EQ(frame.Host().Player().GetShuffle(), 0);

    // The sliders start where the player is; a drag moves the player.
    ASSERT_FALSE(controls.Sliders(ui::kIdPlayerVolume).empty());
    EXPECT_EQ(controls.Sliders(ui::kIdPlayerVolume).front()->GetPos(),
              static_cast<int>(frame.Player().GetVolume()));
    ASSERT_FALSE(controls.Sliders(ui::kIdPlayerBalance).empty());
    EXPECT_EQ(controls.Sliders(ui::kIdPlayerBalance).front()->GetPos(),
              static_cast<int>(frame.Player().GetBalance()));
    controls.DispatchSlider(ui::kIdPlayerVolume, veneer::kSbThumbTrack, 40);
    EXPECT_EQ(frame.Player().GetVolume(), 40u);
    // The position: not while the thumb is dragged, where it is let go, and
    // where a page click leaves it (otherwise the thumb shows a place the
    // player is not at).
    controls.DispatchSlider(ui::kIdPlayerPosition, veneer::kSbThumbTrack, 50);
    EXPECT_EQ(frame.Host().Player().GetPosition(), 0u);
    controls.DispatchSlider(ui::kIdPlayerPosition, veneer::kSbThumbPosition, 50);
    controls.DispatchSlider(ui::kIdPlayerPosition, veneer::kSbEndScroll, 50);
    EXPECT_EQ(frame.Host().Player().GetPosition(), 50u);
    controls.DispatchSlider(ui::kIdPlayerPosition, veneer::kSbPageDown, 60);
    controls.DispatchSlider(ui::kIdPlayerPosition, veneer::kSbEndScroll, 60);
    EXPECT_EQ(frame.Host().Player().GetPosition(), 60u);

    // Another skin: the bands keep their places and the module stays shown.
    const auto& skins = frame.Skins().Skins();
    ASSERT_EQ(skins.size(), 2u);
    const unsigned other =
        static_cast<unsigned>(ui::kSkinCommandFirst + (frame.Skins().CurrentIndex() == 0 ? 1 : 0));
    Command(other);
    ASSERT_EQ(static_cast<unsigned>(ui::kSkinCommandFirst + frame.Skins().CurrentIndex()), other);
    ASSERT_FALSE(controls.Sliders(ui::kIdEquaSlider1 + 20).empty());
    EXPECT_EQ(controls.Sliders(ui::kIdEquaSlider1 + 20).front()->GetPos(), 150);
    ASSERT_NE(frame.Host().GetActiveModule(), nullptr);
    QWidget* window = frame.Host().GetActiveModule()->Window;
    ASSERT_NE(window, nullptr);
    EXPECT_FALSE(window->isHidden());
    EXPECT_EQ(window->geometry(), frame.ModuleClientArea()->rect());

    CloseAndExit();
    EXPECT_EQ(Value("PLAYER", "EqualizerTurn"), "Off");
    EXPECT_EQ(Value("PLAYER", "EqualizerBand3"), "150");
    EXPECT_EQ(Value("PLAYER", "Shuffle"), "Off");
}

// Both test modules installed, with the shipped skins: what a user meets.
class FrameWithTwoModules : public FrameWithFullSkin {
protected:
    void SetUp() override {
        FrameWithFullSkin::SetUp();
        fs::create_symlink(OBSERVER_MODULE, program + "Modules/Observer.so");
        trestle::SetMessageBoxHook([this](const trestle::MessageBoxRequest& r) {
            boxes.push_back(r);
            return trestle::IDOK;
        });
    }
    // The module button whose tooltip names the module.
    veneer::CSCButton* ButtonOf(const char* module) {
        for (const ui::SModuleButtonRow& row : app->Frame()->Controls().ModuleButtons())
            if (row.tooltip == module) return dynamic_cast<veneer::CSCButton*>(row.control);
        return nullptr;
    }
    // What the observer module was sent, as its window shows it.
    QString ObserverLog() {
        modules::CModuleEntry* entry = app->Frame()->Host().FindModule("Observer");
        auto* view = entry ? qobject_cast<QPlainTextEdit*>(entry->Window) : nullptr;
        return view ? view->toPlainText() : QString();
    }
    void Click(QWidget* button) {
        QTest::mouseClick(button, Qt::LeftButton);
        QCoreApplication::processEvents(); // the button's command is posted
    }
    std::vector<trestle::MessageBoxRequest> boxes;
};

// Module buttons that were never placed, a module window stuck at its old
// size, a module swallowing close and zoom, a module's text read as a string
// id, a skin change that did not activate the module again, and transport
// buttons left in the playing state: all met in one session with two modules.
TEST_F(FrameWithTwoModules, TwoModulesAreSwitchedResizedAndClosedOnBothSkins) {
    shell::CMainFrame& frame = Start();
    modules::CModuleHost& host = frame.Host();
    ASSERT_EQ(later.ModuleDisplayNames(), (std::vector<std::string>{"Observer", "Tone"}));
    EXPECT_EQ(frame.windowTitle(), QStringLiteral("Sonvara : Observer"));
    EXPECT_FALSE(frame.windowIcon().isNull());
    frame.showNormal();
    frame.resize(900, 560);
    QCoreApplication::processEvents();

    for (int round = 0; round < 2; ++round) {
        const std::string skin = frame.Skins().Current()->name;
        SCOPED_TRACE(skin);
        veneer::CSCButton* observer = ButtonOf("Observer");
        veneer::CSCButton* tone = ButtonOf("Tone");
        ASSERT_NE(observer, nullptr);
        ASSERT_NE(tone, nullptr);
        // Neither is named by the skin: both wear its button for other
        // modules, one under the other in the side panel.
        for (veneer::CSCButton* b : {observer, tone}) {
            EXPECT_TRUE(b->isVisibleTo(&frame));
            EXPECT_TRUE(b->isEnabled());
            EXPECT_TRUE(b->IsCustomSkin());
            EXPECT_EQ(b->parentWidget(), frame.Panels().Panel(ui::EPanel::Left));
        }
        EXPECT_EQ(observer->toolTip(), QStringLiteral("Observer"));
        EXPECT_EQ(observer->geometry(), QRect(4, 92, 36, 36));
        EXPECT_EQ(tone->geometry(), QRect(4, 134, 36, 36));
        EXPECT_TRUE(observer->isChecked());
        EXPECT_FALSE(tone->isChecked());
        fs::create_directories(SCREENSHOT_DIR);
        EXPECT_TRUE(frame.grab().save(QString::fromStdString(std::string(SCREENSHOT_DIR) +
                                                             "/sonvara-modules-" + skin + ".png")));

        Click(tone);
        EXPECT_EQ(host.GetActiveModule()->Name, "Tone");
        EXPECT_TRUE(tone->isChecked());
        EXPECT_FALSE(observer->isChecked());
        EXPECT_EQ(frame.windowTitle(), QStringLiteral("Sonvara : Tone"));
        Click(observer);
        EXPECT_EQ(host.GetActiveModule()->Name, "Observer");

        if (round == 0) {
            // Another skin: the shown module is activated anew.
            const int statesBefore = ObserverLog().count(QStringLiteral("state 1"));
            Command(static_cast<unsigned>(ui::kSkinCommandFirst +
                                          (frame.Skins().CurrentIndex() == 0 ? 1 : 0)));
            EXPECT_NE(frame.Skins().Current()->name, skin);
            EXPECT_EQ(ObserverLog().count(QStringLiteral("state 1")), statesBefore + 1);
            EXPECT_TRUE(ObserverLog().endsWith(QStringLiteral("skin\nskin\nstate 1")))
                << ObserverLog().toStdString();
        }
    }

    // Resizing by the bottom-right corner; the module window follows, and
    // the left edge stops at the skin's minimum width.
    QWidget* shown = host.GetActiveModule()->Window;
    QWindow* window = frame.windowHandle();
    ASSERT_NE(window, nullptr);
    const QSize before = frame.size();
    const QPoint corner(before.width() - 2, before.height() - 2);
    QTest::mousePress(window, Qt::LeftButton, {}, corner);
    QTest::mouseMove(window, corner + QPoint(120, 80));
    QTest::mouseRelease(window, Qt::LeftButton, {}, corner + QPoint(120, 80));
    EXPECT_EQ(frame.size(), before + QSize(120, 80));
    EXPECT_EQ(shown->geometry(), frame.ModuleClientArea()->rect());
    const QPoint leftEdge(1, frame.height() / 2);
    QTest::mousePress(window, Qt::LeftButton, {}, leftEdge);
    QTest::mouseMove(window, leftEdge + QPoint(2000, 0));
    QTest::mouseRelease(window, Qt::LeftButton, {}, leftEdge + QPoint(2000, 0));
    EXPECT_EQ(frame.width(), frame.minimumWidth());
    EXPECT_EQ(shown->geometry(), frame.ModuleClientArea()->rect());

    // The observer claims every command offered to it; the frame's own
    // come first all the same, and system commands reach its window.
    Command(ui::kIdPlayerShow);
    EXPECT_EQ(shown->geometry(), frame.ModuleClientArea()->rect());
    Command(shell::ID_FRAME_ZOOM);
    EXPECT_TRUE(frame.isMaximized());
    EXPECT_EQ(shown->geometry(), frame.ModuleClientArea()->rect());
    Command(0xF060);
    EXPECT_TRUE(ObserverLog().contains(QStringLiteral("window 0x0111 61536")));
    EXPECT_FALSE(ObserverLog().contains(QStringLiteral("routed 34080")));

    // The module's own words in the host's message box.
    EXPECT_EQ(host.SendModuleMessage("Observer", "Main frame", "say Hello from a module"), 0);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "Hello from a module");
    EXPECT_EQ(boxes[0].caption, "Observer module");
    EXPECT_EQ(boxes[0].type, 0x40u);
    EXPECT_TRUE(ObserverLog().contains(QStringLiteral("box answered 1")));

    // A tone that ends by itself leaves the transport as a Stop would.
    Click(ButtonOf("Tone"));
    ui::CFrameControls& controls = frame.Controls();
    QWidget* stop = controls.FindControls(ui::kIdPlayerStop).front()->GetWnd();
    Command(sonvara::ID_PLAYER_PLAY);
    ASSERT_EQ(frame.Player().GetState(), CExtPlayer::kPlaying) << frame.Player().GetDeviceError();
    EXPECT_TRUE(stop->isEnabled());
    EXPECT_TRUE(QTest::qWaitFor([&] { return !stop->isEnabled(); }, 30000));
    EXPECT_EQ(frame.Player().GetStopReason(), CExtPlayer::kEndOfStream);
    EXPECT_FALSE(controls.FindControls(ui::kIdPlayerPause).front()->GetWnd()->isEnabled());
    EXPECT_TRUE(controls.FindControls(ui::kIdPlayerPlay).front()->GetWnd()->isEnabled());
    EXPECT_FALSE(frame.PositionTimer().isActive());

    // Closed while the greedy module is shown.
    Click(ButtonOf("Observer"));
    Command(shell::ID_FRAME_CLOSE);
    EXPECT_FALSE(frame.isVisible());
    app->ExitInstance(0);
    app.reset();
}

// Files for a module that is not installed must not vanish without a word.
TEST_F(FrameTone, FilesNoModuleTakesAreNamedInTheStatusLineAndTheLog) {
    shell::CMainFrame& frame = Start({"/music/a b.mp3", "/music/c.mp3"});
    EXPECT_EQ(frame.StatusText(),
              "Not opened: \"a b.mp3\", \"c.mp3\" (no module \"Sonvara Suite\")");
    CloseAndExit();
    std::string log;
    ASSERT_TRUE(platform::ReadWholeFile(settingsDir + "sonvara-debug.log", log));
    EXPECT_NE(log.find("\"/music/a b.mp3\", \"/music/c.mp3\""), std::string::npos) << log;
}

// A device that cannot be opened must not look like silent playing.
TEST_F(FrameTone, ADeviceThatCannotOpenIsToldInTheStatusLine) {
    setenv("SONVARA_AUDIO_OUTPUT", "no-such-device", 1);
    shell::CMainFrame& frame = Start();
    Command(sonvara::ID_PLAYER_PLAY);
    EXPECT_NE(frame.Player().GetState(), CExtPlayer::kPlaying);
    EXPECT_NE(frame.StatusText().find("Cannot open the sound device"), std::string::npos)
        << frame.StatusText();
    CloseAndExit();
}

// A sound card that goes away while the tone plays: the run fails and the
// frame's own timer puts what happened in the status line, in either skin.
TEST_F(FrameWithFullSkin, ADeviceLostWhilePlayingIsToldInTheStatusLine) {
    testsupport::UnpluggedOutput* device = nullptr;
    CExtPlayerDX::OverrideConfiguredDevice([&](std::string*) {
        auto d = std::make_unique<testsupport::UnpluggedOutput>(8192);
        device = d.get();
        return std::unique_ptr<platform::audio::OutputDevice>(std::move(d));
    });
    setenv("SONVARA_TONE_MS", "5000", 1);
    shell::CMainFrame& frame = Start();
    frame.showNormal();
    Command(sonvara::ID_PLAYER_PLAY);
    CExtPlayerDX& player = frame.Player();
    ASSERT_EQ(player.GetState(), CExtPlayer::kPlaying) << player.GetDeviceError();
    ASSERT_NE(device, nullptr);
    // The card's clock is this test's: it plays until it is unplugged.
    for (int step = 0; step < 100 && !device->HasFailed(); ++step) {
        device->Advance(512);
        QCoreApplication::processEvents();
    }
    ASSERT_TRUE(device->HasFailed());
    const std::string told = "Playback stopped: the test speaker was unplugged";
    EXPECT_TRUE(QTest::qWaitFor([&] { return frame.StatusText() == told; }, 10000))
        << frame.StatusText();
    EXPECT_EQ(player.GetState(), CExtPlayer::kFailed);
    fs::create_directories(SCREENSHOT_DIR);
    for (int round = 0; round < 2; ++round) {
        const std::string skin = frame.Skins().Current()->name;
        EXPECT_EQ(frame.StatusText(), told) << skin;
        EXPECT_TRUE(frame.grab().save(QString::fromStdString(
            std::string(SCREENSHOT_DIR) + "/sonvara-device-lost-" + skin + ".png")));
        if (round == 0)
            Command(static_cast<unsigned>(ui::kSkinCommandFirst +
                                          (frame.Skins().CurrentIndex() == 0 ? 1 : 0)));
    }
    CloseAndExit();
}

// Files named on the command line go to the AutoOpen module as an "open"
// message while the module-choice dialog does not exist (as if the user had
// said not to be asked), and the request is in the log written at close.
TEST_F(FrameTone, CommandLineFilesGoToTheAutoOpenModule) {
    platform::WritePrivateProfileString("Main frame: params", "AutoOpen", "Tone",
                                        (settingsDir + "config.ini").c_str());
    shell::CMainFrame& frame = Start({"/music/a b.mp3", "/music/c.mp3"});
    const auto history = frame.Host().History().Snapshot();
    ASSERT_EQ(history.size(), 1u);
    EXPECT_EQ(history[0].Recipient, "Tone");
    EXPECT_EQ(history[0].Sender, "Main frame");
    EXPECT_EQ(history[0].Message, "open \"/music/a b.mp3\" \"/music/c.mp3\"");
    EXPECT_EQ(history[0].Result, 0); // MESSAGE_OK
    CloseAndExit();
    std::string log;
    ASSERT_TRUE(platform::ReadWholeFile(settingsDir + "sonvara.log", log));
    EXPECT_NE(log.find("Recipient: Tone\n"), std::string::npos) << log;
}

// The merged table becomes the frame's shortcuts. Where the module's entry
// and the host's bind the same keys, the first (the module's) must win:
// Qt would fire neither of two shortcuts with equal keys.
TEST_F(FrameTone, MergedAcceleratorsBecomeShortcutsAndTheFirstOfEqualKeysWins) {
    shell::CMainFrame& frame = Start();
    SvAcceleratorList merged{{{"Ctrl+M", shell::ID_FRAME_ZOOM}, {"Ctrl+M", shell::ID_FRAME_CLOSE}}};
    frame.Host().Site().SetFrameAccelerators(merged);
    std::vector<QShortcut*> bound;
    for (QShortcut* s : frame.findChildren<QShortcut*>())
        if (s->key() == QKeySequence(QStringLiteral("Ctrl+M"))) bound.push_back(s);
    ASSERT_EQ(bound.size(), 1u);
    const bool wasMaximized = frame.isMaximized();
    Q_EMIT bound.front()->activated();
    EXPECT_NE(frame.isMaximized(), wasMaximized);
    EXPECT_TRUE(frame.isVisible());

    // A new table replaces the old one.
    frame.Host().Site().SetFrameAccelerators({});
    for (QShortcut* s : frame.findChildren<QShortcut*>())
        EXPECT_NE(s->key(), QKeySequence(QStringLiteral("Ctrl+M")));
    CloseAndExit();
}

// Surround switched on from its dialog while the tone plays: the output
// starts again in 5.1 (the WAV file of the new run has six channels), the
// frame's SURR_SHOW button shows the switch and keeps showing it across a
// skin change, and the close stores the switch and the settings.
TEST_F(FrameWithFullSkin, SurroundTurnedOnWhilePlayingSwitchesTheOutputAndKeepsTheButton) {
    setenv("SONVARA_TONE_MS", "1500", 1);
    shell::CMainFrame& frame = Start();
    ui::CFrameControls& controls = frame.Controls();
    auto surrShow = [&] {
        const auto list = controls.FindControls(ui::kIdSurrShow);
        return list.empty() ? nullptr : dynamic_cast<veneer::CSCButton*>(list.front());
    };
    ASSERT_NE(surrShow(), nullptr);
    EXPECT_FALSE(surrShow()->isChecked());

    Command(sonvara::ID_PLAYER_PLAY);
    CExtPlayerDX& player = frame.Player();
    ASSERT_EQ(player.GetState(), CExtPlayer::kPlaying) << player.GetDeviceError();

    bool shown = false;
    CSurroundDlg::SetTestHook([&](CSurroundDlg& dialog) {
        shown = true;
        static_cast<QAbstractButton*>(dialog.Control(CSurroundSettings::kTurnCheck))->click();
        EXPECT_TRUE(surrShow()->isChecked());
    });
    Command(ui::kIdSurrShow);
    CSurroundDlg::SetTestHook(nullptr);
    ASSERT_TRUE(shown);
    EXPECT_TRUE(frame.SurroundOn());
    EXPECT_TRUE(player.IsSurroundOn());
    EXPECT_EQ(player.GetState(), CExtPlayer::kPlaying);
    EXPECT_TRUE(surrShow()->isChecked());

    // Another skin: the new button shows the switch too.
    const int other = frame.Skins().IsCurrentCommand(ui::kSkinCommandFirst) ? 1 : 0;
    ASSERT_TRUE(frame.OnCommand(static_cast<unsigned>(ui::kSkinCommandFirst + other)));
    ASSERT_NE(surrShow(), nullptr);
    EXPECT_TRUE(surrShow()->isChecked());

    EXPECT_TRUE(QTest::qWaitFor([&] { return player.GetState() != CExtPlayer::kPlaying; }, 30000));
    CloseAndExit();
    EXPECT_EQ(Value("PLAYER", "ZuzuvezizuTurn"), "On");
    EXPECT_EQ(Value("PLAYER", "SurroundMode"), "2");
    WavData wav;
    ASSERT_TRUE(ReadWav(wavPath, wav));
    EXPECT_EQ(wav.channels, 6);
    EXPECT_GT(wav.samples.size(), 6u * 4410);
    // The tone goes on in the new run, spread over the speakers.
    int loudest = 0;
    for (std::int16_t v : wav.samples)
        loudest = std::max(loudest, std::abs(static_cast<int>(v)));
    EXPECT_GT(loudest, 1000);
}

} // namespace
