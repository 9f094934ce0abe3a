// The application and main frame on the offscreen platform: start-up, the
// flags, placement, the status line, the frame commands, the language change
// and the close sequence, in a temporary program directory.
#include "QtTestApp.h"
#include "libs/lacquer/Lacquer.h"
#include "libs/trestle/TrestleMessageBox.h"
#include "libs/veneer/Controls.h"
#include "platform/AtomicFile.h"
#include "platform/Paths.h"
#include "platform/Profile.h"
#include "shell/KelFrameApp.h"
#include "shell/LaterSubsystems.h"
#include "shell/MainFrame.h"
#include "shell/StartingDlg.h"
#include "shell/WindowMessage.h"
#include "support/TempDir.h"
#include "ui/ControlTable.h"

#include <QApplication>
#include <QCoreApplication>
#include <QEventLoop>
#include <QMenu>
#include <QStatusTipEvent>
#include <filesystem>
#include <gtest/gtest.h>
#include <map>
#include <thread>

namespace {

namespace fs = std::filesystem;
using namespace shell;

// Watches what start-up and close ask of the subsystems that come later.
struct RecordingSubsystems : CLaterSubsystems {
    std::vector<std::string> calls;
    std::optional<bool> isDefault;
    int askAnswer = 0;
    int chooseAnswer = 0;
    bool allowClose = true;
    std::vector<std::string> modules;

    // Each call with what the splash showed at that moment.
    std::map<std::string, std::string> splashAt;
    void Note(const std::string& what) {
        calls.push_back(what);
        CStartingDlg* splash = CStartingDlg::Current();
        splashAt[what] = splash ? splash->ProgressText().toStdString() : "<no splash>";
    }
    bool Called(const std::string& what) const {
        return std::find(calls.begin(), calls.end(), what) != calls.end();
    }
    std::ptrdiff_t IndexOf(const std::string& what) const {
        return std::find(calls.begin(), calls.end(), what) - calls.begin();
    }

    std::optional<bool> IsDefaultPlayer() override { return isDefault; }
    bool RegisterDefaultPlayer() override {
        Note("Register");
        return true;
    }
    bool UnregisterDefaultPlayer() override {
        Note("Unregister");
        return true;
    }
    int AskDefaultPlayer() override {
        Note("AskDefaultPlayer");
        return askAnswer;
    }
    int ChooseModuleForFiles() override {
        Note("ChooseModule");
        return chooseAnswer;
    }
    void LoadModules() override { Note("LoadModules"); }
    std::vector<std::string> ModuleDisplayNames() override { return modules; }
    void ActivateModule(int index) override { Note("ActivateModule " + std::to_string(index)); }
    bool ActivateModuleByName(const std::string& name) override {
        Note("ActivateModuleByName " + name);
        return true;
    }
    int SendModuleMessage(const std::string& to, const std::string& from,
                          const std::string& text) override {
        Note("Send " + to + "|" + from + "|" + text);
        return 0;
    }
    bool ModulesAllowClose() override { return allowClose; }
    void WriteMessageHistoryLog() override { Note("WriteMessageHistoryLog"); }
    void ReleaseModules() override { Note("ReleaseModules"); }
    void BuildEffectMenus() override { Note("BuildEffectMenus"); }
    void BuildFrameMenu() override { Note("BuildFrameMenu"); }
    void CreateSurroundDialog() override { Note("CreateSurroundDialog"); }
    void RestorePlayerState() override { Note("RestorePlayerState"); }
    void SavePlayerState() override { Note("SavePlayerState"); }
    void LoadAdverts() override { Note("LoadAdverts"); }
    void ReloadAdvertLists() override { Note("ReloadAdvertLists"); }
    bool CreateTrayIcon() override {
        Note("CreateTrayIcon");
        return false;
    }
};

class FrameTest : public ::testing::Test {
protected:
    void SetUp() override {
        shelltest::EnsureApplication();
        fs::create_directories(program);
        fs::create_directories(settingsDir);
        fs::copy(SHELL_FIXTURES_DIR "/Skins", program + "Skins", fs::copy_options::recursive);
        platform::SetProgramDirectory(program);
        platform::SetSettingsDirectory(settingsDir);
        trestle::SetMessageBoxHook([this](const trestle::MessageBoxRequest& r) {
            boxes.push_back(r.text);
            return boxAnswer;
        });
    }
    void TearDown() override {
        app.reset();
        trestle::SetMessageBoxHook(nullptr);
        lacquer::UnloadSkin();
        platform::SetProgramDirectory("");
        platform::SetSettingsDirectory("");
    }

