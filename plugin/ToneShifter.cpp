#include "plugin/ToneShifter.h"

#include <algorithm>
#include <cmath>

void CToneShifter::SetSampleRate(std::uint32_t R) {
    if (R == m_sampleRate) return;
    m_sampleRate = R;
    m_hopIn = m_splicer.SetSampleRate(R);
    m_hopOut = static_cast<std::uint32_t>(static_cast<float>(m_hopIn) * m_ratio);
    if (m_frame != m_hopIn) {
        m_frameBuffer.assign(m_hopIn, 0.0f);
        m_position = 0;
        m_frame = m_hopIn;
    }
    UpdateStretch();
}

void CToneShifter::SetRatio(float ratio) {
    if (!(ratio >= 0.0f)) ratio = 0.0f; // also catches NaN
    ratio = std::min(ratio, kMaxRatio);
    if (ratio == m_ratio) return;
    m_ratio = ratio;
    m_hopOut = static_cast<std::uint32_t>(static_cast<float>(m_hopIn) * m_ratio);
    UpdateStretch();
}

void CToneShifter::UpdateStretch() {
    m_stretchedLength = m_hopIn ? m_frame * m_hopOut / m_hopIn : 0;
    // Sized once per sample rate for the largest ratio, so that a change of
    // ratio on the audio thread never allocates.
    const std::size_t capacity =
        static_cast<std::size_t>(static_cast<float>(m_frame) * kMaxRatio) + 1;
    if (m_stretched.size() < std::max<std::size_t>(capacity, m_stretchedLength))
        m_stretched.assign(std::max<std::size_t>(capacity, m_stretchedLength), 0.0f);
}

void CToneShifter::Process(float* x, std::uint32_t n) {
    if (m_frame == 0) return;
    // Each sample swaps places with the one a frame earlier, a run at a time.
    std::uint32_t i = 0;
    while (i < n) {
        if (m_position == m_frame) {
            m_position = 0;
            ProcessFrame();
        }
        const std::uint32_t run = std::min(n - i, m_frame - m_position);
        std::swap_ranges(x + i, x + i + run, m_frameBuffer.data() + m_position);
        i += run;
        m_position += run;
    }
}

void CToneShifter::ProcessFrame() {
    std::uint32_t step = 0;
    for (std::uint32_t in = 0; in < m_frame; in += m_hopIn, ++step)
        m_splicer.Process(m_frameBuffer.data() + in, m_stretched.data() + step * m_hopOut,
                          m_hopOut);
    // The frame's input has gone into the splicer: its place takes the output.
    Resample(m_stretched.data(), m_stretchedLength, m_frameBuffer.data(), m_frame, m_lastSample);
}

void CToneShifter::Resample(float* in, std::uint32_t S, float* out, std::uint32_t F, float& last) {
    if (S < 2) {
        std::fill(out, out + F, 0.0f);
        return;
    }
    // The positions are worked out a chunk at a time in loops of their own,
    // which the compiler turns into vector divisions; the arithmetic of
    // each sample is unchanged.
    constexpr std::uint32_t kChunk = 64;
    if (F >= S) {
        // Expanding (ratio up to 1): linear interpolation, then smoothing.
        const double limit = static_cast<double>(S - 2);
        for (std::uint32_t start = 0; start + 1 < F; start += kChunk) {
            const std::uint32_t n = std::min(kChunk, F - 1 - start);
            float position[kChunk];
            for (std::uint32_t k = 0; k < n; ++k) {
                const double pd = static_cast<double>(S) * (start + k) / F;
                position[k] = static_cast<float>(std::min(pd, limit));
            }
            for (std::uint32_t k = 0; k < n; ++k) {
                const float p = position[k];
                const std::uint32_t j = static_cast<std::uint32_t>(p);
                const float frac = p - static_cast<float>(j);
                out[start + k] = in[j] * (1 - frac) + in[j + 1] * frac;
            }
        }
        out[F - 1] = in[S - 1];
        // out[i] becomes (out[i] + out[i - 1]) / 2 with the unsmoothed
        // out[i - 1]: done from the end, so the neighbour is still unsmoothed.
        const float lastRaw = out[F - 1];
        for (std::uint32_t i = F - 1; i > 0; --i)
            out[i] = (out[i] + out[i - 1]) / 2;
        out[0] = (out[0] + last) / 2;
        last = lastRaw;
        return;
    }
    // Compressing (ratio above 1): smooth first, then spread each input
    // sample over the one or two output samples it overlaps.
    {
        const float lastRaw = in[S - 1];
        for (std::uint32_t i = S - 1; i > 0; --i)
            in[i] = (in[i] + in[i - 1]) / 2;
        in[0] = (in[0] + last) / 2;
        last = lastRaw;
    }
    std::fill(out, out + F, 0.0f);
    const float scale = static_cast<float>(F) / static_cast<float>(S);
    const float fF = static_cast<float>(F);
    const float fS = static_cast<float>(S);
    for (std::uint32_t start = 0; start < S; start += kChunk) {
        const std::uint32_t n = std::min(kChunk, S - start);
        float whole[kChunk];
        float part[kChunk];
        for (std::uint32_t k = 0; k < n; ++k) {
            const float p = static_cast<float>(start + k + 1) * fF / fS;
            // p is positive and at most F: truncation is its floor, and
            // unlike floor it has a vector instruction on every x86-64.
            whole[k] = static_cast<float>(static_cast<std::int32_t>(p));
            part[k] = p - whole[k];
        }
        for (std::uint32_t k = 0; k < n; ++k) {
            const float x = in[start + k];
            const std::int64_t j = static_cast<std::int64_t>(whole[k]);
            const float f = part[k];
            if (f >= scale) {
                if (j >= 0 && j < F) out[j] += x * scale;
            } else {
                if (j - 1 >= 0 && j - 1 < F) out[j - 1] += x * (scale - f);
                if (j >= 0 && j < F) out[j] += x * f;
            }
        }
    }
}
