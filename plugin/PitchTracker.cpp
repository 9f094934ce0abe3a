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
    double m1 = 0.0, m2 = 0.0;
    Magnitudes(lo, hi, m1, m2);
    double mid = (lo + hi) / 2;
    if (std::fabs(m_previousFrequency - mid) < 1.5 * binHz) {
        const double m3 = Magnitude(m_previousFrequency);
        if (0.85 * m_previousMagnitude < m3 && 0.8 * (m1 + m2) / 2 < m3) {
            mid = (mid + m_previousFrequency) / 2;
            m1 = m2 = m3;
        }
    }
    m_previousMagnitude = (m1 + m2) / 2;
    m_previousFrequency = mid;
    return static_cast<float>(mid);
}

double CPitchEstimator::Magnitude(double g) const {
    const int n = m_workFrames;
    const int half = n / 2;
    const double h = half / 2.0;
    const double omega = 2 * M_PI * g / m_sampleRate;
    const double c = std::cos(omega);
    const double s = std::sin(omega);
    double pRe = 1.0, pIm = 0.0;
    double sumRe = 0.0, sumIm = 0.0;
    for (int i = 0; i < n; ++i) {
        const double v = (i <= half ? i : n - i) / h;
        const double a = v * m_work[i];
        sumRe += a * pRe;
        sumIm += a * pIm;
        const double re = pRe * c - pIm * s;
        pIm = pRe * s + pIm * c;
        pRe = re;
    }
    return 2 * std::sqrt(sumRe * sumRe + sumIm * sumIm) / (n == 0 ? 1 : n);
}

void CPitchEstimator::Magnitudes(double g1, double g2, double& m1, double& m2) const {
    // Magnitude(g1) and Magnitude(g2) in one pass: each phasor and sum keeps
    // its own order of operations, and the two chains overlap.
    const int n = m_workFrames;
    const int half = n / 2;
    const double h = half / 2.0;
    const double omega1 = 2 * M_PI * g1 / m_sampleRate;
    const double omega2 = 2 * M_PI * g2 / m_sampleRate;
    const double c1 = std::cos(omega1), s1 = std::sin(omega1);
    const double c2 = std::cos(omega2), s2 = std::sin(omega2);
    double pRe1 = 1.0, pIm1 = 0.0, sumRe1 = 0.0, sumIm1 = 0.0;
    double pRe2 = 1.0, pIm2 = 0.0, sumRe2 = 0.0, sumIm2 = 0.0;
    for (int i = 0; i < n; ++i) {
        const double v = (i <= half ? i : n - i) / h;
        const double a = v * m_work[i];
        sumRe1 += a * pRe1;
        sumIm1 += a * pIm1;
        sumRe2 += a * pRe2;
        sumIm2 += a * pIm2;
        const double re1 = pRe1 * c1 - pIm1 * s1;
        pIm1 = pRe1 * s1 + pIm1 * c1;
        pRe1 = re1;
        const double re2 = pRe2 * c2 - pIm2 * s2;
        pIm2 = pRe2 * s2 + pIm2 * c2;
        pRe2 = re2;
    }
    const int divisor = n == 0 ? 1 : n;
    m1 = 2 * std::sqrt(sumRe1 * sumRe1 + sumIm1 * sumIm1) / divisor;
    m2 = 2 * std::sqrt(sumRe2 * sumRe2 + sumIm2 * sumIm2) / divisor;
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
