// Speaker layouts named by a channel mask, and constant-power panning over
// them.
//
// A mask lists the speakers present, one bit each in the usual order (front
// left 0x1, front right 0x2, front centre 0x4, LFE 0x8, back left 0x10, back
// right 0x20, front left of centre 0x40, front right of centre 0x80, back
// centre 0x100, side left 0x200, side right 0x400); the output channels come
// in bit order. Every speaker but the LFE sits on a circle round the
// listener at an azimuth in degrees: 0 straight ahead, positive to the right.
// Back speakers sit at +-110 degrees unless the layout also has side
// speakers, which then take +-90 and push the back pair to +-150.
//
// No allocation, no lock: usable on the audio thread.
#pragma once

#include <array>
#include <cstdint>

namespace ambio {

inline constexpr int kMaxSpeakers = 8;
inline constexpr std::uint32_t kSpeakerLfe = 0x8;

struct SpeakerLayout {
    std::uint32_t mask = 0;
    int channels = 0; // output channels, LFE included
    int lfeChannel = -1;
    // The speakers that take panned sound, sorted by azimuth (-180, 180].
    int ringCount = 0;
    std::array<int, kMaxSpeakers> ringChannel{};
    std::array<float, kMaxSpeakers> ringAzimuth{};
    // Output channel of a speaker bit, -1 when the layout lacks it.
    int ChannelOf(std::uint32_t speakerBit) const;
};

// The speaker modes the settings offer, by number: 0 "4.0" (0x33), 1 "4.1"
// (0x10F), 2 "5.1" (0x3F), 3 "6.1" (0x63B), 4 "7.1" (0x63F), 5 "7.1 Front"
// (0xFF), and 6, plain stereo (0x03, no name). Other numbers read as 5.1.
inline constexpr int kSpeakerModes = 7;
std::uint32_t SpeakerModeMask(int mode);
const char* SpeakerModeName(int mode);

// The layout of a mask; bits above 0x400 are ignored, and at most
// kMaxSpeakers channels are kept. A mask without a panning speaker becomes
// plain stereo (0x3).
SpeakerLayout MakeLayout(std::uint32_t mask);

// Constant-power gains of a source at azimuth (degrees): the two speakers of
// the ring that enclose it share it by the sine/cosine law, so the gains'
// squares sum to one. spread (0..1) blends towards every ring speaker alike
// (1/sqrt(n) each), for a source at the listener's own place. gains gets one
// value per output channel (the LFE's stays 0).
void PanGains(const SpeakerLayout& layout, float azimuth, float spread,
              std::array<float, kMaxSpeakers>& gains);

} // namespace ambio
