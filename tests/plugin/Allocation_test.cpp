// ProcessStream runs on an audio thread: once the stream is open, neither the
// priming nor the blocks (shifters, period search, drum tracking) may touch
// the heap.
#include "Signals.h"
#include "plugin/BlockProcessor.h"
#include "plugin/Stream.h"
#include "support/CountingAllocator.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>

using testsupport::g_allocations;
using testsupport::g_countAllocations;

namespace {

struct Input {
    std::vector<float> samples;
    std::size_t position = 0;
};

std::uint32_t Pull(void* user, StreamBuffer* buffer) {
    auto* input = static_cast<Input*>(user);
    const std::size_t n =
        std::min<std::size_t>(buffer->frames, input->samples.size() - input->position);
    for (float* channel : buffer->channels)
        std::copy_n(input->samples.data() + input->position, n, channel);
    input->position += n;
    return static_cast<std::uint32_t>(n);
}

} // namespace

TEST(Allocation, ProcessStreamNeverAllocatesOnceOpen) {
    for (std::int32_t law : {stavo::LawDrums, stavo::LawPeriodic}) {
        EffectInstance* instance = stavo::NewInstance();
        instance->law = law;
        instance->Rate = 1; // a ratio change every block
        Input input;
        input.samples = testsignals::HarmonicTone(220.0, 0.3, 4, 4 * 44100, 44100);
        // Kicks for the drum tracker.
        for (std::size_t at = 0; at + 4000 < input.samples.size(); at += 22050)
            for (std::size_t i = 0; i < 4000; ++i)
                input.samples[at + i] += static_cast<float>(0.8 * std::exp(-i / 2646.0) *
                                                            std::sin(2 * M_PI * 60.0 * i / 44100));
        instance->callback = &Pull;
        instance->callbackUser = &input;
        WAVEFORMATEX format{};
        format.nChannels = 2;
        format.nSamplesPerSec = 44100;
        ASSERT_EQ(stavo::OpenStream(*instance, &format), 0);
        std::vector<float> left(1000), right(1000);
        StreamBuffer buffer;
        buffer.channels = {left.data(), right.data()};
        buffer.frames = 1000;

        g_allocations = 0;
        g_countAllocations = true;
        std::uint64_t frames = 0;
        for (std::uint32_t got; (got = stavo::ProcessStream(*instance, buffer)) != 0;)
            frames += got;
        g_countAllocations = false;
        EXPECT_EQ(g_allocations, 0) << "law " << law;
        EXPECT_EQ(frames, input.samples.size());
        stavo::FreeInstance(instance);
    }
}
