#include "platform/audio/TimedOutputDevice.h"

#include <algorithm>
#include <cstring>

namespace platform::audio {

namespace {

void PutLE(std::uint8_t* p, std::uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i)
        p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

} // namespace

TimedOutputDevice::~TimedOutputDevice() {
    // Concrete devices close in their own destructors; this catches the rest.
    if (m_realTime.IsRunning()) DoStop();
}

void TimedOutputDevice::OnPlayed(const std::uint8_t*, std::uint32_t) {}

bool TimedOutputDevice::DoOpen() {
    // The clock plays at most half a buffer per step; the scratch space for
    // a step is allocated here, never while playing.
    m_scratch.assign(WantsData() ? BufferBytes() : 0, 0);
    return true;
}

void TimedOutputDevice::DoClose() {
    m_scratch.clear();
    m_scratch.shrink_to_fit();
}

bool TimedOutputDevice::DoStart() {
    if (m_clock == Clock::Manual) {
        std::lock_guard<std::mutex> lock(m_advancing);
        m_manualStopped = false;
        return true;
    }
    // After a hold-up longer than the buffer lasts the clock carries on from
    // now rather than race through the backlog. Like a sound card's, the
    // period grows with the buffer: an eighth of it, from the 10 ms of a
    // small low-latency buffer up to 40 ms, since the writer refills a
    // large buffer a segment at a time and waking more often than that only
    // costs the processor.
    const std::uint32_t frames = BufferBytes() / BlockAlign();
    const auto bufferMs = static_cast<int>(std::min<std::uint64_t>(
        1000ull * frames / std::max<std::uint32_t>(1, SampleRate()), 1u << 20));
    m_realTime.Start(
        SampleRate(), frames, [this](std::uint32_t n) { PlayFrames(n); },
        std::clamp(bufferMs / 8, FrameClock::kDefaultPeriodMs, 40));
    return true;
}

void TimedOutputDevice::DoStop() {
    if (m_clock == Clock::Manual) {
        // Waits for an Advance under way, and keeps a later one out even
        // before the base class clears its playing flag.
        std::lock_guard<std::mutex> wait(m_advancing);
        m_manualStopped = true;
        return;
    }
    m_realTime.Stop();
}

std::uint32_t TimedOutputDevice::Advance(std::uint32_t frames) {
    if (m_clock != Clock::Manual) return 0;
    std::lock_guard<std::mutex> lock(m_advancing);
    if (m_manualStopped || !IsPlaying()) return 0;
    PlayFrames(frames);
    return frames;
}

bool TimedOutputDevice::PlayOn(std::uint32_t bytes, int timeoutMs) {
    if (m_clock != Clock::Manual) return OutputDevice::PlayOn(bytes, timeoutMs);
    const std::uint32_t align = BlockAlign();
    if (align == 0) return false;
    return Advance((bytes + align - 1) / align) > 0 || bytes == 0;
}

void TimedOutputDevice::PlayFrames(std::uint32_t frames) {
    const std::uint32_t align = BlockAlign();
    const std::uint32_t maxFrames = std::max<std::uint32_t>(1, BufferBytes() / align / 2);
    while (frames > 0) {
        const std::uint32_t n = std::min(frames, maxFrames);
        const std::uint32_t bytes = n * align;
        if (WantsData()) {
            Consume(m_scratch.data(), bytes);
            OnPlayed(m_scratch.data(), bytes);
        } else {
            Consume(nullptr, bytes);
        }
        frames -= n;
    }
}

NullOutputDevice::~NullOutputDevice() {
    Close();
}

WavOutputDevice::~WavOutputDevice() {
    Close();
}

bool WavOutputDevice::DoOpen() {
    if (!TimedOutputDevice::DoOpen()) return false;
    m_file = std::fopen(m_path.c_str(), "wb");
    if (!m_file) {
        SetError("cannot write the WAV file " + m_path + ": " + std::strerror(errno));
        return false;
    }
    m_dataBytes = 0;
    m_writeFailed = false;
    WriteHeader();
    return true;
}

void WavOutputDevice::DoClose() {
    if (m_file) {
        std::fseek(m_file, 0, SEEK_SET);
        WriteHeader();
        std::fclose(m_file);
        m_file = nullptr;
    }
    TimedOutputDevice::DoClose();
}

void WavOutputDevice::OnPlayed(const std::uint8_t* data, std::uint32_t bytes) {
    if (!m_file || m_writeFailed) return;
    // A WAV file cannot describe more than 4 GB of data; stop short of it.
    if (m_dataBytes + bytes > 0xFFFFFFFFull - 36) return;
    if (std::fwrite(data, 1, bytes, m_file) != bytes)
        m_writeFailed = true;
    else
        m_dataBytes += bytes;
}

void WavOutputDevice::WriteHeader() {
    std::uint8_t h[44];
    const auto data = static_cast<std::uint32_t>(m_dataBytes);
    std::memcpy(h, "RIFF", 4);
    PutLE(h + 4, 36 + data, 4);
    std::memcpy(h + 8, "WAVEfmt ", 8);
    PutLE(h + 16, 16, 4);
    PutLE(h + 20, WAVE_FORMAT_PCM, 2);
    PutLE(h + 22, Channels(), 2);
    PutLE(h + 24, SampleRate(), 4);
    PutLE(h + 28, SampleRate() * BlockAlign(), 4);
    PutLE(h + 32, BlockAlign(), 2);
    PutLE(h + 34, BitsPerSample(), 2);
    std::memcpy(h + 36, "data", 4);
    PutLE(h + 40, data, 4);
    if (std::fwrite(h, 1, sizeof h, m_file) != sizeof h) m_writeFailed = true;
}

VirtualOutputDevice::~VirtualOutputDevice() {
    Close();
}

bool VirtualOutputDevice::DoOpen() {
    m_played->clear();
    return TimedOutputDevice::DoOpen();
}

void VirtualOutputDevice::OnPlayed(const std::uint8_t* data, std::uint32_t bytes) {
    m_played->insert(m_played->end(), data, data + bytes);
}

} // namespace platform::audio
