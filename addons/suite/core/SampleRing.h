// A single-producer, single-consumer ring of interleaved float samples.
//
// The decoding thread writes, the player's output thread reads; neither ever
// waits for the other, takes a lock or allocates (the storage is allocated
// once by the constructor). Counters only grow; the index is the counter
// modulo the capacity, which is a power of two.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace suite {

class SampleRing {
public:
    // Room for at least `samples` samples (rounded up to a power of two).
    explicit SampleRing(std::size_t samples) {
        std::size_t capacity = 1;
        while (capacity < samples)
            capacity <<= 1;
        m_data.assign(capacity, 0.0f);
        m_mask = capacity - 1;
    }

    std::size_t Capacity() const { return m_data.size(); }
    // Producer side.
    std::size_t Space() const {
        return Capacity() -
               (m_written.load(std::memory_order_relaxed) - m_read.load(std::memory_order_acquire));
    }
    // Consumer side.
    std::size_t Available() const {
        return m_written.load(std::memory_order_acquire) - m_read.load(std::memory_order_relaxed);
    }

    // Producer: copies up to n samples in, returns how many fitted.
    std::size_t Write(const float* data, std::size_t n) {
        const std::uint64_t w = m_written.load(std::memory_order_relaxed);
        const std::size_t space = Space();
        if (n > space) n = space;
        for (std::size_t i = 0; i < n; ++i)
            m_data[(w + i) & m_mask] = data[i];
        m_written.store(w + n, std::memory_order_release);
        return n;
    }

    // Consumer: takes up to `frames` whole frames of `channelCount` samples
    // and spreads them over the planar arrays; returns the frames taken.
    std::size_t ReadFrames(float* const* channels, std::size_t channelCount, std::size_t frames) {
        if (channelCount == 0) return 0;
        const std::uint64_t r = m_read.load(std::memory_order_relaxed);
        const std::size_t available = Available() / channelCount;
        if (frames > available) frames = available;
        std::uint64_t at = r;
        for (std::size_t f = 0; f < frames; ++f)
            for (std::size_t c = 0; c < channelCount; ++c)
                channels[c][f] = m_data[at++ & m_mask];
        m_read.store(at, std::memory_order_release);
        return frames;
    }

    // Empties the ring; only while neither side runs.
    void Reset() {
        m_written.store(0);
        m_read.store(0);
    }

private:
    std::vector<float> m_data;
    std::size_t m_mask = 0;
    alignas(64) std::atomic<std::uint64_t> m_written{0};
    alignas(64) std::atomic<std::uint64_t> m_read{0};
};

} // namespace suite
