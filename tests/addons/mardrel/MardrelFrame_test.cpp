// The voice morpher module through the whole running program, offscreen:
// the real application and frame start in a scratch program folder whose
// Modules folder holds the module as the build laid it out and whose Effects
// folder holds the voice effect; the microphone is the wav: capture device
// playing a sung tone, the monitor the wav: output device.
#include "libs/lacquer/Lacquer.h"
#include "libs/trestle/TrestleMessageBox.h"
#include "modules/ModuleHost.h"
#include "platform/Paths.h"
#include "shell/FrameMenus.h"
#include "shell/HostSubsystems.h"
#include "shell/KelFrameApp.h"
#include "shell/MainFrame.h"
#include "shell/WindowMessage.h"
#include "sonvara/MenuTree.h"
#include "sonvara/Messages.h"
#include "support/TempDir.h"
#include "ui/ControlTable.h"
#include "ui/FrameControls.h"
#include "ui/SkinManager.h"

#include "audio/ExtMicro.h"
#include "audio/ExtPlayer.h"
#include "audio/ExtPlayerDX.h"
#include "plugin/Signals.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QCoreApplication>
#include <QDialog>
#include <QFileDialog>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sndfile.h>

namespace {

namespace fs = std::filesystem;

// The module's commands (its menu's ids).
constexpr unsigned kCmdLive = 42003;
constexpr unsigned kCmdEffectFirst = 42100; // "Single Effects", in the list's order

constexpr double kRate = 44100;

bool WriteWav16(const std::string& path, const std::vector<float>& interleaved, int channels) {
    SF_INFO info{};
    info.samplerate = static_cast<int>(kRate);
    info.channels = channels;
    info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    SNDFILE* f = sf_open(path.c_str(), SFM_WRITE, &info);
    if (!f) return false;
    const sf_count_t frames = static_cast<sf_count_t>(interleaved.size()) / channels;
    const bool ok = sf_writef_float(f, interleaved.data(), frames) == frames;
    sf_close(f);
    return ok;
}

std::vector<float> ReadAll(const std::string& path, int* channels = nullptr) {
    SF_INFO info{};
    SNDFILE* f = sf_open(path.c_str(), SFM_READ, &info);
    if (!f) return {};
    std::vector<float> data(static_cast<std::size_t>(info.frames * info.channels));
    sf_readf_float(f, data.data(), info.frames);
    sf_close(f);
    if (channels) *channels = info.channels;
    return data;
}

class MardrelFrame : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(program + "Modules");
        fs::create_directories(settingsDir);
        fs::create_directories(music);
        fs::create_directories(dir.file("xdg"));
        fs::copy(SONVARA_SKINS_DIR, program + "Skins", fs::copy_options::recursive);
        fs::create_symlink(MARDREL_MODULE, program + "Modules/Mardrel.so");
        fs::create_symlink(EFFECTS_DIR, program + "Effects");
        std::ofstream(dir.file("xdg/user-dirs.dirs")) << "XDG_MUSIC_DIR=\"" << music << "\"\n";
        setenv("XDG_CONFIG_HOME", dir.file("xdg").c_str(), 1);
        platform::SetProgramDirectory(program);
        platform::SetSettingsDirectory(settingsDir);
        trestle::SetMessageBoxHook([this](const trestle::MessageBoxRequest& r) {
            messages.push_back(r.text);
            return 1;
        });
        setenv("SONVARA_AUDIO_INPUT", ("wav:" + voicePath).c_str(), 1);
        setenv("SONVARA_AUDIO_OUTPUT", ("wav:" + monitorPath).c_str(), 1);
    }
    void TearDown() override {
        app.reset();
        for (const char* v : {"SONVARA_AUDIO_INPUT", "SONVARA_AUDIO_OUTPUT", "XDG_CONFIG_HOME"})
            unsetenv(v);
        trestle::SetMessageBoxHook(nullptr);
        lacquer::UnloadSkin();
        platform::SetProgramDirectory("");
        platform::SetSettingsDirectory("");
    }

    shell::CMainFrame& Start() {
        // The default-player question is answered "not now".
        later.SetDialogDriver([](QWidget* d) { static_cast<QDialog*>(d)->reject(); });
        const char* argv[] = {"sonvara"};
        app = std::make_unique<shell::CKelFrameApp>(1, argv, later);
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
    template <class T = QWidget> T* Child(const char* name) {
        return app->Frame()->findChild<T*>(QString::fromLatin1(name));
    }
    void Click(const char* name) {
        auto* button = Child<QAbstractButton>(name);
        ASSERT_NE(button, nullptr) << name;
        ASSERT_TRUE(button->isEnabled()) << name;
        button->click();
    }
    // Clicks a button that opens a file dialog, and answers the dialog with
    // path as a user would.
    void ClickAndChooseFile(const char* name, const std::string& path) {
        bool answered = false;
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, [&] {
            if (auto* d = qobject_cast<QFileDialog*>(QApplication::activeModalWidget())) {
                d->selectFile(QString::fromStdString(path));
                QMetaObject::invokeMethod(d, "accept", Qt::DirectConnection);
                answered = true;
            }
        });
        poll.start(10);
        Click(name);
        EXPECT_TRUE(answered) << "no file dialog for " << name;
    }
    bool WaitForText(const char* label, const QString& text) {
        return QTest::qWaitFor(
            [&] {
                auto* l = Child<QLabel>(label);
                return l && l->text().contains(text);
            },
            60000);
    }
    // The plug-in twice (a copy under another file name), so that there are
    // two voice effects to switch between.
    void InstallTwoEffects() {
        const std::string effects = program + "Effects";
        fs::remove(effects);
        fs::create_directories(effects);
        fs::create_symlink(std::string(EFFECTS_DIR) + "/Panels", effects + "/Panels");
        fs::create_symlink(std::string(EFFECTS_DIR) + "/StavoModulation.so",
                           effects + "/StavoModulation.so");
        fs::copy_file(std::string(EFFECTS_DIR) + "/StavoModulation.so",
                      effects + "/StavoModulationCopy.so");
    }
    static std::string ReadFile(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    std::vector<std::string> Recordings() const {
        std::vector<std::string> found;
        for (const auto& e : fs::directory_iterator(music))
            found.push_back(e.path().string());
        return found;
    }
    void WritePreset(const std::string& path, int law, int rate) {
        std::ofstream(path) << "[Stavo Modulation]\r\nDrums=" << law << "\r\nRate=" << rate
                            << "\r\nFirstTone=4\r\nSecondTone=8\r\n";
    }

    testsupport::TempDir dir;
    std::string program = dir.file("app/");
    std::string settingsDir = dir.file("settings/");
    std::string music = dir.file("music");
    std::string voicePath = dir.file("voice.wav");
    std::string monitorPath = dir.file("monitor.wav");
    std::vector<std::string> messages;
    shell::CHostSubsystems later;
    std::unique_ptr<shell::CKelFrameApp> app;
};

