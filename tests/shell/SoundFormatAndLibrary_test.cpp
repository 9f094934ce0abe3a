// The Sound Format dialog and the music library through the running program,
// in every shipped skin: command 234 shows the coders' panel whole, the
// user's recording format outlives a restart, and a module asking for library
// files gets the playlist the user double-clicks. Each dialog leaves a picture
// per skin under build/screenshots/.
#include "QtTestApp.h"
#include "libs/codexa/RecordingFormatPanel.h"
#include "libs/lacquer/Lacquer.h"
#include "libs/trestle/TrestleMessageBox.h"
#include "libs/veneer/Controls.h"
#include "libs/veneer/ModalDialog.h"
#include "modules/HostInterfaces.h"
#include "modules/ModuleHost.h"
#include "platform/Paths.h"
#include "platform/Profile.h"
#include "shell/KelFrameApp.h"
#include "shell/LaterSubsystems.h"
#include "shell/MainFrame.h"
#include "sonvara/RecordingFormat.h"
#include "support/TempDir.h"
#include "ui/SkinList.h"

#include <QCoreApplication>
#include <QDialog>
#include <QTest>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sndfile.h>

namespace {

namespace fs = std::filesystem;

QTreeWidgetItem* FindItem(QTreeWidget* tree, const QString& text) {
    const auto found = tree->findItems(text, Qt::MatchExactly | Qt::MatchRecursive);
    return found.isEmpty() ? nullptr : found.front();
}

void DoubleClick(QTreeWidget* tree, QTreeWidgetItem* item) {
    tree->scrollToItem(item);
    const QPoint at = tree->visualItemRect(item).center();
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(tree->viewport(), Qt::LeftButton, {}, at);
}

} // namespace

