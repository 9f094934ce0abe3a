// The music player module through the whole running program, offscreen: the
// real application and frame start in a scratch program folder whose Modules
// folder holds the module as the build laid it out, files arrive as the
// command line's "open" message, the player writes through the wav: device,
// and the file written is compared with what libsndfile decodes.
#include "addons/suite/SuiteSupport.h"
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
#include "ui/ControlTable.h"
#include "ui/FrameControls.h"
#include "ui/SkinManager.h"

#include "audio/ExtPlayer.h"
#include "audio/ExtPlayerDX.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusInterface>
#include <QDBusMetaType>
#include <QDBusPendingCallWatcher>
#include <QDBusReply>
#include <QDBusVariant>
#include <QDropEvent>
#include <QLineEdit>
#include <QMimeData>
#include <QTest>
#include <QTreeWidget>
#include <QUrl>
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>

namespace {

namespace fs = std::filesystem;
using suitetest::Decode16;
using suitetest::WriteTone;

class SuiteFrame : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(program + "Modules");
        fs::create_directories(settingsDir);
        fs::copy(SONVARA_SKINS_DIR, program + "Skins", fs::copy_options::recursive);
        fs::create_symlink(SUITE_MODULE, program + "Modules/SonvaraSuite.so");
        platform::SetProgramDirectory(program);
        platform::SetSettingsDirectory(settingsDir);
        trestle::SetMessageBoxHook([](const trestle::MessageBoxRequest&) { return 1; });
        setenv("SONVARA_AUDIO_OUTPUT", ("wav:" + wavPath).c_str(), 1);
    }
    void TearDown() override {
        app.reset();
        unsetenv("SONVARA_AUDIO_OUTPUT");
        trestle::SetMessageBoxHook(nullptr);
        lacquer::UnloadSkin();
        platform::SetProgramDirectory("");
        platform::SetSettingsDirectory("");
    }

    shell::CMainFrame& Start(std::vector<std::string> files = {}) {
        std::vector<const char*> args{"sonvara"};
        for (const std::string& f : files)
            args.push_back(f.c_str());
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
    // Runs the frame's loop until the module's playback has run out.
    void WaitUntilPlayedOut() {
        CExtPlayerDX& player = app->Frame()->Player();
        EXPECT_TRUE(
            QTest::qWaitFor([&] { return player.GetState() != CExtPlayer::kPlaying; }, 60000));
    }
    QTreeWidget* PlaylistView() {
        return app->Frame()->findChild<QTreeWidget*>(QStringLiteral("SuitePlaylist"));
    }
    std::string Param(const char* key) const {
        char buffer[64];
        platform::GetPrivateProfileString("Sonvara Suite: params", key, "<none>", buffer,
                                          sizeof buffer, (settingsDir + "config.ini").c_str());
        return buffer;
    }

    testsupport::TempDir dir;
    std::string program = dir.file("app/");
    std::string settingsDir = dir.file("settings/");
    std::string wavPath = dir.file("out.wav");
    modules::CModuleHostBridge later;
    std::unique_ptr<shell::CKelFrameApp> app;
};

// Index of the first frame of `needle` (its first 64 frames) inside `hay`.
std::ptrdiff_t Find(const std::vector<std::int16_t>& hay, const std::vector<std::int16_t>& needle,
                    std::size_t channels) {
    const std::size_t n = 64 * channels;
    if (needle.size() < n || hay.size() < n) return -1;
    for (std::size_t at = 0; at + n <= hay.size(); at += channels) {
        bool same = true;
        for (std::size_t i = 0; i < n && same; ++i)
            same = std::abs(hay[at + i] - needle[i]) <= 1;
        if (same) return static_cast<std::ptrdiff_t>(at / channels);
    }
    return -1;
}

// Counts samples further apart than one code (the host rounds floats once).
std::size_t Mismatches(const std::vector<std::int16_t>& out, std::size_t from,
                       const std::vector<std::int16_t>& expected) {
    std::size_t bad = 0;
    for (std::size_t i = 0; i < expected.size(); ++i)
        if (from + i >= out.size() || std::abs(out[from + i] - expected[i]) > 1) ++bad;
    return bad;
}