// A sung tone into the microphone under Periodic must come out of the
// recording alternating between the two intended pitches (+2 and -2
// semitones): the capture, the effect and the recorder meet in the right
// order, at the right rate, with no block lost or doubled.
TEST_F(MardrelFrame, ASungToneIsRecordedAlternatingBetweenTheTwoPitchesUnderPeriodic) {
    const double seconds = 5.0;
    ASSERT_TRUE(WriteWav16(
        voicePath,
        testsignals::HarmonicTone(220.0, 0.3, 5, static_cast<std::size_t>(seconds * kRate), kRate),
        1));
    // Drums, and a slow rate: the panel's Periodic button below switches the
    // law, the preset the rest.
    const std::string preset = dir.file("slow.ini");
    WritePreset(preset, 0, 20);
    shell::CMainFrame& frame = Start();
    ASSERT_NE(Child("Mardrel"), nullptr);
    EXPECT_TRUE(Child("Mardrel")->isVisible());
    // The frame's "&Morph" menu lists the effect under "Single Effects",
    // chosen.
    const auto find = [](const SvMenuTree& tree, const std::string& text) -> const SvMenuItem* {
        for (const SvMenuItem& item : tree.items)
            if (item.text == text) return &item;
        return nullptr;
    };
    const SvMenuItem* morph = find(later.Menus()->FrameMenu(), "&Morph");
    ASSERT_TRUE(morph && morph->submenu);
    const SvMenuItem* single = find(*morph->submenu, "Single Effects");
    ASSERT_TRUE(single && single->submenu);
    const SvMenuItem* stavo = find(*single->submenu, "Stavo Modulation");
    ASSERT_NE(stavo, nullptr);
    EXPECT_TRUE(stavo->state & SvMenuItem::Checked);

    ClickAndChooseFile("MardrelLoadPreset", preset);
    Click("31935"); // the effect panel's Periodic
    EXPECT_TRUE(frame.Controls().FindControls(ui::kIdPlayerRecord).front()->GetWnd()->isEnabled());

    Command(sonvara::ID_PLAYER_RECORD);
    CExtMicro& micro = frame.Host().Micro().Engine();
    ASSERT_EQ(micro.GetState(), CExtMicro::kRecording) << frame.StatusText();
    EXPECT_STREQ(frame.Host().Micro().GetMicroOwner(), "Mardrel");
    EXPECT_STREQ(frame.Host().Player().GetPlayerOwner(), "Mardrel");
    EXPECT_NE(frame.StatusText().find("recording to " + music), std::string::npos)
        << frame.StatusText();
    // The file's 256-frame buffers, and a few more for the effect's delay.
    const auto buffers = static_cast<std::uint64_t>(seconds * kRate / 256) + 32;
    ASSERT_TRUE(micro.WaitForDelivered(buffers, 60000));
    Command(sonvara::ID_PLAYER_RECORD); // the file is completed; live goes on
    EXPECT_EQ(micro.GetState(), CExtMicro::kRecording);
    Command(kCmdLive);
    EXPECT_EQ(micro.GetState(), CExtMicro::kStopped);
    EXPECT_EQ(frame.Host().Micro().GetMicroOwner(), nullptr);
    EXPECT_EQ(frame.Host().Player().GetPlayerOwner(), nullptr);
    CloseAndExit();

    const std::vector<std::string> files = Recordings();
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(fs::path(files[0]).filename().string().rfind("Mardrel ", 0), 0u) << files[0];
    EXPECT_EQ(fs::path(files[0]).extension(), ".wav");
    int channels = 0;
    const std::vector<float> out = ReadAll(files[0], &channels);
    ASSERT_EQ(channels, 1);
    ASSERT_GE(out.size(), static_cast<std::size_t>((seconds - 0.3) * kRate));

    const double up = 220.0 * 1.122462, down = 220.0 * 0.890899;
    constexpr std::size_t kWindow = 4096, kHop = 2048;
    std::string labels;
    for (std::size_t at = 0; at + kWindow <= out.size(); at += kHop) {
        float peak = 0.0f;
        for (std::size_t i = at; i < at + kWindow; ++i)
            peak = std::max(peak, std::fabs(out[i]));
        if (peak < 0.05f) continue; // before the voice, after it
        const double f = testsignals::PeakFrequency(out.data() + at, kWindow, 150, 300, kRate);
        labels += std::fabs(testsignals::Cents(f, up)) < 15     ? 'u'
                  : std::fabs(testsignals::Cents(f, down)) < 15 ? 'd'
                                                                : '?';
    }
    std::string runs;
    for (char c : labels)
        if (c != '?' && (runs.empty() || runs.back() != c)) runs.push_back(c);
    // Segments of 20 blocks (0.6 s) over 5 s: about eight of them.
    EXPECT_GE(runs.size(), 6u) << labels;
    EXPECT_GT(std::count(labels.begin(), labels.end(), '?'), 0) << "no change was seen";
    EXPECT_LT(std::count(labels.begin(), labels.end(), '?'), static_cast<long>(labels.size() / 4))
        << labels;
    // The monitor played the same voice.
    EXPECT_GT(ReadAll(monitorPath).size(), static_cast<std::size_t>(kRate));
}