    CKelFrameApp& Start(std::vector<const char*> args = {}) {
        args.insert(args.begin(), "sonvara");
        app = std::make_unique<CKelFrameApp>(static_cast<int>(args.size()), args.data(), later);
        app->SetRestartLauncher([this] { return ++restarts, true; });
        return *app;
    }
    // Closes the frame as the user would and ends the application object.
    void CloseAndExit() {
        ASSERT_TRUE(app->Frame());
        app->Frame()->close();
        app->ExitInstance(0);
        app.reset();
    }
    std::string Config() const { return settingsDir + "config.ini"; }
    std::string Param(const char* key) const {
        char buf[64];
        platform::GetPrivateProfileString("Main frame: params", key, "<none>", buf, sizeof buf,
                                          Config().c_str());
        return buf;
    }
    std::string Value(const char* section, const char* key) const {
        char buf[64];
        platform::GetPrivateProfileString(section, key, "<none>", buf, sizeof buf,
                                          Config().c_str());
        return buf;
    }
    static void Drain() {
        for (int i = 0; i < 5; ++i)
            QCoreApplication::processEvents(QEventLoop::AllEvents);
    }

    testsupport::TempDir dir;
    std::string program = dir.file("app/");
    std::string settingsDir = dir.file("settings/");
    RecordingSubsystems later;
    std::unique_ptr<CKelFrameApp> app;
    std::vector<std::string> boxes;
    int boxAnswer = trestle::IDOK;
    int restarts = 0;
};

TEST_F(FrameTest, FreshStartShowsTheSkinnedFrameMaximisedAndReady) {
    ASSERT_TRUE(Start().InitInstance());
    CMainFrame* frame = app->Frame();
    ASSERT_TRUE(frame);
    EXPECT_TRUE(frame->isVisible());
    EXPECT_TRUE(frame->isMaximized());
    EXPECT_TRUE(frame->isEnabled());
    EXPECT_EQ(CStartingDlg::Current(), nullptr);
    EXPECT_EQ(frame->Skins().Current()->name, "Shell Test");
    EXPECT_EQ(frame->StatusText(), "Ready");
    EXPECT_TRUE(frame->StatusMessageActive());
    EXPECT_EQ(frame->DebugFilterLevel(), 0);
    EXPECT_TRUE(boxes.empty());

    // The status line shows the loaded message over the kept "Ready".
    auto status = frame->Controls().FindControls(ui::kIdStatusBar);
    ASSERT_EQ(status.size(), 1u);
    auto* text = dynamic_cast<veneer::CSCStatic*>(status[0]);
    ASSERT_TRUE(text);
    EXPECT_EQ(text->Text().toStdString(), "Sonvara, version 4.0.68 loaded successfully.");

    // The creation order around the frame's own steps.
    const std::vector<std::string> order = {
        "CreateTrayIcon",    "CreateSurroundDialog", "BuildEffectMenus",
        "LoadAdverts",       "LoadModules",          "RestorePlayerState",
        "ReloadAdvertLists", "BuildFrameMenu",       "ActivateModule 0"};
    for (std::size_t i = 1; i < order.size(); ++i)
        EXPECT_LT(later.IndexOf(order[i - 1]), later.IndexOf(order[i])) << order[i];
    // The splash tells what start-up is doing while it does it.
    EXPECT_EQ(later.splashAt["CreateSurroundDialog"], "Creating Skin Elements...");
    EXPECT_EQ(later.splashAt["BuildEffectMenus"], "Loading Effects...");
    EXPECT_EQ(later.splashAt["LoadAdverts"], "Loading Advertisings...");
    EXPECT_EQ(later.splashAt["LoadModules"], "Loading Modules...");
    EXPECT_EQ(later.splashAt["RestorePlayerState"], "Initializing Main Frame State...");
    // No registration exists yet, so nothing was asked.
    EXPECT_FALSE(later.Called("AskDefaultPlayer"));

    // No language library and no Language.xml: English, written down.
    ASSERT_EQ(app->Languages().size(), 1u);
    EXPECT_EQ(app->Languages()[0].Name, "English");
    EXPECT_TRUE(fs::exists(settingsDir + "Language.xml"));
}

TEST_F(FrameTest, CloseWritesTheStateAndExactPlacementRoundTrips) {
    // An earlier run had five modules; this one has three.
    for (int i = 1; i <= 5; ++i)
        platform::WritePrivateProfileString("MODULES_ORDER", ("_" + std::to_string(i)).c_str(),
                                            "Old", Config().c_str());
    later.modules = {"Alpha", "Beta", "Gamma"};
    ASSERT_TRUE(Start().InitInstance());
    app->Frame()->showNormal();
    app->Frame()->setGeometry(90, 70, 900, 600);
    Drain();
    const QRect before = app->Frame()->frameGeometry();
    CloseAndExit();

    EXPECT_EQ(Param("Size"), "Exact");
    EXPECT_EQ(Param("Left"), std::to_string(before.left()));
    EXPECT_EQ(Param("Width"), "900");
    EXPECT_EQ(Param("Height"), "600");
    EXPECT_EQ(Value("MODULES_ORDER", "_1"), "Alpha");
    EXPECT_EQ(Value("MODULES_ORDER", "_3"), "Gamma");
    EXPECT_EQ(Value("MODULES_ORDER", "_4"), "");
    EXPECT_EQ(Value("MODULES_ORDER", "_5"), "");
    EXPECT_EQ(Value("CURRENTSKIN", "Name"), "Shell Test");
    EXPECT_EQ(Value("FRAME OPTIONS", "PanelPlayer"), "On");
    // The close order: history, modules released after deactivation, state.
    EXPECT_LT(later.IndexOf("WriteMessageHistoryLog"), later.IndexOf("ActivateModule -1"));
    EXPECT_LT(later.IndexOf("ActivateModule -1"), later.IndexOf("ReleaseModules"));
    EXPECT_LT(later.IndexOf("ReleaseModules"), later.IndexOf("SavePlayerState"));

    ASSERT_TRUE(Start().InitInstance());
    EXPECT_FALSE(app->Frame()->isMaximized());
    EXPECT_EQ(app->Frame()->frameGeometry(), before);
}

// Closing maximised must keep the rectangle of the last normal close.
TEST_F(FrameTest, ClosingMaximisedStoresOnlyTheSize) {
    ASSERT_TRUE(Start().InitInstance());
    app->Frame()->showNormal();
    app->Frame()->setGeometry(50, 60, 700, 500);
    CloseAndExit();
    ASSERT_EQ(Param("Size"), "Exact");
    const std::string left = Param("Left");

    ASSERT_TRUE(Start().InitInstance());
    app->Frame()->showMaximized();
    CloseAndExit();
    EXPECT_EQ(Param("Size"), "Maximize");
    EXPECT_EQ(Param("Left"), left);
    EXPECT_EQ(Param("Width"), "700");
}

TEST_F(FrameTest, RegAndNostartRegisterAndCreateNoWindow) {
    later.isDefault = false;
    EXPECT_FALSE(Start({"/reg", "-unreg", "/NOSTART"}).InitInstance());
    EXPECT_EQ(app->ExitCode(), 0);
    EXPECT_EQ(app->Frame(), nullptr);
    EXPECT_EQ(later.calls, (std::vector<std::string>{"Register"}));
    EXPECT_EQ(CStartingDlg::Current(), nullptr);
}

TEST_F(FrameTest, UnregActsOnlyWhenTheProgramIsTheDefault) {
    later.isDefault = false;
    EXPECT_FALSE(Start({"/unreg", "/nostart"}).InitInstance());
    EXPECT_TRUE(later.calls.empty());
    later.isDefault = true;
    EXPECT_FALSE(Start({"/unreg", "/nostart"}).InitInstance());
    EXPECT_EQ(later.calls, (std::vector<std::string>{"Unregister"}));
}

TEST_F(FrameTest, DefaultPlayerQuestionAndFileHandOver) {
    platform::WritePrivateProfileString("Main frame: params", "AutoOpen_AskMe", "No",
                                        Config().c_str());
    platform::WritePrivateProfileString("Main frame: params", "AutoOpen", "Voice Lab",
                                        Config().c_str());
    later.isDefault = false;
    later.askAnswer = trestle::IDYES;
    ASSERT_TRUE(Start({"/music/a b.wav", "/music/c.mp3"}).InitInstance());
    EXPECT_TRUE(later.Called("AskDefaultPlayer"));
    EXPECT_TRUE(later.Called("Register"));
    EXPECT_FALSE(later.Called("ChooseModule"));
    EXPECT_TRUE(later.Called("ActivateModuleByName Voice Lab"));
    EXPECT_TRUE(later.Called("Send Voice Lab|Main frame|open \"/music/a b.wav\" \"/music/c.mp3\""));
}

TEST_F(FrameTest, CancelledModuleChoiceOpensNothingAndNoQuestionWhenSwitchedOff) {
    platform::WritePrivateProfileString("Main frame: params", "CheckDefaultPlayer", "no",
                                        Config().c_str());
    later.isDefault = false;
    later.chooseAnswer = trestle::IDCANCEL;
    ASSERT_TRUE(Start({"/music/a.wav"}).InitInstance());
    EXPECT_FALSE(later.Called("AskDefaultPlayer"));
    EXPECT_TRUE(later.Called("ChooseModule"));
    EXPECT_EQ(later.IndexOf("ActivateModuleByName Sonvara Suite"),
              static_cast<std::ptrdiff_t>(later.calls.size()));
}

// A program without any usable skin must end with a message and code 1, not
// crash on an empty skin list.
TEST_F(FrameTest, NoUsableSkinEndsWithMessageAndExitCode1) {
    fs::remove_all(program + "Skins");
    EXPECT_FALSE(Start().InitInstance());
    EXPECT_EQ(app->ExitCode(), 1);
    EXPECT_EQ(app->Frame(), nullptr);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(CStartingDlg::Current(), nullptr);
}

TEST_F(FrameTest, SkinWithoutMainFrameEndsWithCantLoadSkin) {
    fs::remove_all(program + "Skins");
    fs::create_directories(program + "Skins");
    const std::string path = program + "Skins/Hollow.xml";
    ASSERT_TRUE(platform::WriteFileAtomically(path, "<SKIN Caption=\"Hollow\"/>"));
    EXPECT_FALSE(Start().InitInstance());
    EXPECT_EQ(app->ExitCode(), 1);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0], "Can't load skin " + path);
}

