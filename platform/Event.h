// Manual- and auto-reset events, and waiting for one of several: what the
// player's and recorder's threads are driven by.
//
// Set() takes no lock and never blocks, so a real-time audio callback may
// signal an event. On Linux an event is an eventfd; waiting is poll().
// Whatever a thread wrote before Set() is visible to a thread that then sees
// the event signalled (a wait that returns it, IsSet() true).
#pragma once

#include <atomic>
#include <cstdint>
#include <initializer_list>
#include <span>

namespace platform {

class Event {
public:
    enum class Reset { Manual, Auto };

    // initiallySet: whether the event starts signalled.
    explicit Event(Reset mode = Reset::Auto, bool initiallySet = false);
    ~Event();
    Event(const Event&) = delete;
    Event& operator=(const Event&) = delete;

    // Signals the event. A manual-reset event stays signalled until Reset();
    // an auto-reset event releases one waiter and clears itself (signalling
    // an already signalled event changes nothing).
    void Set();
    // Clears the event.
    void ResetEvent();
    // Waits until the event is signalled (timeoutMs < 0: without limit).
    // True when signalled, false on time-out. Consumes an auto-reset event.
    bool Wait(int timeoutMs = -1);
    // Whether the event is signalled now, without consuming it.
    bool IsSet() const;

    Reset Mode() const { return m_mode; }
    int Descriptor() const { return m_fd; }

    // Consumes an auto-reset event's signal; true if this caller got it.
    bool TryConsume();

private:
    friend int WaitForAny(std::span<Event* const> events, int timeoutMs);
    // The kernel orders the eventfd, but a poll() that finds it readable is
    // not an acquire the compiler or ThreadSanitizer can see: Set releases
    // this counter and every wait that finds the event signalled acquires it.
    void Observed() const { (void)m_sets.load(std::memory_order_acquire); }

    Reset m_mode;
    int m_fd = -1;
    std::atomic<std::uint32_t> m_sets{0};
};

inline constexpr int kWaitTimeout = -1;

// Waits until one of the events is signalled and returns its index (the
// lowest index when several are); kWaitTimeout when timeoutMs passes first
// (timeoutMs < 0: without limit). An auto-reset event that is returned has
// been consumed.
int WaitForAny(std::span<Event* const> events, int timeoutMs = -1);
int WaitForAny(std::initializer_list<Event*> events, int timeoutMs = -1);

} // namespace platform
