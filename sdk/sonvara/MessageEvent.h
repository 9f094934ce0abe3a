// Window messages between the host's windows and module windows: one fixed
// Qt event type carrying a message number (Messages.h) and its two
// parameters. Send = QCoreApplication::sendEvent (synchronous), post =
// QCoreApplication::postEvent. A module window handles it in event().
#pragma once

#include <QEvent>
#include <cstdint>

namespace sonvara {

class CWindowMessageEvent : public QEvent {
public:
    static constexpr QEvent::Type kType = static_cast<QEvent::Type>(QEvent::User + 0x400);

    CWindowMessageEvent(unsigned message, std::uintptr_t wParam, std::intptr_t lParam)
        : QEvent(kType), m_message(message), m_wParam(wParam), m_lParam(lParam) {}

    unsigned Message() const { return m_message; }
    std::uintptr_t WParam() const { return m_wParam; }
    std::intptr_t LParam() const { return m_lParam; }
    // The result a handler gives back to a sender.
    std::intptr_t Result() const { return m_result; }
    void SetResult(std::intptr_t result) { m_result = result; }

private:
    unsigned m_message;
    std::uintptr_t m_wParam;
    std::intptr_t m_lParam;
    std::intptr_t m_result = 0;
};

} // namespace sonvara
