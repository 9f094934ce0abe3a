// The player's per-block work on its output thread: pulling a block from the
// stream callback, the equalizer, the gains (and the pass-through surround
// stage) and the conversion to 16-bit PCM, in times real time: how many
// seconds of audio one second of one core gets through.
//
//   build-rel/bench/audio/bench_player_chain
#include "audio/ExtPlayerDX.h"
#include "libs/trestle/SD2MME.h"

#include <benchmark/benchmark.h>
#include <cmath>
#include <cstring>
#include <random>
#include <vector>

namespace {

constexpr std::uint32_t kRate = 44100;
constexpr std::uint32_t kBlockFrames = kRate / 4; // the default 0.25 s block

// Hands out a fixed stretch of noise, as a decoder would hand out audio.
struct NoiseSource {
    std::vector<float> noise;
    NoiseSource() : noise(kBlockFrames) {
        std::mt19937 rng(1);
        std::uniform_real_distribution<float> d(-0.3f, 0.3f);
        for (float& x : noise)
            x = d(rng);
    }
    static std::uint32_t Callback(void* user, StreamBuffer* b, std::uint32_t) {
        auto* self = static_cast<NoiseSource*>(user);
        for (float* c : b->channels)
            std::memcpy(c, self->noise.data(), b->frames * sizeof(float));
        b->valid = b->frames;
        return b->frames;
    }
};

// Opens up the chain's steps, which the notification thread runs one block
// at a time.
class ChainProbe : public CExtPlayerDX {
public:
    ChainProbe() : CExtPlayerDX([](std::string*) { return nullptr; }) {}
    void RunBlock(std::vector<std::uint8_t>& pcm) {
        PrepareBlock();
        PullBlock();
        ProcessBlock(0.9f, 0.8f, false);
        SD2MME(&block, 0, block.valid, pcm.data(), &GetFormat()->Format);
    }
};

void Chain(benchmark::State& state) {
    const auto channels = static_cast<std::uint16_t>(state.range(0));
    const bool eq = state.range(1) != 0;
    ChainProbe player;
    WAVEFORMATEXTENSIBLE f = *player.GetFormat();
    f.Format.nChannels = channels;
    f.Format.nBlockAlign = static_cast<std::uint16_t>(2 * channels);
    f.Format.nAvgBytesPerSec = kRate * f.Format.nBlockAlign;
    f.dwChannelMask = channels == 8 ? 0x63F : 0x3;
    if (player.SetBufferSize(kBlockFrames * f.Format.nBlockAlign) != 0 ||
        player.SetFormat(&f) != 0) {
        state.SkipWithError("format refused");
        return;
    }
    const float gains[10] = {1.5f, 1.2f, 1.0f, 0.8f, 1.0f, 1.0f, 1.1f, 1.3f, 1.0f, 0.9f};
    player.SetEqualizer(gains, 10, eq);
    NoiseSource source;
    player.SetStreamCallback(&NoiseSource::Callback, &source);
    std::vector<std::uint8_t> pcm(kBlockFrames * f.Format.nBlockAlign);
    for (auto _ : state) {
        player.RunBlock(pcm);
        benchmark::DoNotOptimize(pcm.data());
    }
    const double audioSeconds = static_cast<double>(kBlockFrames) / kRate;
    state.counters["x_realtime"] =
        benchmark::Counter(audioSeconds, benchmark::Counter::kIsIterationInvariantRate);
    state.SetLabel(std::to_string(channels) + " ch, equalizer " + (eq ? "on" : "off"));
}

BENCHMARK(Chain)->Args({2, 0})->Args({2, 1})->Args({8, 1})->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
