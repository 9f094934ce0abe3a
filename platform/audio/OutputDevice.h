// The sound output device: one looping byte buffer of interleaved integer
// PCM that a backend plays round and round.
//
// The writer (the player's notification thread) reads the play cursor, locks
// the part of the buffer the cursor has already left (one region, or two when
// it wraps), writes PCM into it and unlocks. The backend's clock moves the
// cursor forward through the buffer and signals the registered notification
// events when the cursor passes their offsets.
//
// Backends: "portaudio" (the real device), "null" (the cursor advances in
// real time, the sound is discarded), "wav:PATH" (as null, and what is played
// goes to a WAV file) and, for tests, a virtual clock advanced by hand.
//
// Threads: Open, Close, SetNotificationPositions, Play and Stop belong to one
// controlling thread; GetCurrentPosition, Lock and Unlock may be called from
// another (the writer) while playing. The backend moves the cursor through
// Consume, which is real-time safe: it allocates nothing, takes no lock and
// does no I/O, and signals events with platform::Event::Set (lock-free).
//
// When the writer falls behind (an underrun) the cursor runs into the part
// the writer has locked. The backend then plays silence for those bytes
// rather than read memory that is being written, and a Lock that meets the
// backend copying out of its region waits for that one copy to finish.
#pragma once

#include "platform/Event.h"
#include "platform/audio/DeviceFailure.h"
#include "sonvara/WaveFormat.h"

#include <atomic>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace platform::audio {

// A byte offset in the buffer and the event signalled when the play cursor
// passes it (that is, when the byte at the offset has been played).
struct NotificationPosition {
    std::uint32_t offset = 0;
    Event* event = nullptr;
};

class OutputDevice {
public:
    virtual ~OutputDevice();
    OutputDevice(const OutputDevice&) = delete;
    OutputDevice& operator=(const OutputDevice&) = delete;

    // Opens the device for integer PCM of 8, 16, 24 or 32 bits (the plain or
    // extensible record) and creates a silent buffer of bufferBytes, a whole
    // number of frames. The cursor starts at 0, stopped. False with Error()
    // set when the format or size is unusable or the device cannot open.
    bool Open(const WAVEFORMATEX& format, std::uint32_t bufferBytes);
    // Stops and releases the device; the notification table is cleared.
    void Close();

    // Replaces the notification table. Only while stopped (false otherwise,
    // or for an offset outside the buffer or a null event). The events stay
    // owned by the caller and must outlive the table.
    bool SetNotificationPositions(std::span<const NotificationPosition> positions);

    // Starts playing in a loop from the cursor / stops, keeping the cursor.
    bool Play();
    bool Stop();
    bool IsPlaying() const { return m_playing.load(std::memory_order_acquire); }
    // Lets the device play on as it is until bytes more have been played
    // from the cursor, or until timeoutMs has passed; true when they were.
    // Lets a writer hear the end of what it left in the buffer (a fade)
    // before it stops the device. Controlling thread, while playing.
    virtual bool PlayOn(std::uint32_t bytes, int timeoutMs);

    // The play cursor: the byte offset that will be played next.
    std::uint32_t GetCurrentPosition() const { return m_cursor.load(std::memory_order_acquire); }

    // Gives write access to bytes bytes from offset: the first region up to
    // the end of the buffer, the second (possibly empty) from its start.
    // False, with both regions empty, when nothing is open or the request
    // does not fit the buffer.
    bool Lock(std::uint32_t offset, std::uint32_t bytes, void** region1, std::uint32_t* size1,
              void** region2, std::uint32_t* size2);
    // Publishes what was written into locked regions to the playing side.
    void Unlock(void* region1, std::uint32_t size1, void* region2, std::uint32_t size2);

    std::uint32_t BufferBytes() const { return static_cast<std::uint32_t>(m_buffer.size()); }
    std::uint32_t BlockAlign() const { return m_blockAlign; }
    std::uint32_t SampleRate() const { return m_sampleRate; }
    std::uint16_t Channels() const { return m_channels; }
    std::uint16_t BitsPerSample() const { return m_bits; }
    bool IsOpen() const { return !m_buffer.empty(); }
    const std::string& Error() const { return m_error; }
    // A failure while running (DeviceFailure.h): the event signalled when
    // the backend reports one (set while not running; null for none), and
    // whether and why it did since the last Open. Once failed, the device
    // plays or records nothing more until it is opened again.
    void SetFailureEvent(Event* event) { m_failure.SetEvent(event); }
    bool HasFailed() const { return m_failure.Failed(); }
    std::string FailureReason() const { return m_failure.Reason(); }
    // The backend's name as selected ("portaudio", "null", "wav:PATH", "virtual").
    virtual std::string Name() const = 0;
    // Whether the device would open 16-bit PCM with this many channels, this
    // channel mask and this rate. Devices without hardware take every
    // layout; the real one asks the sound system. Only while closed.
    virtual bool SupportsLayout(std::uint16_t channels, std::uint32_t channelMask,
                                std::uint32_t sampleRate);

protected:
    OutputDevice() = default;

    // Backend hooks, called on the controlling thread with the format already
    // checked and the buffer allocated. Return false with SetError on failure.
    virtual bool DoOpen() = 0;
    virtual void DoClose() = 0;
    virtual bool DoStart() = 0;
    virtual void DoStop() = 0;

    // Plays bytes (a whole number of frames) from the cursor: copies them to
    // dst when dst is non-null, moves the cursor on and signals every
    // notification whose offset it passes. When stopped, dst gets silence and
    // the cursor stays. Real-time safe.
    void Consume(std::uint8_t* dst, std::uint32_t bytes);
    // The value of a silent byte for the format (0x80 for 8-bit PCM).
    std::uint8_t SilenceByte() const { return m_bits == 8 ? 0x80 : 0x00; }

    void SetError(std::string error) { m_error = std::move(error); }
    // The backend's thread reports that the device stopped working; reason
    // is a string literal. Real-time safe.
    void ReportFailure(const char* reason) { m_failure.Report(reason); }

private:
    std::vector<std::uint8_t> m_buffer;
    std::vector<NotificationPosition> m_notifications;
    std::atomic<std::uint32_t> m_cursor{0};
    std::atomic<bool> m_playing{false};
    // Bumped with release order by Unlock and read with acquire order by
    // Consume, so bytes written before an unlock are visible to the player.
    std::atomic<std::uint32_t> m_published{0};
    // The span the writer holds between Lock and Unlock (it may wrap round
    // the end of the buffer) and the one Consume is copying out of, each as
    // offset << 32 | bytes, 0 for none. Each side publishes its own span
    // before it looks at the other's (sequentially consistent), so at least
    // one of them sees the overlap: Consume plays silence, or Lock waits.
    std::atomic<std::uint64_t> m_writing{0};
    std::atomic<std::uint64_t> m_reading{0};
    std::uint32_t m_blockAlign = 0;
    std::uint32_t m_sampleRate = 0;
    std::uint16_t m_channels = 0;
    std::uint16_t m_bits = 0;
    std::string m_error;
    DeviceFailure m_failure;
};

} // namespace platform::audio
