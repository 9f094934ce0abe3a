// The host's shared player: state machine, stream source, sample block,
// gains and the per-block processing chain (equalizer -> gains -> surround).
// CExtPlayerDX (ExtPlayerDX.h) derives from it and drives the output device.
//
// A module hands the player a stream callback; the player pulls planar float
// blocks (full scale 1.0) from it on its output thread. The callback is
// called:
//   - to pull audio: one zeroed array of `frames` floats per channel of the
//     player format and `valid` = 0; it sets `valid` to the frames it
//     delivered (more than `frames` is taken as `frames`) and returns
//     nonzero, or returns 0 when it has no more audio;
//   - at the end of the stream: no channels, `frames` = 1, `valid` = 0
//     (made on the output thread: the callback may detach itself from
//     there, but a Play from there is refused with 6);
//   - when another callback replaces it: no channels, `frames` = 0.
// The third argument is always 0.
//
// Threads: the window thread calls the operations below; the output thread
// runs the callback and the block chain. Five locks: the processing lock
// (block arrays, equalizers, surround format), the design lock (the
// equalizer design the setters make), the control lock (held by the main
// frame around its player controls; the player never takes it), the device
// lock (creating and releasing the output device) and the source lock
// (around every callback call). The output thread only ever tries the
// processing, design and source locks, so it never waits for the window: a
// block that finds the design busy keeps the old one and takes the new one
// at the next block. The surround setters store atomics and take no lock.
// `state` and `stopReason` are atomics read without a lock.
//
// Result codes: 0 done, 1 failed (device error or value out of range),
// 5 not available (failed state, or no stream callback), 6 wrong state.
#pragma once

#include "audio/Equalizer.h"
#include "audio/SurroundEffect.h"
#include "sonvara/StreamBuffer.h"
#include "sonvara/WaveFormat.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <mutex>
#include <vector>

// The player's stream callback: (user value, block, 0) -> frames supplied,
// 0 when the source has ended.
using PlayerStreamCallback = std::uint32_t (*)(void* user, StreamBuffer* block,
                                               std::uint32_t reserved);

class CExtPlayer {
public:
    enum State : std::uint32_t { kPlaying = 0, kPaused = 1, kStopped = 2, kFailed = 3 };
    enum StopReason : std::uint32_t {
        kNoReason = 0,
        kStopRequested = 1,
        kEndOfStream = 2,
        kDeviceFailure = 3,
    };
    enum Result : std::uint32_t {
        kDone = 0,
        kError = 1,
        kNotAvailable = 5,
        kWrongState = 6,
    };

    // Channel i of every block goes through equalizer i, so no format may
    // have more channels than there are equalizers.
    static constexpr int kMaxChannels = 8;
    static constexpr int kEqBands = CEqualizer::kBands;
    static constexpr std::uint32_t kMaxBufferCount = 100;
    // Keeps segmentBytes x segmentCount well inside 32 bits.
    static constexpr std::uint32_t kMaxBufferSize = 16u << 20;

    CExtPlayer();
    virtual ~CExtPlayer();
    CExtPlayer(const CExtPlayer&) = delete;
    CExtPlayer& operator=(const CExtPlayer&) = delete;

    virtual std::uint32_t Play();
    // reason: 1 on request, 2 at the end of the stream.
    virtual std::uint32_t Stop(std::uint32_t reason);
    // Stop(1) for a restart that the listener should not hear as a click:
    // the sound dies away over a few milliseconds before the device stops,
    // and the next run rises from silence. The base just stops.
    virtual std::uint32_t StopSmoothly() { return Stop(kStopRequested); }
    // Toggles between playing and paused; the base does nothing.
    virtual std::uint32_t Pause();
    // Back to stopped with no stop reason, from any state.
    virtual std::uint32_t Reset();
    // Only while stopped. Refuses (1) integer PCM the output cannot carry:
    // other than 8/16/24/32 bits, 0 or more than 8 channels, a rate of 0, a
    // block alignment that does not match, or frames larger than a segment.
    virtual std::uint32_t SetFormat(const WAVEFORMATEXTENSIBLE* format);
    // Only while stopped; 1..100 segments.
    virtual std::uint32_t SetBufferCount(std::uint32_t count);
    // 0..100; larger values are stored as 100. Any time.
    virtual std::uint32_t SetVolume(std::uint32_t volume);
    // 0 fully left, 50 centre, 100 fully right; larger values as 100.
    virtual std::uint32_t SetBalance(std::uint32_t balance);
    // Only while stopped; from one frame up to kMaxBufferSize bytes.
    virtual std::uint32_t SetBufferSize(std::uint32_t bytes);
    virtual std::uint32_t OpenDevice();
    virtual std::uint32_t CloseDevice();

