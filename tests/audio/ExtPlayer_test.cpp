// The player's state machine, notification thread and block chain, driven
// by the manual-clock device: every notification is caused by the test and
// handled before the test goes on, so nothing depends on wall-clock time.
#include "audio/ExtPlayerDX.h"
#include "platform/audio/TimedOutputDevice.h"
#include "support/TempDir.h"

#include <atomic>
#include <cmath>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <numbers>

namespace {

using platform::audio::VirtualOutputDevice;
using platform::audio::WavOutputDevice;

// A source of a stereo ramp: frame i carries i / 32768 (PCM value i) on the
// left and -i / 32768 on the right, for `total` frames, then it ends.
struct RampSource {
    std::uint32_t total = 0xFFFFFFFF;
    std::uint32_t next = 0;
    std::uint32_t overReport = 0; // added to `valid`, as a faulty module might
    int pulls = 0, endCalls = 0, detachCalls = 0;
    int pullsAfterEnd = 0;

    static std::uint32_t Callback(void* user, StreamBuffer* b, std::uint32_t reserved) {
        auto* self = static_cast<RampSource*>(user);
        EXPECT_EQ(reserved, 0u);
        if (b->channels.empty()) {
            (b->frames == 0 ? self->detachCalls : self->endCalls)++;
            EXPECT_EQ(b->valid, 0u);
            return 0;
        }
        ++self->pulls;
        if (self->endCalls) ++self->pullsAfterEnd;
        const std::uint32_t n = std::min(b->frames, self->total - self->next);
        for (std::uint32_t i = 0; i < n; ++i) {
            b->channels[0][i] = static_cast<float>(self->next + i) / 32768.0f;
            if (b->channels.size() > 1) b->channels[1][i] = -b->channels[0][i];
        }
        self->next += n;
        b->valid = n + self->overReport;
        return n;
    }
};

// A device whose start can be made to fail, as a sound card that went away
// while the player was paused.
class FlakyDevice : public VirtualOutputDevice {
public:
    using VirtualOutputDevice::VirtualOutputDevice;
    bool failStart = false;

protected:
    bool DoStart() override { return !failStart && VirtualOutputDevice::DoStart(); }
};

// A source with nothing to play that starts playback again from its
// end-of-stream call, as a module moving on to its next track might.
struct RestartingSource {
    CExtPlayerDX* player = nullptr;
    std::uint32_t playResult = 99;

    static std::uint32_t Callback(void* user, StreamBuffer* b, std::uint32_t) {
        auto* self = static_cast<RestartingSource*>(user);
        if (b->channels.empty() && b->frames == 1) self->playResult = self->player->Play();
        return 0;
    }
};

// A source with nothing to play that detaches itself from its end-of-stream
// call, as a module letting go of the player when its playlist ends might.
struct DetachingSource {
    CExtPlayerDX* player = nullptr;
    std::uint32_t detachResult = 99;
    int detachCalls = 0;

    static std::uint32_t Callback(void* user, StreamBuffer* b, std::uint32_t) {
        auto* self = static_cast<DetachingSource*>(user);
        if (b->channels.empty() && b->frames == 0) ++self->detachCalls;
        if (b->channels.empty() && b->frames == 1)
            self->detachResult = self->player->SetStreamCallback(nullptr, nullptr);
        return 0;
    }
};

// A source that fills the first buffer, then keeps answering "more to come"
// with no frames, as a module waiting for its decoder might. Once the test
// announces a stop it counts its pulls, and gives up (ends) after kGiveUp so
// that a player that never looks at the stop still finishes.
struct StarvingSource {
    static constexpr int kGiveUp = 100000;
    int fullBlocks = 0;
    std::atomic<bool> stopping{false};
    std::atomic<int> pullsWhileStopping{0};
    int pulls = 0;

    static std::uint32_t Callback(void* user, StreamBuffer* b, std::uint32_t) {
        auto* self = static_cast<StarvingSource*>(user);
        if (b->channels.empty()) return 0;
        if (self->pulls++ < self->fullBlocks) {
            b->valid = b->frames;
            return b->frames;
        }
        if (self->stopping && ++self->pullsWhileStopping >= kGiveUp) return 0;
        return 1;
    }
};

// A ramp source that stops the player from inside its pull number
// stopAtPull, as a module whose decoder fails might.
struct SelfStoppingSource {
    CExtPlayerDX* player = nullptr;
    RampSource ramp;
    int stopAtPull = 0;
    std::uint32_t stopResult = 99;

