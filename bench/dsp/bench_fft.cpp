// Our float real FFT and its inverse against FFTW's single-precision real
// transforms at the orders the host and the plug-in use, in one run. After
// the timings a summary prints ours / FFTW per order and direction (below 1
// means ours is faster). Steadier on a busy machine:
//   bench_fft --benchmark_repetitions=5 --benchmark_report_aggregates_only=true
#include "dsp/nsp.h"
#include "dsp/nsp_internal.h"

#include <benchmark/benchmark.h>
#include <fftw3.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace {

constexpr int kOrders[] = {10, 11, 12, 13};

std::vector<float> TestSignal(size_t n) {
    std::vector<float> x(n);
    for (size_t i = 0; i < n; ++i) {
        x[i] = static_cast<float>(std::sin(0.01 * double(i)) + 0.25 * std::cos(0.37 * double(i)));
    }
    return x;
}

// `wide`: the AVX2 kernels where the processor has them; otherwise the
// baseline ones every x86-64 runs.
void OursForward(benchmark::State& state, int order, bool wide) {
    sonvara::dsp::AllowWideKernels(wide);
    const size_t n = size_t{1} << order;
    const std::vector<float> x = TestSignal(n);
    std::vector<SCplx> spectrum(n / 2 + 1);
    nspsRealFftNip(nullptr, nullptr, order, NSP_Init);
    for (auto _ : state) {
        nspsRealFftNip(x.data(), spectrum.data(), order, NSP_Forw);
        benchmark::DoNotOptimize(spectrum.data());
        benchmark::ClobberMemory();
    }
    sonvara::dsp::AllowWideKernels(true);
}

// Both inverses get a fresh copy of the spectrum each time, because FFTW's
// fastest complex-to-real plans overwrite their input.
void OursInverse(benchmark::State& state, int order, bool wide) {
    sonvara::dsp::AllowWideKernels(wide);
    const size_t n = size_t{1} << order;
    const std::vector<float> x = TestSignal(n);
    std::vector<SCplx> spectrum(n / 2 + 1), work(n / 2 + 1);
    std::vector<float> back(n);
    nspsRealFftNip(x.data(), spectrum.data(), order, NSP_Forw);
    for (auto _ : state) {
        std::memcpy(work.data(), spectrum.data(), spectrum.size() * sizeof(SCplx));
        nspsCcsFftNip(work.data(), back.data(), order, NSP_Inv | NSP_NoScale);
        benchmark::DoNotOptimize(back.data());
        benchmark::ClobberMemory();
    }
    sonvara::dsp::AllowWideKernels(true);
}

void FftwForward(benchmark::State& state, int order) {
    const int n = 1 << order;
    auto* in = fftwf_alloc_real(n);
    auto* out = fftwf_alloc_complex(n / 2 + 1);
    const fftwf_plan plan = fftwf_plan_dft_r2c_1d(n, in, out, FFTW_MEASURE);
    const std::vector<float> x = TestSignal(size_t(n));
    std::memcpy(in, x.data(), size_t(n) * sizeof(float));
    for (auto _ : state) {
        fftwf_execute(plan);
        benchmark::DoNotOptimize(out);
        benchmark::ClobberMemory();
    }
    fftwf_destroy_plan(plan);
    fftwf_free(out);
    fftwf_free(in);
}

void FftwInverse(benchmark::State& state, int order) {
    const int n = 1 << order;
    auto* spectrum = fftwf_alloc_complex(n / 2 + 1);
    auto* work = fftwf_alloc_complex(n / 2 + 1);
    auto* back = fftwf_alloc_real(n);
    const fftwf_plan plan = fftwf_plan_dft_c2r_1d(n, work, back, FFTW_MEASURE);
    std::vector<float> x = TestSignal(size_t(n));
    const fftwf_plan forward = fftwf_plan_dft_r2c_1d(n, back, spectrum, FFTW_ESTIMATE);
    std::memcpy(back, x.data(), size_t(n) * sizeof(float));
    fftwf_execute(forward);
    for (auto _ : state) {
        std::memcpy(work, spectrum, size_t(n / 2 + 1) * sizeof(fftwf_complex));
        fftwf_execute(plan);
        benchmark::DoNotOptimize(back);
        benchmark::ClobberMemory();
    }
    fftwf_destroy_plan(forward);
    fftwf_destroy_plan(plan);
    fftwf_free(back);
    fftwf_free(work);
    fftwf_free(spectrum);
}

std::string Name(const char* direction, const char* who, int order) {
    return std::string(direction) + "/" + who + "/" + std::to_string(order);
}

// Prints as usual and keeps each benchmark's CPU time per iteration by name
// (CPU time, because the build machine is shared and wall time is noisy).
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            if (run.error_occurred) continue;
            // With --benchmark_repetitions the fastest repetition stands for the
            // benchmark: other load on the machine only ever adds time.
            if (run.run_type == Run::RT_Iteration ||
                (run.run_type == Run::RT_Aggregate && run.aggregate_name == "min")) {
                times_[run.run_name.str()] = run.GetAdjustedCPUTime();
            }
        }
        ConsoleReporter::ReportRuns(runs);
    }

    void PrintRatios() const {
        std::printf("\nours / FFTW (time ratio, below 1 = ours faster; baseline = without AVX2)\n");
        for (int order : kOrders) {
            std::printf("order %2d:", order);
            for (const char* who : {"ours", "ours-baseline"}) {
                for (const char* direction : {"forward", "inverse"}) {
                    const auto ours = times_.find(Name(direction, who, order));
                    const auto fftw = times_.find(Name(direction, "fftw", order));
                    if (ours != times_.end() && fftw != times_.end() && fftw->second > 0) {
                        std::printf("  %s%s %.3f", direction,
                                    std::strcmp(who, "ours") ? " (baseline)" : "",
                                    ours->second / fftw->second);
                    }
                }
            }
            std::printf("\n");
        }
    }

private:
    std::map<std::string, double> times_;
};

} // namespace

int main(int argc, char** argv) {
    const auto fastest = [](const std::vector<double>& v) {
        return v.empty() ? 0.0 : *std::min_element(v.begin(), v.end());
    };
    for (int order : kOrders) {
        using benchmark::RegisterBenchmark;
        for (auto* b : {
                 RegisterBenchmark(Name("forward", "ours", order).c_str(), OursForward, order,
                                   true),
                 RegisterBenchmark(Name("forward", "fftw", order).c_str(), FftwForward, order),
                 RegisterBenchmark(Name("inverse", "ours", order).c_str(), OursInverse, order,
                                   true),
                 RegisterBenchmark(Name("inverse", "fftw", order).c_str(), FftwInverse, order),
                 RegisterBenchmark(Name("forward", "ours-baseline", order).c_str(), OursForward,
                                   order, false),
                 RegisterBenchmark(Name("inverse", "ours-baseline", order).c_str(), OursInverse,
                                   order, false),
             }) {
            b->ComputeStatistics("min", fastest);
        }
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.PrintRatios();
    benchmark::Shutdown();
    return 0;
}
