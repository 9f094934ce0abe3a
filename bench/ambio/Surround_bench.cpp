// The surround processor alone: stereo noise to 5.1 and 7.1 at 44.1 kHz with
// the wall reflections and the reverberation on, in times real time (how
// many seconds of audio one second of one core gets through). The second
// argument switches the input diffusion ("process advance") on.
//
//   build-rel/bench/ambio/bench_ambio
#include "libs/ambio/SurroundEffect.h"

#include <benchmark/benchmark.h>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr std::uint32_t kRate = 44100;
constexpr std::uint32_t kBlockFrames = kRate / 4; // the player's default block

void Upmix(benchmark::State& state) {
    const auto mask = static_cast<std::uint32_t>(state.range(0));
    CSurroundEffect fx;
    fx.SetSpeakersConfig(static_cast<int>(mask), true);
    WAVEFORMATEXTENSIBLE f{};
    f.Format.wFormatTag = WAVE_FORMAT_EXTENSIBLE;
    f.Format.nChannels = 2;
    f.Format.nSamplesPerSec = kRate;
    f.dwChannelMask = 0x3;
    fx.SetFormat(&f);
    fx.SetMaxBlockFrames(kBlockFrames);
    // The settings dialog's defaults.
    fx.SetLFEMaxFreq(80, true);
    fx.SetLFEVolume(1.0f, true);
    fx.SetVolume(2.24f, true);
    fx.SetRevDry(0.21f);
    fx.SetRevWet(1.01f);
    fx.SetRevAbsorb(0.14f);
    fx.SetRevHFDecay(0.42f);
    fx.SetRoomSize(20.0f, 20.0f, true);
    fx.SetSoundPos(6.0f, 5.0f, true);
    fx.SetMoveOff(true);
    fx.SetReverb(true);
    fx.SetProcessAdvance(state.range(1) != 0);

    std::vector<float> left(kBlockFrames), right(kBlockFrames);
    std::mt19937 rng(1);
    std::uniform_real_distribution<float> d(-0.3f, 0.3f);
    for (std::uint32_t i = 0; i < kBlockFrames; ++i) {
        left[i] = d(rng);
        right[i] = d(rng);
    }
    StreamBuffer block;
    block.channels.reserve(8);
    for (auto _ : state) {
        block.channels = {left.data(), right.data()};
        block.frames = kBlockFrames;
        block.valid = kBlockFrames;
        fx.Process(&block);
        benchmark::DoNotOptimize(block.channels.data());
    }
    const double audioSeconds = static_cast<double>(kBlockFrames) / kRate;
    state.counters["x_realtime"] =
        benchmark::Counter(audioSeconds, benchmark::Counter::kIsIterationInvariantRate);
    state.SetLabel(std::string(mask == 0x3F ? "stereo to 5.1" : "stereo to 7.1") +
                   (state.range(1) ? ", process advance" : ""));
}

BENCHMARK(Upmix)
    ->Args({0x3F, 0})
    ->Args({0x63F, 0})
    ->Args({0x3F, 1})
    ->Args({0x63F, 1})
    ->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
