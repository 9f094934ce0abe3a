// How fast the voice effect runs: ProcessStream throughput in times real
// time at 44,100 samples per second, mono and stereo, for each switching
// law, with the same audio through SoundTouch's pitch shifter as the
// yardstick; a ratio table follows the benchmark output.
//
// What is measured: the plug-in is loaded from its shared library and
// driven through its exports exactly as sonvara-fx drives it (1024-frame
// calls, input pulled through the stream callback from memory), over ten
// seconds of a sung-like harmonic tone with a low drum hit every half
// second, so the gate opens, the tone shifters work and the drum law has
// beats to follow. OpenStream and CloseStream lie outside the timed part.
// "xRT" is seconds of audio per second of wall time (shown as ".../s");
// "xRT_channels" counts each channel's seconds, so it is xRT times the
// channel count. The counters "allocs_open", "allocs_priming" and
// "allocs_per_call" count operator new calls in OpenStream, in the first
// ProcessStream (latency priming) and on average per later call; the
// plug-in allocates in OpenStream and promises none in the other two.
#include "bench/plugin/BenchSignal.h"
#include "tools/fx/EffectPlugin.h"
#include "xml/XmlNode.h"

#include <benchmark/benchmark.h>
#include <soundtouch/SoundTouch.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <new>
#include <string>
#include <vector>

// ------------------------------------------------ allocation counting

// Counts operator new everywhere in this program, the plug-in included.
#include "tests/support/CountingAllocator.h"

using testsupport::g_allocations;
using testsupport::g_countAllocations;

