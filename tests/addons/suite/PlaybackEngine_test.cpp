// The playback run without a window: the decoding thread, the ring and the
// stream callback as the player's output thread drives them.
#include "addons/suite/SuiteSupport.h"
#include "core/PlaybackEngine.h"
#include "core/TrackDecoder.h"
#include "support/CountingAllocator.h"
#include "support/TempDir.h"

#include <cmath>
#include <fileref.h>
#include <fstream>
#include <gtest/gtest.h>
#include <tpropertymap.h>

namespace {

using namespace suite;

// Pulls blocks of `frames` frames as the player would until the callback
// says the stream has ended (bounded, so a fault cannot hang the test).
std::vector<std::vector<float>> PullAll(PlaybackEngine& engine, unsigned channels,
                                        std::uint32_t frames, long* allocations = nullptr) {
    std::vector<std::vector<float>> out(channels);
    std::vector<std::vector<float>> arrays(channels, std::vector<float>(frames));
    StreamBuffer block;
    for (auto& a : arrays)
        block.channels.push_back(a.data());
    block.frames = frames;
    for (int guard = 0; guard < 100000; ++guard) {
        for (auto& a : arrays)
            std::fill(a.begin(), a.end(), 0.0f);
        block.valid = 0;
        testsupport::g_allocations = 0;
        testsupport::g_countAllocations = true;
        const std::uint32_t got = PlaybackEngine::Pull(&engine, &block, 0);
        testsupport::g_countAllocations = false;
        if (allocations) *allocations += testsupport::g_allocations;
        if (got == 0) break;
        for (unsigned c = 0; c < channels; ++c)
            out[c].insert(out[c].end(), arrays[c].begin(), arrays[c].begin() + block.valid);
    }
    return out;
}

// Two tracks of the run's format meet sample for sample; a damaged file
// between them is reported and skipped; the stream callback allocates
// nothing while it copies.
TEST(SuitePlaybackEngine, TracksMeetWithoutAGapAndTheCallbackNeverAllocates) {
    testsupport::TempDir dir;
    const std::string a = dir.file("a.flac"), bad = dir.file("bad.ogg"), b = dir.file("b.wav");
    ASSERT_TRUE(suitetest::WriteTone(a, 44100, 2, 0.3, 300));
    ASSERT_TRUE(suitetest::WriteTone(b, 44100, 2, 0.2, 600));
    std::ofstream(bad) << "OggS but nothing after it";

    PlaybackEngine engine;
    engine.Start({{1, a, 1.0f}, {2, bad, 1.0f}, {3, b, 1.0f}}, 0, 0, 44100, 2, false);
    // Everything fits the ring: let the decoder finish before counting.
    engine.WaitForBuffered(1 << 20, std::chrono::milliseconds(10000));
    long allocations = 0;
    const auto out = PullAll(engine, 2, 1000, &allocations);
    EXPECT_EQ(allocations, 0);
    EXPECT_TRUE(engine.Exhausted());

    const auto first = suitetest::Decode16(a), second = suitetest::Decode16(b);
    ASSERT_EQ(out[0].size() * 2, first.size() + second.size());
    std::vector<std::int16_t> expected = first;
    expected.insert(expected.end(), second.begin(), second.end());
    for (std::size_t f = 0; f < out[0].size(); ++f)
        for (unsigned c = 0; c < 2; ++c)
            ASSERT_NEAR(out[c][f] * 32768.0, expected[2 * f + c], 0.51) << "frame " << f;

    const auto events = engine.TakeEvents();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].queueIndex, 1u);
    // The second good track begins where the first one ended.
    const auto mark = engine.MarkAt(first.size() / 2);
    ASSERT_TRUE(mark);
    EXPECT_EQ(mark->queueIndex, 2u);
    EXPECT_EQ(mark->startFrame, first.size() / 2);
}

