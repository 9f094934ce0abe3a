#include "shell/StatusLine.h"

namespace shell {

CStatusLine::CStatusLine(Display display, StartTimer startTimer)
    : m_display(std::move(display)), m_startTimer(std::move(startTimer)) {}

void CStatusLine::SetStatusText(const char* text) {
    std::lock_guard lock(m_textLock);
    m_text = text ? text : "";
    if (m_display) m_display(m_text);
}

void CStatusLine::ShowStatusMessage(const char* text, unsigned milliseconds) {
    if (!text) return;
    std::lock_guard lock(m_messageLock);
    if (m_display) m_display(text);
    if (m_startTimer) m_startTimer(milliseconds);
}

void CStatusLine::OnMessageTimer() {
    std::lock_guard lock(m_textLock);
    if (m_display) m_display(m_text);
}

std::string CStatusLine::StatusText() const {
    std::lock_guard lock(m_textLock);
    return m_text;
}

} // namespace shell
