// A thread that keeps time in frames for the devices without sound hardware:
// once a period (ten milliseconds unless told otherwise) it hands its tick
// function the frames that became due at the sample rate since the last tick.
//
// After a hold-up longer than maxBacklog frames it carries on from now (less
// half the backlog), as a sound card does after an overrun, rather than race
// through the backlog.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>

namespace platform::audio {

class FrameClock {
public:
    using Tick = std::function<void(std::uint32_t frames)>;

    FrameClock() = default;
    ~FrameClock() { Stop(); }
    FrameClock(const FrameClock&) = delete;
    FrameClock& operator=(const FrameClock&) = delete;

    static constexpr int kDefaultPeriodMs = 10;

    // Starts the thread; the tick runs on it, without any lock of ours held.
    void Start(std::uint32_t rate, std::uint64_t maxBacklog, Tick tick,
               int periodMs = kDefaultPeriodMs);
    // Ends the thread; no tick runs once this returns.
    void Stop();
    bool IsRunning() const { return m_thread.joinable(); }

private:
    void Run(std::uint32_t rate, std::uint64_t maxBacklog, int periodMs);

    Tick m_tick;
    std::thread m_thread;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_quit = false;
};

} // namespace platform::audio
