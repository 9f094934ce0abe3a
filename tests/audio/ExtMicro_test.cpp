// The recorder on the manual-clock capture device: the test advances the
// device's clock and waits for the capture thread's deliveries.
#include "audio/ExtMicro.h"
#include "platform/Event.h"
#include "platform/audio/TimedCaptureDevice.h"

#include <gtest/gtest.h>
#include <mutex>
#include <vector>

namespace {

using platform::audio::CaptureDevice;
using platform::audio::VirtualCaptureDevice;

// Makes the recorder's devices and keeps hold of the current one.
struct Devices {
    VirtualCaptureDevice* current = nullptr;
    std::shared_ptr<WAVEFORMATEX> opened = std::make_shared<WAVEFORMATEX>();
    bool fail = false;
    CExtMicro::DeviceFactory Factory() {
        return [this](std::string*) {
            auto d = std::make_unique<VirtualCaptureDevice>(opened, fail);
            current = d.get();
            return std::unique_ptr<CaptureDevice>(std::move(d));
        };
    }
};

// What the callback got: the 16-bit samples in delivery order, and the
// detach calls. It can be held inside a delivery.
struct Sink {
    std::mutex lock;
    std::vector<std::int16_t> samples;
    int detached = 0;
    platform::Event* gate = nullptr; // waited on inside the next delivery
    platform::Event entered{platform::Event::Reset::Manual};
    CExtMicro* stopFromCallback = nullptr;

