// The sound capture device: wave-in semantics. The owner queues buffers;
// the backend fills them with interleaved integer PCM strictly in the order
// they were queued, and reports each one, once full, through the done
// callback. A buffer is the owner's again from its done notification until
// it is queued anew.
//
// Backends: "portaudio" (the real device), "null" (silence in real time),
// "tone:HZ" (a sine in real time), "wav:PATH" (a file played into the
// recorder in real time, then silence) and, for tests, a manual clock.
//
// Threads: Open, Close, Start, Stop and Reset belong to one controlling
// thread. AddBuffer may be called from one other thread at a time (the
// recorder's capture thread re-queues while the device runs). The backend
// delivers its frames through Produce on its own thread; Produce and the
// done callback it calls are real-time safe: no allocation, no lock, no I/O.
#pragma once

#include "platform/audio/DeviceFailure.h"
#include "sonvara/WaveFormat.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <string>

namespace platform::audio {

// One capture buffer (the wave header): owned by the caller, which must
// keep it in place while it is queued.
struct CaptureBuffer {
    std::uint8_t* data = nullptr;
    std::uint32_t bytes = 0;    // capacity
    std::uint32_t recorded = 0; // bytes filled so far
    void* user = nullptr;       // carried unchanged
    std::uint32_t index = 0;    // carried unchanged
};

class CaptureDevice {
public:
    // Called for every buffer that leaves the device: full, or returned
    // early by Reset/Close (then recorded may be short). On the backend's
    // thread while running; on the controlling thread from Reset and Close.
    using DoneCallback = void (*)(void* context, CaptureBuffer* buffer);

    // Enough for the recorder's 100 buffers.
    static constexpr std::uint32_t kMaxQueued = 128;

    virtual ~CaptureDevice();
    CaptureDevice(const CaptureDevice&) = delete;
    CaptureDevice& operator=(const CaptureDevice&) = delete;

    // Opens the device stopped for integer PCM of 8, 16, 24 or 32 bits.
    // False with Error() set when the format is unusable or the device
    // cannot open.
    bool Open(const WAVEFORMATEX& format, DoneCallback done, void* context);
    // Stops, returns every queued buffer (done notifications) and releases
    // the device.
    void Close();

    // Queues a buffer at the end. False (the buffer is not taken) when the
    // device is closed, the buffer is empty or the queue is full.
    bool AddBuffer(CaptureBuffer* buffer);
    // Starts / stops filling; queued buffers stay queued across a stop.
    bool Start();
    bool Stop();
    // Stops and returns every queued buffer at once.
    void Reset();

    bool IsOpen() const { return m_open; }
    bool IsRunning() const { return m_running.load(std::memory_order_acquire); }
    const WAVEFORMATEX& Format() const { return m_format; }
    std::uint32_t BlockAlign() const { return m_format.nBlockAlign; }
    std::uint32_t SampleRate() const { return m_format.nSamplesPerSec; }
    // Bytes the device had to throw away because no buffer was queued.
    std::uint64_t DroppedBytes() const { return m_dropped.load(std::memory_order_relaxed); }
    const std::string& Error() const { return m_error; }
    // A failure while running (DeviceFailure.h): the event signalled when
    // the backend reports one (set while not running; null for none), and
    // whether and why it did since the last Open. Once failed, the device
    // plays or records nothing more until it is opened again.
    void SetFailureEvent(Event* event) { m_failure.SetEvent(event); }
    bool HasFailed() const { return m_failure.Failed(); }
    std::string FailureReason() const { return m_failure.Reason(); }
    // The backend's name as selected ("portaudio", "null", "tone:440", ...).
    virtual std::string Name() const = 0;

protected:
    CaptureDevice() = default;

    // Backend hooks on the controlling thread, the format already checked.
    virtual bool DoOpen() = 0;
    virtual void DoClose() = 0;
    virtual bool DoStart() = 0;
    virtual void DoStop() = 0;

    // The backend hands over bytes (whole frames) just captured: they go
    // into the queued buffers in order, and every buffer that becomes full
    // is taken off the queue and reported. Dropped when nothing is queued or
    // the device is stopped. Real-time safe.
    void Produce(const std::uint8_t* src, std::uint32_t bytes);
    // The value of a silent byte for the format (0x80 for 8-bit PCM).
    std::uint8_t SilenceByte() const { return m_format.wBitsPerSample == 8 ? 0x80 : 0x00; }

    void SetError(std::string error) { m_error = std::move(error); }
    // The backend's thread reports that the device stopped working; reason
    // is a string literal. Real-time safe.
    void ReportFailure(const char* reason) { m_failure.Report(reason); }

private:
    // Takes every queued buffer off the queue and reports it; the backend
    // is stopped.
    void ReturnAll();

    WAVEFORMATEX m_format{};
    DoneCallback m_done = nullptr;
    void* m_context = nullptr;
    bool m_open = false;
    std::atomic<bool> m_running{false};
    // A single-producer, single-consumer ring of queued buffers: AddBuffer
    // moves the tail, Produce (or ReturnAll, with the backend stopped) the
    // head.
    std::array<CaptureBuffer*, kMaxQueued> m_queue{};
    std::atomic<std::uint32_t> m_head{0};
    std::atomic<std::uint32_t> m_tail{0};
    std::atomic<std::uint64_t> m_dropped{0};
    std::string m_error;
    DeviceFailure m_failure;
};

} // namespace platform::audio