// The heart of a music player: two tracks in a row must meet without a
// gap or a click, a damaged file between them must not stop the music, and
// a track of another rate and channel count must still join seamlessly.
TEST_F(SuiteFrame, CommandLineFilesPlayBackToBackWithoutAGapAndADamagedOneIsSkipped) {
    const std::string a = dir.file("a.flac"), bad = dir.file("bad.flac"), b = dir.file("b.ogg"),
                      c = dir.file("c.wav");
    ASSERT_TRUE(WriteTone(a, 44100, 2, 0.5, 300));
    ASSERT_TRUE(WriteTone(b, 44100, 2, 0.4, 500));
    ASSERT_TRUE(WriteTone(c, 48000, 1, 0.3, 700));
    std::string junk(4000, '\0');
    for (std::size_t i = 0; i < junk.size(); ++i)
        junk[i] = static_cast<char>(i * 7919 % 251);
    ASSERT_TRUE(platform::WriteFileAtomically(bad, junk));

    shell::CMainFrame& frame = Start({a, bad, b, c});
    EXPECT_STREQ(frame.Host().Player().GetPlayerOwner(), "Sonvara Suite");
    WaitUntilPlayedOut();
    EXPECT_EQ(frame.Player().GetStopReason(), CExtPlayer::kEndOfStream);
    ASSERT_NE(PlaylistView(), nullptr);
    EXPECT_EQ(PlaylistView()->topLevelItemCount(), 4);
    CloseAndExit();

    unsigned channels = 0, rate = 0;
    const std::vector<std::int16_t> out = Decode16(wavPath, &channels, &rate);
    ASSERT_EQ(channels, 2u);
    ASSERT_EQ(rate, 44100u);
    std::vector<std::int16_t> expected = Decode16(a);
    const std::vector<std::int16_t> second = Decode16(b);
    expected.insert(expected.end(), second.begin(), second.end());
    // Sample for sample from the first frame on, across the boundary.
    EXPECT_EQ(Mismatches(out, 0, expected), 0u);

    // The 48 kHz mono track, converted: both channels alike, its length in
    // 44.1 kHz frames, sound to its last frame and then only silence.
    const std::size_t from = expected.size() / 2;
    const std::size_t cFrames = static_cast<std::size_t>(0.3 * 44100);
    std::size_t lastLoud = from;
    for (std::size_t f = from; f < out.size() / 2; ++f) {
        EXPECT_EQ(out[2 * f], out[2 * f + 1]) << "frame " << f;
        if (std::abs(out[2 * f]) > 200) lastLoud = f;
        if (HasFailure()) break;
    }
    EXPECT_NEAR(static_cast<double>(lastLoud - from), static_cast<double>(cFrames), 300.0);
    for (std::size_t f = from; f + 64 < from + cFrames - 300; f += 64) {
        int peak = 0;
        for (std::size_t k = f; k < f + 64; ++k)
            peak = std::max(peak, std::abs(static_cast<int>(out[2 * k])));
        ASSERT_GT(peak, 200) << "a gap at frame " << f;
    }

    // The library files the host's library dialog reads.
    std::string db, xml;
    ASSERT_TRUE(platform::ReadWholeFile(program + "fileDB.dat", db));
    EXPECT_EQ(db, a + "\n" + bad + "\n" + b + "\n" + c + "\n");
    ASSERT_TRUE(platform::ReadWholeFile(program + "playlists.xml", xml));
    EXPECT_NE(xml.find("<playlist Name=\"Now Playing\">"), std::string::npos) << xml;
    EXPECT_NE(xml.find("<t id=\"3\"/>"), std::string::npos) << xml;
}

