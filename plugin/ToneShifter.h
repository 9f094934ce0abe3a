// Pitch shifting of one channel without change of duration: each frame is
// time-stretched by the period splicer to frame × ratio frames, then
// resampled back to the frame length. Delays by one frame (one hop) plus the
// splicer's look-ahead.
//
// Allocates only in SetSampleRate; a change of ratio allocates nothing.
#pragma once

#include "plugin/PeriodSplicer.h"

#include <cstdint>
#include <vector>

class CToneShifter {
public:
    // Ratios above this are clamped: the splicer's queue is sized for them.
    static constexpr float kMaxRatio = 2.0f;

    void SetSampleRate(std::uint32_t samplesPerSecond);
    // Takes effect at the next frame. Setting the current ratio does nothing.
    void SetRatio(float ratio);
    // Shifts x[0..n) in place.
    void Process(float* x, std::uint32_t n);

    float Ratio() const { return m_ratio; }
    std::uint32_t HopIn() const { return m_hopIn; }
    std::uint32_t HopOut() const { return m_hopOut; }
    std::uint32_t FrameLength() const { return m_frame; }
    std::uint32_t StretchedLength() const { return m_stretchedLength; }
    const CPeriodSplicer& Splicer() const { return m_splicer; }

    // Resamples in[0..S) to out[0..F), with the two-tap smoothing that the
    // shifter applies to every frame; `last` is the smoothing memory.
    static void Resample(float* in, std::uint32_t S, float* out, std::uint32_t F, float& last);

private:
    void ProcessFrame();
    void UpdateStretch();

    CPeriodSplicer m_splicer;
    float m_ratio = 1.0f;
    std::uint32_t m_sampleRate = 0;
    std::uint32_t m_hopIn = 0;
    std::uint32_t m_hopOut = 0;
    std::uint32_t m_frame = 0;
    std::uint32_t m_stretchedLength = 0;
    std::vector<float> m_frameBuffer;
    std::vector<float> m_stretched;
    std::uint32_t m_position = 0;
    float m_lastSample = 0.0f;
};