namespace {

constexpr std::uint32_t kRate = 44100;
constexpr std::uint32_t kBlock = 1024;
constexpr double kSeconds = 10.0;

// Planar test audio: the benchmark signal, the same in every channel but for
// a small level difference.
std::vector<std::vector<float>> MakeAudio(int channels) {
    const std::vector<double> signal = SungToneWithDrums(kSeconds, kRate);
    std::vector<std::vector<float>> audio(channels, std::vector<float>(signal.size()));
    for (std::size_t i = 0; i < signal.size(); ++i)
        for (int c = 0; c < channels; ++c)
            audio[c][i] = static_cast<float>(signal[i] * (1.0 - 0.1 * c));
    return audio;
}

const std::vector<std::vector<float>>& Audio(int channels) {
    static std::map<int, std::vector<std::vector<float>>> cache;
    auto it = cache.find(channels);
    if (it == cache.end()) it = cache.emplace(channels, MakeAudio(channels)).first;
    return it->second;
}

fx::EffectPlugin& Plugin() {
    static fx::EffectPlugin plugin;
    static bool loaded = [] {
        std::string error;
        if (!plugin.Load(STAVO_PLUGIN, error)) {
            std::fprintf(stderr, "bench_plugin: %s\n", error.c_str());
            return false;
        }
        return true;
    }();
    if (!loaded) std::exit(1);
    return plugin;
}

// The plug-in's input: copies the next frames of the test audio.
struct Source {
    const std::vector<std::vector<float>>* audio = nullptr;
    std::size_t position = 0;
};

std::uint32_t ReadSource(void* user, StreamBuffer* buffer) noexcept {
    auto* source = static_cast<Source*>(user);
    const auto& audio = *source->audio;
    std::size_t left = audio[0].size() - source->position;
    auto n = static_cast<std::uint32_t>(std::min<std::size_t>(left, buffer->frames));
    for (std::size_t c = 0; c < buffer->channels.size() && c < audio.size(); ++c)
        std::copy_n(audio[c].data() + source->position, n, buffer->channels[c]);
    source->position += n;
    return n;
}

// Throughput in times real time, kept for the ratio table.
std::map<std::string, double> g_speed;

const char* const kLawNames[] = {"drums", "periodic", "twice", "once"};

void BM_ProcessStream(benchmark::State& state) {
    const int law = static_cast<int>(state.range(0));
    const int channels = static_cast<int>(state.range(1));
    fx::EffectPlugin& plugin = Plugin();
    const fx::PluginExports& e = plugin.Exports();
    const auto& audio = Audio(channels);

    std::string error;
    CXmlNode preset("Preset");
    preset.SetValue("Drums", law);
    fx::PluginInstance instance = fx::CreateFromXml(plugin, preset, error);
    if (!instance) {
        state.SkipWithError(error.c_str());
        return;
    }

    std::vector<std::vector<float>> planes(channels, std::vector<float>(kBlock));
    StreamBuffer buffer;
    buffer.channels.resize(channels);
    WAVEFORMATEX format{};
    format.wFormatTag = WAVE_FORMAT_IEEE_FLOAT;
    format.nChannels = static_cast<std::uint16_t>(channels);
    format.nSamplesPerSec = kRate;
    format.wBitsPerSample = 32;
    format.nBlockAlign = static_cast<std::uint16_t>(channels * 4);
    format.nAvgBytesPerSec = kRate * format.nBlockAlign;

    Source source{&audio, 0};
    double timed = 0.0, audioSeconds = 0.0;
    long openAllocations = 0, primingAllocations = 0, laterAllocations = 0, laterCalls = 0;
    for (auto _ : state) {
        state.PauseTiming();
        source.position = 0;
        e.SetStreamCallBack(&ReadSource, &source, instance.get());
        g_allocations = 0;
        g_countAllocations = true;
        int refused = e.OpenStream(instance.get(), &format);
        g_countAllocations = false;
        openAllocations = g_allocations;
        if (refused) {
            state.SkipWithError("OpenStream refused the stream");
            break;
        }
        state.ResumeTiming();

        auto start = std::chrono::steady_clock::now();
        std::uint64_t produced = 0;
        for (long call = 0;; ++call) {
            for (int c = 0; c < channels; ++c)
                buffer.channels[c] = planes[c].data();
            buffer.frames = kBlock;
            g_allocations = 0;
            g_countAllocations = true;
            std::uint32_t n = e.ProcessStream(&buffer, instance.get());
            g_countAllocations = false;
            if (call == 0) {
                primingAllocations = g_allocations;
            } else {
                laterAllocations += g_allocations;
                ++laterCalls;
            }
            if (n == 0) break;
            produced += n;
            benchmark::DoNotOptimize(planes[0][0]);
        }
        timed += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        audioSeconds += static_cast<double>(produced) / kRate;

        state.PauseTiming();
        e.CloseStream(instance.get());
        state.ResumeTiming();
    }
    state.counters["xRT"] = benchmark::Counter(audioSeconds, benchmark::Counter::kIsRate);
    state.counters["xRT_channels"] =
        benchmark::Counter(audioSeconds * channels, benchmark::Counter::kIsRate);
    // OpenStream may allocate; a non-zero count there also shows that the
    // counting reaches into the plug-in.
    state.counters["allocs_open"] = static_cast<double>(openAllocations);
    state.counters["allocs_priming"] = static_cast<double>(primingAllocations);
    state.counters["allocs_per_call"] =
        laterCalls ? static_cast<double>(laterAllocations) / static_cast<double>(laterCalls) : 0.0;
    state.SetLabel(std::string(kLawNames[law]) + (channels == 1 ? ", mono" : ", stereo"));
    if (timed > 0.0)
        g_speed["plugin/" + std::to_string(law) + "/" + std::to_string(channels)] =
            audioSeconds / timed;
}

// The yardstick: the same audio through SoundTouch shifting by +2 semitones
// (the plug-in's default first tone), in 1024-frame pieces, interleaved as
// that library wants it, flushed at the end.
void BM_SoundTouchPitch(benchmark::State& state) {
    const int channels = static_cast<int>(state.range(0));
    const auto& audio = Audio(channels);
    const std::size_t frames = audio[0].size();
    std::vector<float> interleaved(frames * channels);
    for (std::size_t i = 0; i < frames; ++i)
        for (int c = 0; c < channels; ++c)
            interleaved[i * channels + c] = audio[c][i];
    std::vector<float> out(static_cast<std::size_t>(kBlock) * 4 * channels);

    double timed = 0.0, audioSeconds = 0.0;
    for (auto _ : state) {
        state.PauseTiming();
        soundtouch::SoundTouch shifter;
        shifter.setSampleRate(kRate);
        shifter.setChannels(static_cast<unsigned>(channels));
        shifter.setPitchSemiTones(2);
        state.ResumeTiming();

        auto start = std::chrono::steady_clock::now();
        std::size_t received = 0;
        auto drain = [&] {
            unsigned n = 0;
            while ((n = shifter.receiveSamples(out.data(), kBlock * 4)) > 0)
                received += n;
        };
        for (std::size_t at = 0; at < frames; at += kBlock) {
            auto n = static_cast<unsigned>(std::min<std::size_t>(kBlock, frames - at));
            shifter.putSamples(interleaved.data() + at * channels, n);
            drain();
        }
        shifter.flush();
        drain();
        benchmark::DoNotOptimize(out[0]);
        timed += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        audioSeconds += static_cast<double>(frames) / kRate;
        (void)received;
    }
    state.counters["xRT"] = benchmark::Counter(audioSeconds, benchmark::Counter::kIsRate);
    state.counters["xRT_channels"] =
        benchmark::Counter(audioSeconds * channels, benchmark::Counter::kIsRate);
    state.SetLabel(channels == 1 ? "mono" : "stereo");
    if (timed > 0.0) g_speed["soundtouch/" + std::to_string(channels)] = audioSeconds / timed;
}

BENCHMARK(BM_ProcessStream)
    ->ArgNames({"law", "channels"})
    ->ArgsProduct({{0, 1, 2, 3}, {1, 2}})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_SoundTouchPitch)
    ->ArgName("channels")
    ->Arg(1)
    ->Arg(2)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

void PrintRatios() {
    std::printf("\nThroughput in times real time at %u Hz (ratio = plug-in / SoundTouch)\n", kRate);
    std::printf("%-10s %-8s %12s %12s %8s\n", "law", "channels", "plug-in", "SoundTouch", "ratio");
    for (int channels : {1, 2}) {
        auto reference = g_speed.find("soundtouch/" + std::to_string(channels));
        for (int law = 0; law < 4; ++law) {
            auto mine =
                g_speed.find("plugin/" + std::to_string(law) + "/" + std::to_string(channels));
            if (mine == g_speed.end()) continue;
            if (reference == g_speed.end()) {
                std::printf("%-10s %-8d %11.1fx %12s %8s\n", kLawNames[law], channels, mine->second,
                            "-", "-");
            } else {
                std::printf("%-10s %-8d %11.1fx %11.1fx %8.2f\n", kLawNames[law], channels,
                            mine->second, reference->second, mine->second / reference->second);
            }
        }
    }
}

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    PrintRatios();
    return 0;
}