// Ctrl+C or a log-out while the module's file dialog is open cancels the
// dialog and closes the program the normal way, rather than destroying the
// module's window (and the dialog, its child) under the running dialog.
TEST_F(MardrelFrame, ATerminationRequestWhileAFileDialogIsOpenClosesTheProgramCleanly) {
    shell::CMainFrame& frame = Start();
    bool raised = false;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (!raised && qobject_cast<QFileDialog*>(QApplication::activeModalWidget())) {
            raised = true;
            std::raise(SIGTERM);
        }
    });
    poll.start(10);
    Click("MardrelLoadPreset");
    EXPECT_TRUE(raised);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !frame.isVisible(); }, 10000));
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    app->ExitInstance(0);
    app.reset();
}

// A file morphed in the module must sound exactly as the command-line tool
// makes it with the same settings (handed over as the module's XML preset):
// the same effect, the same settings, no sample lost at the start (priming)
// or at the end (tail), and every channel.
TEST_F(MardrelFrame, AMorphedFileHasTheSamplesOfTheCommandLineTool) {
    const std::string input = dir.file("take.wav"), saved = dir.file("take morphed.wav"),
                      reference = dir.file("reference.wav"), preset = dir.file("preset.ini");
    const auto frames = static_cast<std::size_t>(2.5 * kRate);
    const auto left = testsignals::HarmonicTone(196.0, 0.3, 5, frames, kRate);
    const auto right = testsignals::HarmonicTone(233.0, 0.25, 4, frames, kRate);
    std::vector<float> stereo(frames * 2);
    for (std::size_t i = 0; i < frames; ++i) {
        stereo[2 * i] = left[i];
        stereo[2 * i + 1] = right[i];
    }
    ASSERT_TRUE(WriteWav16(input, stereo, 2));
    WritePreset(preset, 1, 8);

    shell::CMainFrame& frame = Start();
    ClickAndChooseFile("MardrelLoadPreset", preset);
    // The same settings as an XML preset, for the tool below.
    const std::string xml = dir.file("preset.xml");
    ClickAndChooseFile("MardrelSavePreset", xml);
    const std::string open = "open \"" + input + "\"";
    EXPECT_EQ(frame.Host().SendModuleMessage("Mardrel", "Main frame", open.c_str()), 0);
    ASSERT_TRUE(WaitForText("MardrelFile", QStringLiteral("take.wav morphed")));
    EXPECT_TRUE(Child<QPushButton>("MardrelPlay")->isEnabled());
    ClickAndChooseFile("MardrelSave", saved);
    // Playing it hands the morphed sound to the player.
    Click("MardrelPlay");
    EXPECT_EQ(frame.Player().GetState(), CExtPlayer::kPlaying);
    EXPECT_STREQ(frame.Host().Player().GetPlayerOwner(), "Mardrel");
    CloseAndExit();
    EXPECT_TRUE(messages.empty()) << messages.front();

    const std::string command = std::string("\"") + FX_PROGRAM + "\" --quiet --preset-xml \"" +
                                xml + "\" \"" + input + "\" \"" + reference + "\"";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    int channels = 0;
    const std::vector<float> ours = ReadAll(saved, &channels);
    const std::vector<float> theirs = ReadAll(reference);
    ASSERT_EQ(channels, 2);
    ASSERT_EQ(ours.size(), theirs.size());
    std::size_t different = 0;
    for (std::size_t i = 0; i < ours.size(); ++i)
        if (std::fabs(ours[i] - theirs[i]) > 0.5f / 32768) ++different;
    EXPECT_EQ(different, 0u);
    // And it is morphed, not the input passed through.
    std::size_t same = 0;
    for (std::size_t i = 0; i < std::min(ours.size(), stereo.size()); ++i)
        if (std::fabs(ours[i] - stereo[i]) < 1e-3f) ++same;
    EXPECT_LT(same, ours.size() / 2);
}

