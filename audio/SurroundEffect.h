// The surround processor as the player sees it, and a pass-through stand-in
// until the real upmixer exists.
//
// The player embeds one processor by value (CSurroundEffect). Contract:
//   - SetFormat gets the player's 40-byte format at construction and on
//     every format change;
//   - Process turns a block of the player's channels into OutputChannels()
//     channels in place, keeping `frames` and `valid`; the channel arrays it
//     leaves in the block may be its own and must hold `frames` samples;
//   - OutputChannels() and OutputChannelMask() describe what Process leaves,
//     and become the output device's layout while surround is on;
//   - the setters take the values the surround settings produce; where a
//     bool "apply now" argument exists, callers pass true.
// Threads: the setters run on the window thread and Process on the player's
// output thread; the player serialises them with its processing lock.
// Process allocates nothing.
#pragma once

#include "sonvara/StreamBuffer.h"
#include "sonvara/WaveFormat.h"

#include <cstdint>

// Stand-in processor: hands every block back unchanged and reports the
// player's own layout as its output, while keeping the settings it is given
// so that the settings code can be built and checked against it.
class CPassThroughSurroundEffect {
public:
    struct Settings {
        std::uint32_t speakersMask = 0x3F;
        int lfeMaxFreq = 80;
        float lfeVolume = 1.0f;
        float volume = 1.0f;
        float revWet = 1.87f;
        float revDry = 0.0f;
        float revAbsorb = 0.14f;
        float revHFDecay = 0.42f;
        float roomWidth = 25.0f;
        float roomHeight = 25.0f;
        float soundX = 12.5f;
        float soundY = 12.5f;
        bool moveOff = true;
        bool reverb = true;
        bool processAdvance = false;
    };

    CPassThroughSurroundEffect() = default;
    virtual ~CPassThroughSurroundEffect() = default;

    virtual void SetFormat(const WAVEFORMATEXTENSIBLE* format);
    virtual void Process(StreamBuffer* block);

    int OutputChannels() const { return m_channels; }
    std::uint32_t OutputChannelMask() const { return m_mask; }

    void SetSpeakersConfig(int channelMask, bool) { m_settings.speakersMask = channelMask; }
    void SetLFEMaxFreq(int hz, bool) { m_settings.lfeMaxFreq = hz; }
    void SetLFEVolume(float v, bool) { m_settings.lfeVolume = v; }
    void SetVolume(float v, bool) { m_settings.volume = v; }
    void SetRevWet(float v) { m_settings.revWet = v; }
    void SetRevDry(float v) { m_settings.revDry = v; }
    void SetRevAbsorb(float v) { m_settings.revAbsorb = v; }
    void SetRevHFDecay(float v) { m_settings.revHFDecay = v; }
    void SetRoomSize(float width, float height, bool) {
        m_settings.roomWidth = width;
        m_settings.roomHeight = height;
    }
    void SetSoundPos(float x, float y, bool) {
        m_settings.soundX = x;
        m_settings.soundY = y;
    }
    void SetMoveOff(bool on) { m_settings.moveOff = on; }
    void SetReverb(bool on) { m_settings.reverb = on; }
    void SetProcessAdvance(bool on) { m_settings.processAdvance = on; }

    const Settings& CurrentSettings() const { return m_settings; }

private:
    int m_channels = 2;
    std::uint32_t m_mask = 0x3;
    Settings m_settings;
};

// The processor the player embeds.
using CSurroundEffect = CPassThroughSurroundEffect;

// A whole set of surround settings as the player applies them at once, in
// the processor's units (volumes as factors, sizes and positions in metres).
struct SurroundParams {
    int lfeFrequency = 80;
    float positioningVolume = 1.0f;
    float lfeVolume = 1.0f;
    float reverberationVolume = 1.87f;
    float originalVolume = 0.0f;
    float absorption = 0.14f;
    float hiFreqDecay = 0.42f;
    float roomWidth = 25.0f;
    float roomHeight = 25.0f;
    float soundX = 12.5f;
    float soundY = 12.5f;
    bool delays = true;
    bool reverberation = true;
    bool processAdvance = false;
};
