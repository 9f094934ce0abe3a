// The host's microphone recorder, shared by all modules. The recorder itself
// comes later: until then the host hands out an IMicro whose operations all
// fail (FALSE, null or 0), so a module can test for it.
//
// A module owns the recorder after WM_MICRO_ACQUIRED (Messages.h) and gets
// filled buffers (16-bit mono PCM at 44100 samples per second unless it sets
// another format) on the capture thread through its callback.
//
// Slot order is fixed. BOOL results are int. Window thread only, except the
// callback, which runs on the capture thread.
#pragma once

#include "sonvara/WaveFormat.h"

#include <cstdint>

// (user value, bytes, length) -> ignored. The buffer is the host's and valid
// only during the call; null with length 0 when the callback is detached.
using CaptureCallback = std::uint32_t (*)(void* user, const void* data, std::uint32_t bytes);

class IMicro {
public:
    virtual int Play() = 0;
    virtual int Stop() = 0;
    virtual int Pause() = 0;
    virtual const WAVEFORMATEX* GetFormat() = 0;
    virtual int SetFormat(const WAVEFORMATEX* format) = 0;
    virtual std::uint32_t GetBufferCount() = 0;
    virtual int SetBufferCount(std::uint32_t count) = 0;
    virtual std::uint32_t GetBufferSize() = 0;
    virtual int SetBufferSize(std::uint32_t bytes) = 0;
    virtual int SetCaptureCallback(CaptureCallback callback, void* user) = 0;
    virtual const char* GetMicroOwner() = 0;
    virtual int AcquireMicro(const char* moduleName) = 0;
    virtual int ReleaseMicro(const char* moduleName) = 0;
    virtual int EnableRecordControl(const char* moduleName, int enable) = 0;
    virtual std::uint32_t GetState() = 0;

protected:
    ~IMicro() = default;
};
