#include "platform/audio/CaptureDevice.h"

#include "platform/RealTimeSection.h"

#include <algorithm>
#include <cstring>

namespace platform::audio {

CaptureDevice::~CaptureDevice() = default;

bool CaptureDevice::Open(const WAVEFORMATEX& format, DoneCallback done, void* context) {
    Close();
    m_error.clear();
    m_failure.Clear();
    if (format.wFormatTag != WAVE_FORMAT_PCM && format.wFormatTag != WAVE_FORMAT_EXTENSIBLE) {
        SetError("only integer PCM can be recorded");
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
    if (format.nBlockAlign != format.nChannels * (bits / 8)) {
        SetError("the block alignment does not match channels and sample width");
        return false;
    }
    if (!done) {
        SetError("no done callback");
        return false;
    }
    m_format = format;
    m_format.wFormatTag = WAVE_FORMAT_PCM;
    m_format.cbSize = 0;
    m_done = done;
    m_context = context;
    m_head.store(0);
    m_tail.store(0);
    m_dropped.store(0);
    if (!DoOpen()) return false;
    m_open = true;
    return true;
}

void CaptureDevice::Close() {
    if (!m_open) return;
    Reset();
    DoClose();
    m_open = false;
}

bool CaptureDevice::AddBuffer(CaptureBuffer* buffer) {
    if (!m_open || !buffer || !buffer->data || buffer->bytes == 0) return false;
    const std::uint32_t tail = m_tail.load(std::memory_order_relaxed);
    if (tail - m_head.load(std::memory_order_acquire) >= kMaxQueued) return false;
    buffer->recorded = 0;
    m_queue[tail % kMaxQueued] = buffer;
    // The buffer's slot and its reset count are visible before the tail.
    m_tail.store(tail + 1, std::memory_order_release);
    return true;
}

bool CaptureDevice::Start() {
    if (!m_open) {
        SetError("the device is not open");
        return false;
    }
    if (IsRunning()) return true;
    m_running.store(true, std::memory_order_release);
    if (!DoStart()) {
        m_running.store(false, std::memory_order_release);
        return false;
    }
    return true;
}

bool CaptureDevice::Stop() {
    if (!IsRunning()) return true;
    // No Produce runs once DoStop returns.
    DoStop();
    m_running.store(false, std::memory_order_release);
    return true;
}

void CaptureDevice::Reset() {
    Stop();
    ReturnAll();
}

void CaptureDevice::ReturnAll() {
    std::uint32_t head = m_head.load(std::memory_order_relaxed);
    const std::uint32_t tail = m_tail.load(std::memory_order_acquire);
    while (head != tail) {
        CaptureBuffer* b = m_queue[head % kMaxQueued];
        m_head.store(++head, std::memory_order_release);
        m_done(m_context, b);
    }
}

void CaptureDevice::Produce(const std::uint8_t* src, std::uint32_t bytes) {
    const RealTimeSection realTime;
    if (!m_running.load(std::memory_order_acquire) || m_failure.Failed()) return;
    std::uint32_t head = m_head.load(std::memory_order_relaxed);
    while (bytes > 0) {
        if (head == m_tail.load(std::memory_order_acquire)) {
            // Nothing queued: the input is lost, as on a sound card whose
            // owner fell behind.
            m_dropped.fetch_add(bytes, std::memory_order_relaxed);
            return;
        }
        CaptureBuffer* b = m_queue[head % kMaxQueued];
        const std::uint32_t n = std::min(bytes, b->bytes - b->recorded);
        if (src) {
            std::memcpy(b->data + b->recorded, src, n);
            src += n;
        } else {
            std::memset(b->data + b->recorded, SilenceByte(), n);
        }
        b->recorded += n;
        bytes -= n;
        if (b->recorded == b->bytes) {
            // Off the queue before the owner hears of it, so the owner may
            // queue it again at once.
            m_head.store(++head, std::memory_order_release);
            m_done(m_context, b);
        }
    }
}

} // namespace platform::audio
