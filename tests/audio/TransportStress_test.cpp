// The player and the recorder on the real-time null devices, driven by two
// control threads at once with random transport, format, setting and
// callback changes, as the window and a module's worker would through the
// frame's control lock. Built with ThreadSanitizer (SONVARA_SANITIZE_THREAD)
// this is the race check of the whole transport; in the other builds it is
// a quick check that no sequence of operations hangs or crashes.
#include "audio/ExtMicro.h"
#include "audio/ExtPlayerDX.h"
#include "platform/audio/TimedCaptureDevice.h"
#include "platform/audio/TimedOutputDevice.h"

#include <atomic>
#include <cstdlib>
#include <gtest/gtest.h>
#include <mutex>
#include <random>
#include <thread>

namespace {

using platform::audio::NullCaptureDevice;
using platform::audio::NullOutputDevice;

// A source whose position another thread may move (a seek) while it plays.
struct SeekableSource {
    std::atomic<std::uint32_t> position{0};
    std::atomic<int> pulls{0};
    static std::uint32_t Callback(void* user, StreamBuffer* b, std::uint32_t) {
        auto* self = static_cast<SeekableSource*>(user);
        if (b->channels.empty()) return 0;
        std::uint32_t at = self->position.fetch_add(b->frames);
        for (std::uint32_t i = 0; i < b->frames; ++i, ++at)
            for (float* channel : b->channels)
                channel[i] = static_cast<float>(at % 441) / 882.0f;
        b->valid = b->frames;
        self->pulls.fetch_add(1);
        return b->frames;
    }
};

std::atomic<std::uint64_t> g_captured{0};

std::uint32_t Capture(void*, const void* data, std::uint32_t bytes) {
    if (data) g_captured.fetch_add(bytes);
    return 0;
}

// SONVARA_STRESS_OPERATIONS overrides the count (the sanitizer builds run
// more of them than the everyday suite needs).
int Operations() {
    const char* text = std::getenv("SONVARA_STRESS_OPERATIONS");
    const int n = text ? std::atoi(text) : 0;
    return n > 0 ? n : 2000;
}

TEST(TransportStress, TwoControlThreadsChangingEverythingAtRandomNeitherHangNorRace) {
    CExtPlayerDX player([](std::string*) {
        return std::unique_ptr<platform::audio::OutputDevice>(std::make_unique<NullOutputDevice>());
    });
    CExtMicro micro([](std::string*) {
        return std::unique_ptr<platform::audio::CaptureDevice>(
            std::make_unique<NullCaptureDevice>());
    });
    std::mutex microLock; // the recorder's operations, like the player's, one at a time
    SeekableSource sources[2];
    // Short segments, so the devices' threads call back often.
    ASSERT_EQ(player.SetBufferSize(256 * 4), 0u);
    ASSERT_EQ(player.SetBufferCount(3), 0u);
    ASSERT_EQ(player.SetStreamCallback(&SeekableSource::Callback, &sources[0]), 0u);
    ASSERT_EQ(micro.SetBufferSize(512), CExtMicro::kDone);
    ASSERT_EQ(micro.SetCaptureCallback(&Capture, nullptr), CExtMicro::kDone);

    const int operations = Operations();
    std::atomic<int> done{0};
    auto control = [&](unsigned seed) {
        std::mt19937 random(seed);
        static constexpr std::uint32_t kRates[] = {8000, 22050, 44100, 48000, 96000};
        for (int i = 0; i < operations / 2; ++i) {
            const unsigned op = random() % 16;
            if (op < 10) {
                std::lock_guard<std::mutex> lock(player.ControlLock());
                switch (op) {
                case 0:
                case 1:
                    player.Play();
                    break;
                case 2:
                    player.Stop(CExtPlayer::kStopRequested);
                    break;
                case 3:
                    player.Pause();
                    break;
                case 4:
                    player.Reset();
                    break;
                case 5: { // refused (6) unless stopped
                    WAVEFORMATEXTENSIBLE f = *player.GetFormat();
                    f.Format.nSamplesPerSec = kRates[random() % 5];
                    f.Format.nAvgBytesPerSec = f.Format.nSamplesPerSec * f.Format.nBlockAlign;
                    player.SetFormat(&f);
                    break;
                }
                case 6:
                    player.SetStreamCallback(&SeekableSource::Callback, &sources[random() % 2]);
                    break;
                case 7:
                    sources[random() % 2].position = random() % 441000; // a seek
                    break;
                case 8: {
                    const float gains[10] = {1.2f, 1, 1, 1, 0.7f, 1, 1, 1, 1.4f, 1};
                    player.SetEqualizer(gains, 10, random() % 2 == 0);
                    player.SetVolume(random() % 101);
                    break;
                }
                default:
                    player.SetBalance(random() % 101);
                    player.SetSurroundOn(random() % 4 == 0);
                    break;
                }
            } else {
                std::lock_guard<std::mutex> lock(microLock);
                switch (op) {
                case 10:
                case 11:
                    if (micro.Play() == CExtMicro::kNotAvailable) micro.Reset();
                    break;
                case 12:
                    micro.Stop();
                    break;
                case 13:
                    micro.Pause();
                    break;
                case 14: {
                    WAVEFORMATEX f = micro.StoredFormat();
                    f.nSamplesPerSec = kRates[random() % 5];
                    f.nChannels = static_cast<std::uint16_t>(1 + random() % 2);
                    micro.SetFormat(&f);
                    break;
                }
                default:
                    micro.Reset();
                    micro.SetCaptureCallback(&Capture, nullptr);
                    break;
                }
            }
            done.fetch_add(1);
        }
    };
    std::thread first(control, 1u), second(control, 2u);
    first.join();
    second.join();
    EXPECT_EQ(done.load(), operations / 2 * 2);
    {
        std::lock_guard<std::mutex> lock(player.ControlLock());
        player.Stop(CExtPlayer::kStopRequested);
        player.Reset();
    }
    micro.Stop();
    micro.Reset();
    EXPECT_EQ(player.GetState(), CExtPlayer::kStopped);
    EXPECT_EQ(micro.GetState(), CExtMicro::kStopped);
    // The devices really ran in between.
    EXPECT_GT(sources[0].pulls.load() + sources[1].pulls.load(), 0);
    RecordProperty("operations", done.load());
}

} // namespace
