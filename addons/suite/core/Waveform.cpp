#include "core/Waveform.h"

#include <algorithm>
#include <cmath>
#include <sndfile.h>

namespace suite {

std::vector<float> ComputeWaveform(const std::string& path, std::size_t columns,
                                   const std::atomic<bool>* cancel) {
    SF_INFO info{};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    if (!file) return {};
    std::vector<float> peaks;
    if (info.frames > 0 && info.channels > 0 && columns > 0) {
        peaks.assign(columns, 0.0f);
        const auto channels = static_cast<std::size_t>(info.channels);
        const auto total = static_cast<std::uint64_t>(info.frames);
        std::vector<float> buffer(4096 * channels);
        std::uint64_t at = 0;
        while (!(cancel && cancel->load())) {
            const sf_count_t n = sf_readf_float(file, buffer.data(), 4096);
            if (n <= 0) break;
            for (sf_count_t f = 0; f < n; ++f, ++at) {
                const std::size_t column =
                    std::min<std::uint64_t>(at * columns / total, columns - 1);
                for (std::size_t c = 0; c < channels; ++c)
                    peaks[column] = std::max(peaks[column], std::fabs(buffer[f * channels + c]));
            }
        }
        for (float& p : peaks)
            p = std::min(p, 1.0f);
    }
    sf_close(file);
    return peaks;
}

} // namespace suite
