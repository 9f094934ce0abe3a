#include "platform/audio/OutputDevice.h"

#include "platform/RealTimeSection.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <new>
#include <thread>

namespace platform::audio {

namespace {

std::uint64_t Span(std::uint32_t offset, std::uint32_t bytes) {
    return bytes == 0 ? 0 : (std::uint64_t{offset} << 32) | bytes;
}

// The span (offset << 32 | bytes, wrapping round a buffer of size bytes) as
// at most two ranges that do not wrap: [begin, end) each, empty when equal.
struct Ranges {
    std::uint32_t begin[2] = {0, 0};
    std::uint32_t end[2] = {0, 0};
};

Ranges Split(std::uint64_t span, std::uint32_t size) {
    const auto offset = static_cast<std::uint32_t>(span >> 32);
    const auto length = static_cast<std::uint32_t>(span);
    const std::uint32_t first = std::min(length, size - offset);
    Ranges r;
    r.begin[0] = offset;
    r.end[0] = offset + first;
    r.end[1] = length - first;
    return r;
}

// Whether the span shares a byte with from .. from + bytes (no wrap).
bool Overlaps(std::uint64_t span, std::uint32_t from, std::uint32_t bytes, std::uint32_t size) {
    if (span == 0 || bytes == 0) return false;
    const Ranges r = Split(span, size);
    for (int i = 0; i < 2; ++i)
        if (r.begin[i] < r.end[i] && r.begin[i] < from + bytes && from < r.end[i]) return true;
    return false;
}

// Copies from .. from + bytes of data to dst, with silence in place of the
// bytes inside the writer's span.
void CopyAround(std::uint8_t* dst, const std::uint8_t* data, std::uint32_t from,
                std::uint32_t bytes, std::uint64_t span, std::uint32_t size, std::uint8_t silence) {
    const Ranges r = Split(span, size);
    const std::uint32_t to = from + bytes;
    for (std::uint32_t pos = from; pos < to;) {
        std::uint32_t next = to;
        bool inside = false;
        for (int i = 0; i < 2; ++i) {
            if (r.begin[i] >= r.end[i]) continue;
            if (pos >= r.begin[i] && pos < r.end[i]) {
                inside = true;
                next = std::min(next, r.end[i]);
            } else if (r.begin[i] > pos) {
                next = std::min(next, r.begin[i]);
            }
        }
        if (inside)
            std::memset(dst + (pos - from), silence, next - pos);
        else
            std::memcpy(dst + (pos - from), data + pos, next - pos);
        pos = next;
    }
}

} // namespace

OutputDevice::~OutputDevice() = default;

bool OutputDevice::SupportsLayout(std::uint16_t channels, std::uint32_t, std::uint32_t sampleRate) {
    return channels > 0 && sampleRate > 0;
}

bool OutputDevice::Open(const WAVEFORMATEX& format, std::uint32_t bufferBytes) {
    Close();
    m_error.clear();
    m_failure.Clear();
    if (format.wFormatTag != WAVE_FORMAT_PCM && format.wFormatTag != WAVE_FORMAT_EXTENSIBLE) {
        SetError("only integer PCM can be played");
        return false;
    }
    const unsigned bits = format.wBitsPerSample;
    if (bits != 8 && bits != 16 && bits != 24 && bits != 32) {
        SetError("unsupported sample width of " + std::to_string(bits) + " bits");
        return false;
    }
    if (format.nChannels == 0 || format.nSamplesPerSec == 0) {
        SetError("the format has no channels or no sample rate");
        return false;
    }
    const std::uint32_t align = format.nChannels * (bits / 8);
    if (format.nBlockAlign != align) {
        SetError("the block alignment does not match channels and sample width");
        return false;
    }
    if (bufferBytes == 0 || bufferBytes % align != 0) {
        SetError("the buffer size is not a whole, non-zero number of frames");
        return false;
    }
    m_blockAlign = align;
    m_sampleRate = format.nSamplesPerSec;
    m_channels = format.nChannels;
    m_bits = format.wBitsPerSample;
    try {
        m_buffer.assign(bufferBytes, SilenceByte());
        m_cursor.store(0, std::memory_order_release);
        if (DoOpen()) return true;
    } catch (const std::bad_alloc&) {
        // Sizes come from the player's settings; a buffer the machine cannot
        // hold (here or in the backend) is a device error like any other,
        // not a crash of the caller.
        SetError("no memory for a sound buffer of " + std::to_string(bufferBytes) + " bytes");
    }
    m_buffer.clear();
    m_buffer.shrink_to_fit();
    return false;
}

void OutputDevice::Close() {
    if (m_buffer.empty()) return;
    Stop();
    DoClose();
    m_notifications.clear();
    m_buffer.clear();
    m_buffer.shrink_to_fit();
    m_cursor.store(0, std::memory_order_release);
    m_writing.store(0, std::memory_order_release);
}

bool OutputDevice::SetNotificationPositions(std::span<const NotificationPosition> positions) {
    if (IsPlaying()) {
        SetError("notification positions can only change while stopped");
        return false;
    }
    for (const auto& p : positions) {
        if (!p.event || p.offset >= m_buffer.size()) {
            SetError("a notification position lies outside the buffer");
            return false;
        }
    }
    m_notifications.assign(positions.begin(), positions.end());
    return true;
}

bool OutputDevice::Play() {
    if (m_buffer.empty()) {
        SetError("the device is not open");
        return false;
    }
    if (IsPlaying()) return true;
    // Playing must be visible before the backend's clock first runs.
    m_playing.store(true, std::memory_order_release);
    if (!DoStart()) {
        m_playing.store(false, std::memory_order_release);
        return false;
    }
    return true;
}

bool OutputDevice::Stop() {
    if (!IsPlaying()) return true;
    // The backend's clock has stopped when DoStop returns; no Consume runs
    // after this point.
    DoStop();
    m_playing.store(false, std::memory_order_release);
    return true;
}

bool OutputDevice::PlayOn(std::uint32_t bytes, int timeoutMs) {
    const auto size = static_cast<std::uint32_t>(m_buffer.size());
    if (size == 0 || !IsPlaying()) return false;
    // The cursor wraps, so the distance is summed step by step; the backend
    // moves it by far less than a whole buffer between two looks.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    std::uint64_t played = 0;
    std::uint32_t last = GetCurrentPosition();
    while (played < bytes) {
        if (std::chrono::steady_clock::now() >= deadline || m_failure.Failed()) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        const std::uint32_t now = GetCurrentPosition();
        played += now >= last ? now - last : size - last + now;
        last = now;
    }
    return true;
}

bool OutputDevice::Lock(std::uint32_t offset, std::uint32_t bytes, void** region1,
                        std::uint32_t* size1, void** region2, std::uint32_t* size2) {
    *region1 = nullptr;
    *size1 = 0;
    if (region2) *region2 = nullptr;
    if (size2) *size2 = 0;
    const auto size = static_cast<std::uint32_t>(m_buffer.size());
    if (size == 0 || offset >= size || bytes > size || bytes == 0) return false;
    const std::uint32_t first = std::min(bytes, size - offset);
    if (first < bytes && (!region2 || !size2)) return false;
    m_writing.store(Span(offset, bytes));
    // Only an underrun brings the backend this far; its copy is short.
    for (std::uint64_t r = m_reading.load(); r != 0; r = m_reading.load()) {
        const auto from = static_cast<std::uint32_t>(r >> 32);
        if (!Overlaps(Span(offset, bytes), from, static_cast<std::uint32_t>(r), size)) break;
        std::this_thread::yield();
    }
    *region1 = m_buffer.data() + offset;
    *size1 = first;
    if (first < bytes) {
        *region2 = m_buffer.data();
        *size2 = bytes - first;
    }
    return true;
}

void OutputDevice::Unlock(void*, std::uint32_t, void*, std::uint32_t) {
    m_writing.store(0, std::memory_order_release);
    m_published.fetch_add(1, std::memory_order_release);
}

void OutputDevice::Consume(std::uint8_t* dst, std::uint32_t bytes) {
    const RealTimeSection realTime;
    if (!m_playing.load(std::memory_order_acquire) || m_buffer.empty() || m_failure.Failed()) {
        if (dst) std::memset(dst, SilenceByte(), bytes);
        return;
    }
    (void)m_published.load(std::memory_order_acquire);
    const auto size = static_cast<std::uint32_t>(m_buffer.size());
    const std::uint8_t* data = m_buffer.data();
    while (bytes > 0) {
        const std::uint32_t from = m_cursor.load(std::memory_order_relaxed);
        // One pass never goes round the buffer more than once, so every
        // notification is signalled at most once per pass.
        const std::uint32_t step = std::min(bytes, size - from);
        if (dst) {
            m_reading.store(Span(from, step));
            // Only an underrun brings the cursor into the writer's span.
            if (const std::uint64_t writing = m_writing.load(); Overlaps(writing, from, step, size))
                CopyAround(dst, data, from, step, writing, size, SilenceByte());
            else
                std::memcpy(dst, data + from, step);
            m_reading.store(0, std::memory_order_release);
            dst += step;
        }
        const std::uint32_t to = from + step;
        m_cursor.store(to == size ? 0 : to, std::memory_order_release);
        for (const auto& n : m_notifications)
            if (n.offset >= from && n.offset < to) n.event->Set();
        bytes -= step;
    }
}

} // namespace platform::audio
