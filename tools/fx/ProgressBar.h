// A one-line progress bar on standard error for long runs:
//   " 42% [##########..............]  1:23 / 3:20  ETA 0:07"
// redrawn in place with a carriage return, and only when its text changes,
// so a fast run does not flood a slow terminal.
#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>

namespace fx {

class ProgressBar {
public:
    // total: frames expected (0 when unknown: the bar then shows only the
    // position); rate: frames per second, for the times shown.
    ProgressBar(std::FILE* out, std::uint64_t totalFrames, std::uint32_t rate, int width);

    void Update(std::uint64_t doneFrames);
    // Erases the bar, leaving the cursor at the start of an empty line.
    void Finish();

    // The text of the bar, without the carriage return; `eta` is the
    // estimated remaining wall time in seconds, negative when unknown.
    static std::string Render(std::uint64_t done, std::uint64_t total, std::uint32_t rate,
                              int width, double eta);
    // Columns of the terminal on fd 2, or 80.
    static int TerminalWidth();

private:
    std::FILE* m_out;
    std::uint64_t m_total;
    std::uint32_t m_rate;
    int m_width;
    std::string m_last;
    std::chrono::steady_clock::time_point m_start;
};

// m:ss, or h:mm:ss from an hour on.
std::string FormatDuration(double seconds);

} // namespace fx
