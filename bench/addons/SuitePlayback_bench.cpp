// What the music player costs: decoding against real time (the share of one
// core that playing takes on the module's side), the time from Play to the
// first block the device can take, and adding a large folder.
//
//   build/bench/addons/bench_suite
//
// "x_realtime" is seconds of sound per second of CPU; 100 / x_realtime is
// the percentage of one core that decoding takes while playing.
#include "addons/suite/SuiteSupport.h"
#include "core/MediaPaths.h"
#include "core/PlaybackEngine.h"
#include "core/Playlist.h"
#include "core/TrackDecoder.h"
#include "support/TempDir.h"

#include <benchmark/benchmark.h>
#include <chrono>
#include <filesystem>
#include <fstream>

namespace {

struct Files {
    testsupport::TempDir dir;
    std::string flac = dir.file("song.flac");
    std::string wav48 = dir.file("song48.wav");
    std::string folder = dir.file("many");
    Files() {
        suitetest::WriteTone(flac, 44100, 2, 20.0, 330);
        suitetest::WriteTone(wav48, 48000, 2, 20.0, 330);
    }
};

Files& Shared() {
    static Files files;
    return files;
}

void Decode(benchmark::State& state, const std::string& path) {
    std::vector<float> buffer(4096 * 2);
    double seconds = 0;
    for (auto _ : state) {
        suite::TrackDecoder decoder;
        std::string error;
        if (!decoder.Open(path, 44100, 2, 1.0f, error)) state.SkipWithError(error.c_str());
        std::size_t frames = 0, n;
        while ((n = decoder.Read(buffer.data(), 4096)) > 0)
            frames += n;
        seconds += static_cast<double>(frames) / 44100.0;
        benchmark::DoNotOptimize(buffer.data());
    }
    state.counters["x_realtime"] = benchmark::Counter(seconds, benchmark::Counter::kIsRate);
}

void BM_DecodeFlac44kStereo(benchmark::State& state) {
    Decode(state, Shared().flac);
}
BENCHMARK(BM_DecodeFlac44kStereo)->Unit(benchmark::kMillisecond);

void BM_DecodeWav48kConvertedTo44k(benchmark::State& state) {
    Decode(state, Shared().wav48);
}
BENCHMARK(BM_DecodeWav48kConvertedTo44k)->Unit(benchmark::kMillisecond);

// Start of a run until the ring holds what the device's first fill takes
// (five segments of 11025 frames and a quarter second), then the first pull.
void BM_PlayToFirstBlock(benchmark::State& state) {
    std::vector<float> left(11025), right(11025);
    StreamBuffer block;
    block.channels = {left.data(), right.data()};
    block.frames = 11025;
    for (auto _ : state) {
        suite::PlaybackEngine engine;
        engine.Start({{1, Shared().flac, 1.0f}}, 0, 0, 44100, 2, false);
        engine.WaitForBuffered(5 * 11025 + 44100 / 4, std::chrono::milliseconds(5000));
        benchmark::DoNotOptimize(suite::PlaybackEngine::Pull(&engine, &block, 0));
    }
}
BENCHMARK(BM_PlayToFirstBlock)->Unit(benchmark::kMillisecond)->UseRealTime();

// A folder of 10,000 files dropped on the window: found, sorted and added
// (tags follow in the background).
void BM_AddTenThousandFiles(benchmark::State& state) {
    const std::string folder = Shared().folder;
    std::filesystem::create_directories(folder);
    for (int i = 0; i < 10000; ++i)
        std::ofstream(folder + "/track" + std::to_string(i) + ".flac");
    for (auto _ : state) {
        suite::Playlist playlist;
        playlist.Add(suite::ExpandToFiles({folder}));
        if (playlist.Size() != 10000) state.SkipWithError("files missing");
    }
}
BENCHMARK(BM_AddTenThousandFiles)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