    static std::uint32_t Take(void* user, const void* data, std::uint32_t bytes) {
        auto* self = static_cast<Sink*>(user);
        if (!data) {
            ++self->detached;
            return 0;
        }
        {
            std::lock_guard<std::mutex> guard(self->lock);
            const auto* s = static_cast<const std::int16_t*>(data);
            self->samples.insert(self->samples.end(), s, s + bytes / 2);
        }
        if (platform::Event* gate = std::exchange(self->gate, nullptr)) {
            self->entered.Set();
            gate->Wait();
        }
        if (self->stopFromCallback) std::exchange(self->stopFromCallback, nullptr)->Stop();
        return 0;
    }
};

std::uint32_t Other(void*, const void*, std::uint32_t) {
    return 0;
}

// Buffers that complete together while the thread is busy must come out in
// the order they were filled, also when the ring wraps (the last buffer
// before buffer 0) and both carry the same millisecond.
TEST(ExtMicro, BuffersCompletedWhileTheThreadIsBusyArriveInCompletionOrder) {
    Devices devices;
    Sink sink;
    CExtMicro micro(devices.Factory());
    ASSERT_EQ(micro.SetBufferCount(3), CExtMicro::kDone);
    ASSERT_EQ(micro.SetBufferSize(8), CExtMicro::kDone); // four frames
    ASSERT_EQ(micro.SetCaptureCallback(&Sink::Take, &sink), CExtMicro::kDone);
    ASSERT_EQ(micro.Play(), CExtMicro::kDone) << micro.GetDeviceError();
    devices.current->Advance(4); // buffer 0, delivered and queued again
    ASSERT_TRUE(micro.WaitForWakeups(1));

    platform::Event gate(platform::Event::Reset::Manual);
    sink.gate = &gate;
    devices.current->Advance(4); // buffer 1: the thread is held inside it
    ASSERT_TRUE(sink.entered.Wait(10000));
    devices.current->Advance(8); // buffers 2 and 0 complete meanwhile
    gate.Set();
    // All three in the one wake-up, without waiting for another signal.
    ASSERT_TRUE(micro.WaitForWakeups(2));
    EXPECT_EQ(micro.BuffersDelivered(), 4u);
    // What the scheduler granted the capture thread, for whoever reads the log.
    EXPECT_FALSE(micro.GetThreadPriority().empty());
    RecordProperty("capture_thread_priority", micro.GetThreadPriority());
    EXPECT_EQ(micro.Stop(), CExtMicro::kDone);
    ASSERT_EQ(sink.samples.size(), 16u);
    for (std::size_t i = 0; i < sink.samples.size(); ++i)
        ASSERT_EQ(sink.samples[i], static_cast<std::int16_t>(i)) << i;
}

// One capture thread per run: a second Play or a resume starts none, Stop
// (also from the callback itself) ends it, and a recorder destroyed while
// recording waits for its thread rather than leave it on freed memory.
TEST(ExtMicro, EachRunHasExactlyOneCaptureThreadAndStopEndsIt) {
    Devices devices;
    Sink sink;
    CExtMicro micro(devices.Factory());
    micro.SetBufferSize(8);
    micro.SetCaptureCallback(&Sink::Take, &sink);
    ASSERT_EQ(micro.Play(), CExtMicro::kDone);
    EXPECT_EQ(micro.Play(), CExtMicro::kDone);
    EXPECT_EQ(micro.Pause(), CExtMicro::kDone);
    EXPECT_EQ(micro.GetState(), CExtMicro::kPaused);
    EXPECT_EQ(devices.current->Advance(4), 0u); // a paused device records nothing
    EXPECT_EQ(micro.Play(), CExtMicro::kDone);  // resumes
    EXPECT_EQ(micro.GetState(), CExtMicro::kRecording);
    EXPECT_EQ(micro.ThreadsStarted(), 1u);
    EXPECT_EQ(micro.SetCaptureCallback(&Other, nullptr), CExtMicro::kWrongState);
    EXPECT_EQ(micro.Stop(), CExtMicro::kDone);
    EXPECT_FALSE(micro.IsCaptureThreadRunning());
    EXPECT_EQ(micro.Stop(), CExtMicro::kDone);

    ASSERT_EQ(micro.Play(), CExtMicro::kDone);
    EXPECT_EQ(micro.ThreadsStarted(), 2u);
    sink.stopFromCallback = &micro;
    devices.current->Advance(4);
    ASSERT_TRUE(micro.WaitForDelivered(1));
    EXPECT_EQ(micro.GetState(), CExtMicro::kStopped);
    ASSERT_EQ(micro.Play(), CExtMicro::kDone);
    EXPECT_EQ(micro.ThreadsStarted(), 3u);

    auto dying = std::make_unique<CExtMicro>(devices.Factory());
    dying->SetCaptureCallback(&Sink::Take, &sink);
    ASSERT_EQ(dying->Play(), CExtMicro::kDone);
    devices.current->Advance(44100);
    dying.reset();
}

// The reported record says 0xFFFE with no extension; the device is opened
// with plain PCM and fields that agree with each other, whatever the module
// passed.
TEST(ExtMicro, FormatTagsAndDerivedFieldsReachTheDeviceConsistent) {
    Devices devices;
    CExtMicro micro(devices.Factory());
    const WAVEFORMATEX* reported = micro.GetFormat();
    EXPECT_EQ(+reported->wFormatTag, 0xFFFE);
    EXPECT_EQ(+reported->cbSize, 0);
    EXPECT_EQ(+reported->nSamplesPerSec, 44100u);
    EXPECT_EQ(micro.GetBufferCount(), 5u);
    EXPECT_EQ(micro.GetBufferSize(), 44100u);

    WAVEFORMATEX f = *reported;
    f.nChannels = 2;
    f.cbSize = 22;
    f.nBlockAlign = 3;       // disagrees with two 16-bit channels
    f.nAvgBytesPerSec = 999; // and so does this
    ASSERT_EQ(micro.SetFormat(&f), CExtMicro::kDone);
    EXPECT_EQ(+micro.StoredFormat().wFormatTag, WAVE_FORMAT_PCM);
    EXPECT_EQ(+micro.StoredFormat().cbSize, 0);
    f.wBitsPerSample = 12;
    EXPECT_EQ(micro.SetFormat(&f), CExtMicro::kError);
    EXPECT_EQ(micro.SetBufferCount(0), CExtMicro::kError);
    EXPECT_EQ(micro.SetBufferCount(101), CExtMicro::kError);
    EXPECT_EQ(micro.SetBufferCount(100), CExtMicro::kDone);

    EXPECT_EQ(micro.Play(), CExtMicro::kNotAvailable); // no callback
    micro.SetCaptureCallback(&Other, nullptr);
    ASSERT_EQ(micro.Play(), CExtMicro::kDone);
    EXPECT_EQ(+devices.opened->wFormatTag, WAVE_FORMAT_PCM);
    EXPECT_EQ(+devices.opened->nBlockAlign, 4);
    EXPECT_EQ(+devices.opened->nAvgBytesPerSec, 176400u);
    EXPECT_EQ(micro.SetFormat(&f), CExtMicro::kWrongState);
    EXPECT_EQ(micro.SetBufferCount(5), CExtMicro::kWrongState);
}

// Replacing the callback tells the old one once; setting the same pair
// again tells nobody.
TEST(ExtMicro, ReplacedCallbackHearsItsDetachOnce) {
    Devices devices;
    Sink a, b;
    CExtMicro micro(devices.Factory());
    micro.SetCaptureCallback(&Sink::Take, &a);
    micro.SetCaptureCallback(&Sink::Take, &a);
    EXPECT_EQ(a.detached, 0);
    micro.SetCaptureCallback(&Sink::Take, &b);
    EXPECT_EQ(a.detached, 1);
    EXPECT_EQ(b.detached, 0);
}

// A device that cannot open fails the recorder with its reason; it stays
// failed until a Reset, after which it records again.
TEST(ExtMicro, DeviceErrorFailsTheRecorderUntilAReset) {
    Devices devices;
    devices.fail = true;
    Sink sink;
    CExtMicro micro(devices.Factory());
    micro.SetCaptureCallback(&Sink::Take, &sink);
    EXPECT_EQ(micro.Play(), CExtMicro::kError);
    EXPECT_EQ(micro.GetState(), CExtMicro::kFailed);
    EXPECT_NE(micro.GetDeviceError().find("refuses"), std::string::npos);
    EXPECT_EQ(micro.Play(), CExtMicro::kNotAvailable);
    EXPECT_EQ(micro.Stop(), CExtMicro::kNotAvailable);
    EXPECT_EQ(micro.SetBufferSize(4), CExtMicro::kNotAvailable);
    EXPECT_FALSE(micro.IsCaptureThreadRunning());

    devices.fail = false;
    EXPECT_EQ(micro.Reset(), CExtMicro::kDone);
    EXPECT_EQ(micro.GetState(), CExtMicro::kStopped);
    ASSERT_EQ(micro.Play(), CExtMicro::kDone);
    EXPECT_TRUE(micro.GetDeviceError().empty());
}

} // namespace
