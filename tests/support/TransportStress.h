// Drives a player and a recorder with random transport, format, setting and
// callback changes, as the window and a module's worker would through the
// frame's control lock. Several threads may run Control at once; built with
// ThreadSanitizer the programs that do are the race check of the transport.
#pragma once

#include "audio/ExtMicro.h"
#include "audio/ExtPlayerDX.h"
#include "platform/audio/TimedCaptureDevice.h"
#include "platform/audio/TimedOutputDevice.h"

#include <atomic>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <random>

namespace testsupport {

// SONVARA_STRESS_OPERATIONS overrides the count (the sanitizer builds run
// more of them than the everyday suite needs).
inline int StressOperations() {
    const char* text = std::getenv("SONVARA_STRESS_OPERATIONS");
    const int n = text ? std::atoi(text) : 0;
    return n > 0 ? n : 2000;
}

// A player and a recorder on the real-time null devices.
inline std::unique_ptr<CExtPlayerDX> MakeNullPlayer() {
    return std::make_unique<CExtPlayerDX>([](std::string*) {
        return std::unique_ptr<platform::audio::OutputDevice>(
            std::make_unique<platform::audio::NullOutputDevice>());
    });
}

inline std::unique_ptr<CExtMicro> MakeNullMicro() {
    return std::make_unique<CExtMicro>([](std::string*) {
        return std::unique_ptr<platform::audio::CaptureDevice>(
            std::make_unique<platform::audio::NullCaptureDevice>());
    });
}

class TransportStress {
public:
    // A source whose position another thread may move (a seek) while it plays.
    struct SeekableSource {
        std::atomic<std::uint32_t> position{0};
        std::atomic<int> pulls{0};
        static std::uint32_t Callback(void* user, StreamBuffer* b, std::uint32_t) {
            auto* self = static_cast<SeekableSource*>(user);
            if (b->channels.empty()) return 0;
            std::uint32_t at = self->position.fetch_add(b->frames);
            for (std::uint32_t i = 0; i < b->frames; ++i, ++at)
                for (float* channel : b->channels)
                    channel[i] = static_cast<float>(at % 441) / 882.0f;
            b->valid = b->frames;
            self->pulls.fetch_add(1);
            return b->frames;
        }
    };

    TransportStress(CExtPlayerDX& player, CExtMicro& micro) : m_player(player), m_micro(micro) {}

    // Short segments, so the devices' threads call back often. False when a
    // setting is refused.
    bool Prepare() {
        return m_player.SetBufferSize(256 * 4) == 0 && m_player.SetBufferCount(3) == 0 &&
               m_player.SetStreamCallback(&SeekableSource::Callback, &sources[0]) == 0 &&
               m_micro.SetBufferSize(512) == CExtMicro::kDone &&
               m_micro.SetCaptureCallback(&Capture, this) == CExtMicro::kDone;
    }

    // operations random operations, seeded with seed.
    void Control(unsigned seed, int operations);

    // Stops both; true when both then are stopped.
    bool Finish() {
        {
            std::lock_guard<std::mutex> lock(m_player.ControlLock());
            m_player.Stop(CExtPlayer::kStopRequested);
            m_player.Reset();
        }
        m_micro.Stop();
        m_micro.Reset();
        return m_player.GetState() == CExtPlayer::kStopped &&
               m_micro.GetState() == CExtMicro::kStopped;
    }

    int Done() const { return m_done.load(); }
    int Pulls() const { return sources[0].pulls.load() + sources[1].pulls.load(); }

    SeekableSource sources[2];

private:
    static std::uint32_t Capture(void* user, const void* data, std::uint32_t bytes) {
        if (data) static_cast<TransportStress*>(user)->m_captured.fetch_add(bytes);
        return 0;
    }

    CExtPlayerDX& m_player;
    CExtMicro& m_micro;
    std::mutex m_microLock; // the recorder's operations, like the player's, one at a time
    std::atomic<int> m_done{0};
    std::atomic<std::uint64_t> m_captured{0};
};

inline void TransportStress::Control(unsigned seed, int operations) {
    std::mt19937 random(seed);
    static constexpr std::uint32_t kRates[] = {8000, 22050, 44100, 48000, 96000};
    for (int i = 0; i < operations; ++i) {
        const unsigned op = random() % 16;
        if (op < 10) {
            std::lock_guard<std::mutex> lock(m_player.ControlLock());
            switch (op) {
            case 0:
            case 1:
                m_player.Play();
                break;
            case 2:
                m_player.Stop(CExtPlayer::kStopRequested);
                break;
            case 3:
                m_player.Pause();
                break;
            case 4:
                m_player.Reset();
                break;
            case 5: { // refused (6) unless stopped
                WAVEFORMATEXTENSIBLE f = *m_player.GetFormat();
                f.Format.nSamplesPerSec = kRates[random() % 5];
                f.Format.nAvgBytesPerSec = f.Format.nSamplesPerSec * f.Format.nBlockAlign;
                m_player.SetFormat(&f);
                break;
            }
            case 6:
                m_player.SetStreamCallback(&SeekableSource::Callback, &sources[random() % 2]);
                break;
            case 7:
                sources[random() % 2].position = random() % 441000; // a seek
                break;
            case 8: {
                const float gains[10] = {1.2f, 1, 1, 1, 0.7f, 1, 1, 1, 1.4f, 1};
                m_player.SetEqualizer(gains, 10, random() % 2 == 0);
                m_player.SetVolume(random() % 101);
                break;
            }
            default:
                m_player.SetBalance(random() % 101);
                m_player.SetSurroundOn(random() % 4 == 0);
                break;
            }
        } else {
            std::lock_guard<std::mutex> lock(m_microLock);
            switch (op) {
            case 10:
            case 11:
                if (m_micro.Play() == CExtMicro::kNotAvailable) m_micro.Reset();
                break;
            case 12:
                m_micro.Stop();
                break;
            case 13:
                m_micro.Pause();
                break;
            case 14: {
                WAVEFORMATEX f = m_micro.StoredFormat();
                f.nSamplesPerSec = kRates[random() % 5];
                f.nChannels = static_cast<std::uint16_t>(1 + random() % 2);
                m_micro.SetFormat(&f);
                break;
            }
            default:
                m_micro.Reset();
                m_micro.SetCaptureCallback(&Capture, this);
                break;
            }
        }
        m_done.fetch_add(1);
    }
}

} // namespace testsupport
