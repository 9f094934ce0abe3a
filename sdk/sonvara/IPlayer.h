// The host's one player, shared by all modules.
//
// A module that wants to play first owns the player: the host sends its
// window WM_PLAYER_ACQUIRED (Messages.h) when it gets it (AcquirePlayer, or
// the user pressing Play while the module is shown) and WM_PLAYER_LOST when
// another module takes it. The owner sets a stream callback and calls Play;
// the host pulls planar float blocks (full scale 1.0) from the callback on
// its output thread. The callback:
//   - fills the zeroed arrays of block->channels (block->frames each), sets
//     block->valid to the frames delivered and returns non-zero, or returns
//     0 when it has no more audio;
//   - is called once more with no channels and frames = 1 at the end of the
//     stream, and with no channels and frames = 0 when another callback
//     replaces it (it is then detached);
//   - runs on the output thread: it must not allocate much, block for long
//     or call back into IPlayer.
// The owner also gets transport commands (WM_COMMAND with a PLAYER_... id)
// and ID_PLAYER_SEEK with the new position.
//
// Slot order is fixed. BOOL results are int. Window thread only.
#pragma once

#include "sonvara/StreamBuffer.h"
#include "sonvara/WaveFormat.h"

#include <cstdint>

// (user value, block, 0) -> frames supplied; 0 when the source has ended.
using PlayerStreamCallback = std::uint32_t (*)(void* user, StreamBuffer* block,
                                               std::uint32_t reserved);

class IPlayer {
public:
    // Starts or resumes playback; retries once after a reset when the
    // player was failed. Needs a stream callback.
    virtual int Play() = 0;
    // Stops, clears the status text and the position sliders.
    virtual int Stop() = 0;
    // Toggles pause.
    virtual int Pause() = 0;
    // The 40-byte format record; owned by the host.
    virtual const WAVEFORMATEXTENSIBLE* GetFormat() = 0;
    // Only while stopped.
    virtual int SetFormat(const WAVEFORMATEXTENSIBLE* format) = 0;
    virtual std::uint32_t GetBufferCount() = 0;
    virtual int SetBufferCount(std::uint32_t count) = 0;
    virtual std::uint32_t GetBufferSize() = 0;
    virtual int SetBufferSize(std::uint32_t bytes) = 0;
    // Only while stopped; the previous callback gets its detach call.
    virtual int SetStreamCallback(PlayerStreamCallback callback, void* user) = 0;
    // The position in the position slider's units (the host never interprets it).
    virtual std::uint32_t GetPosition() = 0;
    // Stores the position; the sliders follow within 100 ms. Returns 1.
    virtual int SetPosition(std::uint32_t position) = 0;
    virtual std::uint32_t GetVolume() = 0;
    // 0..100; moves the volume sliders. Returns 1.
    virtual int SetVolume(std::uint32_t volume) = 0;
    virtual std::uint32_t GetBalance() = 0;
    // 0 left, 50 centre, 100 right; moves the balance sliders. Returns 1.
    virtual int SetBalance(std::uint32_t balance) = 0;
    // Display name of the module owning the player, or null. Host-owned.
    virtual const char* GetPlayerOwner() = 0;
    // Makes the named module the owner (stopping playback when there was an
    // owner, itself included). FALSE when no module has the name.
    virtual int AcquirePlayer(const char* moduleName) = 0;
    // Stops and gives up the player if the module owns it; otherwise does
    // nothing. FALSE only when no module has the name.
    virtual int ReleasePlayer(const char* moduleName) = 0;
    // Whether the module wants the transport, volume and balance controls.
    virtual int EnablePlayerControls(const char* moduleName, int enable) = 0;
    virtual int GetShuffle() = 0;
    virtual int GetRepeat() = 0;
    // 0 playing, 1 paused, 2 stopped, 3 failed.
    virtual std::uint32_t GetState() = 0;

protected:
    ~IPlayer() = default;
};
