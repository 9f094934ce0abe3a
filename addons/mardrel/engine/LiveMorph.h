// The live path: microphone blocks through a voice effect to the monitor
// and the recording.
//
// Threads and what each may do:
//   - Open, Close, Arm and the counters' readers run on the window thread.
//   - Capture runs on the host's capture thread: it converts the PCM block
//     to floats, runs the effect over it (ProcessStream pulls exactly that
//     block through EffectInput) and hands the result on to the monitor
//     ring and, while a recording runs, to the recording's ring.
//   - Play runs on the player's output thread and takes from the monitor
//     ring.
// Neither callback allocates, locks or does I/O: every buffer is made by
// Open, and the rings are single-producer, single-consumer.
//
// The effect is primed with silence on its first block, so the first output
// comes with the first captured block; what the effect adds to the latency
// is its pipeline delay, not a wait for real input to fill its priming.
#pragma once

#include "suite/core/SampleRing.h"

#include "sonvara/EffectManager.h"
#include "sonvara/StreamBuffer.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace mardrel {

class RecordingWriter;

struct LiveFormat {
    std::uint32_t rate = 44100;
    std::uint16_t channels = 1;         // of the microphone's PCM
    std::uint16_t bitsPerSample = 16;   // 8, 16, 24 or 32
    std::uint32_t captureFrames = 1024; // one capture buffer
    std::uint32_t outputFrames = 512;   // one player segment
};

class LiveMorph {
public:
    LiveMorph() = default;
    ~LiveMorph();
    LiveMorph(const LiveMorph&) = delete;
    LiveMorph& operator=(const LiveMorph&) = delete;

    // Makes every buffer of a run and opens the effect on one channel at the
    // format's rate. False with a reason when the effect refuses the stream.
    bool Open(CSimpleEffect* effect, const LiveFormat& format, std::string& error);
    // Closes the effect's stream. Only when neither callback can run any more.
    void Close();
    bool IsOpen() const { return m_effect != nullptr; }

    // Where Capture also sends its output (null: nowhere). The writer must
    // outlive the run or be unset before it goes.
    void SetRecorder(RecordingWriter* writer) { m_recorder.store(writer); }

    // The monitor starts afresh at its next block (from the start level,
    // what the capture queued meanwhile let go uncounted). Only while no
    // player calls Play: before the monitor is handed to a player again.
    void RestartMonitor() { m_monitorRunning = false; }

    // IMicro's CaptureCallback; user is the LiveMorph.
    static std::uint32_t Capture(void* user, const void* data, std::uint32_t bytes);
    // IPlayer's stream callback: the monitor, mono.
    static std::uint32_t Play(void* user, StreamBuffer* block, std::uint32_t reserved);

    // The loudest input sample since the last call (0..1); window thread.
    float TakePeak() { return m_peak.exchange(0.0f); }
    // Frames captured in this run.
    std::uint64_t CapturedFrames() const { return m_captured.load(); }
    // Player blocks that found the monitor short of sound after it had
    // started (each one is a drop-out the listener hears).
    std::uint64_t LateBlocks() const { return m_late.load(); }
    // Frames thrown away because the monitor ran too far behind the input.
    std::uint64_t SkippedFrames() const { return m_skipped.load(); }
    // Blocks the effect gave nothing for (it closed the stream).
    std::uint64_t RefusedBlocks() const { return m_refused.load(); }
    // Frames of sound the monitor keeps queued ahead of the player at the
    // least: it grows by a segment after each late block, up to a limit.
    std::uint32_t MonitorDelayFrames() const { return m_monitorDelay.load(); }

private:
    static std::uint32_t EffectInput(void* user, StreamBuffer* buffer);
    void ProcessCaptured(const void* data, std::uint32_t frames);
    // Output thread: throws the oldest frames of the monitor away.
    void Drop(std::size_t frames, bool count);

    CSimpleEffect* m_effect = nullptr;
    LiveFormat m_format;
    std::uint32_t m_frameBytes = 2;
    // Capture thread only.
    std::vector<float> m_input;  // the block the effect pulls
    std::vector<float> m_output; // what it gives back
    StreamBuffer m_block;
    std::uint32_t m_inputFrames = 0;
    bool m_primed = false;
    // Capture -> output thread.
    std::unique_ptr<suite::SampleRing> m_monitor;
    std::uint32_t m_keep = 0; // frames the monitor keeps queued at the least
    std::uint32_t m_maxKeep = 0;
    std::atomic<std::uint32_t> m_monitorDelay{0};
    // Output thread only: whether the monitor plays, and the lowest level it
    // found over the last half second of playing (how much it could do
    // without), and the half seconds since it started.
    bool m_monitorRunning = false;
    unsigned m_windows = 0; // up to 2
    std::size_t m_windowLow = 0;
    std::uint32_t m_windowFrames = 0;
    std::atomic<RecordingWriter*> m_recorder{nullptr};

    std::atomic<float> m_peak{0.0f};
    std::atomic<std::uint64_t> m_captured{0};
    std::atomic<std::uint64_t> m_late{0};
    std::atomic<std::uint64_t> m_skipped{0};
    std::atomic<std::uint64_t> m_refused{0};
};

// Samples of little-endian integer PCM (8 bits unsigned, 16, 24 or 32
// signed) of `channels` interleaved channels, averaged into mono floats.
void PcmToMono(const std::uint8_t* data, std::uint32_t frames, std::uint16_t channels,
               std::uint16_t bitsPerSample, float* out);

} // namespace mardrel
