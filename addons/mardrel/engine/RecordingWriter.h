// Writes what the live path produces to a sound file, off the audio
// threads: Push (the capture thread) only copies into a ring; a thread of
// the writer's own empties it into the file.
//
// Start, Stop and the readers run on the window thread; Push on one
// producer thread at a time.
#pragma once

#include "suite/core/SampleRing.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace mardrel {

// The file to write: libsndfile's format word, the rate, the channels (the
// mono voice goes to each) and, for lossy types, the quality 0..100 (-1 none).
struct RecordingTarget {
    std::string path;
    int format = 0x010002;
    int rate = 44100;
    int channels = 1;
    int quality = -1;
};

class RecordingWriter {
public:
    RecordingWriter();
    ~RecordingWriter();
    RecordingWriter(const RecordingWriter&) = delete;
    RecordingWriter& operator=(const RecordingWriter&) = delete;

    // Creates the file and starts the writer thread. False with a reason.
    bool Start(const RecordingTarget& target, std::string& error);
    // Writes what is left, completes the file and ends the thread. False
    // with a reason when something could not be written (the file keeps
    // what was).
    bool Stop(std::string& error);
    bool IsRecording() const { return m_thread.joinable(); }
    const std::string& Path() const { return m_target.path; }

    // Producer: mono frames; never blocks. Frames that find no room are
    // counted as lost.
    void Push(const float* frames, std::size_t count);

    std::uint64_t FramesWritten() const { return m_written.load(); }
    std::uint64_t FramesLost() const { return m_lost.load(); }

private:
    void Run();
    bool Drain();

    RecordingTarget m_target;
    suite::SampleRing m_ring;
    void* m_file = nullptr;                   // SNDFILE*
    std::vector<float> m_mono, m_interleaved; // the thread's chunk
    std::thread m_thread;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_quit = false;
    std::atomic<bool> m_accepting{false};
    std::atomic<bool> m_failed{false};
    std::string m_error; // set by the thread, read after join
    std::atomic<std::uint64_t> m_written{0};
    std::atomic<std::uint64_t> m_lost{0};
};

// "Mardrel 2026-12-08 05-30-12.<extension>" in folder (which ends with '/');
// a number is added when such a file exists already.
std::string RecordingFileName(const std::string& folder, const std::string& extension,
                              std::int64_t secondsSinceEpoch);

} // namespace mardrel
