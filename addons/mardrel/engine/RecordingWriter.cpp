#include "engine/RecordingWriter.h"

#include <chrono>
#include <ctime>
#include <sndfile.h>
#include <sys/stat.h>
#include <vector>

namespace mardrel {

namespace {

// Ten seconds at 48 kHz: the writer falls that far behind only when the
// disk stalls.
constexpr std::size_t kRingFrames = 1u << 19;
constexpr std::size_t kChunkFrames = 4096;

bool Exists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
}

} // namespace

RecordingWriter::RecordingWriter() : m_ring(kRingFrames) {}

RecordingWriter::~RecordingWriter() {
    std::string ignored;
    Stop(ignored);
}

bool RecordingWriter::Start(const RecordingTarget& target, std::string& error) {
    std::string ignored;
    Stop(ignored);
    SF_INFO info{};
    info.samplerate = target.rate;
    info.channels = target.channels;
    info.format = target.format;
    SNDFILE* file = sf_open(target.path.c_str(), SFM_WRITE, &info);
    if (!file) {
        error = "Cannot write " + target.path + ": " + sf_strerror(nullptr);
        return false;
    }
    if (target.quality >= 0) {
        double q = target.quality / 100.0;
        sf_command(file, SFC_SET_VBR_ENCODING_QUALITY, &q, sizeof q);
    }
    m_target = target;
    m_file = file;
    m_mono.assign(kChunkFrames, 0.0f);
    m_interleaved.assign(kChunkFrames * static_cast<std::size_t>(target.channels), 0.0f);
    m_ring.Reset();
    m_written = 0;
    m_lost = 0;
    m_failed = false;
    m_error.clear();
    m_quit = false;
    m_accepting = true;
    m_thread = std::thread([this] { Run(); });
    return true;
}

bool RecordingWriter::Stop(std::string& error) {
    if (!m_thread.joinable()) return true;
    m_accepting = false;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_quit = true;
    }
    m_wake.notify_all();
    m_thread.join();
    bool ok = !m_failed;
    if (sf_close(static_cast<SNDFILE*>(m_file)) != 0 && ok) {
        m_error = "Cannot complete " + m_target.path;
        ok = false;
    }
    m_file = nullptr;
    if (!ok) error = m_error;
    return ok;
}

void RecordingWriter::Push(const float* frames, std::size_t count) {
    if (!m_accepting.load(std::memory_order_acquire)) return;
    const std::size_t put = m_ring.Write(frames, count);
    if (put < count) m_lost.fetch_add(count - put, std::memory_order_relaxed);
}

void RecordingWriter::Run() {
    std::unique_lock<std::mutex> lock(m_mutex);
    while (!m_quit) {
        lock.unlock();
        Drain();
        lock.lock();
        m_wake.wait_for(lock, std::chrono::milliseconds(20), [this] { return m_quit; });
    }
    lock.unlock();
    Drain(); // what came before the stop
}

bool RecordingWriter::Drain() {
    std::vector<float>& mono = m_mono;
    std::vector<float>& interleaved = m_interleaved;
    auto* file = static_cast<SNDFILE*>(m_file);
    for (;;) {
        float* const one[1] = {mono.data()};
        const std::size_t n = m_ring.ReadFrames(one, 1, kChunkFrames);
        if (n == 0) return true;
        if (m_failed) continue; // keep emptying the ring, write nothing more
        const auto channels = static_cast<std::size_t>(m_target.channels);
        for (std::size_t f = 0; f < n; ++f)
            for (std::size_t c = 0; c < channels; ++c)
                interleaved[f * channels + c] = mono[f];
        const sf_count_t w = sf_writef_float(file, interleaved.data(), static_cast<sf_count_t>(n));
        if (w != static_cast<sf_count_t>(n)) {
            m_error = "Cannot write " + m_target.path + ": " + sf_strerror(file);
            m_failed = true;
        }
        m_written.fetch_add(static_cast<std::uint64_t>(w > 0 ? w : 0));
    }
}

std::string RecordingFileName(const std::string& folder, const std::string& extension,
                              std::int64_t secondsSinceEpoch) {
    const std::time_t t = static_cast<std::time_t>(secondsSinceEpoch);
    std::tm local{};
    localtime_r(&t, &local);
    char stamp[64];
    std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H-%M-%S", &local);
    const std::string base = folder + "Mardrel " + stamp;
    std::string path = base + "." + extension;
    for (int n = 2; Exists(path); ++n)
        path = base + " (" + std::to_string(n) + ")." + extension;
    return path;
}

} // namespace mardrel
