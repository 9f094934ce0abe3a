// The live path without a program around it: microphone blocks through an
// effect that passes its input on (after a priming pull, as a real effect
// makes), into the monitor and the recording.
#include "engine/LiveMorph.h"
#include "engine/RecordingWriter.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>
#include <sndfile.h>
#include <vector>

namespace {

using mardrel::LiveFormat;
using mardrel::LiveMorph;

// Pulls `priming` frames the first time (and drops them), then passes every
// block through unchanged.
class PassThrough final : public CSimpleEffect {
public:
    std::uint32_t GetID() override { return 0; }
    int GetEffectType() override { return kEffectTypeVoiceMorphing; }
    int SetStreamCallBack(StreamCallback callback, void* user) override {
        m_callback = callback;
        m_user = user;
        return 1;
    }
    int OpenStream(const WAVEFORMATEX* format) override {
        m_primed = false;
        return format && format->nChannels == 1 ? 0 : 1;
    }
    const char* GetDisplayName() override { return "Pass"; }
    std::uint32_t ProcessStream(StreamBuffer* buffer) override {
        if (!m_primed) {
            std::vector<float> priming(kPriming, 1.0f);
            StreamBuffer p;
            p.channels = {priming.data()};
            p.frames = kPriming;
            if (m_callback(m_user, &p) != kPriming) return 0;
            for (float v : priming)
                if (v != 0.0f) primingWasSilent = false;
            m_primed = true;
        }
        return m_callback(m_user, buffer) == buffer->frames ? buffer->frames : 0;
    }
    int CloseStream() override { return 1; }
    int LoadPreset(const char*, const char*) override { return 1; }
    int SavePreset(const char*, const char*) override { return 1; }
    int LoadPresetXml(CXmlNode*) override { return 0; }
    int SavePresetXml(CXmlNode*) override { return 0; }
    void* CreateSettingsWindow(void*) override { return nullptr; }
    const char* GetVendor() override { return "tests"; }
    EffectInstance* GetInstance() override { return nullptr; }
    int GetStringList(std::vector<std::string>*) override { return 0; }

