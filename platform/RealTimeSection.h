// Marks the code a real-time thread runs for every block: the sound card's
// callbacks and the player's refill behind them. Such code allocates
// nothing, never waits for a lock (try_lock is fine) and does no I/O.
//
// The mark costs one thread-local counter; it exists so that a test can
// hook the allocation and locking functions and count only what happens
// inside these sections, on whichever thread they run.
#pragma once

namespace platform {

class RealTimeSection {
public:
    RealTimeSection() noexcept;
    ~RealTimeSection();
    RealTimeSection(const RealTimeSection&) = delete;
    RealTimeSection& operator=(const RealTimeSection&) = delete;

    // Whether the calling thread is inside a section now.
    static bool Inside() noexcept;
};

} // namespace platform
