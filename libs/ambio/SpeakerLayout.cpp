#include "libs/ambio/SpeakerLayout.h"

#include <algorithm>
#include <cmath>

namespace ambio {

namespace {

constexpr float kPi = 3.14159265358979f;

// Azimuth of one speaker bit; hasSides moves the back pair further back.
float AzimuthOf(std::uint32_t bit, bool hasSides) {
    switch (bit) {
    case 0x1:
        return -30.0f;
    case 0x2:
        return 30.0f;
    case 0x4:
        return 0.0f;
    case 0x10:
        return hasSides ? -150.0f : -110.0f;
    case 0x20:
        return hasSides ? 150.0f : 110.0f;
    case 0x40:
        return -15.0f;
    case 0x80:
        return 15.0f;
    case 0x100:
        return 180.0f;
    case 0x200:
        return -90.0f;
    case 0x400:
        return 90.0f;
    default:
        return 0.0f;
    }
}

} // namespace

namespace {
struct Mode {
    std::uint32_t mask;
    const char* name;
};
constexpr Mode kModes[kSpeakerModes] = {{0x33, "4.0"},  {0x10F, "4.1"}, {0x3F, "5.1"},
                                        {0x63B, "6.1"}, {0x63F, "7.1"}, {0xFF, "7.1 Front"},
                                        {0x03, ""}};
} // namespace

std::uint32_t SpeakerModeMask(int mode) {
    return kModes[mode >= 0 && mode < kSpeakerModes ? mode : 2].mask;
}

const char* SpeakerModeName(int mode) {
    return kModes[mode >= 0 && mode < kSpeakerModes ? mode : 2].name;
}

int SpeakerLayout::ChannelOf(std::uint32_t speakerBit) const {
    if (!(mask & speakerBit)) return -1;
    int channel = 0;
    for (std::uint32_t bit = 1; bit < speakerBit; bit <<= 1)
        if (mask & bit) ++channel;
    return channel;
}

SpeakerLayout MakeLayout(std::uint32_t mask) {
    mask &= 0x7FF;
    if ((mask & ~kSpeakerLfe) == 0) mask = 0x3;
    SpeakerLayout layout;
    const bool hasSides = (mask & 0x600) != 0;
    for (std::uint32_t bit = 1; bit <= 0x400 && layout.channels < kMaxSpeakers; bit <<= 1) {
        if (!(mask & bit)) continue;
        layout.mask |= bit;
        const int channel = layout.channels++;
        if (bit == kSpeakerLfe) {
            layout.lfeChannel = channel;
            continue;
        }
        layout.ringChannel[layout.ringCount] = channel;
        layout.ringAzimuth[layout.ringCount] = AzimuthOf(bit, hasSides);
        ++layout.ringCount;
    }
    // Insertion sort by azimuth: at most eight entries.
    for (int i = 1; i < layout.ringCount; ++i) {
        for (int j = i; j > 0 && layout.ringAzimuth[j] < layout.ringAzimuth[j - 1]; --j) {
            std::swap(layout.ringAzimuth[j], layout.ringAzimuth[j - 1]);
            std::swap(layout.ringChannel[j], layout.ringChannel[j - 1]);
        }
    }
    return layout;
}

void PanGains(const SpeakerLayout& layout, float azimuth, float spread,
              std::array<float, kMaxSpeakers>& gains) {
    gains.fill(0.0f);
    const int n = layout.ringCount;
    if (n == 0) return;
    spread = std::clamp(spread, 0.0f, 1.0f);
    if (n == 1) {
        gains[layout.ringChannel[0]] = 1.0f;
        return;
    }
    // Into (-180, 180].
    azimuth = std::fmod(azimuth, 360.0f);
    if (azimuth <= -180.0f) azimuth += 360.0f;
    if (azimuth > 180.0f) azimuth -= 360.0f;
    // The pair (a, b) going clockwise from a to b that holds the azimuth;
    // the last pair wraps round behind the listener.
    int a = n - 1, b = 0;
    for (int i = 0; i + 1 < n; ++i) {
        if (azimuth >= layout.ringAzimuth[i] && azimuth <= layout.ringAzimuth[i + 1]) {
            a = i;
            b = i + 1;
            break;
        }
    }
    float from = layout.ringAzimuth[a];
    float span = layout.ringAzimuth[b] - from;
    if (span <= 0.0f) span += 360.0f;
    float offset = azimuth - from;
    if (offset < 0.0f) offset += 360.0f;
    const float t = std::clamp(offset / span, 0.0f, 1.0f);
    const float wPair = 1.0f - spread;
    const float wAll = spread / std::sqrt(static_cast<float>(n));
    // Blending amplitudes of the two laws and normalising keeps the power at
    // one across the whole blend.
    float sum = 0.0f;
    for (int i = 0; i < n; ++i) {
        float g = wAll;
        if (i == a) g += wPair * std::cos(t * kPi / 2);
        if (i == b) g += wPair * std::sin(t * kPi / 2);
        gains[layout.ringChannel[i]] = g;
        sum += g * g;
    }
    const float norm = sum > 0.0f ? 1.0f / std::sqrt(sum) : 0.0f;
    for (int i = 0; i < n; ++i)
        gains[layout.ringChannel[i]] *= norm;
}

} // namespace ambio
