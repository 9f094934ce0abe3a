#include "audio/Equalizer.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>

namespace {

// Band edges in Hz; band b spans kEdges[b] .. kEdges[b + 1].
constexpr std::int32_t kEdges[CEqualizer::kBands + 1] = {0,    50,   100,  200,   400,  800,
                                                         1500, 3000, 6000, 12000, 22000};

constexpr int kFftOrder = 12;    // 4096-point overlap-add transform
constexpr int kDesignOrder = 11; // 2048-point design grid
constexpr int kDesignSize = 1 << kDesignOrder;
constexpr int kDesignBins = kDesignSize / 2 + 1;

static_assert((1 << kFftOrder) == CEqualizer::kFft);
static_assert(kDesignSize == CEqualizer::kTaps);

// A gain above 1.0 is stretched exponentially so that the upper half of a
// slider covers a useful boost range: 2.0 becomes 5.0 (about +14 dB).
float ShapeGain(float g) {
    return g <= 1.0f ? g : static_cast<float>(std::pow(5.0, static_cast<double>(g) - 1.0));
}

} // namespace

CEqualizer::CEqualizer() {
    gains.fill(1.0f);
    std::copy(std::begin(kEdges), std::end(kEdges), edges.begin());

    // Build the transform tables of every order used here now, on the
    // constructing thread, so neither the design nor the first block has to.
    nspsRealFftNip(nullptr, nullptr, kFftOrder, NSP_Init);
    nspsCcsFftNip(nullptr, nullptr, kFftOrder, NSP_Init);
    nspsCcsFftNip(nullptr, nullptr, kDesignOrder, NSP_Init);

    Design();
}

void CEqualizer::Reset() {
    inBlock.fill(0.0f);
    outBlock.fill(0.0f);
    work.fill(0.0f);
    tail.fill(0.0f);
}

void CEqualizer::SetSampleRate(std::uint32_t rate) {
    sampleRate = rate;
    Design();
}

void CEqualizer::SetGains(const float* newGains) {
    for (int b = 0; b < kBands; ++b)
        gains[b] = ShapeGain(newGains[b]);
    Design();
}

void CEqualizer::TakeDesign(const CEqualizer& from) {
    sampleRate = from.sampleRate;
    gains = from.gains;
    filter = from.filter;
}

void CEqualizer::DesignResponse(std::uint32_t rate, const float* shapedGains, float* response) {
    std::fill(response, response + kDesignBins, 0.0f);
    if (rate == 0) return;

    const double nyquistFraction = 0.5;
    for (int b = 0; b < kBands; ++b) {
        const int lo = static_cast<int>(
            std::min(static_cast<double>(kEdges[b]) / rate, nyquistFraction) * kDesignSize);
        const int hi = static_cast<int>(
            std::min(static_cast<double>(kEdges[b + 1]) / rate, nyquistFraction) * kDesignSize);
        const int w = hi - lo == 0 ? 1 : hi - lo;
        const double gPrev = shapedGains[b == 0 ? 0 : b - 1];
        const double gCur = shapedGains[b];
        // Half-cosine glide from the previous band's gain at the lower edge
        // to this band's gain at the upper edge; band 0 is simply flat.
        for (int k = lo; k < hi; ++k) {
            const double c = (std::cos(std::numbers::pi * (k - lo + 1) / w) + 1.0) / 2.0;
            response[k] = static_cast<float>(gCur + (gPrev - gCur) * c);
        }
    }
}

void CEqualizer::Design() {
    if (sampleRate == 0) {
        // Without a rate the band edges mean nothing. Pass the signal through
        // with the same latency as a designed filter, so switching the rate
        // in later does not shift the output in time: the spectrum of a unit
        // impulse at kTaps / 2 is e^(-i*pi*k/2), which cycles through four
        // values.
        static constexpr SCplx kQuarterTurns[4] = {{1, 0}, {0, -1}, {-1, 0}, {0, 1}};
        for (int k = 0; k < kBins; ++k)
            filter[k] = kQuarterTurns[k % 4];
        return;
    }

    // Temporaries stay on the stack (about 32 KB): the design runs on the
    // window thread and must not disturb the block being processed.
    float response[kDesignBins];
    DesignResponse(sampleRate, gains.data(), response);

    SCplx h[kDesignBins];
    for (int k = 0; k < kDesignBins; ++k)
        h[k] = SCplx{response[k], 0.0f};

    // Zero-phase impulse response, centred on sample 0 (wrapping around).
    float impulse[kDesignSize];
    nspsCcsFftNip(h, impulse, kDesignOrder, NSP_Inv);

    // Rotate by half its length to make it causal and linear-phase, then pad
    // to the overlap-add length so the convolution does not wrap.
    float padded[kFft];
    constexpr int half = kDesignSize / 2;
    std::memcpy(padded, impulse + half, half * sizeof(float));
    std::memcpy(padded + half, impulse, half * sizeof(float));
    std::fill(padded + kDesignSize, padded + kFft, 0.0f);

    nspsRealFftNip(padded, filter.data(), kFftOrder, NSP_Forw);
}

void CEqualizer::Process(std::uint32_t n, const float* in, float* out) {
    std::uint32_t done = 0;
    while (done < n) {
        const std::uint32_t chunk = std::min<std::uint32_t>(n - done, kBlock - pos);
        // Take the input before handing out output: in and out may be the
        // same buffer.
        std::memcpy(inBlock.data() + pos, in + done, chunk * sizeof(float));
        std::memcpy(out + done, outBlock.data() + pos, chunk * sizeof(float));
        pos += chunk;
        done += chunk;
        if (pos < kBlock) break;

        pos = 0;
        std::memcpy(work.data(), inBlock.data(), kBlock * sizeof(float));
        std::fill(work.begin() + kBlock, work.end(), 0.0f);
        nspsRealFftNip(work.data(), spectrum.data(), kFftOrder, NSP_Forw);
        nspcbMpy2(filter.data(), spectrum.data(), kBins);
        nspsCcsFftNip(spectrum.data(), work.data(), kFftOrder, NSP_Inv);
        nspsbAdd2(tail.data(), work.data(), kBlock);
        std::memcpy(outBlock.data(), work.data(), kBlock * sizeof(float));
        std::memcpy(tail.data(), work.data() + kBlock, kBlock * sizeof(float));
    }
}
