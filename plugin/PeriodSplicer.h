// Time-scale modification of one channel by removing or repeating whole pitch
// periods at points where the signal matches itself best, with a short
// cross-fade at each splice.
//
// Process takes one hop of input and returns any number of frames near it:
// fewer shortens, more lengthens. Output lags input by (window - hop) / 2
// frames, the look-ahead of the analysis window. All storage is sized by
// SetSampleRate; Process allocates only when the splice-point search needs a
// longer difference buffer than ever before.
#pragma once

#include "dsp/nsp.h"

#include <cstdint>
#include <vector>

// Autocorrelation through a zero-padded FFT.
class CPeriodFinder {
public:
    // Sizes the work space for frames up to `frames`; returns the FFT length.
    std::uint32_t Prepare(std::uint32_t frames);
    // The autocorrelation of x[0..n) at lags 0 .. Length() - 1 (lags beyond
    // n are zero or wrap around).
    const float* Autocorrelate(const float* x, std::uint32_t n);
    std::uint32_t Length() const { return static_cast<std::uint32_t>(m_time.size()); }

private:
    int m_order = 0;
    std::vector<float> m_time;  // the input, then zeros
    std::uint32_t m_filled = 0; // input frames in m_time from the last call
    std::vector<float> m_lags;  // the autocorrelation
    std::vector<SCplx> m_spectrum;
};

class CPeriodSplicer {
public:
    // The output queue holds this many frames at 44 100 samples per second;
    // higher rates get a larger queue (see SetSampleRate).
    static constexpr std::uint32_t kMinQueueFrames = 44100;

    // Returns the hop: the input frames each Process call takes.
    std::uint32_t SetSampleRate(std::uint32_t samplesPerSecond);
    // input: hop frames; output: room for `wanted` frames.
    void Process(const float* input, float* output, std::uint32_t wanted);

    std::uint32_t Hop() const { return m_hop; }
    std::uint32_t WindowLength() const { return m_windowLength; }
    std::uint32_t CrossFadeLength() const { return m_crossFade; }
    std::uint32_t MinimumLag() const { return m_minimumLag; }
    std::uint32_t QueueFill() const { return m_queueFill; }
    std::uint32_t QueueCapacity() const { return m_queueCapacity; }
    // Largest frames a Process call may be asked for.
    std::uint32_t MaxWanted() const { return 2 * m_hop; }

private:
    // Pitch-period candidates: the strongest lag and its refined multiples.
    void FindCandidates(std::uint32_t limit);
    std::uint32_t SplicePoint(std::uint32_t lag);
    void RemovePeriods(std::uint32_t excess, std::uint32_t limit);
    void InsertPeriods(std::uint32_t need, std::uint32_t limit);
    // The queue's first frame.
    float* Queue() { return m_queue.data() + m_queueStart; }
    // Takes `frames` off the front of the queue.
    void Consume(std::uint32_t frames);

    std::uint32_t m_sampleRate = 0;
    std::uint32_t m_hop = 0;
    std::uint32_t m_windowLength = 0;
    std::uint32_t m_crossFade = 0;
    std::uint32_t m_minimumLag = 0;
    std::uint32_t m_centre = 0;
    // Frames the queue may keep after an output; see Process.
    std::uint32_t m_backlogLimit = 0;
    static constexpr std::uint32_t kWindowSlack = 8; // hops
    std::vector<float> m_window;
    std::size_t m_windowStart = 0;                  // of the current window in m_window
    static constexpr std::uint32_t kQueueSlack = 4; // largest outputs
    std::vector<float> m_queue;
    std::uint32_t m_queueCapacity = 0;
    std::uint32_t m_queueSlack = 0;
    std::uint32_t m_queueStart = 0;
    std::uint32_t m_queueFill = 0;
    std::vector<float> m_fadeOut;
    std::vector<float> m_fadeIn;
    std::vector<float> m_crossA;
    std::vector<float> m_crossB;
    std::vector<float> m_difference;
    std::vector<std::uint32_t> m_candidates;
    CPeriodFinder m_finder;
};
