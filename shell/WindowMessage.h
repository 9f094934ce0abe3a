// Window messages between the host's windows: one fixed Qt event type that
// carries a message number and its two parameters, with the numbers the
// host, modules and plug-ins agree on. Send = QCoreApplication::sendEvent
// (synchronous), post = QCoreApplication::postEvent.
//
// The event type is fixed for the whole program; the module interface will
// take these definitions over into the SDK when modules arrive.
#pragma once

#include <QEvent>
#include <cstdint>

namespace shell {

inline constexpr unsigned WM_CLOSE = 0x0010;
inline constexpr unsigned WM_COMMAND = 0x0111;
inline constexpr unsigned WM_USER = 0x0400;
// Sent to every window of the frame after a skin change.
inline constexpr unsigned WM_SKIN_CHANGED = 0x046F;

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

// A command as WM_COMMAND carries it: the id in the low 16 bits.
inline CWindowMessageEvent* NewCommandEvent(unsigned commandId) {
    return new CWindowMessageEvent(WM_COMMAND, commandId & 0xFFFF, 0);
}

} // namespace shell
