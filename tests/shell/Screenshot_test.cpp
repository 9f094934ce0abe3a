// The shipped skins through the whole start-up: each one starts, can be
// switched to from every other through the skin menu commands, and leaves a
// picture of the main frame under build/screenshots/ for people to look at.
#include "QtTestApp.h"
#include "libs/lacquer/Lacquer.h"
#include "libs/trestle/TrestleMessageBox.h"
#include "platform/Paths.h"
#include "platform/Profile.h"
#include "shell/KelFrameApp.h"
#include "shell/LaterSubsystems.h"
#include "shell/MainFrame.h"
#include "shell/StartingDlg.h"
#include "support/TempDir.h"
#include "ui/SkinList.h"

#include <QCoreApplication>
#include <QPixmap>
#include <filesystem>
#include <gtest/gtest.h>

namespace {

namespace fs = std::filesystem;

TEST(ShippedSkins, StartSwitchAndLeaveScreenshots) {
    shelltest::EnsureApplication();
    if (!fs::exists(SONVARA_SKINS_DIR)) GTEST_SKIP() << "no skins in the tree";
    testsupport::TempDir dir;
    const std::string program = dir.file("app/");
    fs::create_directories(program);
    fs::copy(SONVARA_SKINS_DIR, program + "Skins", fs::copy_options::recursive);
    platform::SetProgramDirectory(program);
    platform::SetSettingsDirectory(program);
    std::vector<std::string> boxes;
    trestle::SetMessageBoxHook([&](const trestle::MessageBoxRequest& r) {
        boxes.push_back(r.text);
        return trestle::IDOK;
    });

    const auto skins = ui::FindSkinFiles(program + "Skins");
    if (skins.empty()) GTEST_SKIP() << "no skins in the tree";
    fs::create_directories(SCREENSHOT_DIR);

    shell::CLaterSubsystems later;
    const char* argv[] = {"sonvara"};
    for (std::size_t i = 0; i < skins.size(); ++i) {
        platform::WritePrivateProfileString("CURRENTSKIN", "Name", skins[i].name.c_str(),
                                            (program + "config.ini").c_str());
        shell::CKelFrameApp app(1, argv, later);
        ASSERT_TRUE(app.InitInstance()) << skins[i].name;
        shell::CMainFrame* frame = app.Frame();
        EXPECT_EQ(frame->Skins().CurrentIndex(), static_cast<int>(i));
        frame->showNormal();
        frame->resize(std::max(frame->minimumWidth(), 960), std::max(frame->minimumHeight(), 600));
        QCoreApplication::processEvents();
        const QString file = QStringLiteral(SCREENSHOT_DIR "/sonvara-%1.png")
                                 .arg(QString::fromStdString(skins[i].name).replace(' ', '_'));
        EXPECT_TRUE(frame->grab().save(file)) << file.toStdString();

        // Switching to the next skin through its menu command.
        const std::size_t next = (i + 1) % skins.size();
        EXPECT_TRUE(frame->OnCommand(static_cast<unsigned>(ui::kSkinCommandFirst + next)));
        EXPECT_EQ(frame->Skins().CurrentIndex(), static_cast<int>(next));
        frame->close();
        app.ExitInstance(0);
    }
    EXPECT_TRUE(boxes.empty()) << boxes.front();
    trestle::SetMessageBoxHook(nullptr);
    lacquer::UnloadSkin();
    platform::SetProgramDirectory("");
    platform::SetSettingsDirectory("");
}

TEST(Splash, LeavesAScreenshot) {
    shelltest::EnsureApplication();
    fs::create_directories(SCREENSHOT_DIR);
    shell::CStartingDlg splash;
    EXPECT_EQ(shell::CStartingDlg::Current(), &splash);
    splash.SetProgressText(QStringLiteral("Loading Skin..."));
    // Picture, its 1-pixel frame and the 15-pixel strip.
    EXPECT_EQ(splash.height(), 200 + 2 + shell::CStartingDlg::kStripHeight);
    EXPECT_TRUE(splash.grab().save(QStringLiteral(SCREENSHOT_DIR "/sonvara-splash.png")));
}

} // namespace