// A skin that cannot be applied must leave the old one in place and say so
// in a box, not leave the frame without controls.
TEST_F(FrameTest, FailedSkinChangeKeepsTheSkinAndTellsTheUser) {
    const std::string hollow = program + "Skins/Hollow.xml";
    ASSERT_TRUE(platform::WriteFileAtomically(hollow, "<SKIN Caption=\"Hollow\"/>"));
    platform::WritePrivateProfileString("CURRENTSKIN", "Name", "Shell Test", Config().c_str());
    ASSERT_TRUE(Start().InitInstance());
    CMainFrame* frame = app->Frame();
    const auto& skins = frame->Skins().Skins();
    ASSERT_EQ(skins.size(), 2u);
    const int good = frame->Skins().CurrentIndex();
    const unsigned hollowCommand = 366 + (skins[0].name == "Hollow" ? 0 : 1);
    EXPECT_TRUE(frame->OnCommand(hollowCommand));
    EXPECT_EQ(frame->Skins().CurrentIndex(), good);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0], "Can't load skin: " + hollow);
    EXPECT_EQ(frame->Controls().FindControls(ui::kIdStatusBar).size(), 1u);
}

TEST_F(FrameTest, StatusMessageGivesWayToTheKeptText) {
    ASSERT_TRUE(Start().InitInstance());
    CMainFrame* frame = app->Frame();
    auto* text =
        dynamic_cast<veneer::CSCStatic*>(frame->Controls().FindControls(ui::kIdStatusBar).at(0));
    ASSERT_TRUE(text);
    frame->SetStatusText("Playing");
    frame->ShowStatusMessage("Saved", 0);
    EXPECT_EQ(text->Text().toStdString(), "Saved");
    frame->ShowStatusMessage(nullptr, 0); // changes nothing
    EXPECT_EQ(text->Text().toStdString(), "Saved");
    while (frame->StatusMessageActive())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    EXPECT_EQ(text->Text().toStdString(), "Playing");

    // A menu prompt passes through the same way.
    QStatusTipEvent tip(QStringLiteral("Opens a file"));
    QCoreApplication::sendEvent(frame, &tip);
    EXPECT_EQ(text->Text().toStdString(), "Opens a file");
    EXPECT_TRUE(frame->StatusMessageActive());
    EXPECT_EQ(frame->StatusText(), "Playing");
}

