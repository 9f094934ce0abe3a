// The whole program path, offscreen: the real application and frame start
// in a scratch program folder whose Modules folder holds the tone module,
// PLAYER_PLAY goes through the frame's command path, the frame's event loop
// runs until the module's tone has played out through the configured wav:
// device, and the file written at close holds the tone.
#include "audio/ExtPlayer.h"
#include "audio/ExtPlayerDX.h"
#include "libs/lacquer/Lacquer.h"
#include "libs/trestle/TrestleMessageBox.h"
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

#include <QCoreApplication>
#include <QTest>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <gtest/gtest.h>

namespace {

namespace fs = std::filesystem;

struct WavData {
    std::uint16_t channels = 0;
    std::uint32_t rate = 0;
    std::vector<std::int16_t> samples;
};

// Reads a 16-bit PCM WAV file by its chunks.
bool ReadWav(const std::string& path, WavData& out) {
    std::string bytes;
    if (!platform::ReadWholeFile(path, bytes) || bytes.size() < 12) return false;
    if (bytes.compare(0, 4, "RIFF") != 0 || bytes.compare(8, 4, "WAVE") != 0) return false;
    std::size_t at = 12;
    while (at + 8 <= bytes.size()) {
        std::uint32_t size = 0;
        std::memcpy(&size, bytes.data() + at + 4, 4);
        const std::string id = bytes.substr(at, 4);
        const std::size_t body = at + 8;
        if (body + size > bytes.size()) return false;
        if (id == "fmt ") {
            std::memcpy(&out.channels, bytes.data() + body + 2, 2);
            std::memcpy(&out.rate, bytes.data() + body + 4, 4);
        } else if (id == "data") {
            out.samples.resize(size / 2);
            std::memcpy(out.samples.data(), bytes.data() + body, out.samples.size() * 2);
            return out.channels != 0;
        }
        at = body + size + (size & 1);
    }
    return false;
}

class FrameTone : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(program + "Modules");
        fs::create_directories(settingsDir);
        fs::copy(SHELL_FIXTURES_DIR "/Skins", program + "Skins", fs::copy_options::recursive);
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

} // namespace
