// CSurroundEffect: turns the player's channels into a speaker feed for one
// of the usual surround layouts.
//
// What comes out of every speaker channel is the sum of four parts:
//   - the original: each input channel on the speaker of its own position
//     (front left on front left, and so on; a channel the layout lacks goes
//     to the nearest front speakers), scaled by SetRevDry;
//   - the positioned source: the input folded to one signal and placed at a
//     virtual position in a room seen from above, with the listener in the
//     middle of the room. It is panned over the two speakers that enclose
//     its direction with constant power, its level falls with the distance,
//     and it arrives after its travel time. A source on the listener's spot
//     spreads over all speakers. Scaled by SetVolume;
//   - early reflections (SetMoveOff(true)): the source mirrored in the four
//     walls, each mirror image a further panned, delayed and weakened copy
//     (the wall keeps 1 - absorption of it);
//   - late reverberation (SetReverb(true)): an eight-line feedback-delay
//     network (Reverberator.h) whose decay follows the room size and the
//     absorption, scaled by SetRevWet.
// The LFE channel, where the layout has one, carries the folded input
// through an eighth-order low-pass, scaled by SetLFEVolume.
//
// Calls, in the order a host makes them:
//   - SetFormat (virtual slot 1) with the player's format: sizes the delay
//     lines and working buffers for its sample rate and switches to the
//     speaker layout last given to SetSpeakersConfig. It allocates. The
//     first 512 frames after it (or after Reset) fade in, so a run that
//     starts in the middle of the music does not click.
//   - Process (virtual slot 7) with a block of the player's channels: leaves
//     OutputChannels() channel arrays in the block (the processor's own,
//     holding `frames` samples), with `frames` and `valid` unchanged. It
//     allocates nothing while blocks are no longer than the largest given
//     to SetMaxBlockFrames (or one second at the format's rate), and the
//     block's channel vector keeps room for eight pointers.
//   - The setters store their value; Process picks the new values up at its
//     next block and glides tap gains over its first 256 frames, so moving
//     the source does not click. The bool "now" arguments are accepted for
//     the callers' sake; every change is taken at the next block.
// Threads: the setters may run on one thread while Process runs on another
// (the values are atomics). SetFormat, SetMaxBlockFrames and Reset must not
// run while Process does; the host keeps them apart with its processing lock.
#pragma once

#include "libs/ambio/Reverberator.h"
#include "libs/ambio/SpeakerLayout.h"
#include "sonvara/StreamBuffer.h"
#include "sonvara/WaveFormat.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <vector>

class CSurroundEffect {
public:
    // Frames processed at a time: the longest glide and the reflection line's
    // margin.
    static constexpr int kChunk = 256;

    CSurroundEffect();
    virtual ~CSurroundEffect();
    CSurroundEffect(const CSurroundEffect&) = delete;
    CSurroundEffect& operator=(const CSurroundEffect&) = delete;

    // Slot 1: the input format (channel count and mask, sample rate).
    virtual void SetFormat(const WAVEFORMATEXTENSIBLE* format);
    // Silences every delay line and filter.
    virtual void Reset();
    // What Process leaves in a block: the channel count and mask of the
    // layout that SetFormat switched to.
    virtual int OutputChannels() const { return m_layout.channels; }
    virtual std::uint32_t OutputChannelMask() const { return m_layout.mask; }
    virtual std::uint32_t SampleRate() const { return m_rate; }
    // How long a click takes to die away completely with the settings the
    // last block was processed with, in frames (reflections and
    // reverberation included).
    virtual std::uint32_t TailFrames() const;
    // Slot 7: processes a block in place.
    virtual void Process(StreamBuffer* block);

    // Room for blocks of up to frames frames (allocates; not while Process runs).
    void SetMaxBlockFrames(std::uint32_t frames);