// Worker threads set status texts; the widgets must only be touched on the
// window thread.
TEST_F(FrameTest, StatusTextFromAnotherThreadArrivesOnTheWindowThread) {
    ASSERT_TRUE(Start().InitInstance());
    CMainFrame* frame = app->Frame();
    auto* text =
        dynamic_cast<veneer::CSCStatic*>(frame->Controls().FindControls(ui::kIdStatusBar).at(0));
    ASSERT_TRUE(text);
    std::thread([frame] { frame->SetStatusText("Recording"); }).join();
    EXPECT_EQ(frame->StatusText(), "Recording");
    Drain();
    EXPECT_EQ(text->Text().toStdString(), "Recording");
}

TEST_F(FrameTest, FrameCommandsZoomMinimiseAndClose) {
    ASSERT_TRUE(Start().InitInstance());
    CMainFrame* frame = app->Frame();
    auto zoom = frame->Controls().FindControls(ui::kIdFrameZoom);
    ASSERT_EQ(zoom.size(), 1u);
    EXPECT_TRUE(frame->isMaximized());
    EXPECT_EQ(zoom[0]->Tooltip(), "Restore");

    QCoreApplication::sendEvent(frame, std::unique_ptr<QEvent>(NewCommandEvent(34080)).get());
    EXPECT_FALSE(frame->isMaximized());
    EXPECT_EQ(zoom[0]->Tooltip(), "Maximize");
    // The button's own instance id (34081) commands the same.
    EXPECT_TRUE(frame->OnCommand(34081));
    EXPECT_TRUE(frame->isMaximized());
    // A skin change rebuilds the button; the new one must still say "Restore".
    EXPECT_TRUE(frame->OnCommand(366));
    zoom = frame->Controls().FindControls(ui::kIdFrameZoom);
    ASSERT_EQ(zoom.size(), 1u);
    EXPECT_EQ(zoom[0]->Tooltip(), "Restore");

    // Without a tray icon the minimised window stays reachable.
    frame->OnCommand(ID_FRAME_MINIMIZE);
    EXPECT_EQ(Param("Size"), "Maximize");
    EXPECT_TRUE(frame->isMinimized());
    EXPECT_TRUE(frame->isVisible());

    frame->OnCommand(ID_APP_EXIT); // posted: the frame is still there
    EXPECT_TRUE(frame->isVisible());
    Drain();
    EXPECT_FALSE(frame->isVisible());
}

