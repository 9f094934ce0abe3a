// The plug-in as an effect host sees it: loaded with dlopen, driven through
// its exports only.
#include "PluginLoader.h"
#include "plugin/EffectInstance.h"

#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <stdexcept>
#include <vector>

namespace {

// An input of `length` frames of a constant 0.25 (or endless).
struct Source {
    std::uint64_t remaining = 0;
    int calls = 0;
    int zeroCalls = 0;
};

std::uint32_t Pull(void* user, StreamBuffer* buffer) {
    auto* source = static_cast<Source*>(user);
    ++source->calls;
    const auto n =
        static_cast<std::uint32_t>(std::min<std::uint64_t>(buffer->frames, source->remaining));
    for (float* channel : buffer->channels)
        for (std::uint32_t i = 0; i < n; ++i)
            channel[i] = 0.25f;
    source->remaining -= n;
    if (n == 0) ++source->zeroCalls;
    return n;
}

WAVEFORMATEX Format(std::uint16_t channels, std::uint32_t rate) {
    WAVEFORMATEX f{};
    f.wFormatTag = WAVE_FORMAT_IEEE_FLOAT;
    f.nChannels = channels;
    f.nSamplesPerSec = rate;
    f.wBitsPerSample = 32;
    f.nBlockAlign = static_cast<std::uint16_t>(channels * 4);
    f.nAvgBytesPerSec = rate * f.nBlockAlign;
    return f;
}

struct Stream {
    EffectInstance* instance = nullptr;
    Source source;
    std::vector<std::vector<float>> storage;
    StreamBuffer buffer;

    Stream(std::uint64_t length, std::uint32_t frames, std::uint16_t channels = 2) {
        const PluginExports& p = Plugin();
        source.remaining = length;
        EXPECT_EQ(p.Initialize(nullptr, "none", nullptr, &instance), 1);
        EXPECT_EQ(p.SetStreamCallBack(&Pull, &source, instance), 1);
        const WAVEFORMATEX format = Format(channels, 44100);
        EXPECT_EQ(p.OpenStream(instance, &format), 0);
        storage.assign(channels, std::vector<float>(frames));
        for (auto& channel : storage)
            buffer.channels.push_back(channel.data());
        buffer.frames = frames;
        buffer.user = 77;
    }
    ~Stream() {
        Plugin().CloseStream(instance);
        Plugin().Free(instance);
    }
    std::uint32_t Process() { return Plugin().ProcessStream(&buffer, instance); }
};

} // namespace

// A host that trusts the size field would write past a smaller record.
TEST(PlugInInfo, RefusesARecordOfAnotherSizeAndFillsAGoodOne) {
    const PluginExports& p = Plugin();
    ASSERT_NE(p.PlugInInfo, nullptr);
    for (std::uint32_t size : {std::uint32_t{24}, std::uint32_t{sizeof(PlugInInfoRecord) - 1},
                               std::uint32_t{sizeof(PlugInInfoRecord) + 1}}) {
        PlugInInfoRecord record;
        std::memset(&record, 0xAB, sizeof record);
        record.size = size;
        PlugInInfoRecord before = record;
        EXPECT_EQ(p.PlugInInfo(&record), 0) << size;
        EXPECT_EQ(std::memcmp(&record, &before, sizeof record), 0) << size;
    }
    PlugInInfoRecord record{};
    record.size = sizeof record;
    record.reserved = 5;
    ASSERT_EQ(p.PlugInInfo(&record), 1);
    EXPECT_EQ(record.size, sizeof record);
    EXPECT_EQ(record.reserved, 0u);
    EXPECT_STREQ(record.name, "Stavo Modulation");
    EXPECT_STREQ(record.vendor, "Brontel Ltd (CY)");
    EXPECT_EQ(record.interfaceValue, 262144u);
    EXPECT_EQ(record.flag, 1u);
}

