// One playback run: a decoding thread walks a queue of tracks, decodes each
// in turn into a lock-free ring in the run's output format, and the player's
// stream callback only copies out of the ring. Tracks follow each other in
// the ring without a gap; a track of another rate or channel count is
// converted (TrackDecoder) so the run's format never changes mid-stream.
//
// Threads: Start, Stop, WaitForBuffered, MarkAt, TakeEvents and SetRepeat on
// the window thread; Pull on the player's output thread (it never allocates,
// locks or does I/O); the decoding thread is the engine's own.
#pragma once

#include "core/Playlist.h"
#include "sonvara/StreamBuffer.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace suite {

class SampleRing;

struct QueuedTrack {
    std::uint64_t id = 0; // the playlist entry's id
    std::string path;
    float gain = 1.0f; // linear, applied before the host's volume
    // With a NaN gain the decoding thread reads the file's ReplayGain tags
    // in this mode itself (the window thread had no tags for it yet).
    ReplayGainMode gainMode = ReplayGainMode::Off;
};

// Where a track begins on the run's timeline (frames handed to the ring).
struct TrackMark {
    std::size_t queueIndex = 0;
    std::uint64_t startFrame = 0; // run frame of the track's first decoded frame
    std::uint64_t offset = 0;     // track frame at startFrame (a seek's target)
    std::uint64_t frames = 0;     // the track's whole length in output frames (0 = unknown)
};

struct EngineEvent {
    enum Kind { Skipped, Damaged } kind = Skipped;
    std::size_t queueIndex = 0;
    std::string message;
};

class PlaybackEngine {
public:
    PlaybackEngine();
    ~PlaybackEngine();
    PlaybackEngine(const PlaybackEngine&) = delete;
    PlaybackEngine& operator=(const PlaybackEngine&) = delete;

    // Starts a run over queue from queue[first], at frame startFrame of it.
    // With repeat the queue starts over after its last track.
    void Start(std::vector<QueuedTrack> queue, std::size_t first, std::uint64_t startFrame,
               unsigned rate, unsigned channels, bool repeat);
    // Ends the run: the decoding thread is joined, the ring forgotten.
    void Stop();
    bool Running() const { return m_thread.joinable(); }
    // Waits until `frames` frames are buffered or decoding has ended, at
    // most `limit` (so the first device fill finds sound, not silence).
    void WaitForBuffered(std::size_t frames, std::chrono::milliseconds limit);
    void SetRepeat(bool repeat) { m_repeat.store(repeat); }

    // The player's stream callback; user is the engine.
    static std::uint32_t Pull(void* user, StreamBuffer* block, std::uint32_t reserved);

    // Whether the player still holds Pull with this engine: set when the
    // owner registers it, cleared by the player's detach call.
    void MarkAttached() { m_attached.store(true); }
    bool Attached() const { return m_attached.load(); }

    // Frames the player has taken so far in this run.
    std::uint64_t Consumed() const { return m_consumed.load(std::memory_order_relaxed); }
    // Decoding is over and the player has taken everything.
    bool Exhausted() const { return m_exhausted.load(); }
    std::uint64_t Underruns() const { return m_underruns.load(); }
    // The track playing at run frame `frame`, if any has begun by then.
    std::optional<TrackMark> MarkAt(std::uint64_t frame) const;
    std::vector<EngineEvent> TakeEvents();
    const std::vector<QueuedTrack>& Queue() const { return m_queue; }
    unsigned Rate() const { return m_rate; }
    unsigned Channels() const { return m_channels; }

private:
    void Decode(std::size_t first, std::uint64_t startFrame);
    void AddEvent(EngineEvent event);

    std::vector<QueuedTrack> m_queue;
    unsigned m_rate = 0;
    unsigned m_channels = 0;
    std::unique_ptr<SampleRing> m_ring;
    std::thread m_thread;
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_repeat{false};
    std::atomic<bool> m_active{false};
    std::atomic<bool> m_attached{false};
    std::atomic<bool> m_decoded{false};
    std::atomic<bool> m_exhausted{false};
    std::atomic<std::uint64_t> m_consumed{0};
    std::atomic<std::uint64_t> m_underruns{0};

    mutable std::mutex m_mutex; // marks, events, the buffered signal
    std::condition_variable m_progress;
    std::condition_variable m_roomOrStop; // the decoder waits here on a full ring
    std::vector<TrackMark> m_marks;
    std::vector<EngineEvent> m_events;
};

} // namespace suite
