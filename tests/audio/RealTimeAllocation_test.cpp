// The real-time paths of playing and recording never touch the heap and
// never wait for a lock once a run has started: the output device's
// callback and the player's block chain (pull, equalizer, gains, conversion
// into the device buffer) behind it, and the capture device's callback with
// the recorder's done handler, at every rate from 8,000 to 192,000 Hz and
// blocks of 64 to 16,384 frames. The null devices on the manual clock run
// exactly the code the sound card's callback runs (Consume, Produce), on the
// test's thread. Allocations count on every thread while the run goes on;
// lock calls count inside the real-time sections (RealTimeSection.h) the
// callbacks and the player's refills mark.
#include "audio/ExtMicro.h"
#include "audio/ExtPlayerDX.h"
#include "platform/RealTimeSection.h"
#include "platform/audio/TimedCaptureDevice.h"
#include "platform/audio/TimedOutputDevice.h"
#include "support/CountingAllocator.h"
#include "support/CountingLocks.h"

#include <functional>
#include <gtest/gtest.h>
#include <mutex>
#include <sstream>

using testsupport::g_allocations;
using testsupport::g_blockingLocks;
using testsupport::g_countAllocations;
using testsupport::g_countLocks;

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

struct Counts {
    long allocations = 0;
    long blockingLocks = 0;
};

// The allocations made on any thread, and the blocking lock calls made in
// real-time sections, while run runs.
Counts CountWhile(const std::function<void()>& run) {
    g_allocations = 0;
    g_blockingLocks = 0;
    g_countAllocations = true;
    g_countLocks = true;
    run();
    g_countLocks = false;
    g_countAllocations = false;
    return {g_allocations.load(), g_blockingLocks.load()};
}

void Report(std::ostringstream& faults, std::uint32_t rate, std::uint32_t frames, Counts n) {
    if (n.allocations != 0 || n.blockingLocks != 0)
        faults << " " << rate << " Hz/" << frames << " frames: " << n.allocations
               << " allocations, " << n.blockingLocks << " lock waits;";
}

// The counters see what they are meant to see: a mutex taken inside a
// section counts, one taken outside does not.
TEST(RealTimeAllocation, LockCounterCountsOnlyInsideRealTimeSections) {
    std::mutex m;
    const Counts n = CountWhile([&] {
        { std::lock_guard<std::mutex> outside(m); }
        const platform::RealTimeSection section;
        { std::lock_guard<std::mutex> inside(m); }
        if (m.try_lock()) m.unlock();
    });
    EXPECT_EQ(n.blockingLocks, 1);
}

TEST(RealTimeAllocation,
     PlayerDeviceCallbackAndBlockChainNeitherAllocateNorWaitAfterTheFirstBlock) {
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
            const Counts n = CountWhile([&] {
                for (std::uint64_t i = 2; i <= 9 && handled; ++i) {
                    device->Advance(frames);
                    handled = player.WaitForNotificationsHandled(i);
                }
            });
            ASSERT_TRUE(handled);
            ASSERT_EQ(player.Stop(1), 0u);
            Report(faults, rate, frames, n);
            ++configurations;
        }
    }
    EXPECT_EQ(faults.str(), "") << "allocations or lock waits in the playing path";
    RecordProperty("configurations", configurations);
}

TEST(RealTimeAllocation, CaptureDeviceCallbackAndDoneHandlerNeitherAllocateNorWait) {
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
            const Counts n = CountWhile([&] {
                for (std::uint64_t i = 2; i <= 9 && woke; ++i) {
                    device->Advance(frames);
                    woke = micro.WaitForWakeups(i);
                }
            });
            ASSERT_TRUE(woke);
            ASSERT_EQ(micro.Stop(), CExtMicro::kDone);
            Report(faults, rate, frames, n);
        }
    }
    EXPECT_EQ(faults.str(), "") << "allocations or lock waits in the recording path";
}

} // namespace