// Another module taking the microphone ends live morphing: the recording
// file is completed and readable, the player and the recorder's settings
// are given back, the window shows that live morphing is off, and why.
TEST_F(MardrelFrame, LosingTheMicrophoneToAnotherModuleStopsLiveMorphingCleanly) {
    fs::create_symlink(RECORDER_MODULE, program + "Modules/Recorder.so");
    setenv("SONVARA_RECORDER_WAV", dir.file("other.wav").c_str(), 1);
    ASSERT_TRUE(
        WriteWav16(voicePath, testsignals::HarmonicTone(220.0, 0.3, 5, 3 * 44100, kRate), 1));
    shell::CMainFrame& frame = Start();
    frame.Host().ActivateModuleByName("Mardrel");
    Command(sonvara::ID_PLAYER_RECORD);
    CExtMicro& micro = frame.Host().Micro().Engine();
    ASSERT_EQ(micro.GetState(), CExtMicro::kRecording) << frame.StatusText();
    ASSERT_TRUE(micro.WaitForDelivered(48, 30000));
    EXPECT_EQ(Child<QPushButton>("MardrelLive")->text(), QStringLiteral("Stop Live Morphing"));

    EXPECT_TRUE(frame.Host().Micro().AcquireMicro("Recorder"));
    EXPECT_STREQ(frame.Host().Micro().GetMicroOwner(), "Recorder");
    EXPECT_EQ(Child<QPushButton>("MardrelLive")->text(), QStringLiteral("Start Live Morphing"));
    EXPECT_EQ(Child<QPushButton>("MardrelRecord")->text(), QStringLiteral("Record"));
    EXPECT_TRUE(Child<QLabel>("MardrelLiveInfo")
                    ->text()
                    .contains(QStringLiteral("another module took the microphone")))
        << Child<QLabel>("MardrelLiveInfo")->text().toStdString();
    EXPECT_EQ(frame.Player().GetState(), CExtPlayer::kStopped);
    EXPECT_EQ(frame.Host().Player().GetPlayerOwner(), nullptr);
    // The recorder module records, with the recorder's settings as they
    // were before live morphing shrank its buffers.
    EXPECT_EQ(micro.GetState(), CExtMicro::kRecording);
    EXPECT_EQ(micro.GetBufferSize(), 44100u);
    const std::vector<std::string> files = Recordings();
    ASSERT_EQ(files.size(), 1u);
    EXPECT_GT(ReadAll(files[0]).size(), 10000u);
    // Live again takes the microphone back.
    Command(kCmdLive);
    EXPECT_STREQ(frame.Host().Micro().GetMicroOwner(), "Mardrel");
    EXPECT_EQ(micro.GetState(), CExtMicro::kRecording);
    CloseAndExit();
    unsetenv("SONVARA_RECORDER_WAV");
}

