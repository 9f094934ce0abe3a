// The offline path: a recording read with libsndfile, run through an effect
// on a worker thread, kept in memory to be played and saved.
//
// Start, Cancel, Finish, Save and the readers run on the window thread; the
// worker only reads the file and drives the effect's stream. The result may
// be played through PlayResult on the player's output thread, which copies
// from memory and neither allocates nor locks.
#pragma once

#include "sonvara/EffectManager.h"
#include "sonvara/StreamBuffer.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace mardrel {

class OfflineMorph {
public:
    enum class Outcome { None, Running, Done, Cancelled, Failed };

    OfflineMorph() = default;
    ~OfflineMorph();
    OfflineMorph(const OfflineMorph&) = delete;
    OfflineMorph& operator=(const OfflineMorph&) = delete;

    // Opens the file and starts the worker with the effect (configured by
    // the caller, closed). False with a message when the file is no sound
    // file libsndfile reads, or the effect refuses its format; the previous
    // result is kept then.
    bool Start(const std::string& path, std::unique_ptr<CSimpleEffect> effect, std::string& error);
    // Asks the worker to stop; Finish then reports Cancelled.
    void Cancel() { m_cancel = true; }
    // Whether the worker has ended (Finish will not wait).
    bool WorkerDone() const { return m_workerDone.load(); }
    // Joins the worker and releases the effect; the outcome of the last run
    // (Running when there is no run to finish), with its error.
    Outcome Finish(std::string* error = nullptr);
    Outcome LastOutcome() const { return m_outcome; }
    // 0..1 of the input consumed.
    double Progress() const;

    // The result, interleaved; valid after Done.
    const std::vector<float>& Samples() const { return m_samples; }
    int Channels() const { return m_channels; }
    int Rate() const { return m_rate; }
    const std::string& InputPath() const { return m_path; }
    bool HasResult() const { return m_outcome == Outcome::Done && !m_samples.empty(); }

    // Writes the result to path, the type chosen by its extension (the
    // input's sample format where that type holds it); atomically, so an
    // existing file is replaced only by a complete one.
    bool Save(const std::string& path, std::string& error) const;

    // Player callback over the result; Rewind before a run.
    static std::uint32_t PlayResult(void* user, StreamBuffer* block, std::uint32_t reserved);
    void Rewind() { m_playFrame = 0; }
    std::uint64_t PlayedFrames() const { return m_playFrame.load(); }
    std::uint64_t ResultFrames() const {
        return m_channels ? m_samples.size() / static_cast<std::size_t>(m_channels) : 0;
    }

private:
    void Run();
    static std::uint32_t Input(void* user, StreamBuffer* buffer);

    std::string m_path;
    std::unique_ptr<CSimpleEffect> m_effect;
    void* m_file = nullptr; // SNDFILE*, the worker's while it runs
    int m_inputFormat = 0;
    int m_channels = 0;
    int m_rate = 0;
    std::int64_t m_totalFrames = 0;
    std::vector<float> m_readBuffer; // the worker's interleaved input
    std::vector<float> m_samples;
    std::thread m_worker;
    std::atomic<bool> m_cancel{false};
    std::atomic<bool> m_workerDone{true};
    std::atomic<std::int64_t> m_framesRead{0};
    Outcome m_outcome = Outcome::None;
    std::atomic<bool> m_failed{false};
    std::string m_error;
    std::atomic<std::uint64_t> m_playFrame{0};
};

// libsndfile's format word for writing a file named path with channels
// channels, keeping inputFormat's sample type where the type allows it; 0
// when no type fits the extension.
int OutputFormatFor(const std::string& path, int inputFormat, int channels);

} // namespace mardrel
