#include "platform/audio/FrameClock.h"

#include <algorithm>
#include <chrono>

namespace platform::audio {

void FrameClock::Start(std::uint32_t rate, std::uint64_t maxBacklog, Tick tick, int periodMs) {
    Stop();
    m_tick = std::move(tick);
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_quit = false;
    }
    periodMs = std::max(1, periodMs);
    m_thread = std::thread([this, rate, maxBacklog, periodMs] { Run(rate, maxBacklog, periodMs); });
}

void FrameClock::Stop() {
    if (!m_thread.joinable()) return;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_quit = true;
    }
    m_wake.notify_all();
    m_thread.join();
}

void FrameClock::Run(std::uint32_t rate, std::uint64_t maxBacklog, int periodMs) {
    using Clock = std::chrono::steady_clock;
    const auto start = Clock::now();
    std::uint64_t done = 0;
    std::unique_lock<std::mutex> lock(m_mutex);
    while (!m_quit) {
        m_wake.wait_for(lock, std::chrono::milliseconds(periodMs));
        if (m_quit) break;
        const auto elapsed =
            std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now() - start).count();
        const std::uint64_t due = static_cast<std::uint64_t>(elapsed) * rate / 1000000000u;
        if (due - done > maxBacklog) done = due - maxBacklog / 2;
        const auto frames = static_cast<std::uint32_t>(due - done);
        if (frames == 0) continue;
        lock.unlock();
        m_tick(frames);
        lock.lock();
        done += frames;
    }
}

} // namespace platform::audio