// A seek (the position slider's thumb let go at the middle) plays from the
// middle of the track to its end, and nothing of it twice.
TEST_F(SuiteFrame, ThePositionSliderSeeksToTheMiddle) {
    const std::string a = dir.file("long.flac");
    ASSERT_TRUE(WriteTone(a, 44100, 2, 2.0, 250));
    shell::CMainFrame& frame = Start({a});
    ui::CFrameControls& controls = frame.Controls();
    controls.DispatchSlider(ui::kIdPlayerPosition, veneer::kSbThumbPosition, 50);
    controls.DispatchSlider(ui::kIdPlayerPosition, veneer::kSbEndScroll, 50);
    WaitUntilPlayedOut();
    CloseAndExit();

    const std::vector<std::int16_t> out = Decode16(wavPath);
    const std::vector<std::int16_t> source = Decode16(a);
    const std::vector<std::int16_t> half(source.begin() + 44100 * 2, source.end());
    const std::ptrdiff_t at = Find(out, half, 2);
    ASSERT_GE(at, 0) << "the middle of the track was never played";
    EXPECT_EQ(Mismatches(out, static_cast<std::size_t>(at) * 2, half), 0u);
    // What came before the seek is the start of the track, not its middle.
    EXPECT_LT(at, 44100);
}

// The host forgets the player's owner when its Stop button is pressed. A
// file opened afterwards must take the player back, or the frame's Pause
// and Stop would reach no one while the music plays on. Opened again, the
// file plays from its row rather than being listed twice.
TEST_F(SuiteFrame, AFileOpenedAgainAfterStopPlaysItsRowAndAnswersTheTransportButtons) {
    const std::string a = dir.file("a.flac");
    ASSERT_TRUE(WriteTone(a, 44100, 2, 3.0, 300));
    shell::CMainFrame& frame = Start({a});
    Command(sonvara::ID_PLAYER_STOP);
    EXPECT_EQ(frame.Player().GetState(), CExtPlayer::kStopped);
    const std::string open = "open \"" + a + "\"";
    EXPECT_EQ(frame.Host().SendModuleMessage("Sonvara Suite", "Main frame", open.c_str()), 0);
    EXPECT_EQ(frame.Player().GetState(), CExtPlayer::kPlaying);
    EXPECT_STREQ(frame.Host().Player().GetPlayerOwner(), "Sonvara Suite");
    Command(sonvara::ID_PLAYER_PAUSE);
    EXPECT_EQ(frame.Player().GetState(), CExtPlayer::kPaused);
    ASSERT_NE(PlaylistView(), nullptr);
    EXPECT_EQ(PlaylistView()->topLevelItemCount(), 1);
    CloseAndExit();
}

// A folder dropped on the window becomes playlist rows (its audio files,
// sorted, other files left out); typing into the list finds, hiding the rest;
// Delete removes the selected rows, and what is left is what is kept.
TEST_F(SuiteFrame, AFolderDroppedOnTheWindowBecomesRowsToFindAndRemove) {
    fs::create_directories(dir.file("music/disc 2"));
    ASSERT_TRUE(WriteTone(dir.file("music/b.flac"), 8000, 1, 0.2, 300, "Blue Hour"));
    // No tags: shown by its file name.
    ASSERT_TRUE(WriteTone(dir.file("music/a.wav"), 8000, 1, 0.2, 300));
    ASSERT_TRUE(WriteTone(dir.file("music/disc 2/c.ogg"), 8000, 1, 0.2, 300, "Blue Moon"));
    ASSERT_TRUE(platform::WriteFileAtomically(dir.file("music/cover.jpg"), "not audio"));
    shell::CMainFrame& frame = Start();
    QWidget* window = frame.findChild<QWidget*>(QStringLiteral("SonvaraSuite"));
    ASSERT_NE(window, nullptr);
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(QString::fromStdString(dir.file("music")))});
    // As a drag does it: the enter makes the window the drop's target.
    QDragEnterEvent enter(QPoint(20, 20), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(window, &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(20, 20), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(window, &drop);
    QTreeWidget* view = PlaylistView();
    ASSERT_EQ(view->topLevelItemCount(), 3);
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return view->topLevelItem(2)->text(1) == QStringLiteral("Blue Moon"); }, 10000));
    EXPECT_EQ(view->topLevelItem(0)->text(1), QStringLiteral("a"));

    // Typed into the list, the letters go to the find line.
    auto* find = frame.findChild<QLineEdit*>(QStringLiteral("SuiteFind"));
    ASSERT_NE(find, nullptr);
    QTest::keyClicks(view, QStringLiteral("blue"));
    EXPECT_EQ(find->text(), QStringLiteral("blue"));
    EXPECT_TRUE(view->topLevelItem(0)->isHidden());
    EXPECT_FALSE(view->topLevelItem(1)->isHidden());
    find->clear();
    EXPECT_FALSE(view->topLevelItem(0)->isHidden());

    view->topLevelItem(1)->setSelected(true);
    QTest::keyClick(view, Qt::Key_Delete);
    ASSERT_EQ(view->topLevelItemCount(), 2);
    EXPECT_EQ(view->topLevelItem(1)->text(1), QStringLiteral("Blue Moon"));
    CloseAndExit();
    std::string kept;
    ASSERT_TRUE(platform::ReadWholeFile(program + "SonvaraSuite.m3u8", kept));
    EXPECT_EQ(kept.find("b.flac"), std::string::npos) << kept;
    EXPECT_NE(kept.find("disc 2/c.ogg"), std::string::npos) << kept;
}

