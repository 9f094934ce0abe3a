#include "platform/audio/TimedCaptureDevice.h"

#include "platform/AtomicFile.h"

#include <soxr.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>
#include <numbers>

namespace platform::audio {

namespace {

std::uint32_t GetLE(const std::uint8_t* p, int bytes) {
    std::uint32_t v = 0;
    for (int i = 0; i < bytes; ++i)
        v |= static_cast<std::uint32_t>(p[i]) << (8 * i);
    return v;
}

// One sample in [-1, 1) from 8-bit unsigned or 16/24/32-bit signed PCM.
float Decode(const std::uint8_t* p, unsigned bits) {
    switch (bits) {
    case 8:
        return (static_cast<int>(p[0]) - 128) / 128.0f;
    case 16:
        return static_cast<float>(static_cast<std::int16_t>(GetLE(p, 2))) / 32768.0f;
    case 24: {
        std::int32_t v = static_cast<std::int32_t>(GetLE(p, 3) << 8) >> 8;
        return static_cast<float>(v) / 8388608.0f;
    }
    default:
        return static_cast<float>(static_cast<double>(static_cast<std::int32_t>(GetLE(p, 4))) /
                                  2147483648.0);
    }
}

// One sample, rounded and clipped.
void Encode(float x, std::uint8_t* p, unsigned bits) {
    const double full = bits == 8 ? 128.0 : std::ldexp(1.0, static_cast<int>(bits) - 1);
    double v = std::nearbyint(static_cast<double>(x) * full);
    v = std::clamp(v, -full, full - 1);
    auto i = static_cast<std::int64_t>(v);
    if (bits == 8) i += 128;
    for (unsigned k = 0; k < bits / 8; ++k)
        p[k] = static_cast<std::uint8_t>(static_cast<std::uint64_t>(i) >> (8 * k));
}

struct WavFile {
    std::uint16_t channels = 0;
    std::uint32_t rate = 0;
    std::uint16_t bits = 0;
    std::string data;
};

// The fmt and data chunks of a RIFF WAVE file with integer PCM; an empty
// string on success, otherwise why it cannot be used.
std::string ReadWav(const std::string& path, WavFile& out) {
    std::string bytes;
    if (!ReadWholeFile(path, bytes)) return "cannot read the WAV file " + path;
    const auto* b = reinterpret_cast<const std::uint8_t*>(bytes.data());
    if (bytes.size() < 12 || bytes.compare(0, 4, "RIFF") != 0 || bytes.compare(8, 4, "WAVE") != 0)
        return path + " is not a WAV file";
    bool haveFormat = false;
    std::size_t at = 12;
    while (at + 8 <= bytes.size()) {
        const std::uint32_t size = GetLE(b + at + 4, 4);
        const std::size_t body = at + 8;
        // A data chunk cut short (a recording that was never finished) is
        // read as far as it goes.
        const std::size_t have = std::min<std::size_t>(size, bytes.size() - body);
        if (bytes.compare(at, 4, "fmt ") == 0 && have >= 16) {
            const std::uint16_t tag = static_cast<std::uint16_t>(GetLE(b + body, 2));
            out.channels = static_cast<std::uint16_t>(GetLE(b + body + 2, 2));
            out.rate = GetLE(b + body + 4, 4);
            out.bits = static_cast<std::uint16_t>(GetLE(b + body + 14, 2));
            const bool pcm =
                tag == WAVE_FORMAT_PCM || (tag == WAVE_FORMAT_EXTENSIBLE && have >= 26 &&
                                           GetLE(b + body + 24, 2) == WAVE_FORMAT_PCM);
            if (!pcm) return path + " does not hold integer PCM";
            if ((out.bits != 8 && out.bits != 16 && out.bits != 24 && out.bits != 32) ||
                out.channels == 0 || out.rate == 0)
                return path + " has a sample format that cannot be read";
            haveFormat = true;
        } else if (bytes.compare(at, 4, "data") == 0) {
            if (!haveFormat) return path + " has no format before its data";
            const std::size_t frame = out.channels * (out.bits / 8u);
            out.data.assign(bytes, body, have - have % frame);
            return {};
        }
        at = body + size + (size & 1);
    }
    return path + " has no sound data";
}

} // namespace

// ---------------------------------------------------------------- clock

TimedCaptureDevice::~TimedCaptureDevice() {
    // Concrete devices close in their own destructors; this catches the rest.
    m_realTime.Stop();
}

void TimedCaptureDevice::Generate(std::uint8_t* dst, std::uint32_t frames) {
    std::memset(dst, SilenceByte(), static_cast<std::size_t>(frames) * BlockAlign());
}

bool TimedCaptureDevice::DoOpen() {
    // A step of at most 20 ms; its scratch space is allocated here, never
    // while running.
    m_stepFrames = std::max<std::uint32_t>(1, SampleRate() / 50);
    m_scratch.assign(static_cast<std::size_t>(m_stepFrames) * BlockAlign(), 0);
    return true;
}

void TimedCaptureDevice::DoClose() {
    m_scratch.clear();
    m_scratch.shrink_to_fit();
}

bool TimedCaptureDevice::DoStart() {
    if (m_clock == Clock::Manual) {
        std::lock_guard<std::mutex> lock(m_advancing);
        m_manualStopped = false;
        return true;
    }
    // After a hold-up of more than a second the clock carries on from now.
    m_realTime.Start(SampleRate(), SampleRate(),
                     [this](std::uint32_t frames) { CaptureFrames(frames); });
    return true;
}

void TimedCaptureDevice::DoStop() {
    if (m_clock == Clock::Manual) {
        std::lock_guard<std::mutex> wait(m_advancing);
        m_manualStopped = true;
        return;
    }
    m_realTime.Stop();
}

std::uint32_t TimedCaptureDevice::Advance(std::uint32_t frames) {
    if (m_clock != Clock::Manual) return 0;
    std::lock_guard<std::mutex> lock(m_advancing);
    if (m_manualStopped || !IsRunning()) return 0;
    CaptureFrames(frames);
    return frames;
}

void TimedCaptureDevice::CaptureFrames(std::uint32_t frames) {
    while (frames > 0) {
        const std::uint32_t n = std::min(frames, m_stepFrames);
        Generate(m_scratch.data(), n);
        Produce(m_scratch.data(), n * BlockAlign());
        frames -= n;
    }
}

// ---------------------------------------------------------------- backends

NullCaptureDevice::~NullCaptureDevice() {
    Close();
}

ToneCaptureDevice::~ToneCaptureDevice() {
    Close();
}

std::string ToneCaptureDevice::Name() const {
    char text[48];
    std::snprintf(text, sizeof text, "tone:%g", m_hz);
    return text;
}

bool ToneCaptureDevice::DoOpen() {
    if (!(m_hz > 0) || m_hz >= SampleRate() / 2.0) {
        SetError("the tone's frequency must lie between 0 and half the sample rate");
        return false;
    }
    m_frame = 0;
    return TimedCaptureDevice::DoOpen();
}

void ToneCaptureDevice::Generate(std::uint8_t* dst, std::uint32_t frames) {
    const unsigned bits = Format().wBitsPerSample;
    const unsigned channels = Format().nChannels;
    const double step = 2 * std::numbers::pi * m_hz / SampleRate();
    for (std::uint32_t i = 0; i < frames; ++i, ++m_frame) {
        const auto x = static_cast<float>(0.25 * std::sin(step * static_cast<double>(m_frame)));
        for (unsigned c = 0; c < channels; ++c, dst += bits / 8)
            Encode(x, dst, bits);
    }
}

WavCaptureDevice::~WavCaptureDevice() {
    Close();
}

bool WavCaptureDevice::DoOpen() {
    WavFile file;
    try {
        if (std::string error = ReadWav(m_path, file); !error.empty()) {
            SetError(error);
            return false;
        }
        const WAVEFORMATEX& to = Format();
        m_position = 0;
        if (file.channels == to.nChannels && file.rate == to.nSamplesPerSec &&
            file.bits == to.wBitsPerSample) {
            m_pcm.assign(file.data.begin(), file.data.end());
            return TimedCaptureDevice::DoOpen();
        }
        // Decode, map the channels, resample, encode: all here at open.
        const unsigned inCh = file.channels, outCh = to.nChannels;
        const std::size_t inBytes = file.bits / 8u;
        const std::size_t frames = file.data.size() / (inCh * inBytes);
        std::vector<float> mapped(frames * outCh, 0.0f);
        const auto* src = reinterpret_cast<const std::uint8_t*>(file.data.data());
        for (std::size_t f = 0; f < frames; ++f) {
            const std::uint8_t* frame = src + f * inCh * inBytes;
            float* out = mapped.data() + f * outCh;
            if (inCh == 1) {
                std::fill(out, out + outCh, Decode(frame, file.bits));
            } else if (outCh == 1) {
                float sum = 0;
                for (unsigned c = 0; c < inCh; ++c)
                    sum += Decode(frame + c * inBytes, file.bits);
                out[0] = sum / static_cast<float>(inCh);
            } else {
                for (unsigned c = 0; c < std::min(inCh, outCh); ++c)
                    out[c] = Decode(frame + c * inBytes, file.bits);
            }
        }
        std::vector<float> resampled;
        std::size_t outFrames = frames;
        if (file.rate != to.nSamplesPerSec) {
            outFrames = static_cast<std::size_t>(static_cast<double>(frames) * to.nSamplesPerSec /
                                                 file.rate);
            resampled.assign(outFrames * outCh, 0.0f);
            std::size_t produced = 0;
            const soxr_error_t e =
                soxr_oneshot(file.rate, to.nSamplesPerSec, outCh, mapped.data(), frames, nullptr,
                             resampled.data(), outFrames, &produced, nullptr, nullptr, nullptr);
            if (e) {
                SetError(std::string("cannot convert the sample rate of ") + m_path + ": " + e);
                return false;
            }
            outFrames = produced;
        } else {
            resampled.swap(mapped);
        }
        const unsigned outBits = to.wBitsPerSample;
        m_pcm.assign(outFrames * outCh * (outBits / 8u), 0);
        for (std::size_t i = 0; i < outFrames * outCh; ++i)
            Encode(resampled[i], m_pcm.data() + i * (outBits / 8u), outBits);
    } catch (const std::bad_alloc&) {
        SetError("no memory to read the WAV file " + m_path);
        return false;
    }
    return TimedCaptureDevice::DoOpen();
}

void WavCaptureDevice::DoClose() {
    m_pcm.clear();
    m_pcm.shrink_to_fit();
    TimedCaptureDevice::DoClose();
}

void WavCaptureDevice::Generate(std::uint8_t* dst, std::uint32_t frames) {
    const std::size_t want = static_cast<std::size_t>(frames) * BlockAlign();
    const std::size_t n = std::min(want, m_pcm.size() - m_position);
    std::memcpy(dst, m_pcm.data() + m_position, n);
    m_position += n;
    // After its end the file is not looped: silence.
    if (n < want) std::memset(dst + n, SilenceByte(), want - n);
}

VirtualCaptureDevice::~VirtualCaptureDevice() {
    Close();
}

bool VirtualCaptureDevice::DoOpen() {
    if (m_opened) *m_opened = Format();
    if (m_failOpen) {
        SetError("the test device refuses to open");
        return false;
    }
    m_frame = 0;
    return TimedCaptureDevice::DoOpen();
}

void VirtualCaptureDevice::Generate(std::uint8_t* dst, std::uint32_t frames) {
    const unsigned bytes = Format().wBitsPerSample / 8u;
    const unsigned channels = Format().nChannels;
    for (std::uint32_t i = 0; i < frames; ++i, ++m_frame)
        for (unsigned c = 0; c < channels; ++c)
            for (unsigned k = 0; k < bytes; ++k)
                *dst++ = static_cast<std::uint8_t>(m_frame >> (8 * k));
}

} // namespace platform::audio
