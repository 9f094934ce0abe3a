// The tone module end to end: Play pressed while it is shown hands it the
// player, its window answers the ownership message by setting its callback
// and playing, and the tone passes the equalizer into a WAV file. The module
// is the in-tree build, or the one SONVARA_TONE_MODULE names (the SDK
// install check builds one against the installed headers alone).
#include "ModulesTestSupport.h"

#include "platform/AtomicFile.h"
#include "platform/audio/TimedOutputDevice.h"
#include "sonvara/MessageEvent.h"
#include "sonvara/Messages.h"

#include <QCoreApplication>
#include <QWidget>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>

namespace {

class QtSite : public RecordingSite {
public:
    QWidget* ModuleClientArea() override { return &clientArea; }
    std::intptr_t SendWindowMessage(QWidget* window, unsigned message, std::uintptr_t wParam,
                                    std::intptr_t lParam) override {
        RecordingSite::SendWindowMessage(window, message, wParam, lParam);
        sonvara::CWindowMessageEvent event(message, wParam, lParam);
        QCoreApplication::sendEvent(window, &event);
        return event.Result();
    }
    void DestroyModuleWindow(QWidget* window) override { delete window; }
    QWidget clientArea;
};

} // namespace

namespace {

std::string ToneModulePath() {
    const char* chosen = std::getenv("SONVARA_TONE_MODULE");
    return chosen && *chosen ? chosen : TONE_MODULE;
}

} // namespace

TEST(ToneModule, PlaysThroughThePlayerIntoAWavFile) {
    setenv("SONVARA_TONE_MS", "500", 1);
    TempDir dir;
    const std::string wavPath = dir.file("tone.wav");
    platform::audio::WavOutputDevice* wav = nullptr;
    CExtPlayerDX player([&](std::string*) {
        auto d = std::make_unique<platform::audio::WavOutputDevice>(
            wavPath, platform::audio::WavOutputDevice::Clock::Manual);
        wav = d.get();
        return std::unique_ptr<platform::audio::OutputDevice>(std::move(d));
    });
    const float flat[10] = {1, 1, 1, 1, 1, 1, 1, 1, 1, 1};
    player.SetEqualizer(flat, 10, true);

    QtSite site;
    std::vector<std::string> log;
    {
        modules::CModuleHost host(site, player);
        host.SetLogSink([&](const std::string& line) { log.push_back(line); });
        site.nameOf = [&](QWidget*) { return std::string("Tone"); };
        TempDir modulesDir;
        std::filesystem::create_symlink(ToneModulePath(), modulesDir.file("Tone.so"));
        host.LoadModules(modulesDir.path());
        ASSERT_EQ(host.Count(), 1u) << (log.size() > 1 ? log[1] : "");
        host.ActivateModule(0);
        EXPECT_EQ(site.enabledState.at(sonvara::ID_PLAYER_PLAY), true);

        ASSERT_TRUE(host.Player().OnTransportCommand(sonvara::ID_PLAYER_PLAY));
        EXPECT_STREQ(host.Player().GetPlayerOwner(), "Tone");
        ASSERT_EQ(player.GetState(), CExtPlayer::kPlaying);
        ASSERT_NE(wav, nullptr);
        EXPECT_EQ(site.status, "Tone: 440 Hz");
        EXPECT_TRUE(site.timerRunning);

        const std::uint32_t segFrames = player.GetBufferSize() / 4;
        std::uint64_t handled = 0;
        for (int i = 0; i < 40 && player.GetState() == CExtPlayer::kPlaying; ++i) {
            ASSERT_EQ(wav->Advance(segFrames), segFrames);
            ASSERT_TRUE(player.WaitForNotificationsHandled(++handled));
        }
        ASSERT_EQ(player.GetStopReason(), CExtPlayer::kEndOfStream);
        host.ActivateModule(-1);
        host.ReleaseModules();
    }

    std::string bytes;
    ASSERT_TRUE(platform::ReadWholeFile(wavPath, bytes));
    ASSERT_GT(bytes.size(), 44u + 22050u * 4);
    const auto* pcm = reinterpret_cast<const std::int16_t*>(bytes.data() + 44);
    // The equalizer delays by 3072 frames; look well inside the tone.
    double sum = 0;
    int crossings = 0;
    const int from = 3072 + 4000, to = 3072 + 18000;
    for (int n = from; n < to; ++n) {
        const double l = pcm[2 * n] / 32768.0, r = pcm[2 * n + 1] / 32768.0;
        EXPECT_NEAR(l, r, 1e-4);
        sum += l * l;
        if ((pcm[2 * n] < 0) != (pcm[2 * n + 2] < 0)) ++crossings;
    }
    const double rms = std::sqrt(sum / (to - from));
    EXPECT_NEAR(rms, 0.25 / std::sqrt(2.0), 0.01);
    const double hz = crossings / 2.0 / ((to - from) / 44100.0);
    EXPECT_NEAR(hz, 440.0, 5.0);
}