// While a recording runs, switching the monitor off must only give the
// player back, and choosing another effect must only restart the live path:
// the recording goes on into the same file with the new effect, from the
// first buffer to the last, with no gap beyond the new effect's own delay.
TEST_F(MardrelFrame, MonitorOffAndAnotherEffectWhileRecordingKeepOneWholeFile) {
    InstallTwoEffects();
    ASSERT_TRUE(
        WriteWav16(voicePath, testsignals::HarmonicTone(220.0, 0.3, 5, 20 * 44100, kRate), 1));
    shell::CMainFrame& frame = Start();
    auto* effectBox = Child<QComboBox>("MardrelEffect");
    ASSERT_NE(effectBox, nullptr);
    ASSERT_EQ(effectBox->count(), 2);
    EXPECT_EQ(effectBox->currentIndex(), 0);

    Command(sonvara::ID_PLAYER_RECORD);
    CExtMicro& micro = frame.Host().Micro().Engine();
    ASSERT_EQ(micro.GetState(), CExtMicro::kRecording) << frame.StatusText();
    EXPECT_STREQ(frame.Host().Player().GetPlayerOwner(), "Mardrel");
    // About a second each: with the monitor, without it, with the other
    // effect.
    const std::uint64_t second = static_cast<std::uint64_t>(kRate / 256);
    ASSERT_TRUE(micro.WaitForDelivered(micro.BuffersDelivered() + second, 30000));
    Click("MardrelMonitor");
    EXPECT_EQ(frame.Host().Player().GetPlayerOwner(), nullptr);
    EXPECT_EQ(frame.Player().GetState(), CExtPlayer::kStopped);
    EXPECT_EQ(micro.GetState(), CExtMicro::kRecording);
    EXPECT_EQ(Child<QPushButton>("MardrelRecord")->text(), QStringLiteral("Stop Recording"));
    ASSERT_TRUE(micro.WaitForDelivered(micro.BuffersDelivered() + second, 30000));

    Command(kCmdEffectFirst + 1); // "&Morph", the second effect
    EXPECT_EQ(effectBox->currentIndex(), 1);
    ASSERT_EQ(micro.GetState(), CExtMicro::kRecording) << frame.StatusText();
    EXPECT_STREQ(frame.Host().Micro().GetMicroOwner(), "Mardrel");
    EXPECT_EQ(frame.Host().Player().GetPlayerOwner(), nullptr); // still off
    EXPECT_EQ(Child<QPushButton>("MardrelRecord")->text(), QStringLiteral("Stop Recording"));
    EXPECT_EQ(Recordings().size(), 1u);
    ASSERT_TRUE(micro.WaitForDelivered(micro.BuffersDelivered() + second, 30000));
    Click("MardrelMonitor"); // and the monitor joins again
    EXPECT_STREQ(frame.Host().Player().GetPlayerOwner(), "Mardrel");
    EXPECT_EQ(frame.Player().GetState(), CExtPlayer::kPlaying);
    const std::uint64_t delivered = micro.BuffersDelivered();
    Command(sonvara::ID_PLAYER_RECORD);
    Command(kCmdLive);
    EXPECT_EQ(micro.GetState(), CExtMicro::kStopped);
    CloseAndExit();
    EXPECT_TRUE(messages.empty()) << messages.front();

    const std::vector<std::string> files = Recordings();
    ASSERT_EQ(files.size(), 1u);
    const std::vector<float> out = ReadAll(files[0]);
    // All three seconds, less the buffers the restart took.
    EXPECT_GE(out.size(), static_cast<std::size_t>(3 * kRate) - 8 * 256);
    EXPECT_LE(out.size(), static_cast<std::size_t>(delivered) * 256);
    // The voice throughout, once the first effect's delay is over: the only
    // pause is the second effect's delay (its priming, about 0.1 s).
    std::size_t at = 0;
    while (at < out.size() && std::fabs(out[at]) < 0.05f)
        ++at;
    std::size_t quiet = 0, longest = 0, pauses = 0;
    for (; at < out.size(); ++at) {
        quiet = std::fabs(out[at]) < 0.01f ? quiet + 1 : 0;
        if (quiet == static_cast<std::size_t>(0.02 * kRate)) ++pauses;
        longest = std::max(longest, quiet);
    }
    EXPECT_LE(pauses, 1u);
    EXPECT_LT(longest, static_cast<std::size_t>(0.15 * kRate));
}

