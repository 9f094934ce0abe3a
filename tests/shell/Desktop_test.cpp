// The program on the desktop: "-reg"/"-unreg" with "-nostart" through the
// real start-up on a scratch home, the default-player and module-choice
// dialogs as a user answers them (with pictures of both in each shipped
// skin), and a second start handing its files to the running program.
#include "QtTestApp.h"
#include "libs/lacquer/Lacquer.h"
#include "libs/trestle/TrestleMessageBox.h"
#include "platform/Paths.h"
#include "platform/Profile.h"
#include "platform/Registry.h"
#include "shell/DesktopHooks.h"
#include "shell/KelFrameApp.h"
#include "shell/MainFrame.h"
#include "shell/SingleInstance.h"
#include "sonvara/IApplication.h"
#include "support/TempDir.h"
#include "ui/SkinList.h"
#include "ui/dialogs/ChooseModuleMusicDlg.h"
#include "ui/dialogs/DefaultPlayerDlg.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QPushButton>
#include <QRadioButton>
#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <map>
#include <sys/socket.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

// The parameter calls of IApplication over a map; activations recorded.
struct FakeApplication : IApplication {
    std::map<std::string, std::string> params;
    std::vector<std::string> activated;
    int SetParam(const char*, const char* key, const char* value) override {
        params[key] = value;
        return 1;
    }
    int GetParam(const char*, const char* key, char* buffer, unsigned size) override {
        auto it = params.find(key);
        if (it == params.end() || it->second.empty() || size == 0) return 0;
        std::snprintf(buffer, size, "%s", it->second.c_str());
        return 1;
    }
    int RefreshModuleMenu(const char*) override { return 0; }
    const char* GetAppPath() override { return "/"; }
    int ShowMessage(std::intptr_t, std::intptr_t, std::intptr_t, std::intptr_t,
                    std::intptr_t) override {
        return 0;
    }
    int ShowHelp() override { return 1; }
    int DeleteParam(const char*, const char*) override { return 0; }
    int Reserved(std::uint32_t, std::uint32_t, std::uint32_t) override { return 1; }
    const char* GetActiveModuleName() override { return nullptr; }
    int ActivateModuleByName(const char* name) override {
        activated.push_back(name);
        return 1;
    }
    void SetStatusText(const char*) override {}
    void ShowStatusMessage(const char*, unsigned) override {}
    const std::vector<std::string>* SelectLibraryFiles() override { return nullptr; }
};

class ScratchHome : public ::testing::Test {
protected:
    void SetUp() override {
        shelltest::EnsureApplication();
        for (const char* name : {"XDG_DATA_HOME", "XDG_CONFIG_HOME", "XDG_DATA_DIRS"})
            if (const char* v = std::getenv(name)) saved[name] = v;
        ::setenv("XDG_DATA_HOME", dir.file("data").c_str(), 1);
        ::setenv("XDG_CONFIG_HOME", dir.file("config").c_str(), 1);
        ::setenv("XDG_DATA_DIRS", dir.file("none").c_str(), 1);
        platform::RegSetStoreFile(dir.file("registry.ini"));
        fs::create_directories(program);
        platform::SetProgramDirectory(program);
        platform::SetSettingsDirectory(program);
    }
    void TearDown() override {
        for (const char* name : {"XDG_DATA_HOME", "XDG_CONFIG_HOME", "XDG_DATA_DIRS"}) {
            if (saved.count(name))
                ::setenv(name, saved[name].c_str(), 1);
            else
                ::unsetenv(name);
        }
        platform::RegSetStoreFile("");
        platform::SetProgramDirectory("");
        platform::SetSettingsDirectory("");
    }

    testsupport::TempDir dir;
    std::string program = dir.file("app/");
    std::map<std::string, std::string> saved;
};

// "sonvara -reg -nostart" and "sonvara /unreg /nostart" used to exit 0
// having done nothing.
TEST_F(ScratchHome, RegAndUnregFlagsDoTheirWorkAndOpenNoWindow) {
    shell::CDesktopHooks hooks(program + "sonvara",
                               [] { return std::optional<std::string>("Audio|*.flac;*.wav;|"); });
    {
        const char* argv[] = {"sonvara", "-reg", "-nostart"};
        shell::CKelFrameApp app(3, argv, hooks);
        EXPECT_FALSE(app.InitInstance());
        EXPECT_EQ(app.ExitCode(), 0);
        EXPECT_EQ(app.Frame(), nullptr);
    }
    EXPECT_EQ(hooks.IsDefaultPlayer(), std::optional<bool>(true));
    EXPECT_TRUE(fs::exists(dir.file("data/applications/sonvara.desktop")));
    {
        const char* argv[] = {"sonvara", "/UNREG", "/nostart"};
        shell::CKelFrameApp app(3, argv, hooks);
        EXPECT_FALSE(app.InitInstance());
    }
    EXPECT_EQ(hooks.IsDefaultPlayer(), std::optional<bool>(false));
    EXPECT_FALSE(fs::exists(dir.file("data/applications/sonvara.desktop")));
}

