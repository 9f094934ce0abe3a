// What the Drums law's beat tracker alone costs: CDrumDetector over ten
// seconds of the benchmark signal in 1320-frame blocks, as the plug-in hands
// them over, mono at 44,100 samples per second. The CPU column is steadier
// than wall time on a busy machine; "xRT" is seconds of audio per wall
// second, and "beats" the beats reported, which speed work must not change.
#include "bench/plugin/BenchSignal.h"
#include "plugin/DrumDetector.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <vector>

namespace {

constexpr std::uint32_t kRate = 44100;
constexpr std::uint32_t kBlock = 1320;

std::vector<float> MakeAudio() {
    const std::vector<double> signal = SungToneWithDrums(10.0, kRate);
    return std::vector<float>(signal.begin(), signal.end());
}

void BM_DrumDetector(benchmark::State& state) {
    static const std::vector<float> audio = MakeAudio();
    WAVEFORMATEX format{};
    format.nChannels = 1;
    format.nSamplesPerSec = kRate;
    CDrumDetector detector;
    std::vector<float> block(kBlock);
    double seconds = 0.0;
    int beats = 0;
    for (auto _ : state) {
        state.PauseTiming();
        detector.Open(format);
        beats = 0;
        state.ResumeTiming();
        for (std::size_t at = 0; at + kBlock <= audio.size(); at += kBlock) {
            std::copy_n(audio.data() + at, kBlock, block.data());
            float* channels[1] = {block.data()};
            beats += detector.ProcessChannels(channels, 1, kBlock) ? 1 : 0;
        }
        seconds += static_cast<double>(audio.size() / kBlock * kBlock) / kRate;
    }
    state.counters["xRT"] = benchmark::Counter(seconds, benchmark::Counter::kIsRate);
    state.counters["beats"] = beats;
}

BENCHMARK(BM_DrumDetector)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