// Every export must survive the null pointers a careless host passes.
TEST(Exports, NullArgumentsAreRefusedWithoutCrashing) {
    const PluginExports& p = Plugin();
    EXPECT_EQ(p.PlugInInfo(nullptr), 0);
    EXPECT_EQ(p.Initialize(nullptr, nullptr, nullptr, nullptr), 0);
    EXPECT_EQ(p.InitializeXml(nullptr, nullptr), 0);
    EXPECT_EQ(p.LoadPreset(nullptr, nullptr, nullptr, nullptr), 0);
    EffectInstance* out = nullptr;
    EXPECT_EQ(p.CopySettings(&out, nullptr), 0);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(p.CopySettings(nullptr, nullptr), 0);
    EXPECT_EQ(p.SavePreset(nullptr, nullptr, nullptr, nullptr), 0);
    EXPECT_EQ(p.SavePresetXml(nullptr, nullptr), 0);
    EXPECT_NE(p.OpenStream(nullptr, nullptr), 0);
    EXPECT_EQ(p.SetStreamCallBack(nullptr, nullptr, nullptr), 0);
    EXPECT_EQ(p.ProcessStream(nullptr, nullptr), 0u);
    EXPECT_EQ(p.CloseStream(nullptr), 0);
    p.Free(nullptr);

    EffectInstance* instance = nullptr;
    ASSERT_EQ(p.Initialize(nullptr, nullptr, nullptr, &instance), 1);
    EXPECT_NE(p.OpenStream(instance, nullptr), 0);
    StreamBuffer buffer;
    EXPECT_EQ(p.ProcessStream(nullptr, instance), 0u);
    EXPECT_EQ(p.ProcessStream(&buffer, instance), 0u);
    // Open, but no callback was ever set.
    const WAVEFORMATEX format = Format(1, 44100);
    ASSERT_EQ(p.OpenStream(instance, &format), 0);
    std::vector<float> samples(64, 3.0f);
    buffer.channels = {samples.data()};
    buffer.frames = 64;
    EXPECT_EQ(p.ProcessStream(&buffer, instance), 0u);
    EXPECT_EQ(samples[10], 3.0f);
    p.Free(instance); // still open: Free closes
}

// Nine channels would index past the eight ring slots.
TEST(Exports, MoreThanEightChannelsAreRefusedAndNothingIsTouched) {
    const PluginExports& p = Plugin();
    EffectInstance* instance = nullptr;
    ASSERT_EQ(p.Initialize(nullptr, nullptr, nullptr, &instance), 1);
    Source source;
    source.remaining = std::numeric_limits<std::uint64_t>::max();
    p.SetStreamCallBack(&Pull, &source, instance);
    std::vector<std::vector<float>> storage(9, std::vector<float>(256, 7.0f));
    StreamBuffer buffer;
    for (auto& channel : storage)
        buffer.channels.push_back(channel.data());
    buffer.frames = 256;
    buffer.valid = 5;

    const WAVEFORMATEX nine = Format(9, 44100);
    EXPECT_NE(p.OpenStream(instance, &nine), 0);
    EXPECT_EQ(p.ProcessStream(&buffer, instance), 0u);
    // A stream opened for two channels and handed nine.
    const WAVEFORMATEX two = Format(2, 44100);
    ASSERT_EQ(p.OpenStream(instance, &two), 0);
    EXPECT_EQ(p.ProcessStream(&buffer, instance), 0u);
    EXPECT_EQ(source.calls, 0);
    EXPECT_EQ(buffer.valid, 5u);
    for (auto& channel : storage)
        for (float v : channel)
            ASSERT_EQ(v, 7.0f);
    // Rates the processing is not built for.
    for (std::uint32_t rate : {0u, 100u, 7999u, 192001u}) {
        const WAVEFORMATEX odd = Format(1, rate);
        EXPECT_NE(p.OpenStream(instance, &odd), 0) << rate;
    }
    p.Free(instance);
}

