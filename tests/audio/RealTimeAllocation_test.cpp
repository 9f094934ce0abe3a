// The real-time paths of playing and recording never touch the heap once a
// run has started: the output device's callback and the player's block
// chain (pull, equalizer, gains, conversion into the device buffer) behind
// it, and the capture device's callback with the recorder's done handler,
// at every rate from 8,000 to 192,000 Hz and blocks of 64 to 16,384 frames.
// The null devices on the manual clock run exactly the code the sound card's
// callback runs (Consume, Produce), on the test's thread.
#include "audio/ExtMicro.h"
#include "audio/ExtPlayerDX.h"
#include "platform/audio/TimedCaptureDevice.h"
#include "platform/audio/TimedOutputDevice.h"
#include "support/CountingAllocator.h"

#include <functional>
#include <gtest/gtest.h>
#include <sstream>

using testsupport::g_allocations;
using testsupport::g_countAllocations;

namespace {

using platform::audio::NullCaptureDevice;
using platform::audio::NullOutputDevice;

constexpr std::uint32_t kRates[] = {8000, 11025, 22050, 44100, 48000, 96000, 192000};
constexpr std::uint32_t kFrames[] = {64, 256, 1024, 4096, 16384};

std::uint32_t Ramp(void* user, StreamBuffer* b, std::uint32_t) {
    auto* next = static_cast<std::uint32_t*>(user);
    if (b->channels.empty()) return 0;
    for (std::uint32_t i = 0; i < b->frames; ++i, ++*next)
        for (float* channel : b->channels)
            channel[i] = static_cast<float>(*next % 2000) / 4000.0f;
    b->valid = b->frames;
    return b->frames;
}

std::uint32_t Ignore(void*, const void*, std::uint32_t) {
    return 0;
}

// The allocations made, on any thread, while run runs.
long CountWhile(const std::function<void()>& run) {
    g_allocations = 0;
    g_countAllocations = true;
    run();
    g_countAllocations = false;
    return g_allocations.load();
}

TEST(RealTimeAllocation, PlayerDeviceCallbackAndBlockChainNeverAllocateAfterTheFirstBlock) {
    std::ostringstream faults;
    int configurations = 0;
    for (std::uint32_t rate : kRates) {
        for (std::uint32_t frames : kFrames) {
            NullOutputDevice* device = nullptr;
            CExtPlayerDX player([&](std::string*) {
                auto d = std::make_unique<NullOutputDevice>(NullOutputDevice::Clock::Manual);
                device = d.get();
                return std::unique_ptr<platform::audio::OutputDevice>(std::move(d));
            });
            WAVEFORMATEXTENSIBLE f = *player.GetFormat();
            f.Format.nSamplesPerSec = rate;
            f.Format.nAvgBytesPerSec = rate * f.Format.nBlockAlign;
            ASSERT_EQ(player.SetFormat(&f), 0u);
            ASSERT_EQ(player.SetBufferSize(frames * f.Format.nBlockAlign), 0u);
            ASSERT_EQ(player.SetBufferCount(4), 0u);
            const float gains[10] = {1.5f, 1.2f, 1.0f, 0.8f, 0.5f, 0.5f, 0.8f, 1.0f, 1.2f, 2.0f};
            player.SetEqualizer(gains, 10, true);
            player.SetBalance(30);
            std::uint32_t next = 0;
            ASSERT_EQ(player.SetStreamCallback(&Ramp, &next), 0u);
            ASSERT_EQ(player.Play(), 0u) << player.GetDeviceError();
            ASSERT_EQ(device->Advance(frames), frames); // the first block
            ASSERT_TRUE(player.WaitForNotificationsHandled(1));
            bool handled = true;
            const long n = CountWhile([&] {
                for (std::uint64_t i = 2; i <= 9 && handled; ++i) {
                    device->Advance(frames);
                    handled = player.WaitForNotificationsHandled(i);
                }
            });
            ASSERT_TRUE(handled);
            ASSERT_EQ(player.Stop(1), 0u);
            if (n != 0) faults << " " << rate << " Hz/" << frames << " frames: " << n;
            ++configurations;
        }
    }
    EXPECT_EQ(faults.str(), "") << "allocations in the playing path";
    RecordProperty("configurations", configurations);
}

TEST(RealTimeAllocation, CaptureDeviceCallbackAndDoneHandlerNeverAllocate) {
    std::ostringstream faults;
    for (std::uint32_t rate : kRates) {
        for (std::uint32_t frames : kFrames) {
            NullCaptureDevice* device = nullptr;
            CExtMicro micro([&](std::string*) {
                auto d = std::make_unique<NullCaptureDevice>(NullCaptureDevice::Clock::Manual);
                device = d.get();
                return std::unique_ptr<platform::audio::CaptureDevice>(std::move(d));
            });
            WAVEFORMATEX f = micro.StoredFormat();
            f.nSamplesPerSec = rate;
            ASSERT_EQ(micro.SetFormat(&f), CExtMicro::kDone);
            ASSERT_EQ(micro.SetBufferSize(frames * micro.StoredFormat().nBlockAlign),
                      CExtMicro::kDone);
            ASSERT_EQ(micro.SetBufferCount(4), CExtMicro::kDone);
            ASSERT_EQ(micro.SetCaptureCallback(&Ignore, nullptr), CExtMicro::kDone);
            ASSERT_EQ(micro.Play(), CExtMicro::kDone) << micro.GetDeviceError();
            ASSERT_EQ(device->Advance(frames), frames);
            ASSERT_TRUE(micro.WaitForWakeups(1));
            bool woke = true;
            const long n = CountWhile([&] {
                for (std::uint64_t i = 2; i <= 9 && woke; ++i) {
                    device->Advance(frames);
                    woke = micro.WaitForWakeups(i);
                }
            });
            ASSERT_TRUE(woke);
            ASSERT_EQ(micro.Stop(), CExtMicro::kDone);
            if (n != 0) faults << " " << rate << " Hz/" << frames << " frames: " << n;
        }
    }
    EXPECT_EQ(faults.str(), "") << "allocations in the recording path";
}

} // namespace