// A preset file that is broken, XML that is no preset at all, or an INI
// file without the effect's section must be refused with a message naming it while live morphing
// goes on; the effect keeps the settings it had (the next preset saved and the settings kept for
// the next session show them), and neither the refused file nor the
// module's settings are written over.
TEST_F(MardrelFrame, ABrokenOrForeignPresetIsRefusedAndTheSettingsAndFilesStay) {
    ASSERT_TRUE(
        WriteWav16(voicePath, testsignals::HarmonicTone(220.0, 0.3, 5, 10 * 44100, kRate), 1));
    const std::string good = dir.file("good.ini"), truncated = dir.file("truncated.xml"),
                      other = dir.file("skin.xml"), elsewhere = dir.file("other.ini"),
                      saved = dir.file("saved.ini");
    WritePreset(good, 1, 17);
    std::ofstream(truncated) << "<?xml version=\"1.0\"?>\r\n<Preset>\r\n\t<Rate Value=\"3\"";
    std::ofstream(other) << "<Skin>\r\n\t<Rate Value=\"1\"/>\r\n</Skin>\r\n";
    // An INI file with presets of something else only.
    std::ofstream(elsewhere) << "[Echo]\r\nRate=2\r\n";
    const std::string truncatedBytes = ReadFile(truncated), otherBytes = ReadFile(other),
                      elsewhereBytes = ReadFile(elsewhere);

    shell::CMainFrame& frame = Start();
    ClickAndChooseFile("MardrelLoadPreset", good);
    Command(kCmdLive);
    CExtMicro& micro = frame.Host().Micro().Engine();
    ASSERT_EQ(micro.GetState(), CExtMicro::kRecording) << frame.StatusText();
    for (const std::string& bad : {truncated, other, elsewhere}) {
        messages.clear();
        ClickAndChooseFile("MardrelLoadPreset", bad);
        ASSERT_EQ(messages.size(), 1u) << bad;
        EXPECT_NE(messages[0].find(bad), std::string::npos) << messages[0];
        EXPECT_NE(messages[0].find("no preset"), std::string::npos) << messages[0];
        EXPECT_EQ(micro.GetState(), CExtMicro::kRecording) << bad;
        EXPECT_STREQ(frame.Host().Micro().GetMicroOwner(), "Mardrel");
    }
    ClickAndChooseFile("MardrelSavePreset", saved);
    Command(kCmdLive);
    CloseAndExit();

    const std::string kept = ReadFile(saved);
    EXPECT_NE(kept.find("Rate=17"), std::string::npos) << kept;
    EXPECT_NE(kept.find("Drums=1"), std::string::npos) << kept;
    const std::string session = ReadFile(program + "Mardrel_effects.ini");
    EXPECT_NE(session.find("Rate=17"), std::string::npos) << session;
    EXPECT_EQ(ReadFile(truncated), truncatedBytes);
    EXPECT_EQ(ReadFile(other), otherBytes);
    EXPECT_EQ(ReadFile(elsewhere), elsewhereBytes);
}

