#include "plugin/PitchTracker.h"

#include <algorithm>
#include <cmath>

void CPitchEstimator::SetSampleRate(std::uint32_t samplesPerSecond) {
    m_sampleRate = samplesPerSecond;
    m_work.assign(kMaxFrames, 0.0);
    // The coarse FFT uses the largest power of two below the block length,
    // so at most kMaxFrames / 2 points.
    m_windowed.assign(kMaxFrames / 2, 0.0);
    m_spectrum.assign(kMaxFrames / 4 + 1, DCplx{0.0, 0.0});
    m_magnitudes.assign(kMaxFrames / 4 + 1, 0.0);
    // The kernels build their tables on first use of an order; building them
    // here keeps that allocation off the audio thread.
    for (int order = 1; (1 << order) <= kMaxFrames / 2; ++order)
        nspdRealFftNip(nullptr, nullptr, order, NSP_Init);
}

float CPitchEstimator::Estimate(const double* x, int n) {
    n = std::clamp(n, 2, kMaxFrames);
    std::copy(x, x + n, m_work.begin());
    m_workFrames = n;

    // Coarse peak: a triangle-windowed FFT over the largest power of two
    // below n, searched between the band edges in whole-hertz bins.
    const int order =
        static_cast<int>(std::ceil(std::log(static_cast<double>(n)) / std::log(2.0))) - 1;
    const int N = 1 << order;
    for (int i = 0; i < N / 2; ++i)
        m_windowed[i] = 2.0 * i * m_work[i] / N;
    for (int i = N / 2; i < N; ++i)
        m_windowed[i] = 2.0 * (N - i - 1) * m_work[i] / N;
    nspdRealFftNip(m_windowed.data(), m_spectrum.data(), order, NSP_Forw);
    nspzbMag(m_spectrum.data(), m_magnitudes.data(), N / 2 + 1);

    const std::uint32_t q = m_sampleRate / static_cast<std::uint32_t>(N);
    std::uint32_t kLo = static_cast<std::uint32_t>(m_bandLow) / q;
    std::uint32_t kHi = static_cast<std::uint32_t>(m_bandHigh) / q;
    if (kLo == 0) kLo = 1;
    kHi = std::min<std::uint32_t>(kHi, N / 2);
    kLo = std::min(kLo, kHi);
    int index = 0;
    nspdMaxExt(m_magnitudes.data() + kLo, static_cast<int>(kHi - kLo + 1), &index);
    const std::uint32_t k = kLo + static_cast<std::uint32_t>(index);
    const double f = static_cast<double>(k) * m_sampleRate / N;
    const double binHz = static_cast<double>(m_sampleRate) / N;

    // Refinement: when the previous block's frequency is close and its
    // magnitude holds up, pull the estimate halfway towards it.
    const double lo = f - 2 * binHz;
    const double hi = f + 2 * binHz;
    double mid = (lo + hi) / 2;
    // The magnitude at the previous frequency is needed only when that lies
    // close; then all three sums share one pass over the block.
    const bool close = std::fabs(m_previousFrequency - mid) < 1.5 * binHz;
    const double frequencies[3] = {lo, hi, m_previousFrequency};
    double magnitudes[3] = {0.0, 0.0, 0.0};
    Magnitudes(frequencies, magnitudes, close ? 3 : 2);
    double m1 = magnitudes[0], m2 = magnitudes[1];
    if (close) {
        const double m3 = magnitudes[2];
        if (0.85 * m_previousMagnitude < m3 && 0.8 * (m1 + m2) / 2 < m3) {
            mid = (mid + m_previousFrequency) / 2;
            m1 = m2 = m3;
        }
    }
    m_previousMagnitude = (m1 + m2) / 2;
    m_previousFrequency = mid;
    return static_cast<float>(mid);
}

namespace {

// The single-frequency sums of K frequencies over x[0..n), each phasor and
// sum in its own order of operations; the K chains overlap.
template <int K>
void SingleFrequencySums(const double* x, int n, const double* c, const double* s, double* sumRe,
                         double* sumIm) {
    const int half = n / 2;
    const double h = half / 2.0;
    double pRe[K], pIm[K], re[K], im[K];
    for (int k = 0; k < K; ++k)
        pRe[k] = 1.0, pIm[k] = 0.0, re[k] = 0.0, im[k] = 0.0;
    for (int i = 0; i < n; ++i) {
        const double v = (i <= half ? i : n - i) / h;
        const double a = v * x[i];
        for (int k = 0; k < K; ++k) {
            re[k] += a * pRe[k];
            im[k] += a * pIm[k];
            const double r = pRe[k] * c[k] - pIm[k] * s[k];
            pIm[k] = pRe[k] * s[k] + pIm[k] * c[k];
            pRe[k] = r;
        }
    }
    for (int k = 0; k < K; ++k)
        sumRe[k] = re[k], sumIm[k] = im[k];
}

} // namespace

void CPitchEstimator::Magnitudes(const double* g, double* m, int count) const {
    const int n = m_workFrames;
    double c[3], s[3], sumRe[3] = {}, sumIm[3] = {};
    for (int k = 0; k < 3; ++k) {
        const double omega = 2 * M_PI * g[k < count ? k : 0] / m_sampleRate;
        c[k] = std::cos(omega), s[k] = std::sin(omega);
    }
    if (count >= 3)
        SingleFrequencySums<3>(m_work.data(), n, c, s, sumRe, sumIm);
    else
        SingleFrequencySums<2>(m_work.data(), n, c, s, sumRe, sumIm);
    const int divisor = n == 0 ? 1 : n;
    for (int k = 0; k < count && k < 3; ++k)
        m[k] = 2 * std::sqrt(sumRe[k] * sumRe[k] + sumIm[k] * sumIm[k]) / divisor;
}

bool CVoiceGate::Decide(double f, const double* x) {
    if (f < 200.0) {
        m_stableCount = 0;
        return false;
    }
    double sum = 0.0;
    for (int i = 0; i < m_blockLength; ++i)
        sum += x[i] * x[i];
    const double e = m_blockLength > 0 ? sum / m_blockLength : 0.0;
    if (e < m_levelThreshold / 4) {
        m_stableCount = 0;
        return false;
    }
    while (f < 100.0)
        f *= 2;
    while (f > 200.0)
        f /= 2;
    const bool stable = std::fabs(f - m_previousFolded) < 30.0;
    m_stableCount = stable ? m_stableCount + 1 : 0;
    m_previousFolded = f;
    return m_stableCount >= m_requiredCount;
}
