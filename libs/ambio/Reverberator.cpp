#include "libs/ambio/Reverberator.h"

#include <algorithm>
#include <cmath>

namespace ambio {

namespace {

constexpr float kSpeedOfSound = 343.0f;
// Line lengths as fractions of the mean free path's travel time: spread
// wide enough that no two lines share a low common multiple.
constexpr std::array<float, CReverberator::kLines> kSpread = {0.61f, 0.69f, 0.77f, 0.86f,
                                                              0.93f, 1.02f, 1.11f, 1.23f};
// Shortest line: shorter loops ring metallically.
constexpr float kMinLoopSeconds = 0.012f;
// Diffuser lengths at 44.1 kHz (mutually prime) and their all-pass gain.
constexpr std::array<int, 4> kDiffuserLengths = {142, 107, 379, 277};
constexpr float kDiffuserGain = 0.6f;

std::uint32_t NextPowerOfTwo(std::uint32_t v) {
    std::uint32_t p = 1;
    while (p < v)
        p <<= 1;
    return p;
}

// Mean free path of a rectangular room seen from above: pi A / P.
float MeanFreePath(float width, float height) {
    return 3.14159265f * width * height / (2.0f * (width + height));
}

} // namespace

void CReverberator::Prepare(std::uint32_t sampleRate) {
    m_rate = sampleRate ? sampleRate : 44100;
    const float longest = MeanFreePath(kMaxRoomMetres, kMaxRoomMetres) / kSpeedOfSound *
                          kSpread.back() * static_cast<float>(m_rate);
    m_ringSize = NextPowerOfTwo(static_cast<std::uint32_t>(longest) + 2);
    m_ringMask = m_ringSize - 1;
    m_lines.assign(static_cast<std::size_t>(m_ringSize) * kLines, 0.0f);
    for (std::size_t i = 0; i < m_diffusers.size(); ++i) {
        Allpass& a = m_diffusers[i];
        a.length = std::max(1, static_cast<int>(std::lround(
                                   kDiffuserLengths[i] * (static_cast<double>(m_rate) / 44100))));
        a.buffer.assign(static_cast<std::size_t>(a.length), 0.0f);
        a.pos = 0;
    }
    m_write = 0;
    Configure(20.0f, 20.0f, 0.14f, 0.42f);
}

void CReverberator::Configure(float width, float height, float absorption, float hfDecay) {
    width = std::clamp(width, 1.0f, kMaxRoomMetres);
    height = std::clamp(height, 1.0f, kMaxRoomMetres);
    absorption = std::clamp(absorption, 0.01f, 0.99f);
    hfDecay = std::clamp(hfDecay, 0.0f, 1.0f);
    const float path = MeanFreePath(width, height);
    // Sabine: RT60 = 0.161 V / (S a) = 0.04025 (4V/S) / a.
    m_rt60 = std::clamp(0.04025f * path / absorption, 0.05f, 10.0f);
    const float loop = std::max(path / kSpeedOfSound, kMinLoopSeconds);
    float meanSquare = 0.0f;
    for (int i = 0; i < kLines; ++i) {
        auto len = static_cast<std::uint32_t>(loop * kSpread[i] * static_cast<float>(m_rate));
        len = std::clamp<std::uint32_t>(len | 1u, 3u, m_ringSize - 1);
        m_length[i] = len;
        // -60 dB after m_rt60 seconds: each pass through a line of len
        // samples takes 60 dB x len / (rt60 x rate).
        m_feedback[i] = std::pow(10.0f, -3.0f * static_cast<float>(len) /
                                            (m_rt60 * static_cast<float>(m_rate)));
        meanSquare += m_feedback[i] * m_feedback[i];
    }
    meanSquare /= kLines;
    m_dampCoeff = 0.85f * hfDecay;
    // The network's power gain is about 1 / (1 - g^2): scale the input so
    // that long and short rooms come out at a like level.
    // The 0.22 puts the whole tail, summed over five speakers, about level
    // with a source in the middle distance at equal volumes.
    m_inputGain = 0.22f * std::sqrt(std::max(1.0f - meanSquare, 1e-4f));
}

void CReverberator::Clear() {
    std::fill(m_lines.begin(), m_lines.end(), 0.0f);
    m_damp.fill(0.0f);
    for (Allpass& a : m_diffusers)
        std::fill(a.buffer.begin(), a.buffer.end(), 0.0f);
}

void CReverberator::Process(const float* in, int frames, float* const* outputs, int outputCount,
                            float gain) {
    if (m_lines.empty() || frames <= 0) return;
    const std::uint32_t size = m_ringSize;
    const std::uint32_t mask = m_ringMask;
    float* lines = m_lines.data();
    const float damp = m_dampCoeff;
    const float undamp = 1.0f - damp;
    // The Hadamard mix is orthogonal after this scale, so the feedback gains
    // alone set the decay.
    constexpr float kNorm = 0.35355339f; // 1 / sqrt(8)
    // Each output gets an equal share of the tail's power, so more speakers
    // do not make a louder room.
    gain /= std::sqrt(static_cast<float>(std::max(outputCount, 1)) / 5.0f);
    std::array<float, kLines> y{};
    std::array<float, kLines> s = m_damp;
    std::uint32_t w = m_write;
    for (int n = 0; n < frames; ++n) {
        float x = in[n] * m_inputGain;
        if (m_diffuse) {
            for (Allpass& a : m_diffusers) {
                const float delayed = a.buffer[static_cast<std::size_t>(a.pos)];
                const float v = x + kDiffuserGain * delayed;
                a.buffer[static_cast<std::size_t>(a.pos)] = v;
                x = delayed - kDiffuserGain * v;
                if (++a.pos == a.length) a.pos = 0;
            }
        }
        for (int i = 0; i < kLines; ++i) {
            y[i] = lines[static_cast<std::size_t>(i) * size + ((w - m_length[i]) & mask)];
            s[i] = undamp * y[i] + damp * s[i];
        }
        // Fast Walsh-Hadamard transform of the damped outputs.
        const float a0 = s[0] + s[1], a1 = s[0] - s[1], a2 = s[2] + s[3], a3 = s[2] - s[3];
        const float a4 = s[4] + s[5], a5 = s[4] - s[5], a6 = s[6] + s[7], a7 = s[6] - s[7];
        const float b0 = a0 + a2, b1 = a1 + a3, b2 = a0 - a2, b3 = a1 - a3;
        const float b4 = a4 + a6, b5 = a5 + a7, b6 = a4 - a6, b7 = a5 - a7;
        const std::array<float, kLines> h = {b0 + b4, b1 + b5, b2 + b6, b3 + b7,
                                             b0 - b4, b1 - b5, b2 - b6, b3 - b7};
        for (int i = 0; i < kLines; ++i)
            lines[static_cast<std::size_t>(i) * size + w] = x + m_feedback[i] * kNorm * h[i];
        for (int o = 0; o < outputCount; ++o)
            if (outputs[o]) outputs[o][n] += gain * y[o % kLines];
        w = (w + 1) & mask;
    }
    m_write = w;
    m_damp = s;
}

} // namespace ambio