// A 48 kHz mono track in a 44.1 kHz stereo run is converted, not played at
// the wrong speed: its length scales with the rates and both channels carry it.
TEST(SuitePlaybackEngine, AnotherRateAndChannelCountIsConvertedToTheRunsFormat) {
    testsupport::TempDir dir;
    const std::string mono = dir.file("m.wav");
    ASSERT_TRUE(suitetest::WriteTone(mono, 48000, 1, 0.5, 440));
    PlaybackEngine engine;
    engine.Start({{1, mono, 0.5f}}, 0, 0, 44100, 2, false);
    engine.WaitForBuffered(1 << 20, std::chrono::milliseconds(10000));
    const auto out = PullAll(engine, 2, 512);
    EXPECT_NEAR(static_cast<double>(out[0].size()), 0.5 * 44100, 2.0);
    EXPECT_EQ(out[0], out[1]);
    // The gain (ReplayGain's) is applied: the tone's peak 0.4 becomes 0.2.
    float peak = 0;
    for (float x : out[0])
        peak = std::max(peak, std::abs(x));
    EXPECT_NEAR(peak, 0.2f, 0.01f);
}

// ReplayGain is off unless chosen; when chosen, a track whose tags the
// window had not read yet still gets its gain (read on the decoding thread),
// and album mode falls back to the track's gain where there is no album's.
TEST(SuitePlaybackEngine, ReplayGainTagsSetTheLevelOnlyWhenChosen) {
    testsupport::TempDir dir;
    const std::string a = dir.file("rg.flac");
    ASSERT_TRUE(suitetest::WriteTone(a, 44100, 2, 0.5, 440));
    {
        TagLib::FileRef file(a.c_str());
        ASSERT_FALSE(file.isNull());
        TagLib::PropertyMap map = file.file()->properties();
        map.replace("REPLAYGAIN_TRACK_GAIN", TagLib::StringList("-6.0206 dB"));
        file.file()->setProperties(map);
        ASSERT_TRUE(file.save());
    }
    auto peak = [&](float gain, ReplayGainMode mode) {
        PlaybackEngine engine;
        engine.Start({{1, a, gain, mode}}, 0, 0, 44100, 2, false);
        engine.WaitForBuffered(1 << 20, std::chrono::milliseconds(10000));
        const auto out = PullAll(engine, 2, 1024);
        float p = 0;
        for (float x : out[0])
            p = std::max(p, std::abs(x));
        return p;
    };
    const float plain = peak(1.0f, ReplayGainMode::Off);
    EXPECT_NEAR(plain, 0.4f, 0.02f);
    EXPECT_NEAR(peak(NAN, ReplayGainMode::Track), plain / 2, 0.005f);
    EXPECT_NEAR(peak(NAN, ReplayGainMode::Album), plain / 2, 0.005f);
    EXPECT_NEAR(peak(NAN, ReplayGainMode::Off), plain, 0.005f);
}

// A queue of nothing but broken files, even with repeat on, must end the
// stream instead of spinning forever on the decoding thread.
TEST(SuitePlaybackEngine, AQueueOfBrokenFilesEndsEvenWithRepeat) {
    testsupport::TempDir dir;
    std::ofstream(dir.file("x.flac")) << "not audio";
    PlaybackEngine engine;
    engine.Start({{1, dir.file("x.flac"), 1.0f}, {2, dir.file("missing.wav"), 1.0f}}, 0, 0, 44100,
                 2, true);
    engine.WaitForBuffered(1 << 20, std::chrono::milliseconds(10000));
    const auto out = PullAll(engine, 2, 256);
    EXPECT_TRUE(out[0].empty());
    EXPECT_EQ(engine.TakeEvents().size(), 2u);
}

// With repeat the queue starts over after its last track, seamlessly.
TEST(SuitePlaybackEngine, RepeatStartsTheQueueOverWithoutAGap) {
    testsupport::TempDir dir;
    const std::string a = dir.file("a.wav");
    ASSERT_TRUE(suitetest::WriteTone(a, 44100, 2, 0.1, 300));
    PlaybackEngine engine;
    engine.Start({{1, a, 1.0f}}, 0, 0, 44100, 2, true);
    engine.WaitForBuffered(44100 * 3, std::chrono::milliseconds(10000));
    const std::size_t length = 4410;
    std::vector<float> left(length * 3);
    std::vector<float> right(length * 3);
    StreamBuffer block;
    block.channels = {left.data(), right.data()};
    block.frames = static_cast<std::uint32_t>(left.size());
    ASSERT_EQ(PlaybackEngine::Pull(&engine, &block, 0), block.frames);
    for (std::size_t f = 0; f < length; ++f)
        ASSERT_EQ(left[f], left[f + length]) << f;
    engine.Stop();
    // Stopped: the callback delivers nothing more.
    EXPECT_EQ(PlaybackEngine::Pull(&engine, &block, 0), 0u);
}

} // namespace