// A callback that rewrites the channel list (more than eight slots, or a null
// array) or claims more frames than asked must not make the rings read or
// write outside their storage, and the caller gets its own list back.
std::uint32_t RewriteChannels(void* user, StreamBuffer* buffer) {
    auto* spare = static_cast<std::vector<float>*>(user);
    while (buffer->channels.size() < 10)
        buffer->channels.push_back(spare->data());
    buffer->channels[0] = nullptr;
    buffer->frames *= 4;
    return buffer->frames;
}

TEST(Exports, CallbackRewritingTheChannelListIsUndone) {
    const PluginExports& p = Plugin();
    EffectInstance* instance = nullptr;
    ASSERT_EQ(p.Initialize(nullptr, nullptr, nullptr, &instance), 1);
    std::vector<float> spare(4 * 4195, 0.5f);
    p.SetStreamCallBack(&RewriteChannels, &spare, instance);
    const WAVEFORMATEX two = Format(2, 44100);
    ASSERT_EQ(p.OpenStream(instance, &two), 0);
    std::vector<std::vector<float>> storage(2, std::vector<float>(512));
    StreamBuffer buffer;
    for (auto& channel : storage)
        buffer.channels.push_back(channel.data());
    const std::vector<float*> original = buffer.channels;
    buffer.frames = 512;
    for (int call = 0; call < 12; ++call) {
        EXPECT_EQ(p.ProcessStream(&buffer, instance), 512u);
        ASSERT_EQ(buffer.channels, original);
    }
    p.Free(instance);
}

// No exception may leave the library, not even one thrown by the host's own
// callback (unwinding through a C interface is undefined).
std::uint32_t Throw(void*, StreamBuffer*) {
    throw std::runtime_error("source failed");
}

TEST(Exports, ExceptionFromTheCallbackStaysInsideTheLibrary) {
    const PluginExports& p = Plugin();
    EffectInstance* instance = nullptr;
    ASSERT_EQ(p.Initialize(nullptr, nullptr, nullptr, &instance), 1);
    p.SetStreamCallBack(&Throw, nullptr, instance);
    const WAVEFORMATEX one = Format(1, 44100);
    ASSERT_EQ(p.OpenStream(instance, &one), 0);
    std::vector<float> samples(256, 3.0f);
    StreamBuffer buffer;
    buffer.channels = {samples.data()};
    buffer.frames = 256;
    std::uint32_t produced = 1;
    EXPECT_NO_THROW(produced = p.ProcessStream(&buffer, instance));
    EXPECT_EQ(produced, 0u);
    EXPECT_EQ(buffer.frames, 256u);
    EXPECT_EQ(buffer.valid, 0u);
    p.Free(instance);
}

// The frame counts a host relies on to find the end of the effect's output:
// no frame lost or invented, whatever the input length.
TEST(ProcessStream, OutputLengthEqualsInputLengthInPiecesOfTheBuffer) {
    constexpr std::uint32_t R = 512;
    for (std::uint64_t length : {0ull, 1ull, 1000ull, 4194ull, 4195ull, 4196ull, 4195ull + 3 * R,
                                 4195ull + 3 * R + 17, 20011ull}) {
        Stream s(length, R);
        std::uint64_t total = 0;
        int calls = 0;
        for (;;) {
            const std::uint32_t got = s.Process();
            ++calls;
            ASSERT_EQ(s.buffer.frames, R);
            ASSERT_LE(got, R);
            ASSERT_EQ(s.buffer.user, 77u);
            if (got == 0 && calls > 1) {
                EXPECT_EQ(s.buffer.valid, 0u) << length;
                break;
            }
            EXPECT_EQ(s.buffer.valid, R) << length;
            total += got;
            ASSERT_LT(calls, 1000);
            if (got == 0) break;
        }
        EXPECT_EQ(total, length) << length;
        EXPECT_EQ(s.Process(), 0u) << length;
    }
}

