#include "platform/Paths.h"
#include "platform/Profile.h"
#include "platform/audio/DeviceSelection.h"
#include "platform/audio/TimedOutputDevice.h"
#include "support/TempDir.h"

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <new>

namespace {

using namespace platform::audio;
using platform::Event;

WAVEFORMATEX Pcm(unsigned channels, unsigned bits, unsigned rate = 44100) {
    WAVEFORMATEX f{};
    f.wFormatTag = WAVE_FORMAT_PCM;
    f.nChannels = static_cast<std::uint16_t>(channels);
    f.nSamplesPerSec = rate;
    f.wBitsPerSample = static_cast<std::uint16_t>(bits);
    f.nBlockAlign = static_cast<std::uint16_t>(channels * bits / 8);
    f.nAvgBytesPerSec = rate * f.nBlockAlign;
    return f;
}

// Writes bytes with value (offset & 0xFF) through the lock interface.
void FillRamp(OutputDevice& d) {
    void *p1, *p2;
    std::uint32_t n1, n2;
    ASSERT_TRUE(d.Lock(0, d.BufferBytes(), &p1, &n1, &p2, &n2));
    for (std::uint32_t i = 0; i < n1; ++i)
        static_cast<std::uint8_t*>(p1)[i] = std::uint8_t(i);
    d.Unlock(p1, n1, p2, n2);
}

// A lock that wraps must split at the end of the buffer; a lock larger than
// the buffer or starting outside it must yield nothing rather than overrun.
TEST(OutputDevice, LockSplitsAtTheEndAndRefusesWhatDoesNotFit) {
    VirtualOutputDevice d;
    ASSERT_TRUE(d.Open(Pcm(2, 16), 400));
    void *p1, *p2;
    std::uint32_t n1, n2;
    ASSERT_TRUE(d.Lock(300, 200, &p1, &n1, &p2, &n2));
    EXPECT_EQ(n1, 100u);
    EXPECT_EQ(n2, 100u);
    EXPECT_EQ(static_cast<std::uint8_t*>(p1) - static_cast<std::uint8_t*>(p2), 300);
    d.Unlock(p1, n1, p2, n2);
    ASSERT_TRUE(d.Lock(0, 400, &p1, &n1, &p2, &n2));
    EXPECT_EQ(n1, 400u);
    EXPECT_EQ(n2, 0u);
    EXPECT_FALSE(d.Lock(0, 401, &p1, &n1, &p2, &n2));
    EXPECT_EQ(p1, nullptr);
    EXPECT_FALSE(d.Lock(400, 4, &p1, &n1, &p2, &n2));
}

TEST(OutputDevice, OpenRefusesFormatsAndSizesItCannotPlay) {
    VirtualOutputDevice d;
    EXPECT_FALSE(d.Open(Pcm(2, 12), 400));
    auto f = Pcm(2, 16);
    f.nBlockAlign = 2;
    EXPECT_FALSE(d.Open(f, 400));
    EXPECT_FALSE(d.Open(Pcm(2, 16), 402)); // not whole frames
    EXPECT_FALSE(d.Open(Pcm(2, 16), 0));
    f = Pcm(2, 16);
    f.wFormatTag = WAVE_FORMAT_IEEE_FLOAT;
    EXPECT_FALSE(d.Open(f, 400));
    EXPECT_FALSE(d.Error().empty());
    EXPECT_TRUE(d.Open(Pcm(6, 24), 6 * 3 * 10));
}

// A backend that runs out of memory while opening.
class StarvedDevice : public NullOutputDevice {
public:
    StarvedDevice() : NullOutputDevice(Clock::Manual) {}

protected:
    bool DoOpen() override { throw std::bad_alloc(); }
};

// A buffer the machine cannot hold must fail the open with a reason, not
// throw through the player's Play.
TEST(OutputDevice, OpenWithoutMemoryFailsWithAReason) {
    StarvedDevice d;
    EXPECT_FALSE(d.Open(Pcm(2, 16), 400));
    EXPECT_FALSE(d.IsOpen());
    EXPECT_NE(d.Error().find("no memory"), std::string::npos);
}

// Notifications mark the last byte of a segment: an event must fire exactly
// when the cursor has played that byte, once per pass, and never while
// stopped; what is played must be the buffer's bytes in order across the wrap.
TEST(OutputDevice, VirtualClockSignalsPassedPositionsAndPlaysTheBufferInOrder) {
    VirtualOutputDevice d;
    ASSERT_TRUE(d.Open(Pcm(1, 16), 400));
    FillRamp(d);
    Event e0(Event::Reset::Manual), e1(Event::Reset::Manual);
    NotificationPosition pos[] = {{199, &e0}, {399, &e1}};
    ASSERT_TRUE(d.SetNotificationPositions(pos));
    EXPECT_EQ(d.Advance(10), 0u); // stopped: nothing moves
    EXPECT_EQ(d.GetCurrentPosition(), 0u);
    ASSERT_TRUE(d.Play());
    EXPECT_FALSE(d.SetNotificationPositions(pos));
    d.Advance(99); // bytes 0..197
    EXPECT_FALSE(e0.IsSet());
    d.Advance(1); // byte 199 played
    EXPECT_TRUE(e0.IsSet());
    EXPECT_FALSE(e1.IsSet());
    e0.ResetEvent();
    d.Advance(150); // through the end and round to byte 100
    EXPECT_TRUE(e1.IsSet());
    EXPECT_FALSE(e0.IsSet());
    EXPECT_EQ(d.GetCurrentPosition(), 100u);
    ASSERT_TRUE(d.Stop());
    EXPECT_EQ(d.Advance(100), 0u);
    EXPECT_EQ(d.GetCurrentPosition(), 100u);
    ASSERT_TRUE(d.Play());
    d.Advance(1000); // more than one pass in one call
    EXPECT_TRUE(e0.IsSet());
    const auto& played = d.Played();
    ASSERT_EQ(played.size(), 2u * (250 + 1000));
    for (std::size_t i = 0; i < played.size(); ++i)
        ASSERT_EQ(played[i], std::uint8_t((i % 400) & 0xFF)) << i;
}

std::uint32_t Le32(const std::vector<char>& b, std::size_t at) {
    std::uint32_t v = 0;
    for (int i = 0; i < 4; ++i)
        v |= std::uint32_t(std::uint8_t(b[at + i])) << (8 * i);
    return v;
}

TEST(OutputDevice, WavDeviceWritesWhatItPlaysWithACompleteHeader) {
    testsupport::TempDir dir;
    const std::string path = dir.file("out.wav");
    {
        WavOutputDevice d(path, WavOutputDevice::Clock::Manual);
        ASSERT_TRUE(d.Open(Pcm(2, 16, 48000), 400));
        FillRamp(d);
        ASSERT_TRUE(d.Play());
        d.Advance(150); // 600 bytes: one and a half passes
        d.Close();
    }
    std::ifstream in(path, std::ios::binary);
    std::vector<char> b((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_EQ(b.size(), 44u + 600u);
    EXPECT_EQ(std::string(b.data(), 4), "RIFF");
    EXPECT_EQ(Le32(b, 4), 36u + 600u);
    EXPECT_EQ(std::string(b.data() + 8, 8), "WAVEfmt ");
    EXPECT_EQ(Le32(b, 24), 48000u);
    EXPECT_EQ(Le32(b, 40), 600u);
    for (std::size_t i = 0; i < 600; ++i)
        ASSERT_EQ(std::uint8_t(b[44 + i]), (i % 400) & 0xFF);
}

TEST(DeviceSelection, EnvironmentOverridesConfigWhichOverridesTheDefault) {
    testsupport::TempDir dir;
    platform::SetSettingsDirectory(dir.path());
    ::unsetenv("SONVARA_AUDIO_OUTPUT");
    EXPECT_EQ(SelectedOutputDeviceName(), "portaudio");
    const std::string ini = platform::JoinPath(dir.path(), "config.ini");
    platform::WritePrivateProfileString("AUDIO", "Output", "null", ini.c_str());
    platform::WritePrivateProfileString("AUDIO", "Input", "tone:440", ini.c_str());
    EXPECT_EQ(SelectedOutputDeviceName(), "null");
    EXPECT_EQ(SelectedInputDeviceName(), "tone:440");
    ::setenv("SONVARA_AUDIO_OUTPUT", "wav:/tmp/x.wav", 1);
    EXPECT_EQ(SelectedOutputDeviceName(), "wav:/tmp/x.wav");
    ::unsetenv("SONVARA_AUDIO_OUTPUT");
    platform::SetSettingsDirectory("");

    std::string error;
    EXPECT_EQ(CreateOutputDevice("null")->Name(), "null");
    EXPECT_EQ(CreateOutputDevice("portaudio")->Name(), "portaudio");
    EXPECT_EQ(CreateOutputDevice("wav:/tmp/y.wav")->Name(), "wav:/tmp/y.wav");
    EXPECT_EQ(CreateOutputDevice("wav:", &error), nullptr);
    EXPECT_NE(error.find("path"), std::string::npos);
    EXPECT_EQ(CreateOutputDevice("speakers", &error), nullptr);
    EXPECT_NE(error.find("speakers"), std::string::npos);
}

} // namespace