    // The speaker layout by channel mask (0x33 4.0, 0x10F 4.1, 0x3F 5.1,
    // 0x63B 6.1, 0x63F 7.1, 0xFF 7.1 with front-centre pair, 0x03 stereo);
    // it takes effect at the next SetFormat. A mask without any panning
    // speaker means stereo.
    void SetSpeakersConfig(int channelMask, bool now);
    // The LFE low-pass's corner frequency in Hz (20 .. 500).
    void SetLFEMaxFreq(int hz, bool now);
    // The LFE channel's level, a factor (1 = the folded input's level).
    void SetLFEVolume(float volume, bool now);
    // The level of the positioned source and its reflections, a factor.
    void SetVolume(float volume, bool now);
    // The level of the late reverberation, a factor.
    void SetRevWet(float wet);
    // The level of the original channels, a factor.
    void SetRevDry(float dry);
    // How much of the sound a wall takes, 0.01 .. 0.99: more absorption
    // makes weaker reflections and a shorter reverberation.
    void SetRevAbsorb(float absorption);
    // 0 .. 1: how much sooner high frequencies die in the reverberation.
    void SetRevHFDecay(float decay);
    // The room seen from above, in metres (1 .. 100 each way): the distances
    // to the walls (reflection delays) and the reverberation time.
    void SetRoomSize(float width, float height, bool now);
    // The source's position in metres from the room's front left corner (x
    // to the right, y towards the back); kept inside the room.
    void SetSoundPos(float x, float y, bool now);
    // Early reflections and the travel time of the direct sound on or off.
    void SetMoveOff(bool delaysOn);
    // Late reverberation on or off (off: no tail at all).
    void SetReverb(bool on);
    // Input diffusion before the reverberator (four all-pass filters): a
    // denser, smoother tail for a little more work.
    void SetProcessAdvance(bool on);

private:
    // One sound path: a delay from the folded input, and a gain per output.
    struct Tap {
        std::uint32_t delay = 0;
        std::array<float, ambio::kMaxSpeakers> gains{};
    };
    static constexpr int kTaps = 5; // direct sound and four walls

    void Allocate(std::uint32_t frames);
    // Recomputes the paths and the filters from the stored settings.
    void TakeSettings();
    void DesignLowPass();
    void RouteInputs();
    void ProcessChunk(const StreamBuffer& in, std::uint32_t first, int frames);
    void MixTap(const Tap& from, const Tap& to, std::uint32_t writePos, int frames, int offset);

    // Settings, written by the setters and read by Process.
    std::atomic<std::uint32_t> m_requestedMask{0x3F};
    std::atomic<int> m_lfeHz{80};
    std::atomic<float> m_lfeVolume{1.0f};
    std::atomic<float> m_volume{1.0f};
    std::atomic<float> m_wet{1.0f};
    std::atomic<float> m_dry{0.0f};
    std::atomic<float> m_absorb{0.14f};
    std::atomic<float> m_hfDecay{0.42f};
    std::atomic<float> m_roomW{20.0f};
    std::atomic<float> m_roomH{20.0f};
    std::atomic<float> m_posX{10.0f};
    std::atomic<float> m_posY{10.0f};
    std::atomic<bool> m_delays{true};
    std::atomic<bool> m_reverbOn{true};
    std::atomic<bool> m_advance{false};
    std::atomic<std::uint32_t> m_generation{1};

    // What Process works with.
    std::uint32_t m_taken = 0; // generation of the settings in use
    std::uint32_t m_rate = 44100;
    ambio::SpeakerLayout m_layout;
    std::uint32_t m_inputMask = 0x3;
    int m_inputChannels = 2;
    std::array<Tap, kTaps> m_taps{};
    std::array<Tap, kTaps> m_targets{};
    int m_tapCount = 1;
    int m_targetCount = 1;
    float m_dryGain = 0.0f, m_dryTarget = 0.0f;
    float m_wetGain = 0.0f, m_wetTarget = 0.0f;
    float m_lfeGain = 0.0f, m_lfeTarget = 0.0f;
    bool m_reverbRunning = false;
    bool m_advanceRunning = false;
    int m_designedLfeHz = 0;
    std::uint32_t m_maxTapDelay = 0;

    std::uint32_t m_capacity = 0;
    std::array<std::vector<float>, ambio::kMaxSpeakers> m_out;
    std::vector<float> m_mono; // one chunk of the folded input
    // Where each input channel's original goes: up to two outputs.
    struct Route {
        int channel[2] = {-1, -1};
        float gain[2] = {0, 0};
    };
    std::array<Route, ambio::kMaxSpeakers> m_dryRoutes{};
    std::vector<float> m_ring; // the folded input's history
    std::uint32_t m_ringMask = 0;
    std::uint32_t m_ringWrite = 0;
    ambio::CReverberator m_reverb;
    struct Biquad {
        float b0 = 1, b1 = 0, b2 = 0, a1 = 0, a2 = 0;
        float z1 = 0, z2 = 0;
    };
    std::array<Biquad, 4> m_lowPass{};
    std::array<float, 3> m_stage{}; // between the staggered sections
    // Frames of the fade-in at the start of a run, and how far it has got.
    static constexpr std::uint32_t kFadeInFrames = 512;
    std::uint32_t m_fadedIn = 0;
};
