// Capture devices without sound hardware: a clock of our own produces the
// frames instead of a sound card.
//
// With Clock::RealTime a thread produces frames at the format's sample rate;
// with Clock::Manual nothing arrives until Advance is called, which fills
// the queued buffers and sends their done notifications on the caller's
// thread before it returns (tests drive recording this way, without waiting
// on the wall clock).
//
//   NullCaptureDevice     "null"      silence
//   ToneCaptureDevice     "tone:HZ"   a sine at a quarter of full scale
//   WavCaptureDevice      "wav:PATH"  the file once, then silence
//   VirtualCaptureDevice  (tests)     manual clock; a running frame count
#pragma once

#include "platform/audio/CaptureDevice.h"
#include "platform/audio/FrameClock.h"

#include <memory>
#include <mutex>
#include <vector>

namespace platform::audio {

class TimedCaptureDevice : public CaptureDevice {
public:
    enum class Clock { RealTime, Manual };

    ~TimedCaptureDevice() override;

    // Manual clock only: captures frames frames now and returns how many;
    // 0 when stopped or not manual.
    std::uint32_t Advance(std::uint32_t frames);
    Clock ClockMode() const { return m_clock; }

protected:
    explicit TimedCaptureDevice(Clock clock) : m_clock(clock) {}

    // Writes the next frames frames of the source at dst, on the clock's
    // thread. The default is silence.
    virtual void Generate(std::uint8_t* dst, std::uint32_t frames);

    bool DoOpen() override;
    void DoClose() override;
    bool DoStart() override;
    void DoStop() override;

private:
    void CaptureFrames(std::uint32_t frames);

    const Clock m_clock;
    // One step's frames, allocated at open, never while running.
    std::vector<std::uint8_t> m_scratch;
    std::uint32_t m_stepFrames = 0;
    FrameClock m_realTime;
    // Held by Advance for its whole run and taken by DoStop, so a stop from
    // another thread never lands while the manual clock is still inside.
    std::mutex m_advancing;
    bool m_manualStopped = true;
};

class NullCaptureDevice : public TimedCaptureDevice {
public:
    explicit NullCaptureDevice(Clock clock = Clock::RealTime) : TimedCaptureDevice(clock) {}
    ~NullCaptureDevice() override;
    std::string Name() const override { return "null"; }
};

class ToneCaptureDevice : public TimedCaptureDevice {
public:
    explicit ToneCaptureDevice(double hz, Clock clock = Clock::RealTime)
        : TimedCaptureDevice(clock), m_hz(hz) {}
    ~ToneCaptureDevice() override;
    std::string Name() const override;

protected:
    bool DoOpen() override;
    void Generate(std::uint8_t* dst, std::uint32_t frames) override;

private:
    double m_hz;
    std::uint64_t m_frame = 0;
};

// Reads the whole WAV file at open (integer PCM of 8 to 32 bits, any rate
// and channel count) and converts it to the recorder's format: sample width
// and channels by rule (one channel is copied to all, several are averaged
// into one, otherwise extra channels are dropped or silent), the rate with
// libsoxr. A file already in the recorder's format is played byte for byte.
class WavCaptureDevice : public TimedCaptureDevice {
public:
    explicit WavCaptureDevice(std::string path, Clock clock = Clock::RealTime)
        : TimedCaptureDevice(clock), m_path(std::move(path)) {}
    ~WavCaptureDevice() override;
    std::string Name() const override { return "wav:" + m_path; }

protected:
    bool DoOpen() override;
    void DoClose() override;
    void Generate(std::uint8_t* dst, std::uint32_t frames) override;

private:
    std::string m_path;
    std::vector<std::uint8_t> m_pcm; // in the recorder's format
    std::size_t m_position = 0;
};

// The test device: a manual clock whose every sample is the running frame
// count (modulo the sample width), so order and gaps can be checked. Opening
// fails with a reason when failOpen is set. The format of the last open is
// kept in a record that may outlive the device.
class VirtualCaptureDevice : public TimedCaptureDevice {
public:
    explicit VirtualCaptureDevice(std::shared_ptr<WAVEFORMATEX> opened = nullptr,
                                  bool failOpen = false)
        : TimedCaptureDevice(Clock::Manual), m_opened(std::move(opened)), m_failOpen(failOpen) {}
    ~VirtualCaptureDevice() override;
    std::string Name() const override { return "virtual"; }

protected:
    bool DoOpen() override;
    void Generate(std::uint8_t* dst, std::uint32_t frames) override;

private:
    std::shared_ptr<WAVEFORMATEX> m_opened;
    bool m_failOpen;
    std::uint64_t m_frame = 0;
};

} // namespace platform::audio
