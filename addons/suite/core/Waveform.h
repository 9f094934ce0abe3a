// The outline of a whole track for the seek bar: the peak of each of
// `columns` equal slices, 0..1. Computed on a worker thread; `cancel` is
// polled between reads.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

namespace suite {

std::vector<float> ComputeWaveform(const std::string& path, std::size_t columns,
                                   const std::atomic<bool>* cancel = nullptr);

} // namespace suite
