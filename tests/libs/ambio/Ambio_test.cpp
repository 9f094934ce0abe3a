// The surround processor measured on its output: where a placed source comes
// out, what the LFE channel carries, that nothing rings on with the
// reverberation off, the layout of every mask, and no allocation per block.
#include "libs/ambio/SurroundEffect.h"
#include "support/CountingAllocator.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <numbers>
#include <vector>

namespace {

constexpr std::uint32_t kRate = 44100;

WAVEFORMATEXTENSIBLE Stereo(std::uint32_t rate = kRate) {
    WAVEFORMATEXTENSIBLE f{};
    f.Format.wFormatTag = WAVE_FORMAT_EXTENSIBLE;
    f.Format.nChannels = 2;
    f.Format.nSamplesPerSec = rate;
    f.Format.wBitsPerSample = 16;
    f.Format.nBlockAlign = 4;
    f.dwChannelMask = 0x3;
    return f;
}

// Runs the processor over a stereo signal (the same on both sides) in blocks
// of blockFrames and returns every output channel whole.
std::vector<std::vector<float>> Render(CSurroundEffect& fx, const std::vector<float>& signal,
                                       std::uint32_t blockFrames = 4410,
                                       const std::function<void(int)>& beforeBlock = {}) {
    std::vector<std::vector<float>> out;
    std::vector<float> left(blockFrames), right(blockFrames);
    StreamBuffer block;
    block.channels.reserve(8);
    for (std::size_t at = 0; at < signal.size(); at += blockFrames) {
        if (beforeBlock) beforeBlock(static_cast<int>(at / blockFrames));
        const std::size_t n = std::min<std::size_t>(blockFrames, signal.size() - at);
        std::fill(left.begin(), left.end(), 0.0f);
        std::copy_n(signal.begin() + static_cast<std::ptrdiff_t>(at), n, left.begin());
        right = left;
        block.channels = {left.data(), right.data()};
        block.frames = blockFrames;
        block.valid = static_cast<std::uint32_t>(n);
        fx.Process(&block);
        EXPECT_EQ(block.frames, blockFrames);
        EXPECT_EQ(block.valid, n);
        out.resize(block.channels.size());
        for (std::size_t c = 0; c < block.channels.size(); ++c)
            out[c].insert(out[c].end(), block.channels[c], block.channels[c] + n);
    }
    return out;
}

std::vector<float> Sine(double hz, std::size_t frames, float level = 0.5f) {
    std::vector<float> s(frames);
    for (std::size_t i = 0; i < frames; ++i)
        s[i] = level * static_cast<float>(std::sin(2 * std::numbers::pi * hz * i / kRate));
    return s;
}

double Energy(const std::vector<float>& x, std::size_t from = 0) {
    double e = 0;
    for (std::size_t i = from; i < x.size(); ++i)
        e += static_cast<double>(x[i]) * x[i];
    return e;
}

// Only the placed source: no original, no reflections, no reverberation.
void PositionOnly(CSurroundEffect& fx) {
    fx.SetRevDry(0.0f);
    fx.SetVolume(1.0f, true);
    fx.SetMoveOff(false);
    fx.SetReverb(false);
    fx.SetLFEVolume(0.0f, true);
}

// Every mask the host passes gives its own channel count and mask, and a
// block leaves the processor with exactly that many channels.
TEST(AmbioLayout, EveryMaskGivesItsChannelCountAndMask) {
    const struct {
        std::uint32_t mask;
        int channels;
    } cases[] = {{0x33, 4}, {0x10F, 5}, {0x3F, 6}, {0x63B, 7}, {0x63F, 8}, {0xFF, 8}, {0x03, 2}};
    for (const auto& c : cases) {
        CSurroundEffect fx;
        fx.SetSpeakersConfig(static_cast<int>(c.mask), true);
        const WAVEFORMATEXTENSIBLE f = Stereo();
        fx.SetFormat(&f);
        EXPECT_EQ(fx.OutputChannels(), c.channels) << std::hex << c.mask;
        EXPECT_EQ(fx.OutputChannelMask(), c.mask) << std::hex << c.mask;
        const auto out = Render(fx, Sine(440, 1000));
        EXPECT_EQ(static_cast<int>(out.size()), c.channels) << std::hex << c.mask;
    }
}

// A layout chosen while playing must not change the channel count under a
// running output: it waits for the next SetFormat.
TEST(AmbioLayout, NewMaskWaitsForTheNextFormat) {
    CSurroundEffect fx;
    const WAVEFORMATEXTENSIBLE f = Stereo();
    fx.SetFormat(&f);
    ASSERT_EQ(fx.OutputChannels(), 6);
    fx.SetSpeakersConfig(0x63F, true);
    EXPECT_EQ(Render(fx, Sine(440, 100)).size(), 6u);
    fx.SetFormat(&f);
    EXPECT_EQ(Render(fx, Sine(440, 100)).size(), 8u);
}

// A source against the left wall comes out on the left speakers: with the
// placed source alone at least 99.9 % of the energy (30 dB), and still more
// than 60 % with the walls' reflections and the reverberation of the
// default room added.
TEST(AmbioPanning, HardLeftSourceComesOutOnTheLeftSpeakers) {
    for (const std::uint32_t mask : {0x33u, 0x3Fu, 0x63Fu, 0xFFu}) {
        for (const bool room : {false, true}) {
            CSurroundEffect fx;
            fx.SetSpeakersConfig(static_cast<int>(mask), true);
            const WAVEFORMATEXTENSIBLE f = Stereo();
            fx.SetFormat(&f);
            PositionOnly(fx);
            if (room) {
                fx.SetMoveOff(true);
                fx.SetReverb(true);
                fx.SetRevWet(1.01f);
            }
            fx.SetRoomSize(20.0f, 20.0f, true);
            fx.SetSoundPos(0.0f, 10.0f, true);
            const auto out = Render(fx, Sine(1000, kRate));
            // Left speakers: front left, back left, front left of centre, side left.
            double left = 0, total = 0;
            int channel = 0;
            for (std::uint32_t bit = 1; bit <= 0x400; bit <<= 1) {
                if (!(mask & bit)) continue;
                // From the second chunk on: the first glides from the centre.
                const double e = Energy(out[static_cast<std::size_t>(channel++)], 4410);
                total += e;
                if (bit & (0x1 | 0x10 | 0x40 | 0x200)) left += e;
            }
            ASSERT_GT(total, 0.0);
            EXPECT_GT(left / total, room ? 0.60 : 0.999) << std::hex << mask << " room " << room;
        }
    }
}

// The pan law keeps the power constant wherever the source is, so a source
// circling the listener neither swells nor dips between speakers.
TEST(AmbioPanning, PowerStaysConstantRoundTheCircle) {
    for (const std::uint32_t mask : {0x03u, 0x33u, 0x10Fu, 0x3Fu, 0x63Bu, 0x63Fu, 0xFFu}) {
        const ambio::SpeakerLayout layout = ambio::MakeLayout(mask);
        for (float az = -180.0f; az <= 180.0f; az += 7.5f) {
            for (const float spread : {0.0f, 0.5f, 1.0f}) {
                std::array<float, ambio::kMaxSpeakers> g{};
                ambio::PanGains(layout, az, spread, g);
                double power = 0;
                for (float v : g)
                    power += v * v;
                EXPECT_NEAR(power, 1.0, 1e-5) << std::hex << mask << " az " << az;
                if (layout.lfeChannel >= 0) {
                    EXPECT_EQ(g[static_cast<std::size_t>(layout.lfeChannel)], 0.0f);
                }
            }
        }
    }
}

// The LFE channel carries only the low end: a tone at twice the corner
// frequency comes out at least 30 dB below a tone well inside the band.
TEST(AmbioLfe, ToneAtTwiceTheCornerIsAtLeast30DbDown) {
    for (const int corner : {40, 80, 200}) {
        auto lfeEnergy = [&](double hz) {
            CSurroundEffect fx;
            const WAVEFORMATEXTENSIBLE f = Stereo();
            fx.SetFormat(&f);
            PositionOnly(fx);
            fx.SetLFEVolume(1.0f, true);
            fx.SetLFEMaxFreq(corner, true);
            const auto out = Render(fx, Sine(hz, kRate));
            return Energy(out[3], kRate / 4); // channel 3 of 5.1; after the filter settles
        };
        const double pass = lfeEnergy(corner / 4.0);
        const double stop = lfeEnergy(corner * 2.0);
        const double db = 10 * std::log10(stop / pass);
        EXPECT_LT(db, -30.0) << corner << " Hz";
    }
}

// With the reverberation off a click dies away within the reflections'
// travel time: nothing is left after TailFrames. With it on, the same click
// still rings there, so the check would see a tail.
TEST(AmbioReverb, NoTailAfterAClickWithReverberationOff) {
    for (const bool reverb : {false, true}) {
        CSurroundEffect fx;
        const WAVEFORMATEXTENSIBLE f = Stereo();
        fx.SetFormat(&f);
        fx.SetRevDry(0.21f);
        fx.SetVolume(2.24f, true);
        fx.SetMoveOff(true);
        fx.SetReverb(false);
        fx.SetRoomSize(20.0f, 20.0f, true);
        fx.SetSoundPos(5.0f, 3.0f, true);
        Render(fx, std::vector<float>(512, 0.0f));  // the settings taken
        const std::uint32_t tail = fx.TailFrames(); // without the reverberation
        fx.SetReverb(reverb);
        std::vector<float> click(kRate * 2, 0.0f);
        click[0] = 1.0f;
        const auto out = Render(fx, click);
        double after = 0, peak = 0;
        for (const auto& ch : out) {
            after += Energy(ch, tail);
            for (float v : ch)
                peak = std::max(peak, std::abs(static_cast<double>(v)));
        }
        ASSERT_GT(peak, 0.01);
        if (reverb)
            EXPECT_GT(after, 1e-4);
        else
            EXPECT_LT(after, 1e-12);
    }
}

// A source dragged across the room while a tone plays glides: no sample
// jumps by more than the tone itself can move in one sample.
TEST(AmbioGlide, MovingTheSourceDoesNotClick) {
    CSurroundEffect fx;
    const WAVEFORMATEXTENSIBLE f = Stereo();
    fx.SetFormat(&f);
    PositionOnly(fx);
    fx.SetMoveOff(true);
    fx.SetRoomSize(20.0f, 20.0f, true);
    const auto all = Render(fx, Sine(200, 40 * 512, 0.5f), 512, [&](int step) {
        fx.SetSoundPos(static_cast<float>(step % 20), static_cast<float>((step * 7) % 20), true);
    });
    // A 200 Hz sine of 0.5 moves by at most 0.5 x 2 pi x 200 / 44100 = 0.0142
    // a sample; the gains and the position may add as much again.
    for (const auto& ch : all)
        for (std::size_t i = 1; i < ch.size(); ++i)
            ASSERT_LT(std::abs(ch[i] - ch[i - 1]), 0.03f) << "at " << i;
}

// Once the format is set, processing allocates nothing, whatever the
// settings do meanwhile.
TEST(AmbioRealTime, ProcessAllocatesNothingOnceTheFormatIsSet) {
    CSurroundEffect fx;
    fx.SetSpeakersConfig(0x63F, true);
    const WAVEFORMATEXTENSIBLE f = Stereo();
    fx.SetFormat(&f);
    fx.SetMaxBlockFrames(11025);
    std::vector<float> l(11025, 0.25f), r(11025, -0.25f);
    StreamBuffer block;
    block.channels.reserve(8);
    testsupport::g_allocations = 0;
    testsupport::g_countAllocations = true;
    for (int i = 0; i < 4; ++i) {
        block.channels = {l.data(), r.data()};
        block.frames = 11025;
        block.valid = 11025;
        fx.SetProcessAdvance(i % 2 == 0);
        fx.SetSoundPos(static_cast<float>(i), 3.0f, true);
        fx.SetLFEMaxFreq(60 + i, true);
        fx.Process(&block);
    }
    testsupport::g_countAllocations = false;
    EXPECT_EQ(testsupport::g_allocations.load(), 0);
    EXPECT_EQ(block.channels.size(), 8u);
}

// Settings that are not numbers are refused, so they never reach the delay
// and filter arithmetic; the output stays finite.
TEST(AmbioSettings, NotANumberLeavesTheSettingAsItWas) {
    CSurroundEffect fx;
    const WAVEFORMATEXTENSIBLE f = Stereo();
    fx.SetFormat(&f);
    const float nan = std::numeric_limits<float>::quiet_NaN();
    fx.SetRoomSize(nan, 10.0f, true);
    fx.SetSoundPos(2.0f, nan, true);
    fx.SetRevAbsorb(nan);
    fx.SetVolume(std::numeric_limits<float>::infinity(), true);
    for (const auto& ch : Render(fx, Sine(300, 4410)))
        for (float v : ch)
            ASSERT_TRUE(std::isfinite(v));
}

} // namespace
