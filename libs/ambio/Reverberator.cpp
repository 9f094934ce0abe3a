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
    m_x.assign(kStretch, 0.0f);
    for (auto& y : m_y)
        y.assign(kStretch, 0.0f);
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
    // Each output gets an equal share of the tail's power, so more speakers
    // do not make a louder room.
    gain /= std::sqrt(static_cast<float>(std::max(outputCount, 1)) / 5.0f);
    // Work in stretches no longer than the shortest line: everything a
    // stretch reads from the lines was written before it began, so each step
    // below runs over the whole stretch at once (and vectorises).
    const int stretch = static_cast<int>(
        std::min<std::uint32_t>(kStretch, *std::min_element(m_length.begin(), m_length.end())));
    for (int done = 0; done < frames;) {
        const int n = std::min(stretch, frames - done);
        ProcessStretch(in + done, n, outputs, outputCount, gain, done);
        done += n;
    }
}

void CReverberator::ProcessStretch(const float* in, int n, float* const* outputs, int outputCount,
                                   float gain, int offset) {
    const std::uint32_t size = m_ringSize;
    const std::uint32_t mask = m_ringMask;
    float* lines = m_lines.data();

    // The input, diffused when asked.
    float* x = m_x.data();
    for (int k = 0; k < n; ++k)
        x[k] = in[k] * m_inputGain;
    if (m_diffuse) {
        for (Allpass& a : m_diffusers) {
            float* buf = a.buffer.data();
            int pos = a.pos;
            for (int k = 0; k < n; ++k) {
                const float delayed = buf[pos];
                const float v = x[k] + kDiffuserGain * delayed;
                buf[pos] = v;
                x[k] = delayed - kDiffuserGain * v;
                if (++pos == a.length) pos = 0;
            }
            a.pos = pos;
        }
    }

    // What the lines put out now.
    for (int i = 0; i < kLines; ++i) {
        const float* line = lines + static_cast<std::size_t>(i) * size;
        float* y = m_y[static_cast<std::size_t>(i)].data();
        const std::uint32_t from = (m_write - m_length[static_cast<std::size_t>(i)]) & mask;
        const std::uint32_t first =
            std::min<std::uint32_t>(static_cast<std::uint32_t>(n), size - from);
        std::copy(line + from, line + from + first, y);
        std::copy(line, line + (static_cast<std::uint32_t>(n) - first), y + first);
    }
    for (int o = 0; o < outputCount; ++o) {
        float* out = outputs[o];
        if (!out) continue;
        out += offset;
        const float* y = m_y[static_cast<std::size_t>(o % kLines)].data();
        for (int k = 0; k < n; ++k)
            out[k] += gain * y[k];
    }

    // Damped, mixed and fed back. The eight one-pole filters run side by
    // side, so their recursions overlap.
    const float damp = m_dampCoeff;
    const float undamp = 1.0f - damp;
    std::array<float, kLines> s = m_damp;
    for (int k = 0; k < n; ++k) {
        for (int i = 0; i < kLines; ++i) {
            float& y = m_y[static_cast<std::size_t>(i)][static_cast<std::size_t>(k)];
            s[static_cast<std::size_t>(i)] = undamp * y + damp * s[static_cast<std::size_t>(i)];
            y = s[static_cast<std::size_t>(i)];
        }
    }
    m_damp = s;
    // Fast Walsh-Hadamard transform across the lines, stretch-wide.
    auto butterfly = [n](std::vector<float>& a, std::vector<float>& b) {
        float* pa = a.data();
        float* pb = b.data();
        for (int k = 0; k < n; ++k) {
            const float u = pa[k], v = pb[k];
            pa[k] = u + v;
            pb[k] = u - v;
        }
    };
    for (int span = 1; span < kLines; span <<= 1)
        for (int i = 0; i < kLines; i += 2 * span)
            for (int j = i; j < i + span; ++j)
                butterfly(m_y[static_cast<std::size_t>(j)],
                          m_y[static_cast<std::size_t>(j + span)]);
    // The Hadamard mix is orthogonal after 1 / sqrt(8), so the feedback gains
    // alone set the decay.
    constexpr float kNorm = 0.35355339f;
    for (int i = 0; i < kLines; ++i) {
        float* line = lines + static_cast<std::size_t>(i) * size;
        const float* h = m_y[static_cast<std::size_t>(i)].data();
        const float g = m_feedback[static_cast<std::size_t>(i)] * kNorm;
        std::uint32_t w = m_write;
        int k = 0;
        while (k < n) {
            const int run = static_cast<int>(
                std::min<std::uint32_t>(static_cast<std::uint32_t>(n - k), size - w));
            float* __restrict dst = line + w;
            const float* __restrict xs = x + k;
            const float* __restrict hs = h + k;
            for (int j = 0; j < run; ++j)
                dst[j] = xs[j] + g * hs[j];
            k += run;
            w = (w + static_cast<std::uint32_t>(run)) & mask;
        }
    }
    m_write = (m_write + static_cast<std::uint32_t>(n)) & mask;
}

} // namespace ambio
