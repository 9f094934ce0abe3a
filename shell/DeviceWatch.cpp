#include "shell/DeviceWatch.h"

#include "platform/AtomicFile.h"

namespace shell {

CDeviceWatch::CDeviceWatch(QObject* parent, OnChange onChange, ListSource source)
    : QObject(parent), m_onChange(std::move(onChange)), m_source(std::move(source)) {
    m_last = m_source ? m_source() : std::string();
    connect(&m_timer, &QTimer::timeout, this, [this] { Poll(); });
}

void CDeviceWatch::Start(int periodMs) {
    m_timer.start(periodMs);
}

void CDeviceWatch::Poll() {
    if (!m_source) return;
    std::string now = m_source();
    if (now == m_last) return;
    m_last = std::move(now);
    if (m_onChange) m_onChange();
}

CDeviceWatch::ListSource CDeviceWatch::DefaultSource() {
    return [] {
        // Every PCM device of every card, with its playback and capture
        // sub-devices: what the audio back end can open.
        std::string list;
        platform::ReadWholeFile("/proc/asound/pcm", list);
        return list;
    };
}

} // namespace shell
