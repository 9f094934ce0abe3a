// The few fixed-width names the Windows-shaped interfaces of this tree use.
#pragma once

#include <cstdint>

namespace platform {
using BOOL = int;
using DWORD = std::uint32_t;
using UINT = std::uint32_t;
using LONG = std::int32_t;
} // namespace platform
