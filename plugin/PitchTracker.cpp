#include "plugin/PitchTracker.h"

#include "plugin/VectorTypes.h"

#include <algorithm>
#include <cmath>
#include <cstring>

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
    // N is a power of two: multiplying by its reciprocal is dividing by it.
    const double perN = 1.0 / N;
    for (int i = 0; i < N / 2; ++i)
        m_windowed[i] = 2.0 * i * m_work[i] * perN;
    for (int i = N / 2; i < N; ++i)
        m_windowed[i] = 2.0 * (N - i - 1) * m_work[i] * perN;
    nspdRealFftNip(m_windowed.data(), m_spectrum.data(), order, NSP_Forw);

    const std::uint32_t q = m_sampleRate / static_cast<std::uint32_t>(N);
    std::uint32_t kLo = static_cast<std::uint32_t>(m_bandLow) / q;
    std::uint32_t kHi = static_cast<std::uint32_t>(m_bandHigh) / q;
    if (kLo == 0) kLo = 1;
    kHi = std::min<std::uint32_t>(kHi, N / 2);
    kLo = std::min(kLo, kHi);
    // Only the bins between the band edges are searched.
    nspzbMag(m_spectrum.data() + kLo, m_magnitudes.data() + kLo, static_cast<int>(kHi - kLo + 1));
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

namespace stavo {

// The single-frequency sums of K frequencies over x[0..n), the weight of
// x[i] rising from 0 at both ends to 2 in the middle. The samples go four at
// a time: lane l of a vector takes the samples i = l (mod 4), its phasor
// starting at e^(j l w) and turning by e^(j 4 w), so that the four phasors
// and sums of a frequency move on together in one chain a quarter as long
// as one sample at a time would make. The lanes' sums are added at the end.
template <int K>
STAVO_BUILT_FOR_AVX2 void SingleFrequencySums(const double* x, int n, const double* omega,
                                              double* sumRe, double* sumIm) {
    const int half = n / 2;
    const double h = half / 2.0;
    const Quad lanes = {0.0, 1.0, 2.0, 3.0};
    Quad pRe[K], pIm[K], re[K], im[K];
    double c4[K], s4[K];
    for (int k = 0; k < K; ++k) {
        for (int lane = 0; lane < 4; ++lane) {
            pRe[k][lane] = std::cos(lane * omega[k]);
            pIm[k][lane] = std::sin(lane * omega[k]);
        }
        c4[k] = std::cos(4 * omega[k]);
        s4[k] = std::sin(4 * omega[k]);
        re[k] = Quad{};
        im[k] = Quad{};
    }
    const Quad middle = {double(half), double(half), double(half), double(half)};
    const Quad length = {double(n), double(n), double(n), double(n)};
    int i = 0;
    for (; i + 4 <= n; i += 4) {
        const Quad at = lanes + static_cast<double>(i);
        Quad samples;
        std::memcpy(&samples, x + i, sizeof samples);
        // (i <= half ? i : n - i) / h, four at a time.
        const Quad rising = at;
        const Quad falling = length - at;
        const auto past = at > middle;
        const Quad weight = (past ? falling : rising) / h;
        const Quad a = weight * samples;
        for (int k = 0; k < K; ++k) {
            re[k] += a * pRe[k];
            im[k] += a * pIm[k];
            const Quad r = pRe[k] * c4[k] - pIm[k] * s4[k];
            pIm[k] = pRe[k] * s4[k] + pIm[k] * c4[k];
            pRe[k] = r;
        }
    }
    for (int k = 0; k < K; ++k) {
        double tailRe = 0.0, tailIm = 0.0;
        for (int j = i, lane = 0; j < n; ++j, ++lane) {
            const double a = (j <= half ? j : n - j) / h * x[j];
            tailRe += a * pRe[k][lane];
            tailIm += a * pIm[k][lane];
        }
        sumRe[k] = ((re[k][0] + re[k][1]) + (re[k][2] + re[k][3])) + tailRe;
        sumIm[k] = ((im[k][0] + im[k][1]) + (im[k][2] + im[k][3])) + tailIm;
    }
}

} // namespace stavo

void CPitchEstimator::Magnitudes(const double* g, double* m, int count) const {
    const int n = m_workFrames;
    double omega[3], sumRe[3] = {}, sumIm[3] = {};
    for (int k = 0; k < 3; ++k)
        omega[k] = 2 * M_PI * g[k < count ? k : 0] / m_sampleRate;
    if (count >= 3)
        stavo::SingleFrequencySums<3>(m_work.data(), n, omega, sumRe, sumIm);
    else
        stavo::SingleFrequencySums<2>(m_work.data(), n, omega, sumRe, sumIm);
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
