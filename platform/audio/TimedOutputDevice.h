// Output devices without sound hardware: the cursor is moved by a clock of
// our own instead of a sound card.
//
// With Clock::RealTime a thread advances the cursor at the format's sample
// rate; with Clock::Manual nothing moves until Advance is called, which plays
// the frames and signals the notification events on the caller's thread
// before it returns (tests drive playback this way, without waiting on the
// wall clock).
//
//   NullOutputDevice     "null"      sound discarded
//   WavOutputDevice      "wav:PATH"  what is played goes to a WAV file
//   VirtualOutputDevice  (tests)     manual clock; keeps what it played
#pragma once

#include "platform/audio/FrameClock.h"
#include "platform/audio/OutputDevice.h"

#include <cstdio>
#include <memory>
#include <mutex>

namespace platform::audio {

class TimedOutputDevice : public OutputDevice {
public:
    enum class Clock { RealTime, Manual };

    ~TimedOutputDevice() override;

    // Manual clock only: plays frames frames now, signalling the events the
    // cursor passes before returning, and returns how many were played: 0
    // when stopped or not manual.
    std::uint32_t Advance(std::uint32_t frames);
    Clock ClockMode() const { return m_clock; }
    // A manual clock waits for nobody: it plays the bytes itself, at once.
    bool PlayOn(std::uint32_t bytes, int timeoutMs) override;

protected:
    explicit TimedOutputDevice(Clock clock) : m_clock(clock) {}

    // Receives what was just played, on the clock's thread.
    virtual void OnPlayed(const std::uint8_t* data, std::uint32_t bytes);
    // Whether OnPlayed needs the bytes (otherwise they are not copied).
    virtual bool WantsData() const { return false; }

    bool DoOpen() override;
    void DoClose() override;
    bool DoStart() override;
    void DoStop() override;

private:
    void PlayFrames(std::uint32_t frames);

    const Clock m_clock;
    std::vector<std::uint8_t> m_scratch;
    FrameClock m_realTime;
    // Held by Advance for its whole run, and taken by DoStop, so a device
    // stopped and released from another thread (the player's, at the end of
    // a stream) never goes while the manual clock is still inside it.
    std::mutex m_advancing;
    // Set by DoStop under m_advancing: an Advance that comes in between the
    // clock's stop and the base class's playing flag must not play.
    bool m_manualStopped = true;
};

class NullOutputDevice : public TimedOutputDevice {
public:
    explicit NullOutputDevice(Clock clock = Clock::RealTime) : TimedOutputDevice(clock) {}
    ~NullOutputDevice() override;
    std::string Name() const override { return "null"; }
};

// Writes a plain PCM WAV file: the header is written at open and its sizes
// are completed at close. Reopening starts the file afresh.
class WavOutputDevice : public TimedOutputDevice {
public:
    explicit WavOutputDevice(std::string path, Clock clock = Clock::RealTime)
        : TimedOutputDevice(clock), m_path(std::move(path)) {}
    ~WavOutputDevice() override;
    std::string Name() const override { return "wav:" + m_path; }
    const std::string& Path() const { return m_path; }

protected:
    bool DoOpen() override;
    void DoClose() override;
    void OnPlayed(const std::uint8_t* data, std::uint32_t bytes) override;
    bool WantsData() const override { return true; }

private:
    void WriteHeader();

    std::string m_path;
    std::FILE* m_file = nullptr;
    std::uint64_t m_dataBytes = 0;
    bool m_writeFailed = false;
};

// The test device: a manual clock that keeps everything it played. The
// record may be shared, so a test can read it after the player that owned
// the device has released it.
class VirtualOutputDevice : public TimedOutputDevice {
public:
    explicit VirtualOutputDevice(std::shared_ptr<std::vector<std::uint8_t>> record = nullptr)
        : TimedOutputDevice(Clock::Manual),
          m_played(record ? std::move(record) : std::make_shared<std::vector<std::uint8_t>>()) {}
    ~VirtualOutputDevice() override;
    std::string Name() const override { return "virtual"; }

    // Every byte played since the device was opened, in order.
    const std::vector<std::uint8_t>& Played() const { return *m_played; }

protected:
    bool DoOpen() override;
    void OnPlayed(const std::uint8_t* data, std::uint32_t bytes) override;
    bool WantsData() const override { return true; }

private:
    std::shared_ptr<std::vector<std::uint8_t>> m_played;
};

} // namespace platform::audio