    static std::uint32_t Callback(void* user, StreamBuffer* b, std::uint32_t reserved) {
        auto* self = static_cast<SelfStoppingSource*>(user);
        const std::uint32_t n = RampSource::Callback(&self->ramp, b, reserved);
        if (!b->channels.empty() && self->ramp.pulls == self->stopAtPull)
            self->stopResult = self->player->Stop(1);
        return n;
    }
};

class PlayerTest : public ::testing::Test {
protected:
    // 100 frames a segment (stereo 16-bit), 5 segments: a 500-frame buffer.
    static constexpr std::uint32_t kSegFrames = 100;
    static constexpr std::uint32_t kSegments = 5;

    void SetUp() override {
        player = std::make_unique<CExtPlayerDX>([this](std::string* error) {
            ++opens;
            if (failOpen) {
                *error = "no sound card in this test";
                return std::unique_ptr<platform::audio::OutputDevice>();
            }
            auto d = std::make_unique<FlakyDevice>(played);
            device = d.get();
            flaky = d.get();
            return std::unique_ptr<platform::audio::OutputDevice>(std::move(d));
        });
        ASSERT_EQ(player->SetBufferSize(kSegFrames * 4), 0u);
        ASSERT_EQ(player->SetBufferCount(kSegments), 0u);
    }

    // Plays one segment and waits until the thread has handled its notification.
    void Segment() {
        ASSERT_EQ(device->Advance(kSegFrames), kSegFrames);
        ASSERT_TRUE(player->WaitForNotificationsHandled(++handled));
    }

    // The left channel of every frame played so far, as PCM values.
    std::vector<int> PlayedLeft() const {
        std::vector<int> left;
        for (std::size_t i = 0; i + 3 < played->size(); i += 4)
            left.push_back(static_cast<std::int16_t>((*played)[i] | ((*played)[i + 1] << 8)));
        return left;
    }