// A file that is no sound file is refused with a message naming it and
// nothing is offered to play or save; a long file's morphing is cancelled by
// the Cancel button, without a message and without a result.
TEST_F(MardrelFrame, ACorruptInputFileIsRefusedWithAMessageAndALongOneCanBeCancelled) {
    const std::string bad = dir.file("broken.wav");
    std::ofstream(bad) << "RIFF\x10\0\0\0WAVEjunk that is not a sound file at all";
    shell::CMainFrame& frame = Start();
    const std::string open = "open \"" + bad + "\"";
    frame.Host().SendModuleMessage("Mardrel", "Main frame", open.c_str());
    ASSERT_TRUE(QTest::qWaitFor([&] { return !messages.empty(); }, 10000));
    EXPECT_NE(messages.front().find(bad), std::string::npos) << messages.front();
    EXPECT_NE(messages.front().find("cannot be read as a sound file"), std::string::npos)
        << messages.front();
    EXPECT_FALSE(Child<QPushButton>("MardrelPlay")->isEnabled());
    EXPECT_FALSE(Child<QPushButton>("MardrelSave")->isEnabled());

    // A long good file starts; Cancel ends the work and offers nothing.
    const std::string longFile = dir.file("long.wav");
    ASSERT_TRUE(
        WriteWav16(longFile, testsignals::HarmonicTone(220.0, 0.3, 5, 120 * 44100, kRate), 1));
    const std::string openLong = "open \"" + longFile + "\"";
    frame.Host().SendModuleMessage("Mardrel", "Main frame", openLong.c_str());
    Click("MardrelCancel");
    ASSERT_TRUE(WaitForText("MardrelFile", QStringLiteral("long.wav was cancelled")));
    EXPECT_FALSE(Child<QPushButton>("MardrelPlay")->isEnabled());
    EXPECT_FALSE(Child<QPushButton>("MardrelCancel")->isEnabled());
    EXPECT_EQ(messages.size(), 1u);
    CloseAndExit();
}

// The window in both shipped skins, live and with a morphed file, for
// people to look at.
TEST_F(MardrelFrame, ScreenshotsInBothSkins) {
    const std::string take = dir.file("Evening take.wav");
    ASSERT_TRUE(WriteWav16(take, testsignals::HarmonicTone(220.0, 0.3, 5, 44100, kRate), 1));
    ASSERT_TRUE(
        WriteWav16(voicePath, testsignals::HarmonicTone(220.0, 0.5, 5, 10 * 44100, kRate), 1));
    shell::CMainFrame& frame = Start();
    frame.resize(900, 640);
    const std::string open = "open \"" + take + "\"";
    frame.Host().SendModuleMessage("Mardrel", "Main frame", open.c_str());
    ASSERT_TRUE(WaitForText("MardrelFile", QStringLiteral("morphed")));
    Command(kCmdLive);
    ASSERT_EQ(frame.Host().Micro().Engine().GetState(), CExtMicro::kRecording);
    ASSERT_TRUE(WaitForText("MardrelLiveInfo", QStringLiteral("Live for 0.5")));
    fs::create_directories(SCREENSHOT_DIR);
    for (std::size_t i = 0; i < frame.Skins().Skins().size(); ++i) {
        Command(static_cast<unsigned>(ui::kSkinCommandFirst + static_cast<int>(i)));
        QTest::qWait(100);
        const QString name = QString::fromStdString(frame.Skins().Current()->name);
        EXPECT_TRUE(frame.grab().save(QStringLiteral(SCREENSHOT_DIR "/mardrel-%1.png").arg(name)));
    }
    Command(kCmdLive);
    CloseAndExit();
}

} // namespace