// Closing the program keeps the playlist and where the user paused; the
// next start shows the list and Play goes on from that place.
TEST_F(SuiteFrame, PlaylistAndPositionSurviveARestart) {
    const std::string a = dir.file("a.flac"), b = dir.file("b.flac");
    ASSERT_TRUE(WriteTone(a, 44100, 2, 3.0, 300));
    ASSERT_TRUE(WriteTone(b, 44100, 2, 0.5, 400));
    shell::CMainFrame& first = Start({a, b});
    CExtPlayerDX& player = first.Player();
    // Let some of the track play, then pause.
    ASSERT_TRUE(QTest::qWaitFor([&] { return first.Host().Player().GetPosition() >= 10; }, 30000));
    Command(sonvara::ID_PLAYER_PAUSE);
    EXPECT_EQ(player.GetState(), CExtPlayer::kPaused);
    CloseAndExit();
    EXPECT_EQ(Param("LastTrack"), "0");
    const double paused = std::atof(Param("LastPosition").c_str());
    EXPECT_GT(paused, 0.2);

    fs::remove(wavPath);
    shell::CMainFrame& second = Start();
    ASSERT_NE(PlaylistView(), nullptr);
    EXPECT_EQ(PlaylistView()->topLevelItemCount(), 2);
    Command(sonvara::ID_PLAYER_PLAY);
    EXPECT_EQ(second.Player().GetState(), CExtPlayer::kPlaying);
    const std::uint32_t from = second.Host().Player().GetPosition();
    EXPECT_NEAR(from, paused / 3.0 * 100, 2);
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return second.Host().Player().GetPosition() >= from + 5; }, 30000));
    Command(sonvara::ID_PLAYER_STOP);
    CloseAndExit();
    const std::vector<std::int16_t> out = Decode16(wavPath);
    const std::vector<std::int16_t> source = Decode16(a);
    const auto start = static_cast<std::size_t>(paused * 44100 + 0.5) * 2;
    ASSERT_LT(start + 128, source.size());
    const std::vector<std::int16_t> resumed(source.begin() + static_cast<long>(start),
                                            source.begin() + static_cast<long>(start) + 128);
    EXPECT_EQ(Find(out, resumed, 2), 0) << "playback did not resume where it was paused";
}

// The module window in both shipped skins, with a playlist, for people to
// look at; a skin change repaints the list in the new skin's colours.
TEST_F(SuiteFrame, ScreenshotsInBothSkins) {
    std::vector<std::string> files;
    const char* titles[] = {"Harbour Lights", "Slow Tide", "Northern Line", "Paper Moons"};
    const double lengths[] = {187.0, 65.0, 242.0, 12.5};
    for (int i = 0; i < 4; ++i) {
        files.push_back(dir.file("t" + std::to_string(i) + ".flac"));
        // A low rate keeps these minutes of sound quick to write.
        ASSERT_TRUE(WriteTone(files.back(), 8000, 1, lengths[i], 220.0 + 40 * i, titles[i],
                              i % 2 ? "The Quiet Hours" : "Mara Vell",
                              i % 2 ? "Low Water" : "Lanterns"));
    }
    shell::CMainFrame& frame = Start(files);
    frame.resize(900, 620);
    ASSERT_NE(PlaylistView(), nullptr);
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            return PlaylistView()->topLevelItem(3)->text(2) == QStringLiteral("The Quiet Hours");
        },
        20000));
    QTest::qWait(300); // a few ticks of the position and the waveform
    fs::create_directories(SCREENSHOT_DIR);
    QColor previous;
    for (std::size_t i = 0; i < frame.Skins().Skins().size(); ++i) {
        Command(static_cast<unsigned>(ui::kSkinCommandFirst + static_cast<int>(i)));
        QTest::qWait(50);
        const QString name = QString::fromStdString(frame.Skins().Current()->name);
        EXPECT_TRUE(frame.grab().save(QStringLiteral(SCREENSHOT_DIR "/suite-%1.png").arg(name)));
        const QColor base = PlaylistView()->palette().color(QPalette::Base);
        EXPECT_NE(base, previous) << "the list kept the colours of the skin before";
        previous = base;
    }
    Command(sonvara::ID_PLAYER_STOP);
    CloseAndExit();
}

