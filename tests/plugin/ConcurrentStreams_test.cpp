// Streams of one process share the FFT tables of the kernels. Several
// streams opening and running on their own threads, while yet another thread
// drops the tables (as a host unloading a plug-in copy, or the flush after a
// failed allocation, does), must each sound exactly as when run alone. Run
// under ThreadSanitizer this is also the proof that the sharing is free of
// data races.
#include "Signals.h"
#include "dsp/nsp.h"
#include "plugin/BlockProcessor.h"
#include "plugin/Stream.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace {

using testsignals::Input;
using testsignals::Pull;

std::vector<float> RunStream(const std::vector<float>& signal, std::int32_t law) {
    EffectInstance* instance = stavo::NewInstance();
    instance->law = law;
    instance->Rate = 2;
    Input input{&signal};
    instance->callback = &Pull;
    instance->callbackUser = &input;
    WAVEFORMATEX format{};
    format.nChannels = 1;
    format.nSamplesPerSec = 44100;
    std::vector<float> output;
    if (stavo::OpenStream(*instance, &format) == 0) {
        std::vector<float> block(1024);
        StreamBuffer buffer;
        buffer.channels = {block.data()};
        buffer.frames = 1024;
        for (std::uint32_t got; (got = stavo::ProcessStream(*instance, buffer)) != 0;)
            output.insert(output.end(), block.begin(), block.begin() + got);
    }
    stavo::FreeInstance(instance);
    return output;
}

} // namespace

TEST(ConcurrentStreams, TablesDroppedWhileOtherStreamsRunChangeNoOutput) {
    const auto signal = testsignals::DrumLoop(2.0, 0.5, 44100);
    const std::int32_t laws[] = {stavo::LawDrums, stavo::LawPeriodic, stavo::LawTwice};
    std::vector<std::vector<float>> alone;
    for (std::int32_t law : laws)
        alone.push_back(RunStream(signal, law));

    // Start with no tables at all, so that the streams' openings race to
    // build them.
    for (int order = 0; order <= 13; ++order) {
        nspsRealFftNip(nullptr, nullptr, order, NSP_Free);
        nspdRealFftNip(nullptr, nullptr, order, NSP_Free);
    }
    std::atomic<int> running{static_cast<int>(std::size(laws))};
    std::vector<std::vector<float>> together(std::size(laws));
    std::vector<std::thread> streams;
    for (std::size_t i = 0; i < std::size(laws); ++i) {
        streams.emplace_back([&, i] {
            together[i] = RunStream(signal, laws[i]);
            running.fetch_sub(1);
        });
    }
    int drops = 0;
    std::thread dropper([&] {
        while (running.load() > 0) {
            // Every order, as the flush after a failed table allocation
            // does; the streams use 10 (double, the pitch estimate) and 13
            // (float, the period search).
            for (int order = 0; order <= 13; ++order) {
                nspsRealFftNip(nullptr, nullptr, order, NSP_Free);
                nspdRealFftNip(nullptr, nullptr, order, NSP_Free);
            }
            ++drops;
            std::this_thread::yield();
        }
    });
    for (std::thread& t : streams)
        t.join();
    dropper.join();

    EXPECT_GT(drops, 0);
    for (std::size_t i = 0; i < std::size(laws); ++i) {
        ASSERT_EQ(together[i].size(), alone[i].size()) << "law " << laws[i];
        EXPECT_TRUE(together[i] == alone[i]) << "law " << laws[i];
    }
}
