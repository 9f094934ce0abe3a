#include "platform/Event.h"

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>
#include <vector>

namespace platform {

namespace {

using Clock = std::chrono::steady_clock;

// Milliseconds left until deadline, for poll(): -1 means no limit.
int Remaining(bool unlimited, Clock::time_point deadline) {
    if (unlimited) return -1;
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

bool Readable(int fd) {
    pollfd p{fd, POLLIN, 0};
    return ::poll(&p, 1, 0) == 1 && (p.revents & POLLIN);
}

} // namespace

Event::Event(Reset mode, bool initiallySet) : m_mode(mode) {
    m_fd = ::eventfd(initiallySet ? 1 : 0, EFD_NONBLOCK | EFD_CLOEXEC);
    // Without an event the threads built on it cannot work at all; this only
    // happens when the process is out of file descriptors.
    if (m_fd < 0) std::abort();
}

Event::~Event() {
    if (m_fd >= 0) ::close(m_fd);
}

void Event::Set() {
    // The counter only ever matters as zero / non-zero, which makes repeated
    // Set() calls saturate like a Windows event.
    m_sets.fetch_add(1, std::memory_order_release);
    std::uint64_t one = 1;
    while (::write(m_fd, &one, sizeof one) < 0 && errno == EINTR) {
    }
}

void Event::ResetEvent() {
    std::uint64_t value;
    while (::read(m_fd, &value, sizeof value) < 0 && errno == EINTR) {
    }
}

bool Event::TryConsume() {
    std::uint64_t value;
    for (;;) {
        if (::read(m_fd, &value, sizeof value) == sizeof value) return true;
        if (errno != EINTR) return false; // EAGAIN: another waiter got it
    }
}

bool Event::IsSet() const {
    if (!Readable(m_fd)) return false;
    Observed();
    return true;
}

bool Event::Wait(int timeoutMs) {
    Event* self = this;
    return WaitForAny(std::span<Event* const>(&self, 1), timeoutMs) == 0;
}

int WaitForAny(std::span<Event* const> events, int timeoutMs) {
    const bool unlimited = timeoutMs < 0;
    const auto deadline = Clock::now() + std::chrono::milliseconds(unlimited ? 0 : timeoutMs);
    // The player's and recorder's threads wait here for every block: keep the
    // usual handful of events on the stack so a wait allocates nothing.
    constexpr std::size_t kOnStack = 32;
    pollfd stackFds[kOnStack];
    std::vector<pollfd> heapFds;
    pollfd* fds = stackFds;
    if (events.size() > kOnStack) {
        heapFds.resize(events.size());
        fds = heapFds.data();
    }
    const std::size_t count = events.size();
    for (std::size_t i = 0; i < count; ++i)
        fds[i] = {events[i]->Descriptor(), POLLIN, 0};

    for (;;) {
        for (std::size_t i = 0; i < count; ++i)
            fds[i].revents = 0;
        int n = ::poll(fds, count, Remaining(unlimited, deadline));
        if (n < 0) {
            if (errno == EINTR) continue;
            return kWaitTimeout;
        }
        for (std::size_t i = 0; i < count; ++i) {
            if (!(fds[i].revents & POLLIN)) continue;
            if (events[i]->Mode() == Event::Reset::Manual || events[i]->TryConsume()) {
                events[i]->Observed();
                return static_cast<int>(i);
            }
        }
        if (n == 0) return kWaitTimeout;
        // Another thread consumed what we saw; wait again for what is left.
        if (!unlimited && Clock::now() >= deadline) return kWaitTimeout;
    }
}

int WaitForAny(std::initializer_list<Event*> events, int timeoutMs) {
    return WaitForAny(std::span<Event* const>(events.begin(), events.size()), timeoutMs);
}

} // namespace platform
