#include "platform/ThreadPriority.h"

#include <cerrno>
#include <cstring>
#include <pthread.h>
#include <sched.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace platform {

std::string RaiseCurrentThreadPriority() {
    sched_param param{};
    param.sched_priority = sched_get_priority_max(SCHED_FIFO);
    int fifo = pthread_setschedparam(pthread_self(), SCHED_FIFO, &param);
    // Without privilege RLIMIT_RTPRIO caps the priority (the audio group's
    // limit is often below the maximum); take what it allows.
    rlimit rt{};
    if (fifo == EPERM && ::getrlimit(RLIMIT_RTPRIO, &rt) == 0 && rt.rlim_cur > 0 &&
        rt.rlim_cur < static_cast<rlim_t>(param.sched_priority)) {
        param.sched_priority = static_cast<int>(rt.rlim_cur);
        fifo = pthread_setschedparam(pthread_self(), SCHED_FIFO, &param);
    }
    if (fifo == 0) return "SCHED_FIFO " + std::to_string(param.sched_priority);

    // On Linux a nice value belongs to the thread (its task id), not the
    // whole process. Without privilege only RLIMIT_NICE allows going below
    // the current value; try from the strongest down.
    const auto tid = static_cast<id_t>(::syscall(SYS_gettid));
    errno = 0;
    const int current = ::getpriority(PRIO_PROCESS, tid);
    for (int nice = -20; nice < current; ++nice)
        if (::setpriority(PRIO_PROCESS, tid, nice) == 0) return "nice " + std::to_string(nice);
    return "nice " + std::to_string(current) + " (not raised: SCHED_FIFO " + std::strerror(fifo) +
           ", a lower nice value is not permitted)";
}

} // namespace platform
