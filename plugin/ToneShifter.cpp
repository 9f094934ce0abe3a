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
        m_resampled.assign(m_hopIn, 0.0f);
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
    for (std::uint32_t i = 0; i < n; ++i) {
        if (m_position == m_frame) {
            m_position = 0;
            ProcessFrame();
        }
        const float out = m_frameBuffer[m_position];
        m_frameBuffer[m_position] = x[i];
        x[i] = out;
        ++m_position;
    }
}

void CToneShifter::ProcessFrame() {
    std::uint32_t step = 0;
    for (std::uint32_t in = 0; in < m_frame; in += m_hopIn, ++step)
        m_splicer.Process(m_frameBuffer.data() + in, m_stretched.data() + step * m_hopOut,
                          m_hopOut);
    Resample(m_stretched.data(), m_stretchedLength, m_resampled.data(), m_frame, m_lastSample);
    std::copy(m_resampled.begin(), m_resampled.end(), m_frameBuffer.begin());
}

void CToneShifter::Resample(float* in, std::uint32_t S, float* out, std::uint32_t F, float& last) {
    if (S < 2) {
        std::fill(out, out + F, 0.0f);
        return;
    }
    if (F >= S) {
        // Expanding (ratio up to 1): linear interpolation, then smoothing.
        for (std::uint32_t i = 0; i + 1 < F; ++i) {
            double pd = static_cast<double>(S) * i / F;
            pd = std::min(pd, static_cast<double>(S - 2));
            const float p = static_cast<float>(pd);
            const std::uint32_t j = static_cast<std::uint32_t>(p);
            const float frac = p - static_cast<float>(j);
            out[i] = in[j] * (1 - frac) + in[j + 1] * frac;
        }
        out[F - 1] = in[S - 1];
        for (std::uint32_t i = 0; i < F; ++i) {
            const float raw = out[i];
            out[i] = (raw + last) / 2;
            last = raw;
        }
        return;
    }
    // Compressing (ratio above 1): smooth first, then spread each input
    // sample over the one or two output samples it overlaps.
    for (std::uint32_t i = 0; i < S; ++i) {
        const float raw = in[i];
        in[i] = (raw + last) / 2;
        last = raw;
    }
    std::fill(out, out + F, 0.0f);
    const float scale = static_cast<float>(F) / static_cast<float>(S);
    for (std::uint32_t i = 0; i < S; ++i) {
        const float p = static_cast<float>(i + 1) * static_cast<float>(F) / static_cast<float>(S);
        const float floorP = std::floor(p);
        const std::int64_t j = static_cast<std::int64_t>(floorP);
        const float f = p - floorP;
        if (f >= scale) {
            if (j >= 0 && j < F) out[j] += in[i] * scale;
        } else {
            if (j - 1 >= 0 && j - 1 < F) out[j - 1] += in[i] * (scale - f);
            if (j >= 0 && j < F) out[j] += in[i] * f;
        }
    }
}