// MPRIS on the session bus: what a desktop's media keys and panels do,
// through a connection of its own as another program would.
class SuiteMpris : public SuiteFrame {};

TEST_F(SuiteMpris, MediaKeysAndPanelsControlThePlayer) {
    if (!std::getenv("SUITE_MPRIS_BUS")) GTEST_SKIP() << "needs its private bus (ctest runs it)";
    const std::string a = dir.file("a.flac"), b = dir.file("b.flac");
    ASSERT_TRUE(WriteTone(a, 44100, 2, 4.0, 300, "First Light", "Mara Vell"));
    ASSERT_TRUE(WriteTone(b, 44100, 2, 4.0, 400, "Second Wind", "Mara Vell"));
    shell::CMainFrame& frame = Start({a, b});
    QDBusConnection bus = QDBusConnection::connectToBus(QDBusConnection::SessionBus,
                                                        QStringLiteral("mpris-test-client"));
    ASSERT_TRUE(bus.isConnected());
    const QString service = QStringLiteral("org.mpris.MediaPlayer2.sonvara");
    const QString path = QStringLiteral("/org/mpris/MediaPlayer2");
    const QString iface = QStringLiteral("org.mpris.MediaPlayer2.Player");
    // Calls go out asynchronously: the service answers on this thread's loop.
    auto call = [&](const QString& interface, const QString& method, QVariantList args = {}) {
        QDBusMessage m = QDBusMessage::createMethodCall(service, path, interface, method);
        m.setArguments(args);
        QDBusPendingCallWatcher watcher(bus.asyncCall(m));
        EXPECT_TRUE(QTest::qWaitFor([&] { return watcher.isFinished(); }, 10000));
        EXPECT_FALSE(watcher.isError()) << watcher.error().message().toStdString();
        return watcher.reply();
    };
    auto property = [&](const QString& name) {
        const QDBusMessage reply = call(QStringLiteral("org.freedesktop.DBus.Properties"),
                                        QStringLiteral("Get"), {iface, name});
        return reply.arguments().value(0).value<QDBusVariant>().variant();
    };
    auto title = [&] {
        const QVariantMap meta = qdbus_cast<QVariantMap>(property(QStringLiteral("Metadata")));
        return meta.value(QStringLiteral("xesam:title")).toString();
    };

    EXPECT_EQ(property(QStringLiteral("PlaybackStatus")).toString(), QStringLiteral("Playing"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return title() == QStringLiteral("First Light"); }, 10000));
    call(iface, QStringLiteral("PlayPause"));
    EXPECT_EQ(frame.Player().GetState(), CExtPlayer::kPaused);
    EXPECT_EQ(property(QStringLiteral("PlaybackStatus")).toString(), QStringLiteral("Paused"));
    call(iface, QStringLiteral("Play"));
    EXPECT_EQ(frame.Player().GetState(), CExtPlayer::kPlaying);
    call(iface, QStringLiteral("Next"));
    EXPECT_EQ(title(), QStringLiteral("Second Wind"));
    call(QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Set"),
         {iface, QStringLiteral("Volume"), QVariant::fromValue(QDBusVariant(0.5))});
    EXPECT_EQ(frame.Player().GetVolume(), 50u);
    call(iface, QStringLiteral("Stop"));
    EXPECT_EQ(property(QStringLiteral("PlaybackStatus")).toString(), QStringLiteral("Stopped"));
    CloseAndExit();
}

} // namespace
