// Capture devices: buffers fill strictly in queue order with one done
// notification each, nothing is written into a buffer nobody queued, and the
// timed sources deliver their signals (the wav: file byte for byte, or
// converted to the recorder's format).
#include "platform/AtomicFile.h"
#include "platform/Event.h"
#include "platform/audio/DeviceSelection.h"
#include "platform/audio/PortAudioCaptureDevice.h"
#include "platform/audio/TimedCaptureDevice.h"
#include "support/TempDir.h"
#include "support/WavFile.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <gtest/gtest.h>
#include <numbers>
#include <vector>

namespace {

using namespace platform::audio;

WAVEFORMATEX Pcm(std::uint16_t channels, std::uint32_t rate, std::uint16_t bits) {
    WAVEFORMATEX f{};
    f.wFormatTag = WAVE_FORMAT_PCM;
    f.nChannels = channels;
    f.nSamplesPerSec = rate;
    f.wBitsPerSample = bits;
    f.nBlockAlign = static_cast<std::uint16_t>(channels * bits / 8);
    f.nAvgBytesPerSec = rate * f.nBlockAlign;
    return f;
}

// The buffers reported done, in order, with what they held.
struct DoneLog {
    std::vector<std::pair<std::uint32_t, std::vector<std::int16_t>>> done;
    static void Record(void* self, CaptureBuffer* b) {
        std::vector<std::int16_t> samples(b->recorded / 2);
        std::memcpy(samples.data(), b->data, samples.size() * 2);
        static_cast<DoneLog*>(self)->done.emplace_back(b->index, std::move(samples));
    }
};

void WriteWav(const std::string& path, const WAVEFORMATEX& f, const std::vector<std::uint8_t>& d) {
    ASSERT_TRUE(testsupport::WriteWav(path, f.nChannels, f.nSamplesPerSec, f.wBitsPerSample,
                                      d.data(), d.size()));
}

double ZeroCrossingHz(const std::vector<std::int16_t>& s, double rate) {
    int crossings = 0;
    for (std::size_t i = 1; i < s.size(); ++i)
        if ((s[i - 1] < 0) != (s[i] < 0)) ++crossings;
    return crossings / 2.0 / (static_cast<double>(s.size()) / rate);
}

TEST(CaptureDevice, BuffersFillInQueueOrderAndInputWithoutABufferIsDropped) {
    DoneLog log;
    VirtualCaptureDevice d;
    ASSERT_TRUE(d.Open(Pcm(1, 44100, 16), &DoneLog::Record, &log)) << d.Error();
    std::vector<std::uint8_t> memory(3 * 8);
    CaptureBuffer b[3];
    for (std::uint32_t i = 0; i < 3; ++i) {
        b[i].data = memory.data() + 8 * i;
        b[i].bytes = 8; // four frames
        b[i].index = i;
        ASSERT_TRUE(d.AddBuffer(&b[i]));
    }
    EXPECT_EQ(d.Advance(6), 0u); // stopped: nothing arrives
    ASSERT_TRUE(d.Start());
    EXPECT_EQ(d.Advance(6), 6u);
    ASSERT_EQ(log.done.size(), 1u); // the second buffer is half full
    d.Advance(6);
    d.Advance(3); // nothing queued any more
    EXPECT_EQ(d.DroppedBytes(), 6u);
    ASSERT_EQ(log.done.size(), 3u);
    std::int16_t expected = 0;
    for (std::uint32_t i = 0; i < 3; ++i) {
        EXPECT_EQ(log.done[i].first, i);
        for (std::int16_t s : log.done[i].second)
            EXPECT_EQ(s, expected++);
    }

    // A buffer queued again after its notification follows on; Reset hands
    // back a partly filled one with what it holds.
    ASSERT_TRUE(d.AddBuffer(&b[0]));
    d.Advance(1);
    d.Reset();
    ASSERT_EQ(log.done.size(), 4u);
    EXPECT_EQ(log.done[3].second, std::vector<std::int16_t>{15});
    EXPECT_FALSE(d.IsRunning());
}

TEST(CaptureDevice, TimedSourcesDeliverTheToneAndTheFileThenSilence) {
    testsupport::TempDir dir;
    const WAVEFORMATEX mono16 = Pcm(1, 44100, 16);
    auto capture = [&](TimedCaptureDevice& d, std::uint32_t frames, std::string* error = nullptr) {
        DoneLog log;
        std::vector<std::uint8_t> memory(frames * 2);
        CaptureBuffer b;
        b.data = memory.data();
        b.bytes = frames * 2;
        if (!d.Open(mono16, &DoneLog::Record, &log) || !d.AddBuffer(&b) || !d.Start()) {
            if (error) *error = d.Error();
            return std::vector<std::int16_t>{};
        }
        d.Advance(frames);
        d.Close();
        return log.done.empty() ? std::vector<std::int16_t>{} : log.done[0].second;
    };

    ToneCaptureDevice tone(440, TimedCaptureDevice::Clock::Manual);
    const auto sine = capture(tone, 44100);
    ASSERT_EQ(sine.size(), 44100u);
    EXPECT_NEAR(ZeroCrossingHz(sine, 44100), 440, 2);

    // A file in the recorder's format comes through byte for byte, and
    // after its end there is silence, not the file again.
    std::vector<std::uint8_t> bytes;
    for (int i = 1; i <= 1000; ++i) {
        bytes.push_back(static_cast<std::uint8_t>(i * 37));
        bytes.push_back(static_cast<std::uint8_t>(i));
    }
    WriteWav(dir.file("same.wav"), mono16, bytes);
    WavCaptureDevice same(dir.file("same.wav"), TimedCaptureDevice::Clock::Manual);
    const auto got = capture(same, 1500);
    ASSERT_EQ(got.size(), 1500u);
    EXPECT_EQ(std::memcmp(got.data(), bytes.data(), bytes.size()), 0);
    for (std::size_t i = 1000; i < got.size(); ++i)
        ASSERT_EQ(got[i], 0) << i;

    // Stereo 8-bit at 22050 Hz: averaged to one channel, widened and
    // resampled; the pitch and the length stay.
    std::vector<std::uint8_t> stereo8;
    for (int i = 0; i < 22050; ++i) {
        const double x = 0.5 * std::sin(2 * std::numbers::pi * 1000.0 * i / 22050);
        stereo8.push_back(static_cast<std::uint8_t>(128 + std::lround(100 * x)));
        stereo8.push_back(static_cast<std::uint8_t>(128 + std::lround(100 * x)));
    }
    WriteWav(dir.file("other.wav"), Pcm(2, 22050, 8), stereo8);
    WavCaptureDevice other(dir.file("other.wav"), TimedCaptureDevice::Clock::Manual);
    const auto converted = capture(other, 44100);
    ASSERT_EQ(converted.size(), 44100u);
    const std::vector<std::int16_t> middle(converted.begin() + 2000, converted.end() - 2000);
    EXPECT_NEAR(ZeroCrossingHz(middle, 44100), 1000, 5);
    int peak = 0;
    for (std::int16_t s : middle)
        peak = std::max(peak, std::abs(static_cast<int>(s)));
    EXPECT_NEAR(peak, 100.0 / 128 * 0.5 * 32768, 600);

    // A file that is not a WAV file is refused with the reason.
    ASSERT_TRUE(platform::WriteFileAtomically(dir.file("text.wav"), "not audio"));
    WavCaptureDevice broken(dir.file("text.wav"), TimedCaptureDevice::Clock::Manual);
    std::string error;
    EXPECT_TRUE(capture(broken, 10, &error).empty());
    EXPECT_NE(error.find("not a WAV file"), std::string::npos) << error;

    // Names that cannot make a device say why.
    for (const char* name : {"tone:", "tone:abc", "wav:", "portaudio:", "mic"}) {
        error.clear();
        EXPECT_EQ(CreateCaptureDevice(name, &error), nullptr) << name;
        EXPECT_FALSE(error.empty()) << name;
    }
    EXPECT_EQ(CreateCaptureDevice("tone:440")->Name(), "tone:440");
}

// The real device path without sound hardware: ALSA's default device is
// pointed, through a test-local configuration, at its file plugin, which
// reads the captured samples from a file.
TEST(PortAudioCaptureDevice, RecordsWhatAlsasDefaultInputDelivers) {
    testsupport::TempDir dir;
    const std::string raw = dir.file("alsa-in.raw");
    const std::string conf = dir.file("asoundrc");
    constexpr std::uint32_t kFrames = 8820; // 0.2 s
    {
        std::ofstream in(raw, std::ios::binary);
        for (std::uint32_t i = 0; i < 4 * kFrames; ++i) {
            const auto s = static_cast<std::int16_t>(i % 30000 + 1);
            in.write(reinterpret_cast<const char*>(&s), 2);
        }
        std::ofstream c(conf);
        c << "pcm.!default {\n    type file\n    slave.pcm { type null }\n    file \"/dev/null\"\n"
             "    infile \""
          << raw << "\"\n    format \"raw\"\n}\n";
    }
    ::setenv("ALSA_CONFIG_PATH", conf.c_str(), 1);
    ::setenv("JACK_NO_START_SERVER", "1", 1);
    platform::Event filled(platform::Event::Reset::Manual);
    auto done = [](void* event, CaptureBuffer*) { static_cast<platform::Event*>(event)->Set(); };
    PortAudioCaptureDevice d;
    if (!d.Open(Pcm(1, 44100, 16), done, &filled)) {
        ::unsetenv("ALSA_CONFIG_PATH");
        GTEST_SKIP() << "the PortAudio backend cannot open ALSA's file plugin here: " << d.Error();
    }
    std::vector<std::uint8_t> memory(kFrames * 2);
    CaptureBuffer b;
    b.data = memory.data();
    b.bytes = kFrames * 2;
    ASSERT_TRUE(d.AddBuffer(&b));
    ASSERT_TRUE(d.Start()) << d.Error();
    // The device paces itself; this bounds a broken device, it is not a delay.
    const bool signalled = filled.Wait(20000);
    d.Close();
    ::unsetenv("ALSA_CONFIG_PATH");
    ASSERT_TRUE(signalled) << "the buffer never filled";
    std::vector<std::int16_t> got(kFrames);
    std::memcpy(got.data(), memory.data(), memory.size());
    // The plugin may deliver silence before the file; after it, the file in order.
    std::size_t start = 0;
    while (start < got.size() && got[start] == 0)
        ++start;
    ASSERT_LT(start, got.size());
    for (std::size_t i = start; i < got.size(); ++i)
        ASSERT_EQ(got[i], static_cast<std::int16_t>((i - start) % 30000 + 1)) << i;
}

} // namespace
