// The real device path without sound hardware: ALSA's default device is
// pointed, through a test-local configuration, at its file plugin, and what
// arrives in the file is compared with what was in the looping buffer.
#include "platform/audio/PortAudioOutputDevice.h"
#include "support/TempDir.h"

#include <cstdlib>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>

namespace {

using namespace platform::audio;
using platform::Event;

TEST(PortAudioOutputDevice, PlaysTheLoopingBufferIntoAlsasDefaultDevice) {
    testsupport::TempDir dir;
    const std::string raw = dir.file("alsa-out.raw");
    const std::string conf = dir.file("asoundrc");
    {
        std::ofstream c(conf);
        c << "pcm.!default {\n"
             "    type file\n"
             "    slave.pcm { type null }\n"
             "    file \""
          << raw
          << "\"\n"
             "    format \"raw\"\n"
             "}\n";
    }
    ::setenv("ALSA_CONFIG_PATH", conf.c_str(), 1);
    // Keep the sound system on ALSA even where a sound server is installed.
    ::setenv("JACK_NO_START_SERVER", "1", 1);

    WAVEFORMATEX f{};
    f.wFormatTag = WAVE_FORMAT_PCM;
    f.nChannels = 2;
    f.nSamplesPerSec = 44100;
    f.wBitsPerSample = 16;
    f.nBlockAlign = 4;
    f.nAvgBytesPerSec = 44100 * 4;
    constexpr std::uint32_t kFrames = 8820, kBytes = kFrames * 4; // 0.2 s
    PortAudioOutputDevice d;
    if (!d.Open(f, kBytes)) {
        ::unsetenv("ALSA_CONFIG_PATH");
        GTEST_SKIP() << "the PortAudio backend cannot open ALSA's file plugin here: " << d.Error();
    }
    // Every frame distinct: left counts up, right counts down.
    void *p1, *p2;
    std::uint32_t n1, n2;
    ASSERT_TRUE(d.Lock(0, kBytes, &p1, &n1, &p2, &n2));
    auto* s = static_cast<std::int16_t*>(p1);
    for (std::uint32_t i = 0; i < kFrames; ++i) {
        s[2 * i] = static_cast<std::int16_t>(i + 1);
        s[2 * i + 1] = static_cast<std::int16_t>(-1 - static_cast<int>(i));
    }
    d.Unlock(p1, n1, p2, n2);
    Event wrapped(Event::Reset::Manual);
    NotificationPosition last[] = {{kBytes - 1, &wrapped}};
    ASSERT_TRUE(d.SetNotificationPositions(last));
    ASSERT_TRUE(d.Play()) << d.Error();
    // The device paces itself; this bounds a broken device, it is not a delay.
    const bool signalled = wrapped.Wait(20000);
    d.Close();
    ::unsetenv("ALSA_CONFIG_PATH");
    ASSERT_TRUE(signalled) << "the cursor never went round the buffer";

    std::ifstream in(raw, std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_GE(bytes.size(), kBytes);
    const auto* got = reinterpret_cast<const std::int16_t*>(bytes.data());
    const std::size_t frames = bytes.size() / 4;
    // The device may put silence before our first frame; after it, the file
    // must hold the buffer in order, frame for frame.
    std::size_t start = 0;
    while (start < frames && got[2 * start] == 0 && got[2 * start + 1] == 0)
        ++start;
    ASSERT_LE(start + kFrames, frames) << "less than one buffer arrived";
    for (std::uint32_t i = 0; i < kFrames; ++i) {
        ASSERT_EQ(got[2 * (start + i)], static_cast<std::int16_t>(i + 1)) << "frame " << i;
        ASSERT_EQ(got[2 * (start + i) + 1], static_cast<std::int16_t>(-1 - int(i)))
            << "frame " << i;
    }
}

} // namespace
