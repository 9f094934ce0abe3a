// A device that fails while it runs (unplugged, its sound server gone, its
// stream ended by the system): the backend reports it from its own thread,
// and the owner, woken through an event of its own, fails its run.
//
// Report is real-time safe: one atomic exchange and Event::Set. Only the
// first report of a run counts; Clear starts a new run.
#pragma once

#include "platform/Event.h"

#include <atomic>
#include <string>

namespace platform::audio {

class DeviceFailure {
public:
    // The event to signal on a report (null: none). Set while the device
    // does not run; the event must outlive the device or the next call.
    void SetEvent(Event* event) { m_event.store(event, std::memory_order_release); }
    // reason must have static storage (a string literal): the backend's
    // thread may not allocate.
    void Report(const char* reason) {
        const char* none = nullptr;
        if (!m_reason.compare_exchange_strong(none, reason, std::memory_order_acq_rel)) return;
        if (Event* event = m_event.load(std::memory_order_acquire)) event->Set();
    }
    bool Failed() const { return m_reason.load(std::memory_order_acquire) != nullptr; }
    std::string Reason() const {
        const char* reason = m_reason.load(std::memory_order_acquire);
        return reason ? reason : "";
    }
    void Clear() { m_reason.store(nullptr, std::memory_order_release); }

private:
    std::atomic<const char*> m_reason{nullptr};
    std::atomic<Event*> m_event{nullptr};
};

} // namespace platform::audio
