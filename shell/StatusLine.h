// The frame's status line: a kept status text, and passing messages shown
// for a while before the kept text returns.
//
// SetStatusText and ShowStatusMessage may be called from any thread; each
// holds a lock of its own while it updates the controls, so two callers of
// the same operation never interleave their updates. The display and the
// timer are reached through callbacks that the frame provides; they must be
// safe to call from any thread (the frame queues widget work onto its own
// thread). OnMessageTimer runs on the frame's thread when the timer fires.
#pragma once

#include <functional>
#include <mutex>
#include <string>

namespace shell {

class CStatusLine {
public:
    // Puts text into every status-line control.
    using Display = std::function<void(const std::string& text)>;
    // Starts (or restarts) the one-shot message timer with a duration in
    // milliseconds.
    using StartTimer = std::function<void(unsigned milliseconds)>;

    CStatusLine(Display display, StartTimer startTimer);

    // Shows text and keeps it as the status text.
    void SetStatusText(const char* text);
    // Shows text without keeping it and starts the message timer; a second
    // call before the timer fires restarts it. A null text does nothing.
    void ShowStatusMessage(const char* text, unsigned milliseconds);
    // The message timer fired: the kept status text returns.
    void OnMessageTimer();

    std::string StatusText() const;

private:
    Display m_display;
    StartTimer m_startTimer;
    mutable std::mutex m_textLock;
    std::mutex m_messageLock;
    std::string m_text;
};

} // namespace shell