TEST_F(FrameTest, ModuleVetoKeepsTheProgramUnlessARestartIsPending) {
    later.allowClose = false;
    ASSERT_TRUE(Start().InitInstance());
    CMainFrame* frame = app->Frame();
    EXPECT_FALSE(frame->close());
    EXPECT_TRUE(frame->isVisible());
    EXPECT_EQ(Param("Size"), "<none>"); // nothing was written
    frame->SetRestartPending(true);
    EXPECT_TRUE(frame->close());
    EXPECT_EQ(Param("Size"), "Maximize");
}

// The pop-up must offer every skin and language with the current one checked,
// and its items must reach the same commands as the frame menu's.
TEST_F(FrameTest, SkinAndLanguagePopupsCarryTheirCommands) {
    ASSERT_TRUE(Start().InitInstance());
    std::unique_ptr<QMenu> menu(app->Frame()->BuildSkinAndLanguageMenu(nullptr));
    ASSERT_EQ(menu->actions().size(), 2);
    QMenu* skins = menu->actions()[0]->menu();
    QMenu* languages = menu->actions()[1]->menu();
    ASSERT_TRUE(skins && languages);
    ASSERT_EQ(skins->actions().size(), 1);
    EXPECT_EQ(skins->actions()[0]->text().toStdString(), "Shell Test");
    EXPECT_TRUE(skins->actions()[0]->isChecked());
    ASSERT_EQ(languages->actions().size(), 1);
    EXPECT_TRUE(languages->actions()[0]->isChecked());
    // Choosing the language that is already current writes Language.xml and
    // asks nothing.
    languages->actions()[0]->trigger();
    EXPECT_TRUE(boxes.empty());
    EXPECT_FALSE(app->RestartFlag());
}

TEST_F(FrameTest, LanguageChangeAsksAndRestarts) {
    fs::create_directories(program + "Language");
    fs::copy_file(LANG_DEUTSCH_PATH, program + "Language/deutsch.so");
    ASSERT_TRUE(Start().InitInstance());
    ASSERT_EQ(app->Languages().size(), 2u); // Deutsch, then the appended English
    EXPECT_TRUE(app->IsLanguageChecked(601));
    EXPECT_FALSE(app->IsLanguageChecked(600));
    EXPECT_FALSE(app->IsLanguageChecked(602));

    boxAnswer = trestle::IDNO;
    app->Frame()->OnCommand(600);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0], "Changing language need program restart.\n\nDo you want restart now?");
    EXPECT_FALSE(app->RestartFlag());

    boxAnswer = trestle::IDYES;
    app->Frame()->OnCommand(600);
    EXPECT_TRUE(app->RestartFlag());
    Drain();
    EXPECT_FALSE(app->Frame()->isVisible());
    app->ExitInstance(0);
    EXPECT_EQ(restarts, 1);
    app.reset();

    // The next start speaks the chosen language's texts.
    ASSERT_TRUE(Start().InitInstance());
    EXPECT_TRUE(app->IsLanguageChecked(600));
}

} // namespace
