// Raising the calling thread's scheduling priority as far as the system
// allows, for the threads that must keep up with a sound device.
#pragma once

#include <string>

namespace platform {

// Tries first-in first-out real-time scheduling (SCHED_FIFO) at its highest
// priority, or at the highest RLIMIT_RTPRIO grants; where that is not
// permitted (no root, no real-time limit granted), the lowest nice value
// RLIMIT_NICE allows for this thread.
// Returns what was obtained, e.g. "SCHED_FIFO 99", "nice -11" or "nice 0
// (not raised: ...)".
std::string RaiseCurrentThreadPriority();

} // namespace platform
