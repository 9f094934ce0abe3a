// The player on the real device path, without sound hardware: ALSA's default
// device is pointed, through a test-local configuration, at its file plugin
// (or at nothing), and the player is given its configured device.
#include "audio/ExtPlayerDX.h"
#include "platform/Event.h"
#include "platform/audio/DeviceSelection.h"
#include "support/TempDir.h"

#include <cstdlib>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>

namespace {

class AlsaConfig {
public:
    explicit AlsaConfig(const std::string& text) {
        std::ofstream(m_dir.file("asoundrc")) << text;
        ::setenv("ALSA_CONFIG_PATH", m_dir.file("asoundrc").c_str(), 1);
        ::setenv("JACK_NO_START_SERVER", "1", 1);
        ::setenv("SONVARA_AUDIO_OUTPUT", "portaudio", 1);
    }
    ~AlsaConfig() {
        ::unsetenv("ALSA_CONFIG_PATH");
        ::unsetenv("SONVARA_AUDIO_OUTPUT");
    }
    std::string File(const std::string& name) const { return m_dir.file(name); }

private:
    testsupport::TempDir m_dir;
};

struct Ramp {
    std::uint32_t next = 0, total = 0;
    platform::Event ended{platform::Event::Reset::Manual};
    static std::uint32_t Callback(void* user, StreamBuffer* b, std::uint32_t) {
        auto* self = static_cast<Ramp*>(user);
        if (b->channels.empty()) {
            if (b->frames == 1) self->ended.Set();
            return 0;
        }
        const std::uint32_t n = std::min(b->frames, self->total - self->next);
        for (std::uint32_t i = 0; i < n; ++i) {
            const float x = static_cast<float>((self->next + i) % 30000 + 1) / 32768.0f;
            b->channels[0][i] = x;
            b->channels[1][i] = -x;
        }
        self->next += n;
        b->valid = n;
        return n;
    }
};

TEST(PlayerOnPortAudio, PlaysACallbacksAudioIntoAlsasDefaultDevice) {
    testsupport::TempDir out;
    const std::string raw = out.file("alsa-out.raw");
    AlsaConfig alsa("pcm.!default {\n  type file\n  slave.pcm { type null }\n  file \"" + raw +
                    "\"\n  format \"raw\"\n}\n");
    Ramp ramp;
    ramp.total = 44100; // 1 s: all of it fits the 1.25 s buffer's first cycle
    CExtPlayerDX player;
    ASSERT_EQ(player.SetStreamCallback(&Ramp::Callback, &ramp), 0u);
    const std::uint32_t result = player.Play();
    if (result != 0) GTEST_SKIP() << "no PortAudio output here: " << player.GetDeviceError();
    // The device paces itself; this bounds a broken run, it is not a delay.
    ASSERT_TRUE(ramp.ended.Wait(30000)) << "the stream never ended";
    EXPECT_EQ(player.GetState(), CExtPlayer::kStopped);
    EXPECT_EQ(player.GetStopReason(), CExtPlayer::kEndOfStream);
    EXPECT_EQ(ramp.next, ramp.total);

    std::ifstream in(raw, std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const auto* pcm = reinterpret_cast<const std::int16_t*>(bytes.data());
    const std::size_t frames = bytes.size() / 4;
    std::size_t start = 0;
    while (start < frames && pcm[2 * start] == 0)
        ++start;
    // The file plugin's null sink takes audio as fast as it is offered, far
    // faster than real time, so after the first buffer cycle the device may
    // overtake the refills; the stream is sized to arrive within that cycle.
    ASSERT_LE(start + ramp.total, frames) << "less than the whole stream arrived";
    for (std::uint32_t i = 0; i < ramp.total; ++i) {
        const int expected = static_cast<int>(i % 30000 + 1);
        ASSERT_EQ(pcm[2 * (start + i)], expected) << "frame " << i;
        ASSERT_EQ(pcm[2 * (start + i) + 1], -expected) << "frame " << i;
    }
}

// A default device that cannot open fails the player as any device error
// does: Play reports 1, the state is failed with reason 3, the reason is kept.
TEST(PlayerOnPortAudio, FailsCleanlyWhenTheDeviceCannotOpen) {
    AlsaConfig alsa("pcm.!default {\n  type hw\n  card 31\n}\n");
    Ramp ramp;
    ramp.total = 1000;
    CExtPlayerDX player;
    ASSERT_EQ(player.SetStreamCallback(&Ramp::Callback, &ramp), 0u);
    EXPECT_EQ(player.Play(), 1u);
    EXPECT_EQ(player.GetState(), CExtPlayer::kFailed);
    EXPECT_EQ(player.GetStopReason(), CExtPlayer::kDeviceFailure);
    EXPECT_FALSE(player.GetDeviceError().empty());
    EXPECT_EQ(player.Reset(), 0u);
    EXPECT_EQ(player.GetState(), CExtPlayer::kStopped);
}

// An ALSA configuration that defines no device at all (a machine without
// sound) once made PortAudio abort the whole program while it listed the
// devices; now it is a device error like any other, and the recorder's
// device likewise.
TEST(PlayerOnPortAudio, AlsaWithoutAnyDeviceIsACleanNoDeviceFailure) {
    // Nothing at all, and one device that is not "default" (PortAudio's
    // count of devices to skip comes out wrong for both).
    for (const char* config : {"# no devices here\n", "pcm.quiet {\n  type null\n}\n"}) {
        SCOPED_TRACE(config);
        AlsaConfig alsa(config);
        Ramp ramp;
        ramp.total = 1000;
        CExtPlayerDX player;
        ASSERT_EQ(player.SetStreamCallback(&Ramp::Callback, &ramp), 0u);
        EXPECT_EQ(player.Play(), 1u);
        EXPECT_EQ(player.GetState(), CExtPlayer::kFailed);
        EXPECT_NE(player.GetDeviceError().find("ALSA defines no"), std::string::npos)
            << player.GetDeviceError();
        EXPECT_FALSE(platform::audio::OutputSupportsLayout("portaudio", 2, 3, 44100));
        std::string error;
        auto input = platform::audio::CreateCaptureDevice("portaudio", &error);
        ASSERT_TRUE(input) << error;
        WAVEFORMATEX format{WAVE_FORMAT_PCM, 1, 44100, 88200, 2, 16, 0};
        EXPECT_FALSE(input->Open(
            format, [](void*, platform::audio::CaptureBuffer*) {}, nullptr));
        EXPECT_NE(input->Error().find("ALSA defines no"), std::string::npos) << input->Error();
    }
}

} // namespace