    static constexpr std::uint32_t kPriming = 300;
    bool primingWasSilent = true;

private:
    StreamCallback m_callback = nullptr;
    void* m_user = nullptr;
    bool m_primed = false;
};

// 16-bit mono blocks whose samples count up, so a lost or doubled frame shows.
std::vector<std::int16_t> Block(std::uint32_t frames, int& next) {
    std::vector<std::int16_t> b(frames);
    for (auto& s : b)
        s = static_cast<std::int16_t>(next++ % 30000);
    return b;
}

// Capture and player take turns as their clocks would: once the monitor
// plays, every frame the microphone gives reaches it once and in order; the
// effect's priming is silence rather than a held-back first block; the
// monitor starts once it holds what it keeps and two capture buffers more,
// from that much before the newest sound (what came earlier, here in the
// burst of a capture thread catching up, would only add latency).
TEST(LiveMorph, EveryCapturedFrameReachesTheMonitorOnceAndInOrder) {
    PassThrough effect;
    LiveMorph live;
    LiveFormat format;
    format.captureFrames = 512;
    format.outputFrames = 128;
    std::string error;
    ASSERT_TRUE(live.Open(&effect, format, error)) << error;

    int next = 1;
    std::vector<float> played;
    std::vector<float> segment(128), copy(128);
    StreamBuffer block;
    block.channels = {segment.data(), copy.data()}; // a stereo player
    for (int round = 0; round < 40; ++round) {
        for (int burst = round == 0 ? 4 : 1; burst > 0; --burst) {
            const auto pcm = Block(512, next);
            LiveMorph::Capture(&live, pcm.data(), 1024);
        }
        for (int s = 0; s < 4; ++s) {
            std::fill(segment.begin(), segment.end(), 0.0f);
            block.frames = 128;
            ASSERT_EQ(LiveMorph::Play(&live, &block, 0), 1u);
            EXPECT_EQ(block.valid, 128u);
            EXPECT_EQ(segment, copy);
            played.insert(played.end(), segment.begin(), segment.end());
        }
    }
    EXPECT_TRUE(effect.primingWasSilent);
    EXPECT_EQ(live.LateBlocks(), 0u);
    EXPECT_EQ(live.SkippedFrames(), 0u);
    EXPECT_EQ(live.CapturedFrames(), 43u * 512);
    // It keeps 3 x 128 frames and starts with 2 x 512 more: of the first
    // 2048 frames, the 1408 newest are played first.
    EXPECT_EQ(live.MonitorDelayFrames(), 3u * 128);
    EXPECT_NE(played[0], 0.0f);
    const std::size_t first = 0, skipped = 2048 - 1408;
    for (std::size_t i = first; i < played.size(); ++i)
        ASSERT_FLOAT_EQ(played[i], static_cast<float>(i - first + skipped + 1) / 32768.0f) << i;
}

// A player that stops asking (a stalled output) must not make the monitor
// lag further and further: it skips ahead to fresh sound and counts it; a
// player that asks for more than there is gets silence and counts a late
// block instead of stale or repeated sound, and the monitor then keeps more
// sound in hand so that it does not happen again and again. Sound that the
// queue merely holds more than it needs is let go only after a second in
// which the queue never fell below that much.
TEST(LiveMorph, AStalledMonitorSkipsAheadAndAStarvedOneCountsLateBlocks) {
    PassThrough effect;
    LiveMorph live;
    LiveFormat format;
    format.captureFrames = 256;
    format.outputFrames = 256;
    std::string error;
    ASSERT_TRUE(live.Open(&effect, format, error));
    int next = 1;
    const auto capture = [&](int blocks) {
        for (int i = 0; i < blocks; ++i) {
            const auto pcm = Block(256, next);
            LiveMorph::Capture(&live, pcm.data(), 512);
        }
    };
    std::vector<float> out(256);
    StreamBuffer block;
    block.channels = {out.data()};
    block.frames = 256;
    capture(4);
    LiveMorph::Play(&live, &block, 0);
    EXPECT_EQ(out[0], 0.0f); // not yet: it keeps 3 segments and starts with 2 buffers more
    capture(1);
    LiveMorph::Play(&live, &block, 0); // the monitor runs
    EXPECT_FLOAT_EQ(out[0], 1.0f / 32768.0f);
    // A quarter of a second and more behind: back to the start level at once.
    capture(60);
    LiveMorph::Play(&live, &block, 0);
    EXPECT_EQ(live.SkippedFrames(), 65u * 256 - 256 - 1280);
    EXPECT_FLOAT_EQ(out[0], static_cast<float>(65 * 256 - 1280 + 1) / 32768.0f);
    for (int i = 0; i < 4; ++i)
        LiveMorph::Play(&live, &block, 0);
    EXPECT_EQ(live.LateBlocks(), 0u);
    EXPECT_EQ(live.MonitorDelayFrames(), 3u * 256);
    LiveMorph::Play(&live, &block, 0);
    EXPECT_EQ(live.LateBlocks(), 1u);
    // After a late block the monitor keeps one segment more in hand.
    EXPECT_EQ(live.MonitorDelayFrames(), 4u * 256);
    EXPECT_EQ(out[0], 0.0f);

    // Steady turns from the new start level (its surplus goes after the
    // second half second, uncounted); then four buffers too many (the output
    // lost time): they go, counted, once a half second has shown they are
    // spare.
    capture(6);
    const std::uint64_t skipped = live.SkippedFrames();
    for (int i = 0; i < 600; ++i) {
        if (i == 200) capture(4);
        capture(1);
        LiveMorph::Play(&live, &block, 0);
    }
    EXPECT_EQ(live.LateBlocks(), 1u);
    EXPECT_EQ(live.SkippedFrames() - skipped, 4u * 256);
}

// Ten minutes of the null devices as they run: the capture and the output
// each wake about every ten milliseconds on clocks of their own, so the
// microphone's buffers arrive in ones and twos and the player refills its
// three 256-frame segments in bursts, while the phase between the two clocks
// drifts, a wake-up now and then comes late and the output, held up longer
// than its buffer lasts, loses time. The monitor's queue swings by more than
// a capture buffer over that pattern; a monitor that sets its queue by the
// level of one moment (at the top of a swing) runs dry at the bottom of the
// next, though no clock fell behind.
TEST(LiveMorph, TwoTickingClocksWithDriftingPhasesNeverStarveTheMonitor) {
    PassThrough effect;
    LiveMorph live;
    constexpr std::uint32_t kCapture = 256; // the window's settings
    LiveFormat format;                      // 44,100 Hz
    format.captureFrames = kCapture;
    format.outputFrames = 256;
    std::string error;
    ASSERT_TRUE(live.Open(&effect, format, error)) << error;

    // Times in microseconds; each clock hands over the frames due since its
    // start, as the timed devices do, whenever it wakes.
    std::uint32_t seed = 12345;
    const auto random = [&seed](std::uint32_t range) {
        seed = seed * 1664525u + 1013904223u;
        return (seed >> 8) % range;
    };
    const auto due = [](std::int64_t elapsed) { return elapsed * 44100 / 1000000; };
    std::int64_t captureWake = 3000, outputWake = 0;
    const std::int64_t captureStart = captureWake, outputStart = outputWake;
    std::int64_t captured = 0, consumed = 0, pulled = 0, outputDone = 0, lost = 0;
    int next = 1;
    std::vector<std::int16_t> pcm;
    std::vector<float> out(256);
    StreamBuffer block;
    block.channels = {out.data()};
    const auto pull = [&] {
        // The player keeps its 768-frame buffer full, 256 frames a pull.
        while (pulled < consumed + 768) {
            block.frames = 256;
            LiveMorph::Play(&live, &block, 0);
            pulled += 256;
        }
    };
    // Ten milliseconds and the wake-up's overhead; one wake in a hundred is
    // a few milliseconds late (the devices' threads run at real-time
    // priority); one of the output's in two thousand is held up beyond its
    // buffer.
    const auto pause = [&](bool output) {
        std::int64_t late = random(100) == 0 ? random(4000) : 0;
        if (output && random(2000) == 0) late = 8000 + random(12000);
        return 10000 + 40 + static_cast<std::int64_t>(random(120)) + late;
    };
    pull(); // its first fill, before the microphone starts
    const std::int64_t end = 600LL * 1000000;
    while (captureWake < end || outputWake < end) {
        if (captureWake <= outputWake) {
            const std::int64_t now = due(captureWake - captureStart);
            while (now - captured >= kCapture) {
                pcm = Block(kCapture, next);
                LiveMorph::Capture(&live, pcm.data(), 2 * kCapture);
                captured += kCapture;
            }
            captureWake += pause(false);
        } else {
            // After a hold-up longer than its buffer the output carries on
            // from now, a few milliseconds of its time lost.
            const std::int64_t now = due(outputWake - outputStart);
            if (now - outputDone > 768) {
                lost += now - outputDone - 384;
                outputDone = now - 384;
            }
            consumed += now - outputDone;
            outputDone = now;
            pull();
            outputWake += pause(true);
        }
    }
    EXPECT_GT(live.CapturedFrames(), 599u * 44100);
    EXPECT_EQ(live.LateBlocks(), 0u);
    // The queue stays short, and what the monitor throws away is what the
    // output lost in its hold-ups (give or take a buffer of the clocks'
    // phase), not sound that was still needed.
    EXPECT_GT(lost, 0);
    EXPECT_LE(live.SkippedFrames(), static_cast<std::uint64_t>(lost) + 512);
}

// What the microphone delivers in other PCM formats is the same voice.
TEST(LiveMorph, PcmOfEveryWidthBecomesTheSameMonoFloats) {
    float out[2];
    const std::uint8_t u8[] = {192, 64};
    mardrel::PcmToMono(u8, 2, 1, 8, out);
    EXPECT_FLOAT_EQ(out[0], 0.5f);
    EXPECT_FLOAT_EQ(out[1], -0.5f);
    const std::uint8_t s24[] = {0, 0, 0x40, 0, 0, 0xC0};
    mardrel::PcmToMono(s24, 2, 1, 24, out);
    EXPECT_FLOAT_EQ(out[0], 0.5f);
    EXPECT_FLOAT_EQ(out[1], -0.5f);
    const std::uint8_t s32stereo[] = {0, 0, 0, 0x40, 0, 0, 0, 0x20};
    mardrel::PcmToMono(s32stereo, 1, 2, 32, out);
    EXPECT_FLOAT_EQ(out[0], 0.375f);
}

// The recording holds every frame pushed, in each channel, in the format
// asked for; a file that cannot be created is refused with its name.
TEST(RecordingWriter, WritesEveryPushedFrameToEachChannel) {
    testsupport::TempDir dir;
    mardrel::RecordingWriter writer;
    mardrel::RecordingTarget target;
    target.path = dir.file("take.flac");
    target.format = SF_FORMAT_FLAC | SF_FORMAT_PCM_16;
    target.channels = 2;
    std::string error;
    ASSERT_TRUE(writer.Start(target, error)) << error;
    std::vector<float> frames(1000);
    for (int round = 0; round < 50; ++round) {
        for (std::size_t i = 0; i < frames.size(); ++i)
            frames[i] = static_cast<float>((round * 1000 + static_cast<int>(i)) % 200) / 400.0f;
        writer.Push(frames.data(), frames.size());
    }
    ASSERT_TRUE(writer.Stop(error)) << error;
    EXPECT_EQ(writer.FramesLost(), 0u);
    SF_INFO info{};
    SNDFILE* f = sf_open(target.path.c_str(), SFM_READ, &info);
    ASSERT_NE(f, nullptr);
    ASSERT_EQ(info.frames, 50000);
    ASSERT_EQ(info.channels, 2);
    std::vector<float> back(100000);
    sf_readf_float(f, back.data(), 50000);
    sf_close(f);
    for (std::size_t i = 0; i < 50000; ++i) {
        ASSERT_NEAR(back[2 * i], static_cast<float>(i % 200) / 400.0f, 1e-4) << i;
        ASSERT_EQ(back[2 * i], back[2 * i + 1]);
    }
    target.path = dir.file("missing/take.wav");
    target.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    EXPECT_FALSE(writer.Start(target, error));
    EXPECT_NE(error.find("missing/take.wav"), std::string::npos) << error;
}

} // namespace