TEST(SoundFormatAndLibrary, ChosenThroughTheRunningProgramInEverySkin) {
    shelltest::EnsureApplication();
    if (!fs::exists(SONVARA_SKINS_DIR)) GTEST_SKIP() << "no skins in the tree";
    testsupport::TempDir dir;
    const std::string program = dir.file("app/");
    const std::string settings = dir.file("settings/");
    fs::create_directories(program);
    fs::create_directories(settings);
    fs::copy(SONVARA_SKINS_DIR, program + "Skins", fs::copy_options::recursive);
    platform::SetProgramDirectory(program);
    platform::SetSettingsDirectory(settings);
    trestle::SetMessageBoxHook([](const trestle::MessageBoxRequest&) { return trestle::IDOK; });
    fs::create_directories(SCREENSHOT_DIR);

    // The music player module's files, in the settings folder; a stray copy
    // in the program directory must not be the one read.
    std::ofstream(settings + "fileDB.dat") << "/music/intro.flac\n/music/ballad.ogg\n"
                                              "/music/finale.wav\n/music/blue.mp3\n";
    std::ofstream(settings + "playlists.xml")
        << "<Library><playlist Name=\"Rock\"><t id=\"2\"/><t id=\"0\"/></playlist>"
           "<group Name=\"Old\"><playlist Name=\"Jazz\"><t id=\"3\"/><t id=\"1\"/></playlist>"
           "</group></Library>";
    std::ofstream(program + "fileDB.dat") << "/elsewhere.wav\n";

    const auto skins = ui::FindSkinFiles(program + "Skins");
    ASSERT_GE(skins.size(), 2u);
    shell::CLaterSubsystems later;
    const char* argv[] = {"sonvara"};
    const std::string ini = settings + "config.ini";
    for (std::size_t i = 0; i < skins.size(); ++i) {
        const QString skin = QString::fromStdString(skins[i].name).replace(' ', '_');
        platform::WritePrivateProfileString("CURRENTSKIN", "Name", skins[i].name.c_str(),
                                            ini.c_str());
        shell::CKelFrameApp app(1, argv, later);
        ASSERT_TRUE(app.InitInstance()) << skins[i].name;
        shell::CMainFrame* frame = app.Frame();

        // Sound Format: the panel is there whole; the first run chooses
        // FLAC, every later run (a restart) must show it again.
        int seen = 0;
        veneer::SetModalDialogHook([&](QDialog& dialog) {
            ++seen;
            auto* panel = dialog.findChild<codexa::CRecordingFormatPanel*>();
            ASSERT_NE(panel, nullptr);
            const QRect inDialog(panel->mapTo(&dialog, QPoint(0, 0)), panel->size());
            EXPECT_TRUE(dialog.rect().contains(inDialog)) << "the coder panel is cut off";
            const auto choose = [](QComboBox* box, int value) {
                box->setCurrentIndex(box->findData(value));
            };
            if (i == 0) {
                choose(panel->ContainerBox(), SF_FORMAT_FLAC);
                choose(panel->SampleFormatBox(), SF_FORMAT_PCM_24);
                choose(panel->SampleRateBox(), 48000);
                choose(panel->ChannelsBox(), 2);
            }
            EXPECT_EQ(panel->ContainerBox()->currentData().toInt(), SF_FORMAT_FLAC);
            EXPECT_EQ(panel->SampleFormatBox()->currentData().toInt(), SF_FORMAT_PCM_24);
            EXPECT_EQ(panel->SampleRateBox()->currentData().toInt(), 48000);
            EXPECT_EQ(panel->ChannelsBox()->currentText().toStdString(), "Stereo");
            EXPECT_TRUE(dialog.grab().save(
                QStringLiteral(SCREENSHOT_DIR "/sound-format-%1.png").arg(skin)));
            auto* close = dialog.findChild<veneer::CSCScaleButton*>();
            ASSERT_NE(close, nullptr);
            QTest::mouseClick(close, Qt::LeftButton);
            EXPECT_FALSE(dialog.isVisible()) << "Close did not close";
        });
        EXPECT_TRUE(frame->OnCommand(shell::ID_SOUND_FORMAT));
        EXPECT_EQ(seen, 1);
        // What a recording module reads through its parameter calls.
        IApplication& application = frame->Host().Application();
        const SvRecordingFormat chosen = SvReadRecordingFormat(&application);
        EXPECT_EQ(chosen.format, SF_FORMAT_FLAC | SF_FORMAT_PCM_24);
        EXPECT_EQ(chosen.sampleRate, 48000);
        EXPECT_EQ(chosen.channels, 2);
        EXPECT_EQ(chosen.extension, "flac");

        // The library, as a module asks for it: Rock's tracks come back in
        // playlist order; a folder does nothing; a track returns nothing.
        veneer::SetModalDialogHook([&](QDialog& dialog) {
            auto* tree = dialog.findChild<veneer::CSCTreeCtrl*>();
            ASSERT_NE(tree, nullptr);
            tree->expandAll();
            ASSERT_NE(FindItem(tree, "Jazz"), nullptr);
            EXPECT_EQ(FindItem(tree, "Jazz")->parent(), FindItem(tree, "Old"));
            EXPECT_TRUE(
                dialog.grab().save(QStringLiteral(SCREENSHOT_DIR "/library-%1.png").arg(skin)));
            DoubleClick(tree, FindItem(tree, "Old"));
            EXPECT_TRUE(dialog.isVisible()) << "a folder closed the dialog";
            DoubleClick(tree, FindItem(tree, "Rock"));
        });
        const std::vector<std::string>* files = application.SelectLibraryFiles();
        ASSERT_NE(files, nullptr);
        EXPECT_EQ(*files, (std::vector<std::string>{"/music/finale.wav", "/music/intro.flac"}));

        veneer::SetModalDialogHook([&](QDialog& dialog) {
            auto* tree = dialog.findChild<veneer::CSCTreeCtrl*>();
            ASSERT_NE(tree, nullptr);
            tree->expandAll();
            DoubleClick(tree, FindItem(tree, "/music/finale.wav"));
            EXPECT_FALSE(dialog.isVisible()) << "a track double-click closes the dialog";
        });
        EXPECT_TRUE(application.SelectLibraryFiles()->empty());

        veneer::SetModalDialogHook(nullptr);
        frame->close();
        app.ExitInstance(0);
    }
    trestle::SetMessageBoxHook(nullptr);
    lacquer::UnloadSkin();
    platform::SetProgramDirectory("");
    platform::SetSettingsDirectory("");
}
