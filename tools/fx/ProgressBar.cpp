#include "tools/fx/ProgressBar.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <sys/ioctl.h>
#include <unistd.h>

namespace fx {

std::string FormatDuration(double seconds) {
    auto total = static_cast<long long>(std::max(0.0, std::floor(seconds)));
    long long h = total / 3600, m = total / 60 % 60, s = total % 60;
    char text[32];
    if (h > 0)
        std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", h, m, s);
    else
        std::snprintf(text, sizeof text, "%lld:%02lld", m, s);
    return text;
}

ProgressBar::ProgressBar(std::FILE* out, std::uint64_t totalFrames, std::uint32_t rate, int width)
    : m_out(out), m_total(totalFrames), m_rate(rate ? rate : 1), m_width(width),
      m_start(std::chrono::steady_clock::now()) {}

std::string ProgressBar::Render(std::uint64_t done, std::uint64_t total, std::uint32_t rate,
                                int width, double eta) {
    rate = rate ? rate : 1;
    // Frame counts from a header can be short of the truth; never show more
    // than all of it.
    if (total > 0) done = std::min(done, total);
    std::string position = FormatDuration(static_cast<double>(done) / rate);
    if (total == 0) return "processed " + position;

    double fraction = static_cast<double>(done) / static_cast<double>(total);
    char percent[8];
    std::snprintf(percent, sizeof percent, "%3d%%", static_cast<int>(fraction * 100.0));
    std::string times = "  " + position + " / " + FormatDuration(static_cast<double>(total) / rate);
    if (eta >= 0.0) times += "  ETA " + FormatDuration(std::ceil(eta));

    // Whatever room is left on the line goes to the bar itself.
    int barWidth = width - 1 - static_cast<int>(std::string(percent).size() + 3 + times.size());
    std::string line = percent;
    if (barWidth >= 10) {
        barWidth = std::min(barWidth, 50);
        int filled = static_cast<int>(fraction * barWidth);
        line += " [" + std::string(static_cast<std::size_t>(filled), '#') +
                std::string(static_cast<std::size_t>(barWidth - filled), '.') + "]";
    }
    return line + times;
}

int ProgressBar::TerminalWidth() {
    winsize ws{};
    if (::ioctl(STDERR_FILENO, TIOCGWINSZ, &ws) == 0 && ws.ws_col > 0) return ws.ws_col;
    if (const char* columns = std::getenv("COLUMNS")) {
        int n = std::atoi(columns);
        if (n > 0) return n;
    }
    return 80;
}

void ProgressBar::Update(std::uint64_t doneFrames) {
    double eta = -1.0;
    if (m_total > 0 && doneFrames > 0) {
        double elapsed =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - m_start).count();
        // Wait a moment before guessing, the first blocks include start-up.
        if (elapsed > 1.0) {
            double left = static_cast<double>(m_total - std::min(doneFrames, m_total));
            eta = elapsed * left / static_cast<double>(doneFrames);
        }
    }
    std::string line = Render(doneFrames, m_total, m_rate, m_width, eta);
    if (line == m_last) return;
    // Pad over the remains of a longer previous line.
    std::string padded = line;
    if (m_last.size() > line.size()) padded.append(m_last.size() - line.size(), ' ');
    std::fprintf(m_out, "\r%s", padded.c_str());
    std::fflush(m_out);
    m_last = std::move(line);
}

void ProgressBar::Finish() {
    if (m_last.empty()) return;
    std::fprintf(m_out, "\r%s\r", std::string(m_last.size(), ' ').c_str());
    std::fflush(m_out);
    m_last.clear();
}

} // namespace fx
