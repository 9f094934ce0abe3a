#include "libs/trestle/SD2MME.h"

#include <cmath>
#include <cstring>

namespace {

// Scales, rounds (halves away from zero) and clips one sample to a signed
// code of the given width. A float times a power of two up to 2^31 is exact
// in a double, and so is adding a half to it, so truncating v +- 0.5 rounds
// exactly as std::round does, without its library call on every sample.
template <int Bits> inline std::int32_t ToCode(float x) {
    constexpr double scale = static_cast<double>(1u << (Bits - 1));
    constexpr double hi = scale - 1.0;
    constexpr double lo = -scale;
    const double v = static_cast<double>(x) * scale;
    if (!(v >= lo)) return (v != v) ? 0 : static_cast<std::int32_t>(lo); // NaN -> 0
    if (v >= hi) return static_cast<std::int32_t>(hi);
    return static_cast<std::int32_t>(v + (v < 0.0 ? -0.5 : 0.5));
}

template <int Bits> inline void Put(std::uint8_t* p, float x) {
    const std::int32_t c = ToCode<Bits>(x);
    if constexpr (Bits == 8) {
        p[0] = static_cast<std::uint8_t>(c + 128);
    } else {
        const auto u = static_cast<std::uint32_t>(c);
        for (int i = 0; i < Bits / 8; ++i)
            p[i] = static_cast<std::uint8_t>(u >> (8 * i));
    }
}

template <int Bits>
void Convert(const StreamBuffer& block, std::uint32_t first, std::uint32_t frames,
             std::uint8_t* dst, unsigned channels) {
    constexpr unsigned width = Bits / 8;
    const unsigned stride = width * channels;
    const unsigned have = static_cast<unsigned>(block.channels.size());
    for (unsigned c = 0; c < channels; ++c) {
        std::uint8_t* out = dst + c * width;
        const float* in = c < have ? block.channels[c] : nullptr;
        if (!in) {
            for (std::uint32_t f = 0; f < frames; ++f, out += stride)
                Put<Bits>(out, 0.0f);
            continue;
        }
        in += first;
        for (std::uint32_t f = 0; f < frames; ++f, out += stride)
            Put<Bits>(out, in[f]);
    }
}

} // namespace

std::uint32_t SD2MME(const StreamBuffer* block, std::uint32_t first, std::uint32_t frames,
                     void* dst, const WAVEFORMATEX* format) {
    if (!block || !dst || !format || format->nChannels == 0) return 0;
    const unsigned channels = format->nChannels;
    auto* out = static_cast<std::uint8_t*>(dst);
    switch (format->wBitsPerSample) {
    case 8:
        Convert<8>(*block, first, frames, out, channels);
        break;
    case 16:
        Convert<16>(*block, first, frames, out, channels);
        break;
    case 24:
        Convert<24>(*block, first, frames, out, channels);
        break;
    case 32:
        Convert<32>(*block, first, frames, out, channels);
        break;
    default:
        return 0;
    }
    return frames * channels * (format->wBitsPerSample / 8u);
}
