#include "core/PlaybackEngine.h"

#include "core/SampleRing.h"
#include "core/TagReader.h"
#include "core/TrackDecoder.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace suite {

namespace {

constexpr std::size_t kDecodeFrames = 2048;
// Seconds of sound the ring holds: enough to ride out a slow disk or a busy
// machine, small enough that a seek does not waste much decoding.
constexpr unsigned kRingSeconds = 4;

} // namespace

PlaybackEngine::PlaybackEngine() = default;

PlaybackEngine::~PlaybackEngine() {
    Stop();
}

void PlaybackEngine::Start(std::vector<QueuedTrack> queue, std::size_t first,
                           std::uint64_t startFrame, unsigned rate, unsigned channels,
                           bool repeat) {
    Stop();
    m_queue = std::move(queue);
    m_rate = rate;
    m_channels = channels;
    m_ring = std::make_unique<SampleRing>(static_cast<std::size_t>(rate) * channels * kRingSeconds);
    m_marks.clear();
    m_events.clear();
    m_stop = false;
    m_decoded = false;
    m_exhausted = false;
    m_consumed = 0;
    m_underruns = 0;
    m_repeat = repeat;
    m_active = true;
    m_thread = std::thread([this, first, startFrame] { Decode(first, startFrame); });
}

void PlaybackEngine::Stop() {
    m_active = false;
    m_stop = true;
    {
        // Under the lock, so a decoder about to wait for room cannot miss it.
        std::lock_guard lock(m_mutex);
    }
    m_roomOrStop.notify_all();
    if (m_thread.joinable()) m_thread.join();
}

void PlaybackEngine::WaitForBuffered(std::size_t frames, std::chrono::milliseconds limit) {
    if (!m_ring) return;
    const std::size_t samples = std::min(frames * m_channels, m_ring->Capacity() / 2);
    std::unique_lock lock(m_mutex);
    m_progress.wait_for(lock, limit,
                        [&] { return m_decoded.load() || m_ring->Available() >= samples; });
}

void PlaybackEngine::AddEvent(EngineEvent event) {
    std::lock_guard lock(m_mutex);
    m_events.push_back(std::move(event));
}

std::vector<EngineEvent> PlaybackEngine::TakeEvents() {
    std::lock_guard lock(m_mutex);
    return std::exchange(m_events, {});
}

std::optional<TrackMark> PlaybackEngine::MarkAt(std::uint64_t frame) const {
    std::lock_guard lock(m_mutex);
    std::optional<TrackMark> found;
    for (const TrackMark& mark : m_marks) {
        if (mark.startFrame > frame) break;
        found = mark;
    }
    return found;
}

void PlaybackEngine::Decode(std::size_t index, std::uint64_t startFrame) {
    std::vector<float> buffer(kDecodeFrames * m_channels);
    std::uint64_t written = 0;
    std::size_t failuresInRow = 0;
    bool anyPlayed = false;
    while (!m_stop) {
        if (index >= m_queue.size()) {
            if (!m_repeat || !anyPlayed || m_queue.empty()) break;
            index = 0;
        }
        // Every track of the queue failed in turn: nothing can be played.
        if (failuresInRow >= m_queue.size()) break;
        const QueuedTrack& track = m_queue[index];
        TrackDecoder decoder;
        std::string error;
        float gain = track.gain;
        if (std::isnan(gain)) {
            TrackInfo info;
            ReadTags(track.path, info);
            gain = ReplayGainFactor(info, track.gainMode);
        }
        if (!decoder.Open(track.path, m_rate, m_channels, gain, error)) {
            AddEvent({EngineEvent::Skipped, index, error});
            ++failuresInRow;
            ++index;
            startFrame = 0;
            continue;
        }
        if (startFrame && !decoder.Seek(startFrame)) startFrame = 0;
        {
            std::lock_guard lock(m_mutex);
            m_marks.push_back({index, written, startFrame, decoder.OutputFrames()});
        }
        std::uint64_t produced = 0;
        while (!m_stop) {
            const std::size_t n = decoder.Read(buffer.data(), kDecodeFrames);
            if (n == 0) break;
            std::size_t at = 0;
            const std::size_t samples = n * m_channels;
            while (at < samples && !m_stop) {
                at += m_ring->Write(buffer.data() + at, samples - at);
                if (at < samples) {
                    // The ring is full and seconds of sound are still to
                    // play: look again every 100 ms and go on once a quarter
                    // is free, instead of waking hundreds of times a second
                    // for a little room each time (the output callback never
                    // signals: it must not take locks).
                    std::unique_lock lock(m_mutex);
                    m_roomOrStop.wait_for(lock, std::chrono::milliseconds(100), [&] {
                        return m_stop.load() || m_ring->Space() >= m_ring->Capacity() / 4;
                    });
                }
            }
            produced += n;
            written += n;
            m_progress.notify_all();
        }
        if (decoder.Failed())
            AddEvent({produced ? EngineEvent::Damaged : EngineEvent::Skipped, index,
                      "the file is damaged or cut short"});
        if (produced) {
            anyPlayed = true;
            failuresInRow = 0;
        } else {
            ++failuresInRow;
        }
        startFrame = 0;
        ++index;
    }
    m_decoded = true;
    m_progress.notify_all();
}

std::uint32_t PlaybackEngine::Pull(void* user, StreamBuffer* block, std::uint32_t) {
    auto* self = static_cast<PlaybackEngine*>(user);
    if (!self) return 0;
    if (block->channels.empty()) {
        // frames 0: another callback replaced this one; 1: end of stream.
        if (block->frames == 0) self->m_attached.store(false);
        return 0;
    }
    if (!self->m_active.load(std::memory_order_acquire)) return 0;
    if (block->channels.size() != self->m_channels) return 0;
    // Read the flag before the ring: the decoder sets it after its last write.
    const bool decoded = self->m_decoded.load(std::memory_order_acquire);
    const std::size_t n =
        self->m_ring->ReadFrames(block->channels.data(), self->m_channels, block->frames);
    self->m_consumed.fetch_add(n, std::memory_order_relaxed);
    if (n == 0 && decoded) {
        self->m_exhausted = true;
        return 0;
    }
    if (n < block->frames && !decoded) {
        // The decoder fell behind: the rest of the zeroed block plays as
        // silence rather than ending the stream.
        self->m_underruns.fetch_add(1, std::memory_order_relaxed);
        block->valid = block->frames;
        return block->frames;
    }
    block->valid = static_cast<std::uint32_t>(n);
    return static_cast<std::uint32_t>(n);
}

} // namespace suite