TEST(ProcessStream, InputEndingInsidePrimingComesOutInPieces) {
    Stream s(1000, 512);
    EXPECT_EQ(s.Process(), 512u);
    EXPECT_EQ(s.Process(), 488u);
    EXPECT_EQ(s.Process(), 0u);
    EXPECT_EQ(s.buffer.valid, 0u);
    // The callback is asked once, during priming, and never again.
    EXPECT_EQ(s.source.calls, 1);

    Stream empty(0, 512);
    EXPECT_EQ(empty.Process(), 0u);
    EXPECT_EQ(empty.Process(), 0u);
}

TEST(ProcessStream, InputOfPrimingPlusWholeBuffersEndsWithTheTail) {
    constexpr std::uint32_t R = 512;
    Stream s(4195 + 3 * R, R);
    for (int k = 0; k < 3; ++k)
        EXPECT_EQ(s.Process(), R) << k;
    EXPECT_EQ(s.source.zeroCalls, 0);
    // The tail of 4195 frames: the first piece is the call whose callback
    // reports the end.
    std::vector<std::uint32_t> tail;
    for (std::uint32_t got; (got = s.Process()) != 0;)
        tail.push_back(got);
    EXPECT_EQ(s.source.zeroCalls, 1);
    ASSERT_EQ(tail.size(), 9u);
    for (std::size_t i = 0; i < 8; ++i)
        EXPECT_EQ(tail[i], R);
    EXPECT_EQ(tail[8], 4195u - 8 * R);
}

TEST(ProcessStream, EndlessInputAlwaysFillsTheBuffer) {
    Stream s(std::numeric_limits<std::uint64_t>::max(), 300, 1);
    for (int k = 0; k < 100; ++k)
        ASSERT_EQ(s.Process(), 300u) << k;
}

// CopySettings must not share or copy the processing state of an open source.
TEST(Exports, CopySettingsCopiesOnlyTheSixSettings) {
    const PluginExports& p = Plugin();
    Stream s(std::numeric_limits<std::uint64_t>::max(), 512);
    s.instance->Speed = 11;
    s.instance->Threshold = 22;
    s.instance->law = 3;
    s.instance->Rate = 7;
    s.instance->FirstTone = 1;
    s.instance->SecondTone = 12;
    s.instance->segmentCounter = 9;
    s.instance->ratio = 1.5;
    EffectInstance* copy = nullptr;
    ASSERT_EQ(p.CopySettings(&copy, s.instance), 1);
    ASSERT_NE(copy, s.instance);
    EXPECT_EQ(copy->Speed, 11);
    EXPECT_EQ(copy->Threshold, 22);
    EXPECT_EQ(copy->law, 3);
    EXPECT_EQ(copy->Rate, 7);
    EXPECT_EQ(copy->FirstTone, 1);
    EXPECT_EQ(copy->SecondTone, 12);
    for (auto* shifter : copy->shifters)
        EXPECT_EQ(shifter, nullptr);
    EXPECT_EQ(copy->gate, nullptr);
    EXPECT_EQ(copy->estimator, nullptr);
    EXPECT_EQ(copy->drums, nullptr);
    EXPECT_EQ(copy->segmentCounter, 0);
    EXPECT_EQ(copy->ratio, 0.0);
    EXPECT_EQ(copy->callback, nullptr);
    p.Free(copy);
}

// A host without a widget application (a command-line program, an audio
// plug-in wrapper) asking for the panel must get no window rather than a
// toolkit abort; nor may a missing parent or instance crash it.
TEST(Exports, CreateSettingsWindowWithoutAWidgetApplicationGivesNoWindow) {
    const PluginExports& p = Plugin();
    ASSERT_NE(p.CreateSettingsWindow, nullptr);
    EffectInstance* instance = nullptr;
    ASSERT_EQ(p.Initialize(nullptr, nullptr, nullptr, &instance), 1);
    int notAWidget = 0;
    EXPECT_EQ(p.CreateSettingsWindow(&notAWidget, instance), nullptr);
    EXPECT_EQ(p.CreateSettingsWindow(nullptr, instance), nullptr);
    EXPECT_EQ(p.CreateSettingsWindow(&notAWidget, nullptr), nullptr);
    p.Free(instance);
}
