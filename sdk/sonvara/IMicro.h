// The host's one microphone recorder, shared by all modules.
//
// Who calls what, on which thread:
//   - The window thread (the thread that calls the module's Kel... entry
//     points and delivers its window messages) is the only thread that may
//     call IMicro. No call may come from the capture callback, except Stop
//     and Pause, which the host honours there (the recording ends, or halts,
//     once the callback returns).
//   - The host's capture thread, one per recording run, calls the owner's
//     CaptureCallback with every filled buffer, oldest first, one at a time.
//     It runs at the highest priority the system grants. It is not the sound
//     card's real-time thread (that one only copies samples into the
//     host's buffers), so a callback may process or write out what it gets,
//     but it must return well within one buffer's duration (GetBufferSize()
//     bytes of audio): while it runs, later buffers wait, and once all of
//     them are full the device drops input. Prefer allocating up front.
//   - The detach call (null data, length 0) comes on the window thread,
//     from inside SetCaptureCallback of whoever replaced the callback.
//
// Ownership: a module owns the recorder after its window receives
// WM_MICRO_ACQUIRED (Messages.h; AcquireMicro) and until WM_MICRO_LOST
// (another module acquired it; recording was stopped first). The owner
// sets its callback and calls Play. The frame's Record button sends the
// shown module WM_COMMAND with ID_PLAYER_RECORD; the button is enabled when
// the owner, or with no owner the shown module, called EnableRecordControl
// with a non-zero flag.
//
// Format: 16-bit mono PCM at 44100 samples per second unless SetFormat
// chose another integer PCM format. Buffers: GetBufferCount() (default 5)
// of GetBufferSize() bytes (default 44100, half a second): one buffer is
// the capture latency, the whole ring the input the host can hold.
//
// Slot order is fixed. BOOL results are int (non-zero = success). No call
// throws.
#pragma once

#include "sonvara/WaveFormat.h"

#include <cstdint>

// (user value, bytes, length) -> ignored. The bytes are the host's and
// valid only during the call; null with length 0 when the callback is
// detached (replaced by another, or the module is being unloaded).
using CaptureCallback = std::uint32_t (*)(void* user, const void* data, std::uint32_t bytes);

class IMicro {
public:
    // Starts recording, or resumes a paused recording; success at once
    // when already recording. Needs a capture callback. After a device
    // error it resets and tries once more; when the device still cannot
    // record, FALSE (the reason is shown in the status line).
    virtual int Play() = 0;
    // Ends the recording run: the capture thread ends, the buffers go.
    virtual int Stop() = 0;
    // Toggles between recording and paused; buffers already full are still
    // delivered while paused.
    virtual int Pause() = 0;
    // The format; host-owned, valid until the next call. Its format tag
    // reads 0xFFFE and its extension size 0; the device records plain PCM.
    virtual const WAVEFORMATEX* GetFormat() = 0;
    // Only while stopped. Integer PCM of 8, 16, 24 or 32 bits, at least one
    // channel; the block alignment and bytes per second are derived from
    // those, the tag is stored as 1 and the extension size as 0.
    virtual int SetFormat(const WAVEFORMATEX* format) = 0;
    virtual std::uint32_t GetBufferCount() = 0;
    // Only while stopped; 1 to 100.
    virtual int SetBufferCount(std::uint32_t count) = 0;
    virtual std::uint32_t GetBufferSize() = 0;
    // Only while stopped. A run starts only when a buffer holds at least one
    // whole frame; a size that is a whole number of frames keeps frames from
    // being split between two calls.
    virtual int SetBufferSize(std::uint32_t bytes) = 0;
    // Not while recording or paused. The previous callback, if any, gets its
    // detach call unless the pair is unchanged.
    virtual int SetCaptureCallback(CaptureCallback callback, void* user) = 0;
    // Display name of the owning module, or null. Host-owned.
    virtual const char* GetMicroOwner() = 0;
    // Makes the named module the owner (stopping the recording when there
    // was an owner, itself included). FALSE when no module has the name.
    virtual int AcquireMicro(const char* moduleName) = 0;
    // Stops and gives up the recorder if the module owns it; otherwise does
    // nothing. FALSE only when no module has the name.
    virtual int ReleaseMicro(const char* moduleName) = 0;
    // Whether the module wants the Record button enabled.
    virtual int EnableRecordControl(const char* moduleName, int enable) = 0;
    // 0 recording, 1 paused, 2 stopped, 3 failed.
    virtual std::uint32_t GetState() = 0;

protected:
    ~IMicro() = default;
};
