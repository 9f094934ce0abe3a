// The host's shared microphone recorder. It records from the capture device
// (platform/audio) into a ring of buffers and, on a capture thread of its
// own, hands every filled buffer, oldest first, to the data callback of the
// module that uses the microphone, then queues it again. The recorder does
// no processing of its own.
//
// Threads:
//   - the device's thread runs OnBufferDone only: it stamps the buffer's
//     state and signals captureEvent (no allocation, no lock, no I/O);
//   - the capture thread (one per recording run, started by Play from
//     stopped and ended by the next Stop or Reset) calls the callback;
//   - everything else runs on the window thread. A Stop or Pause from the
//     callback itself (on the capture thread) is honoured: the thread
//     closes the device once the callback has returned.
//
// A device that stops working while it records (DeviceFailure.h) wakes
// the capture thread: the run fails (state failed), GetDeviceError says why
// and DeviceLost is true; Reset and Play start over with a new device.
//
// Result codes: 0 done, 1 device error (or a value out of range), 4 not
// available (failed state; for Play also: no callback), 5 wrong state.
#pragma once

#include "platform/Event.h"
#include "platform/audio/CaptureDevice.h"
#include "sonvara/IMicro.h"
#include "sonvara/WaveFormat.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class CExtMicro {
public:
    enum State : std::uint32_t { kRecording = 0, kPaused = 1, kStopped = 2, kFailed = 3 };
    enum Result : std::uint32_t {
        kDone = 0,
        kError = 1,
        kNotAvailable = 4,
        kWrongState = 5,
    };
    enum BufferStatus : std::uint32_t { kFree = 0, kQueued = 1, kFilled = 2 };

    static constexpr std::uint32_t kMaxBufferCount = 100;

    // Per buffer: when the device returned it and where it is.
    struct BufferState {
        std::atomic<std::uint32_t> doneTick{0}; // millisecond tick count
        std::atomic<std::uint32_t> status{kFree};
        // Completion order: buffers delivered by it, oldest first.
        std::atomic<std::uint64_t> doneOrder{0};
    };

    // Makes the capture device for one recording run, or null with a reason.
    using DeviceFactory =
        std::function<std::unique_ptr<platform::audio::CaptureDevice>(std::string* error)>;

    // Without a factory the device is the configured one (DeviceSelection.h).
    explicit CExtMicro(DeviceFactory factory = {});
    // Stops a running recording (joining its thread) before going away.
    ~CExtMicro();
    CExtMicro(const CExtMicro&) = delete;
    CExtMicro& operator=(const CExtMicro&) = delete;

    std::uint32_t Play();
    std::uint32_t Stop();
    // Toggles between recording and paused.
    std::uint32_t Pause();
    // Back to stopped from any state, releasing what a failed run left.
    std::uint32_t Reset();
    // The format as reported to modules: tag 0xFFFE, extension size 0.
    const WAVEFORMATEX* GetFormat();
    // Only while stopped. Stored with tag 1 (PCM) and extension size 0; the
    // block alignment and average bytes per second are derived from the
    // other fields. Refused (1) for 0 channels, a rate of 0 or a sample
    // width other than 8, 16, 24 or 32 bits.
    std::uint32_t SetFormat(const WAVEFORMATEX* format);
    // Only while stopped; 1..100 buffers.
    std::uint32_t SetBufferCount(std::uint32_t count);
    // Only while stopped; any size is stored, a run opens only with at
    // least one whole frame per buffer.
    std::uint32_t SetBufferSize(std::uint32_t bytes);
    // Only while not recording or paused. The old callback, if any, gets the
    // detach call (null, 0) unless the pair is unchanged.
    std::uint32_t SetCaptureCallback(CaptureCallback callback, void* user);

    std::uint32_t GetState() const { return state.load(); }
    std::uint32_t GetBufferCount() const { return bufferCount; }
    std::uint32_t GetBufferSize() const { return bufferBytes; }
    // The stored format (tag 1), as the device is opened with it.
    const WAVEFORMATEX& StoredFormat() const { return format; }
    // Why the last run failed, for the status line; empty when it did not.
    std::string GetDeviceError() const;
    // Whether the last run failed because its device stopped working.
    bool DeviceLost() const { return deviceLost.load(); }
    // What the capture thread of the last run got from the scheduler.
    std::string GetThreadPriority() const;

    // For tests and the note on latency: buffers handed to the callback
    // since construction, and capture threads started.
    std::uint64_t BuffersDelivered() const { return delivered.load(); }
    // Waits until count buffers have been delivered since construction;
    // false when timeoutMs passes first.
    bool WaitForDelivered(std::uint64_t count, int timeoutMs = 10000);
    // Waits until the capture threads have finished count wake-ups since
    // construction (each delivers what is filled, then queues the buffers
    // again; one that finds the device failed counts too); false when
    // timeoutMs passes first.
    bool WaitForWakeups(std::uint64_t count, int timeoutMs = 10000);
    std::uint64_t Wakeups() const;
    std::uint32_t ThreadsStarted() const { return threadsStarted.load(); }
    bool IsCaptureThreadRunning() const { return captureThread.joinable(); }

private:
    static void OnBufferDone(void* self, platform::audio::CaptureBuffer* buffer);
    void CaptureThread();
    // Opens the device with the ring of buffers; 0 or 1 (state failed).
    std::uint32_t OpenDevice();
    // Resets and closes the device and frees the buffers.
    void CloseDevice();
    // Ends the capture thread and waits for it, unless called from it.
    void EndThread();
    bool OnCaptureThread() const;
    // The capture thread's answer to a device that stopped working.
    void FailRun();
    void SetDeviceError(std::string error);

    platform::Event captureEvent{platform::Event::Reset::Auto};
    std::unique_ptr<platform::audio::CaptureDevice> device;
    std::vector<platform::audio::CaptureBuffer> headers;
    std::vector<std::unique_ptr<BufferState>> bufferStates;
    std::vector<std::vector<std::uint8_t>> bufferData;
    WAVEFORMATEX format{};
    WAVEFORMATEX reportFormat{};
    std::uint32_t bufferCount = 5;
    std::uint32_t bufferBytes = 44100;
    CaptureCallback callback = nullptr;
    void* callbackUser = nullptr;
    std::thread captureThread;
    std::atomic<std::uint32_t> state{kStopped};

    DeviceFactory deviceFactory;
    // Written by the capture thread too (FailRun), read by the window.
    mutable std::mutex errorLock;
    std::string deviceError;
    std::atomic<bool> deviceLost{false};
    std::atomic<std::uint64_t> nextDoneOrder{0};
    std::atomic<std::uint64_t> delivered{0};
    std::uint64_t wakeups = 0; // under deliveredLock
    mutable std::mutex deliveredLock;
    std::condition_variable deliveredChanged;
    std::atomic<std::uint32_t> threadsStarted{0};
    std::atomic<std::thread::id> captureThreadId{};
    // Set when a Stop came from the callback: the thread closes the device
    // itself once the callback has returned.
    std::atomic<bool> closeOnThreadEnd{false};
    mutable std::mutex priorityLock;
    std::string threadPriority;
};