    std::shared_ptr<std::vector<std::uint8_t>> played =
        std::make_shared<std::vector<std::uint8_t>>();
    std::unique_ptr<CExtPlayerDX> player;
    VirtualOutputDevice* device = nullptr;
    FlakyDevice* flaky = nullptr;
    int opens = 0;
    bool failOpen = false;
    std::uint64_t handled = 0;
    RampSource source;
};

// The first Fill must prime the whole buffer, and each refill must continue
// the stream exactly where the last one stopped, across the buffer's wrap.
TEST_F(PlayerTest, FirstFillPrimesTheWholeBufferAndRefillsContinueTheStream) {
    ASSERT_EQ(player->SetStreamCallback(&RampSource::Callback, &source), 0u);
    ASSERT_EQ(player->Play(), 0u);
    EXPECT_EQ(player->GetState(), CExtPlayer::kPlaying);
    EXPECT_EQ(source.next, kSegFrames * kSegments); // before any notification
    for (int i = 0; i < 12; ++i)
        Segment();
    const auto left = PlayedLeft();
    ASSERT_EQ(left.size(), 12 * kSegFrames);
    for (std::size_t i = 0; i < left.size(); ++i)
        ASSERT_EQ(left[i], static_cast<int>(i)) << i;
    EXPECT_EQ(player->Stop(1), 0u);
    EXPECT_EQ(player->GetStopReason(), CExtPlayer::kStopRequested);
    EXPECT_EQ(source.endCalls, 0);
}

// A clock step that passes two notifications at once (a late thread, or
// segments shorter than the device's period) has the thread refill twice
// with the cursor in the same place; the second refill must find nothing
// free rather than the whole buffer, which would overwrite unplayed audio.
TEST_F(PlayerTest, TwoNotificationsInOneClockStepKeepTheStreamInOrder) {
    ASSERT_EQ(player->SetStreamCallback(&RampSource::Callback, &source), 0u);
    ASSERT_EQ(player->Play(), 0u);
    ASSERT_EQ(device->Advance(2 * kSegFrames), 2 * kSegFrames);
    handled += 2;
    ASSERT_TRUE(player->WaitForNotificationsHandled(handled));
    for (int i = 0; i < 8; ++i)
        Segment();
    EXPECT_EQ(player->Stop(1), 0u);
    const auto left = PlayedLeft();
    ASSERT_EQ(left.size(), 10 * kSegFrames);
    for (std::size_t i = 0; i < left.size(); ++i)
        ASSERT_EQ(left[i], static_cast<int>(i)) << i;
}

// A source that ends at once: the mark is set at the first notification and
// playback stops with reason 2 when that segment comes round again, after
// one pull per notification in between; then the end-of-stream call.
TEST_F(PlayerTest, SourceEndingAtOnceStopsOneBufferCycleLater) {
    source.total = 0;
    ASSERT_EQ(player->SetStreamCallback(&RampSource::Callback, &source), 0u);
    ASSERT_EQ(player->Play(), 0u);
    EXPECT_EQ(source.pulls, 1); // the priming Fill
    for (std::uint32_t i = 0; i < kSegments; ++i) {
        Segment();
        EXPECT_EQ(player->GetState(), CExtPlayer::kPlaying) << "segment " << i;
        EXPECT_EQ(source.pulls, static_cast<int>(i) + 2);
    }
    EXPECT_EQ(source.endCalls, 0);
    Segment(); // segment 0 again: the mark
    EXPECT_EQ(player->GetState(), CExtPlayer::kStopped);
    EXPECT_EQ(player->GetStopReason(), CExtPlayer::kEndOfStream);
    EXPECT_EQ(source.endCalls, 1);
    EXPECT_EQ(source.pullsAfterEnd, 0);
    EXPECT_EQ(player->GetDeviceBufferBytes(), 0u); // device released
    // A new run after the end of the stream starts cleanly.
    source.total = 0xFFFFFFFF;
    ASSERT_EQ(player->Play(), 0u);
    EXPECT_EQ(opens, 2);
    EXPECT_EQ(player->Stop(1), 0u);
}

// After the last delivered frame the rest of the segment must be silence,
// not the audio the buffer held one cycle earlier; and a source reporting
// more frames than the block holds must not be read past the block.
TEST_F(PlayerTest, EndOfAudioIsFollowedBySilenceAndOverReportedFramesAreClamped) {
    source.total = 650;
    source.overReport = 1000;
    ASSERT_EQ(player->SetStreamCallback(&RampSource::Callback, &source), 0u);
    ASSERT_EQ(player->Play(), 0u);
    for (int i = 0; i < 20 && player->GetState() == CExtPlayer::kPlaying; ++i)
        Segment();
    ASSERT_EQ(player->GetStopReason(), CExtPlayer::kEndOfStream);
    const auto left = PlayedLeft();
    ASSERT_GE(left.size(), 700u);
    for (int i = 0; i < 650; ++i)
        ASSERT_EQ(left[i], i) << i;
    for (std::size_t i = 650; i < left.size(); ++i)
        ASSERT_EQ(left[i], 0) << i;
}

// Play while playing or paused must not open a second device or thread;
// Pause toggles and freezes the cursor; Stop while paused ends the thread.
TEST_F(PlayerTest, PlayPauseAndStopFollowTheStateRules) {
    EXPECT_EQ(player->Play(), 5u); // no callback
    ASSERT_EQ(player->SetStreamCallback(&RampSource::Callback, &source), 0u);
    EXPECT_EQ(player->Pause(), 0u);
    EXPECT_EQ(player->GetState(), CExtPlayer::kStopped);
    ASSERT_EQ(player->Play(), 0u);
    Segment();
    EXPECT_EQ(player->Play(), 0u);
    EXPECT_EQ(opens, 1);
    EXPECT_EQ(player->Pause(), 0u);
    EXPECT_EQ(player->GetState(), CExtPlayer::kPaused);
    const auto cursor = device->GetCurrentPosition();
    EXPECT_EQ(device->Advance(kSegFrames), 0u); // nothing plays while paused
    EXPECT_EQ(player->NotificationsHandled(), handled);
    EXPECT_EQ(player->Play(), 0u); // resumes the same run
    EXPECT_EQ(player->GetState(), CExtPlayer::kPlaying);
    EXPECT_EQ(opens, 1);
    EXPECT_EQ(device->GetCurrentPosition(), cursor);
    Segment();
    EXPECT_EQ(player->Pause(), 0u);
    EXPECT_EQ(player->Pause(), 0u);
    EXPECT_EQ(player->GetState(), CExtPlayer::kPlaying);
    Segment();
    EXPECT_EQ(player->Pause(), 0u);
    EXPECT_EQ(player->Stop(1), 0u);
    EXPECT_EQ(player->GetState(), CExtPlayer::kStopped);
    EXPECT_EQ(player->GetStopReason(), CExtPlayer::kStopRequested);
    EXPECT_EQ(player->GetDeviceBufferBytes(), 0u);
    EXPECT_EQ(player->Stop(1), 0u);
    const auto left = PlayedLeft();
    for (std::size_t i = 0; i < left.size(); ++i)
        ASSERT_EQ(left[i], static_cast<int>(i));
}

// Settings that shape the buffer may change only while stopped, and values
// that would break the output (no segments, too many channels) are refused.
TEST_F(PlayerTest, SettersKeepTheirStateRulesAndRefuseUnusableValues) {
    WAVEFORMATEXTENSIBLE f = *player->GetFormat();
    EXPECT_EQ(f.Format.wFormatTag, WAVE_FORMAT_EXTENSIBLE);
    EXPECT_EQ(f.Format.nAvgBytesPerSec, 176400u);
    EXPECT_EQ(f.Format.cbSize, 22);
    EXPECT_EQ(f.dwChannelMask, 3u);

    EXPECT_EQ(player->SetBufferCount(0), 1u);
    EXPECT_EQ(player->SetBufferCount(101), 1u);
    EXPECT_EQ(player->GetBufferCount(), kSegments);
    EXPECT_EQ(player->SetBufferCount(100), 0u);
    EXPECT_EQ(player->SetBufferCount(kSegments), 0u);
    EXPECT_EQ(player->SetBufferSize(3), 1u); // less than one frame

    WAVEFORMATEXTENSIBLE nine = f;
    nine.Format.nChannels = 9;
    nine.Format.nBlockAlign = 18;
    EXPECT_EQ(player->SetFormat(&nine), 1u);
    WAVEFORMATEXTENSIBLE odd = f;
    odd.Format.wBitsPerSample = 12;
    EXPECT_EQ(player->SetFormat(&odd), 1u);
    EXPECT_EQ(player->GetFormat()->Format.nChannels, 2);

    ASSERT_EQ(player->SetStreamCallback(&RampSource::Callback, &source), 0u);
    ASSERT_EQ(player->Play(), 0u);
    EXPECT_EQ(player->SetFormat(&f), 6u);
    EXPECT_EQ(player->SetBufferSize(800), 6u);
    EXPECT_EQ(player->SetBufferCount(3), 6u);
    EXPECT_EQ(player->SetStreamCallback(nullptr, nullptr), 6u);
    EXPECT_EQ(player->SetVolume(150), 0u); // volume is free at any time
    EXPECT_EQ(player->GetVolume(), 100u);
    EXPECT_EQ(player->Pause(), 0u);
    EXPECT_EQ(player->SetFormat(&f), 6u);
    EXPECT_EQ(player->Stop(1), 0u);
    EXPECT_EQ(source.detachCalls, 0);
}

// A device that cannot open leaves the player failed with reason 3 and the
// reason for the status line; Reset brings it back.
TEST_F(PlayerTest, DeviceFailureFailsThePlayerUntilReset) {
    failOpen = true;
    ASSERT_EQ(player->SetStreamCallback(&RampSource::Callback, &source), 0u);
    EXPECT_EQ(player->Play(), 1u);
    EXPECT_EQ(player->GetState(), CExtPlayer::kFailed);
    EXPECT_EQ(player->GetStopReason(), CExtPlayer::kDeviceFailure);
    EXPECT_EQ(player->GetDeviceError(), "no sound card in this test");
    EXPECT_EQ(player->Play(), 5u);
    EXPECT_EQ(player->Stop(1), 5u);
    EXPECT_EQ(player->Pause(), 5u);
    EXPECT_EQ(player->SetBufferSize(800), 5u);
    EXPECT_EQ(player->SetBufferCount(3), 5u);
    EXPECT_EQ(player->SetFormat(player->GetFormat()), 5u);
    EXPECT_EQ(player->Reset(), 0u);
    EXPECT_EQ(player->GetState(), CExtPlayer::kStopped);
    EXPECT_EQ(player->GetStopReason(), CExtPlayer::kNoReason);
    failOpen = false;
    EXPECT_EQ(player->Play(), 0u);
    EXPECT_EQ(player->Reset(), 0u);
    EXPECT_EQ(player->GetState(), CExtPlayer::kStopped);
}

// Replacing the callback tells the old one it is detached, exactly once;
// setting the same pair again must not.
TEST_F(PlayerTest, ReplacingTheCallbackDetachesTheOldOneOnce) {
    RampSource other;
    ASSERT_EQ(player->SetStreamCallback(&RampSource::Callback, &source), 0u);
    ASSERT_EQ(player->SetStreamCallback(&RampSource::Callback, &source), 0u);
    EXPECT_EQ(source.detachCalls, 0);
    ASSERT_EQ(player->SetStreamCallback(&RampSource::Callback, &other), 0u);
    EXPECT_EQ(source.detachCalls, 1);
    ASSERT_EQ(player->SetStreamCallback(nullptr, nullptr), 0u);
    EXPECT_EQ(other.detachCalls, 1);
    EXPECT_EQ(player->Play(), 5u);
    EXPECT_EQ(source.pulls + other.pulls, 0);
}

// Destroying a playing player must stop it and end its thread first, or the
// thread would refill through a destroyed object.
TEST_F(PlayerTest, DestroyingAPlayingPlayerStopsItFirst) {
    ASSERT_EQ(player->SetStreamCallback(&RampSource::Callback, &source), 0u);
    ASSERT_EQ(player->Play(), 0u);
    Segment();
    ASSERT_EQ(player->Pause(), 0u);
    player.reset();
    EXPECT_EQ(source.endCalls, 0);
}

// A resume the device refuses fails the player. Reset must then end the
// run's thread and release the device, not leave a stopped player with a
// live thread and an open device that the next Play piles a new run onto.
TEST_F(PlayerTest, ResetAfterAFailedResumeReleasesTheRun) {
    ASSERT_EQ(player->SetStreamCallback(&RampSource::Callback, &source), 0u);
    ASSERT_EQ(player->Play(), 0u);
    Segment();
    ASSERT_EQ(player->Pause(), 0u);
    flaky->failStart = true;
    EXPECT_EQ(player->Pause(), 1u);
    EXPECT_EQ(player->GetState(), CExtPlayer::kFailed);
    EXPECT_EQ(player->Reset(), 0u);
    EXPECT_EQ(player->GetState(), CExtPlayer::kStopped);
    EXPECT_EQ(player->GetDeviceBufferBytes(), 0u);
    ASSERT_EQ(player->Play(), 0u);
    EXPECT_EQ(opens, 2);
    handled = 0;
    Segment();
    EXPECT_EQ(player->Stop(1), 0u);
}

// The end-of-stream call runs on the player's output thread; a Play from
// there must be refused, not start a second thread over the running one.
TEST_F(PlayerTest, PlayFromTheEndOfStreamCallIsRefused) {
    RestartingSource restarting;
    restarting.player = player.get();
    ASSERT_EQ(player->SetStreamCallback(&RestartingSource::Callback, &restarting), 0u);
    ASSERT_EQ(player->Play(), 0u);
    for (std::uint32_t i = 0; i <= kSegments; ++i)
        Segment();
    EXPECT_EQ(restarting.playResult, CExtPlayer::kWrongState);
    EXPECT_EQ(player->GetState(), CExtPlayer::kStopped);
    EXPECT_EQ(player->GetStopReason(), CExtPlayer::kEndOfStream);
    ASSERT_EQ(player->Play(), 0u); // from the window thread it starts anew
    EXPECT_EQ(opens, 2);
    EXPECT_EQ(player->Stop(1), 0u);
}

// The end-of-stream call is made with the source lock held; a source that
// replaces itself from there must not deadlock the output thread.
TEST_F(PlayerTest, SourceMayDetachItselfFromTheEndOfStreamCall) {
    DetachingSource detaching;
    detaching.player = player.get();
    ASSERT_EQ(player->SetStreamCallback(&DetachingSource::Callback, &detaching), 0u);
    ASSERT_EQ(player->Play(), 0u);
    for (std::uint32_t i = 0; i <= kSegments; ++i)
        Segment();
    EXPECT_EQ(detaching.detachResult, 0u);
    EXPECT_EQ(detaching.detachCalls, 1);
    EXPECT_EQ(player->GetStopReason(), CExtPlayer::kEndOfStream);
    EXPECT_EQ(player->Play(), 5u); // no source any more
}

// A refill that keeps getting empty blocks must give way to a stop, or
// Stop (which waits for the thread) hangs as long as the source does.
TEST_F(PlayerTest, StopEndsARefillThatGetsOnlyEmptyBlocks) {
    StarvingSource starving;
    starving.fullBlocks = kSegments; // a block is a segment: these prime the buffer
    ASSERT_EQ(player->SetStreamCallback(&StarvingSource::Callback, &starving), 0u);
    ASSERT_EQ(player->Play(), 0u);
    ASSERT_EQ(device->Advance(kSegFrames), kSegFrames); // the refill starts spinning
    starving.stopping = true;
    EXPECT_EQ(player->Stop(1), 0u);
    EXPECT_LT(starving.pullsWhileStopping.load(), StarvingSource::kGiveUp);
    EXPECT_EQ(player->GetStopReason(), CExtPlayer::kStopRequested);
}

// Stop from inside a pull comes in the middle of a refill that still writes
// into the device buffer: the device must outlive the refill, on the output
// thread and in the priming fill of Play alike.
TEST_F(PlayerTest, StopFromInsideAPullWaitsForTheRefill) {
    for (const int stopAt : {int(kSegments) + 1, 2}) {
        SelfStoppingSource stopping;
        stopping.player = player.get();
        stopping.stopAtPull = stopAt;
        ASSERT_EQ(player->SetStreamCallback(&SelfStoppingSource::Callback, &stopping), 0u);
        handled = 0;
        ASSERT_EQ(player->Play(), 0u);
        if (stopAt > static_cast<int>(kSegments)) Segment();
        EXPECT_EQ(stopping.stopResult, 0u) << stopAt;
        EXPECT_EQ(player->GetState(), CExtPlayer::kStopped) << stopAt;
        EXPECT_EQ(player->GetStopReason(), CExtPlayer::kStopRequested) << stopAt;
        EXPECT_EQ(player->GetDeviceBufferBytes(), 0u) << stopAt;
        EXPECT_EQ(stopping.ramp.endCalls, 0) << stopAt;
    }
}

TEST(PlayerGains, VolumeAndBalanceGiveSideGains) {
    CExtPlayerDX player([](std::string*) { return nullptr; });
    player.SetVolume(150);
    EXPECT_EQ(player.GetVolume(), 100u);
    player.SetBalance(50);
    EXPECT_FLOAT_EQ(player.GetGainL(), 1.0f);
    EXPECT_FLOAT_EQ(player.GetGainR(), 1.0f);
    player.SetBalance(100);
    EXPECT_FLOAT_EQ(player.GetGainL(), 0.0f);
    EXPECT_FLOAT_EQ(player.GetGainR(), 1.0f);
    player.SetVolume(50);
    player.SetBalance(0);
    EXPECT_FLOAT_EQ(player.GetGainL(), 0.5f);
    EXPECT_FLOAT_EQ(player.GetGainR(), 0.0f);
    player.SetBalance(75);
    EXPECT_FLOAT_EQ(player.GetGainL(), 0.25f);
    EXPECT_FLOAT_EQ(player.GetGainR(), 0.5f);

    std::uint32_t v = 0, b = 0;
    CExtPlayer::VolumeBalanceFromLevel(0xFFFFFFFF, &v, &b);
    EXPECT_EQ(v, 100u);
    EXPECT_EQ(b, 50u);
    CExtPlayer::VolumeBalanceFromLevel(0x7FFFFFFF, &v, &b); // right at half
    EXPECT_EQ(v, 100u);
    EXPECT_EQ(b, 25u);
    CExtPlayer::VolumeBalanceFromLevel(0xFFFF7FFF, &v, &b); // left at half
    EXPECT_EQ(v, 100u);
    EXPECT_EQ(b, 75u);
    CExtPlayer::VolumeBalanceFromLevel(0, &v, &b);
    EXPECT_EQ(v, 0u);
    EXPECT_EQ(b, 50u);
}

// The gain table by channel mask: a wrong position would leave a speaker at
// full level with the balance hard over, and a mask naming more positions
// than the block has must not write past it.
TEST(PlayerGains, ChannelMaskDecidesWhichPositionGetsWhichGain) {
    std::vector<std::vector<float>> data(8, std::vector<float>(4, 1.0f));
    StreamBuffer block;
    for (auto& c : data)
        block.channels.push_back(c.data());
    block.frames = block.valid = 4;
    auto gains = [&]() {
        std::vector<float> g;
        for (auto& c : data)
            g.push_back(c[3]);
        return g;
    };
    auto reset = [&]() {
        for (auto& c : data)
            std::fill(c.begin(), c.end(), 1.0f);
    };

    block.channels.resize(6);
    CExtPlayer::ApplyChannelGains(block, 0x3F, 0.0f, 1.0f, 1.0f); // balance 100
    EXPECT_EQ(gains(), (std::vector<float>{0, 1, 1, 1, 0, 1, 1, 1}));

    reset();
    block.channels.clear();
    for (auto& c : data)
        block.channels.push_back(c.data());
    CExtPlayer::ApplyChannelGains(block, 0xFF, 0.2f, 0.6f, 0.5f);
    const auto g = gains();
    EXPECT_FLOAT_EQ(g[0], 0.2f);
    EXPECT_FLOAT_EQ(g[1], 0.6f);
    EXPECT_FLOAT_EQ(g[2], 0.5f);
    EXPECT_FLOAT_EQ(g[3], 0.5f);
    EXPECT_FLOAT_EQ(g[4], 0.2f);
    EXPECT_FLOAT_EQ(g[5], 0.6f);
    EXPECT_FLOAT_EQ(g[6], (3 * 0.2f + 0.6f) / 4);
    EXPECT_FLOAT_EQ(g[7], (3 * 0.6f + 0.2f) / 4);

    reset();
    block.channels.resize(6); // 0xFF names 8 positions
    CExtPlayer::ApplyChannelGains(block, 0xFF, 0.5f, 0.5f, 0.5f);
    EXPECT_EQ(gains(), (std::vector<float>{0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 1, 1}));

    reset();
    block.channels.resize(1); // mono takes the centre gain whatever the mask
    CExtPlayer::ApplyChannelGains(block, 0x3, 0.0f, 0.0f, 0.7f);
    EXPECT_FLOAT_EQ(data[0][0], 0.7f);

    reset();
    block.channels.resize(4);
    CExtPlayer::ApplyChannelGains(block, 0x107, 0.0f, 0.0f, 0.0f); // unknown: untouched
    EXPECT_EQ(gains(), std::vector<float>(8, 1.0f));
}

// With surround on, the device gets the processor's layout as 16-bit PCM
// and a buffer of whole output frames, whatever the player's sample width.
TEST_F(PlayerTest, SurroundOutputIsSixteenBitWholeFrames) {
    WAVEFORMATEXTENSIBLE f = *player->GetFormat();
    f.Format.nChannels = 6;
    f.Format.wBitsPerSample = 24;
    f.Format.nBlockAlign = 18;
    f.Format.nAvgBytesPerSec = 44100 * 18;
    f.dwChannelMask = 0x3F;
    ASSERT_EQ(player->SetBufferSize(1000), 0u);
    ASSERT_EQ(player->SetFormat(&f), 0u);
    player->SetSurroundOn(true);
    // Only the original channels, at unity, so the ramp comes through as it is.
    SurroundParams plain;
    plain.positioningVolume = 0.0f;
    plain.originalVolume = 1.0f;
    plain.lfeVolume = 0.0f;
    plain.reverberation = false;
    plain.delays = false;
    player->SetSurroundParams(plain);
    ASSERT_EQ(player->SetStreamCallback(&RampSource::Callback, &source), 0u);
    ASSERT_EQ(player->Play(), 0u);
    EXPECT_EQ(device->Channels(), 6);
    EXPECT_EQ(device->BitsPerSample(), 16);
    EXPECT_EQ(player->GetDeviceBufferBytes() % 12, 0u);
    EXPECT_EQ(player->GetDeviceBufferBytes(), (1000u / 12) * 12 * kSegments);
    // Past the processor's fade-in at the start of a run (512 frames).
    for (std::uint64_t n = 1; n <= 9; ++n) {
        ASSERT_EQ(device->Advance(1000 / 12), 1000u / 12);
        ASSERT_TRUE(player->WaitForNotificationsHandled(n));
    }
    EXPECT_EQ(player->Stop(1), 0u);
    // The left channel as 16-bit PCM: the ramp.
    for (int i = 600; i < 610; ++i) {
        const auto* p = played->data() + 12 * i;
        EXPECT_EQ(static_cast<std::int16_t>(p[0] | (p[1] << 8)), i);
    }
}

std::vector<char> ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<char>((std::istreambuf_iterator<char>(in)),
                             std::istreambuf_iterator<char>());
}