TEST(DesktopDialogs, AnswersAreStoredAsTheUserGaveThem) {
    shelltest::EnsureApplication();
    FakeApplication application;
    {
        ui::CDefaultPlayerDlg dialog(&application, nullptr);
        EXPECT_TRUE(dialog.AlwaysCheck()->isChecked());
        dialog.AlwaysCheck()->setChecked(false);
        QMetaObject::invokeMethod(dialog.NoButton(), &QPushButton::click, Qt::QueuedConnection);
        EXPECT_EQ(dialog.DoModal(), 7);
        EXPECT_EQ(application.params["CheckDefaultPlayer"], "No");
    }
    {
        ui::CDefaultPlayerDlg dialog(&application, nullptr);
        QMetaObject::invokeMethod(&dialog, &QDialog::reject, Qt::QueuedConnection); // closed
        EXPECT_EQ(dialog.DoModal(), 7);
        EXPECT_EQ(application.params["CheckDefaultPlayer"], "Yes");
    }
    // A stored choice in any letter case is selected and activated at once.
    application.params["AutoOpen"] = "mardrel";
    {
        ui::CChooseModuleMusicDlg dialog(&application, nullptr);
        EXPECT_TRUE(dialog.Radio(ui::CChooseModuleMusicDlg::IDC_MARDREL)->isChecked());
        EXPECT_TRUE(dialog.Radio(ui::CChooseModuleMusicDlg::IDC_QUILLON)->isHidden());
        EXPECT_EQ(application.activated, (std::vector<std::string>{"Mardrel"}));
        dialog.Radio(ui::CChooseModuleMusicDlg::IDC_SUITE)->click();
        EXPECT_EQ(application.activated.back(), "Sonvara Suite");
        QMetaObject::invokeMethod(dialog.CancelButton(), &QPushButton::click, Qt::QueuedConnection);
        EXPECT_EQ(dialog.DoModal(), 2);
        EXPECT_EQ(application.params["AutoOpen"], "mardrel"); // Cancel writes nothing
    }
    {
        ui::CChooseModuleMusicDlg dialog(&application, nullptr);
        dialog.DontAsk()->setChecked(true);
        QMetaObject::invokeMethod(dialog.OkButton(), &QPushButton::click, Qt::QueuedConnection);
        EXPECT_EQ(dialog.DoModal(), 1);
        EXPECT_EQ(application.params["AutoOpen"], "Mardrel");
        EXPECT_EQ(application.params["AutoOpen_AskMe"], "No");
    }
}

TEST(DesktopDialogs, LeaveScreenshotsInEachShippedSkin) {
    shelltest::EnsureApplication();
    if (!fs::exists(SONVARA_SKINS_DIR)) GTEST_SKIP() << "no skins in the tree";
    testsupport::TempDir dir;
    const std::string program = dir.file("app/");
    fs::create_directories(program);
    fs::copy(SONVARA_SKINS_DIR, program + "Skins", fs::copy_options::recursive);
    platform::SetProgramDirectory(program);
    platform::SetSettingsDirectory(program);
    fs::create_directories(SCREENSHOT_DIR);
    FakeApplication application;
    shell::CLaterSubsystems later;
    const char* argv[] = {"sonvara"};
    for (const auto& skin : ui::FindSkinFiles(program + "Skins")) {
        platform::WritePrivateProfileString("CURRENTSKIN", "Name", skin.name.c_str(),
                                            (program + "config.ini").c_str());
        shell::CKelFrameApp app(1, argv, later);
        ASSERT_TRUE(app.InitInstance()) << skin.name;
        const QString name = QString::fromStdString(skin.name).replace(' ', '_');
        ui::CDefaultPlayerDlg question(&application, &app.Frame()->Skins());
        question.adjustSize();
        EXPECT_TRUE(question.grab().save(
            QStringLiteral(SCREENSHOT_DIR "/default-player-%1.png").arg(name)));
        ui::CChooseModuleMusicDlg choice(&application, &app.Frame()->Skins());
        choice.adjustSize();
        EXPECT_TRUE(
            choice.grab().save(QStringLiteral(SCREENSHOT_DIR "/choose-module-%1.png").arg(name)));
        app.Frame()->close();
        app.ExitInstance(0);
    }
    lacquer::UnloadSkin();
    platform::SetProgramDirectory("");
    platform::SetSettingsDirectory("");
}

// A file manager opening a song while the program runs: the second start's
// files arrive with absolute paths, and a socket left by a crashed run does
// not stop the next program from listening.
TEST(SingleInstance, SecondStartHandsItsFilesToTheRunningProgram) {
    shelltest::EnsureApplication();
    testsupport::TempDir dir;
    const std::string path = dir.file("run.socket");
    {
        // A crashed run: a bound socket file with nobody listening.
        const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::snprintf(address.sun_path, sizeof address.sun_path, "%s", path.c_str());
        ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        ::close(fd);
    }
    shell::CSingleInstance running(path);
    std::vector<std::string> received;
    ASSERT_TRUE(running.Listen([&](const auto& files) { received = files; }));

    std::atomic<bool> done{false};
    bool sent = false;
    std::thread second([&] {
        shell::CSingleInstance other(path);
        sent = other.SendToRunning({"song one.flac", "/music/b.ogg"});
        done = true;
    });
    while (!done)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    second.join();
    EXPECT_TRUE(sent);
    ASSERT_EQ(received.size(), 2u);
    EXPECT_EQ(received[0], (fs::current_path() / "song one.flac").string());
    EXPECT_EQ(received[1], "/music/b.ogg");

    // While it runs, a third program cannot take its place.
    shell::CSingleInstance third(path);
    EXPECT_FALSE(third.Listen([](const auto&) {}));
}

} // namespace
