// Devices that stop working in the middle of a run, on the manual clocks: the
// player or recorder fails (never hangs, never crashes), says why, and the
// next Play after a Reset works with a new device. A hundred times over, at
// a different point of the run each time.
#include "audio/ExtMicro.h"
#include "audio/ExtPlayerDX.h"
#include "platform/audio/TimedCaptureDevice.h"
#include "platform/audio/TimedOutputDevice.h"
#include "support/UnpluggedDevices.h"

#include <gtest/gtest.h>
#include <random>

namespace {

using platform::audio::CaptureDevice;
using platform::audio::OutputDevice;
using platform::audio::VirtualCaptureDevice;
using platform::audio::VirtualOutputDevice;
using testsupport::UnpluggedInput;
using testsupport::UnpluggedOutput;

// A stereo ramp that never ends.
std::uint32_t Ramp(void* user, StreamBuffer* b, std::uint32_t) {
    auto* next = static_cast<std::uint32_t*>(user);
    if (b->channels.empty()) return 0;
    for (std::uint32_t i = 0; i < b->frames; ++i, ++*next)
        b->channels[0][i] = b->channels[1][i] = static_cast<float>(*next % 1000 + 1) / 32768.0f;
    b->valid = b->frames;
    return b->frames;
}

constexpr int kRepetitions = 100;

TEST(DeviceLoss, APlayerWhoseDeviceIsUnpluggedFailsAndPlayRecoversOnANewDevice) {
    constexpr std::uint32_t kSegFrames = 100, kSegments = 4, kFrameBytes = 4;
    std::mt19937 random(3);
    VirtualOutputDevice* device = nullptr;
    bool nextUnplugs = true;
    std::uint64_t failAfter = 0;
    CExtPlayerDX player([&](std::string*) {
        std::unique_ptr<VirtualOutputDevice> d;
        if (nextUnplugs)
            d = std::make_unique<UnpluggedOutput>(failAfter);
        else
            d = std::make_unique<VirtualOutputDevice>();
        device = d.get();
        return std::unique_ptr<OutputDevice>(std::move(d));
    });
    ASSERT_EQ(player.SetBufferSize(kSegFrames * kFrameBytes), 0u);
    ASSERT_EQ(player.SetBufferCount(kSegments), 0u);
    std::uint32_t next = 0;
    ASSERT_EQ(player.SetStreamCallback(&Ramp, &next), 0u);

    for (int rep = 0; rep < kRepetitions; ++rep) {
        SCOPED_TRACE(rep);
        // Unplugged anywhere in the first twelve segments, paused or not.
        failAfter = 1 + random() % (12 * kSegFrames * kFrameBytes);
        const bool pauseFirst = random() % 4 == 0;
        nextUnplugs = true;
        ASSERT_EQ(player.Play(), 0u) << player.GetDeviceError();
        // One segment a step: one notification, or the failure (with or
        // without the segment's notification before it).
        std::uint64_t handled = 0;
        for (int step = 0; step < 13 && player.GetState() != CExtPlayer::kFailed; ++step) {
            if (pauseFirst && step == 1) {
                ASSERT_EQ(player.Pause(), 0u);
                ASSERT_EQ(player.Pause(), 0u);
            }
            ASSERT_EQ(device->Advance(kSegFrames), kSegFrames);
            if (!device->HasFailed()) {
                ASSERT_TRUE(player.WaitForNotificationsHandled(++handled));
                continue;
            }
            for (;;) {
                const std::uint64_t count = player.NotificationsHandled(); // before the state
                if (player.GetState() == CExtPlayer::kFailed) break;
                ASSERT_TRUE(player.WaitForNotificationsHandled(count + 1));
            }
        }
        ASSERT_EQ(player.GetState(), CExtPlayer::kFailed);
        EXPECT_EQ(player.GetStopReason(), CExtPlayer::kDeviceFailure);
        EXPECT_TRUE(player.DeviceLost());
        EXPECT_EQ(player.GetDeviceError(), "the test speaker was unplugged");
        EXPECT_EQ(player.Play(), 5u);
        EXPECT_EQ(player.Stop(1), 5u);

        // What the frame's Play does: Reset, then Play on a working device.
        nextUnplugs = false;
        ASSERT_EQ(player.Reset(), 0u);
        ASSERT_EQ(player.Play(), 0u) << player.GetDeviceError();
        EXPECT_FALSE(player.DeviceLost());
        ASSERT_EQ(device->Advance(kSegFrames), kSegFrames);
        ASSERT_TRUE(player.WaitForNotificationsHandled(1));
        EXPECT_EQ(player.GetState(), CExtPlayer::kPlaying);
        auto* healthy = static_cast<VirtualOutputDevice*>(device);
        ASSERT_EQ(healthy->Played().size(), kSegFrames * kFrameBytes);
        EXPECT_NE(healthy->Played()[0] | healthy->Played()[1], 0) << "silence after recovery";
        ASSERT_EQ(player.Stop(1), 0u);
    }
}

TEST(DeviceLoss, ARecorderWhoseDeviceIsUnpluggedFailsAndPlayRecoversOnANewDevice) {
    std::mt19937 random(4);
    VirtualCaptureDevice* device = nullptr;
    bool nextUnplugs = true;
    std::uint64_t failAfter = 0;
    CExtMicro micro([&](std::string*) {
        std::unique_ptr<VirtualCaptureDevice> d;
        if (nextUnplugs)
            d = std::make_unique<UnpluggedInput>(failAfter);
        else
            d = std::make_unique<VirtualCaptureDevice>();
        device = d.get();
        return std::unique_ptr<CaptureDevice>(std::move(d));
    });
    ASSERT_EQ(micro.SetBufferCount(4), CExtMicro::kDone);
    ASSERT_EQ(micro.SetBufferSize(100u * micro.StoredFormat().nBlockAlign), CExtMicro::kDone);
    std::uint64_t delivered = 0;
    auto take = [](void* user, const void* data, std::uint32_t) -> std::uint32_t {
        if (data) ++*static_cast<std::uint64_t*>(user);
        return 0;
    };
    ASSERT_EQ(micro.SetCaptureCallback(take, &delivered), CExtMicro::kDone);

    std::uint64_t wakeups = 0;
    for (int rep = 0; rep < kRepetitions; ++rep) {
        SCOPED_TRACE(rep);
        failAfter = 1 + random() % 1000;
        nextUnplugs = true;
        ASSERT_EQ(micro.Play(), CExtMicro::kDone) << micro.GetDeviceError();
        // One buffer a step: one wake-up for the delivery, or for the
        // failure (with or without a delivery before it).
        for (int step = 0; step < 20 && micro.GetState() != CExtMicro::kFailed; ++step) {
            ASSERT_EQ(device->Advance(100), 100u);
            if (!device->HasFailed()) {
                ASSERT_TRUE(micro.WaitForWakeups(++wakeups));
                continue;
            }
            for (;;) {
                wakeups = micro.Wakeups(); // before the state
                if (micro.GetState() == CExtMicro::kFailed) break;
                ASSERT_TRUE(micro.WaitForWakeups(wakeups + 1));
            }
        }
        ASSERT_EQ(micro.GetState(), CExtMicro::kFailed);
        EXPECT_TRUE(micro.DeviceLost());
        EXPECT_EQ(micro.GetDeviceError(), "the test microphone was unplugged");
        EXPECT_EQ(micro.Play(), CExtMicro::kNotAvailable);

        nextUnplugs = false;
        ASSERT_EQ(micro.Reset(), CExtMicro::kDone);
        // The failed run's thread has ended: its own last wake-up (counted
        // just after the failed state showed) is in.
        wakeups = micro.Wakeups();
        ASSERT_EQ(micro.Play(), CExtMicro::kDone) << micro.GetDeviceError();
        EXPECT_FALSE(micro.DeviceLost());
        const std::uint64_t before = delivered;
        ASSERT_EQ(device->Advance(100), 100u);
        ASSERT_TRUE(micro.WaitForWakeups(++wakeups));
        EXPECT_EQ(delivered, before + 1);
        ASSERT_EQ(micro.Stop(), CExtMicro::kDone);
    }
}

} // namespace