    // Only while stopped or failed. The old callback, if any, gets the
    // detach call unless the pair is unchanged.
    std::uint32_t SetStreamCallback(PlayerStreamCallback callback, void* user);
    // Ten band gains (1.0 flat, up to 2.0); count is not used. Any time.
    void SetEqualizer(const float* gains, int count, bool on);
    // Takes effect when playback next starts: the output device's channel
    // layout is fixed for a run.
    void SetSurroundOn(bool on);
    void SetSurroundParams(const SurroundParams& params);
    // One surround setting by identifier (1 LFE frequency, 3 LFE volume %,
    // 4 speaker mask, 5 reverb, 6 delays, 7 process advance, 11 room size
    // in decimetres, 12 absorption %, 13 HF decay %, 14 positioning volume %,
    // 15 original volume %, 16 reverberation volume %); others do nothing.
    void SetSurroundParam(int id, int value);
    void SetSoundPosition(float x, float y);

    std::uint32_t GetState() const { return state.load(); }
    std::uint32_t GetStopReason() const { return stopReason.load(); }
    // The 40-byte format record; stable while the player is not stopped.
    const WAVEFORMATEXTENSIBLE* GetFormat() const { return &format; }
    std::uint32_t GetBufferCount() const { return segmentCount; }
    std::uint32_t GetBufferSize() const { return segmentBytes; }
    std::uint32_t GetVolume() const { return volume.load(); }
    std::uint32_t GetBalance() const { return balance.load(); }
    bool IsEqualizerOn() const { return eqOn.load(); }
    bool IsSurroundOn() const { return surroundOn.load(); }
    const float* GetEqualizerGains() const { return eqGains.data(); }
    std::mutex& ControlLock() { return controlLock; }

    // Starting volume and balance from an output level word (left level in
    // the low 16 bits, right in the high 16).
    static void VolumeBalanceFromLevel(std::uint32_t level, std::uint32_t* volume,
                                       std::uint32_t* balance);
    // The gain stage: multiplies each channel of the block in place by the
    // side gain or the centre gain its position gets for the channel count
    // and channel mask. Positions the block does not have are skipped.
    static void ApplyChannelGains(StreamBuffer& block, std::uint32_t channelMask, float gainL,
                                  float gainR, float centreGain);

protected:
    // Reallocates the block for the current format and segment size, under
    // the processing lock.
    void AllocateBlock();
    // Points the block at the player's zeroed channel arrays again, with
    // `frames` restored and `valid` 0. Source lock held by the caller.
    void PrepareBlock();
    // Calls the stream callback with the block (source lock held by the
    // caller) and clamps what it reports; 0 when there is no callback.
    std::uint32_t PullBlock();
    // Equalizer, gains and (when runSurround) the surround processor, under
    // the processing lock, which it only tries: false, with the block left
    // as it was, when another thread holds it (the block then plays as
    // silence, since surround may have changed its channel layout).
    bool ProcessBlock(float gainL, float gainR, bool runSurround);
    // A frame count that fits one segment of the current format.
    static bool FormatFits(const WAVEFORMATEXTENSIBLE& f, std::uint32_t segmentBytes);

    std::atomic<std::uint32_t> state{kStopped};
    WAVEFORMATEXTENSIBLE format{};
    std::uint32_t segmentCount = 5;
    std::uint32_t segmentBytes = 44100;
    PlayerStreamCallback source = nullptr;
    void* sourceUser = nullptr;
    std::atomic<std::uint32_t> volume{100};
    std::atomic<std::uint32_t> balance{50};
    std::atomic<std::uint32_t> stopReason{kNoReason};
    StreamBuffer block;
    CSurroundEffect surround;
    std::atomic<bool> surroundOn{false};
    // The output thread's equalizers, one per channel, and whether they
    // run; they change under the processing lock only.
    std::array<CEqualizer, kMaxChannels> equalizers;
    bool runEqOn = false;
    // The settings as the setters left them, and the design made from them
    // (designRate, eqGains), under the design lock; designChanged tells the
    // output thread to take the design at its next block.
    std::array<float, kEqBands> eqGains;
    std::atomic<bool> eqOn{false};
    CEqualizer eqDesign;
    std::uint32_t designRate = 0;
    std::atomic<bool> designChanged{false};

    std::mutex processingLock;
    std::mutex designLock;
    std::mutex controlLock;
    std::mutex deviceLock;
    // Recursive: a source may replace itself (SetStreamCallback) from the
    // end-of-stream call, which is made with this lock held.
    std::recursive_mutex sourceLock;

private:
    // Redesigns eqDesign for the rate and eqGains; design lock held.
    void Redesign(std::uint32_t rate);
    // Copies the design into the equalizers; processing and design locks
    // held.
    void TakeEqualizerDesign();

    // The arrays behind block.channels; the block is pointed back at them
    // before every pull, since the surround processor may leave its own.
    std::vector<std::vector<float>> channelStore;
    std::uint32_t blockFrames = 0;
};
