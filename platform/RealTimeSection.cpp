#include "platform/RealTimeSection.h"

namespace platform {

namespace {

// Sections nest: a device callback may run the whole refill inline.
thread_local int t_depth = 0;

} // namespace

RealTimeSection::RealTimeSection() noexcept {
    ++t_depth;
}

RealTimeSection::~RealTimeSection() {
    --t_depth;
}

bool RealTimeSection::Inside() noexcept {
    return t_depth > 0;
}

} // namespace platform