// End to end: a stereo sine through the equalizer, the gains and the WAV
// device, then analysed: the equalizer's delay of 3072 samples, its boost of
// the band around the tone, and the balance between the sides.
TEST(PlayerEndToEnd, SineThroughEqualizerAndGainsIntoAWavFile) {
    testsupport::TempDir dir;
    const std::string path = dir.file("render.wav");
    WavOutputDevice* wav = nullptr;
    CExtPlayerDX player([&](std::string*) {
        auto d = std::make_unique<WavOutputDevice>(path, WavOutputDevice::Clock::Manual);
        wav = d.get();
        return std::unique_ptr<platform::audio::OutputDevice>(std::move(d));
    });
    struct Sine {
        std::uint32_t next = 0, total = 30000;
        static std::uint32_t Callback(void* user, StreamBuffer* b, std::uint32_t) {
            auto* s = static_cast<Sine*>(user);
            if (b->channels.empty()) return 0;
            const std::uint32_t n = std::min(b->frames, s->total - s->next);
            for (std::uint32_t i = 0; i < n; ++i) {
                const float x = 0.1f * static_cast<float>(std::sin(2 * std::numbers::pi * 1000.0 *
                                                                   (s->next + i) / 44100));
                b->channels[0][i] = b->channels[1][i] = x;
            }
            s->next += n;
            b->valid = n;
            return n;
        }
    } sine;
    // Bands 400-800 and 800-1500 Hz at the top (5x): 1 kHz lies in flat 5x.
    float gains[10] = {1, 1, 1, 1, 2, 2, 1, 1, 1, 1};
    player.SetEqualizer(gains, 10, true);
    player.SetVolume(100);
    player.SetBalance(75); // left 0.5, right 1.0
    ASSERT_EQ(player.SetStreamCallback(&Sine::Callback, &sine), 0u);
    ASSERT_EQ(player.Play(), 0u);
    const std::uint32_t segFrames = player.GetBufferSize() / 4;
    std::uint64_t handled = 0;
    for (int i = 0; i < 40 && player.GetState() == CExtPlayer::kPlaying; ++i) {
        ASSERT_EQ(wav->Advance(segFrames), segFrames);
        ASSERT_TRUE(player.WaitForNotificationsHandled(++handled));
    }
    ASSERT_EQ(player.GetStopReason(), CExtPlayer::kEndOfStream);

    const auto bytes = ReadFile(path);
    ASSERT_GT(bytes.size(), 44u + 30000u * 4);
    const auto* pcm = reinterpret_cast<const std::int16_t*>(bytes.data() + 44);
    // Steady state: well after the filter's start-up, before the input ends.
    double worstL = 0, worstR = 0;
    for (int n = 8000; n < 26000; ++n) {
        const double expected = 0.5 * std::sin(2 * std::numbers::pi * 1000.0 * (n - 3072) / 44100);
        worstL = std::max(worstL, std::abs(pcm[2 * n] / 32768.0 - 0.5 * expected));
        worstR = std::max(worstR, std::abs(pcm[2 * n + 1] / 32768.0 - expected));
    }
    // 5 % of each side's amplitude: a one-sample shift alone is 14 %.
    EXPECT_LT(worstL, 0.05 * 0.25);
    EXPECT_LT(worstR, 0.05 * 0.5);
}

} // namespace
