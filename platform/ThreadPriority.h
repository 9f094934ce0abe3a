// Raising the calling thread's scheduling priority as far as the system
// allows, for the threads that must keep up with a sound device.
#pragma once

#include <string>

namespace platform {

// Tries real-time round-robin scheduling (SCHED_FIFO at its highest
// priority) first; where that is not permitted (no root, no real-time limit
// granted), the lowest nice value the process may take for this thread.
// Returns what was obtained, e.g. "SCHED_FIFO 99", "nice -11" or "nice 0
// (not raised: ...)".
std::string RaiseCurrentThreadPriority();

} // namespace platform
