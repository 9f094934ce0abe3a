#include "libs/ambio/SurroundEffect.h"

#include <algorithm>
#include <cmath>
#include <type_traits>

#if defined(__SSE__) || defined(__x86_64__)
#include <xmmintrin.h>
#define AMBIO_HAVE_MXCSR 1
#endif

using ambio::kMaxSpeakers;

namespace {

constexpr float kSpeedOfSound = 343.0f;
constexpr float kPi = 3.14159265358979f;
// The positioned source at volume 1, before its distance law: -6 dB, so the
// default volumes leave room before the output clips.
constexpr float kPositionLevel = 0.5f;
// Distance law: the level halves at 8 m and keeps falling gently, so a source
// in a far corner of a hall is weaker but still clearly there.
constexpr float kHalfLevelMetres = 8.0f;
// Within this distance of the listener the source spreads over all speakers.
constexpr float kSpreadRadius = 1.5f;
// The largest room, and so the longest reflection path: a source in a corner
// mirrored in the far wall.
constexpr float kMaxRoom = ambio::CReverberator::kMaxRoomMetres;
constexpr float kMaxPathMetres = 1.6f * kMaxRoom;
// Butterworth eighth order as four second-order sections.
constexpr std::array<float, 4> kLowPassQ = {0.50979558f, 0.60134489f, 0.89997622f, 2.56291545f};

float DistanceGain(float metres) {
    return 1.0f / (1.0f + metres / kHalfLevelMetres);
}

float AzimuthOf(float dx, float dy) {
    // y grows towards the back of the room, so straight ahead is -y.
    return std::atan2(dx, -dy) * 180.0f / kPi;
}

std::uint32_t NextPowerOfTwo(std::uint32_t v) {
    std::uint32_t p = 1;
    while (p < v)
        p <<= 1;
    return p;
}

// The speaker bit of input channel index in a format of count channels.
std::uint32_t InputSpeaker(std::uint32_t mask, int count, int index) {
    int seen = 0;
    for (std::uint32_t bit = 1; bit <= 0x400; bit <<= 1) {
        if (!(mask & bit)) continue;
        if (seen++ == index) return bit;
    }
    // A mask that names fewer speakers than there are channels: mono is the
    // centre, the rest take the usual order.
    if (count == 1) return 0x4;
    static constexpr std::uint32_t kOrder[] = {0x1, 0x2, 0x4, 0x8, 0x10, 0x20, 0x40, 0x80};
    return kOrder[std::clamp(index, 0, 7)];
}

// Rounds to the FTZ/DAZ mode for the scope: the reverberation's tail would
// otherwise decay into denormals, which cost a hundred times more.
class DenormalGuard {
public:
#ifdef AMBIO_HAVE_MXCSR
    DenormalGuard() : m_saved(_mm_getcsr()) {
        _mm_setcsr(m_saved | 0x8040);
    }
    ~DenormalGuard() {
        _mm_setcsr(m_saved);
    }

private:
    unsigned m_saved;
#endif
};

} // namespace

CSurroundEffect::CSurroundEffect() {
    WAVEFORMATEXTENSIBLE f{};
    f.Format.wFormatTag = WAVE_FORMAT_EXTENSIBLE;
    f.Format.nChannels = 2;
    f.Format.nSamplesPerSec = 44100;
    f.dwChannelMask = 0x3;
    SetFormat(&f);
}

CSurroundEffect::~CSurroundEffect() = default;

void CSurroundEffect::SetFormat(const WAVEFORMATEXTENSIBLE* format) {
    if (!format) return;
    m_rate = format->Format.nSamplesPerSec ? format->Format.nSamplesPerSec : 44100;
    m_inputChannels = std::clamp<int>(format->Format.nChannels, 1, kMaxSpeakers);
    if (format->Format.wFormatTag == WAVE_FORMAT_EXTENSIBLE && format->dwChannelMask)
        m_inputMask = format->dwChannelMask;
    else
        m_inputMask = m_inputChannels == 1 ? 0x4 : 0x3;
    m_layout = ambio::MakeLayout(m_requestedMask.load());
    const auto longest =
        static_cast<std::uint32_t>(kMaxPathMetres / kSpeedOfSound * static_cast<float>(m_rate));
    m_ring.assign(NextPowerOfTwo(longest + kChunk + 1), 0.0f);
    m_ringMask = static_cast<std::uint32_t>(m_ring.size()) - 1;
    m_mono.assign(kChunk, 0.0f);
    m_reverb.Prepare(m_rate);
    Allocate(std::max(m_capacity, m_rate));
    RouteInputs();
    m_designedLfeHz = 0;
    m_taken = 0;
    TakeSettings();
    Reset();
}

void CSurroundEffect::SetMaxBlockFrames(std::uint32_t frames) {
    if (frames > m_capacity) Allocate(frames);
}

void CSurroundEffect::Allocate(std::uint32_t frames) {
    for (auto& out : m_out)
        out.assign(frames, 0.0f);
    m_capacity = frames;
}

void CSurroundEffect::Reset() {
    std::fill(m_ring.begin(), m_ring.end(), 0.0f);
    m_ringWrite = 0;
    m_reverb.Clear();
    for (Biquad& b : m_lowPass)
        b.z1 = b.z2 = 0.0f;
    m_stage.fill(0.0f);
    m_fadedIn = 0;
    // A new run starts at the settings, not gliding towards them.
    m_taps = m_targets;
    m_tapCount = m_targetCount;
    m_dryGain = m_dryTarget;
    m_wetGain = m_wetTarget;
    m_lfeGain = m_lfeTarget;
}

std::uint32_t CSurroundEffect::TailFrames() const {
    std::uint32_t tail = m_maxTapDelay + m_rate / 10; // the low-pass rings briefly
    if (m_reverbRunning)
        tail += static_cast<std::uint32_t>(m_reverb.DecaySeconds() * static_cast<float>(m_rate));
    return tail;
}

void CSurroundEffect::RouteInputs() {
    const ambio::SpeakerLayout& L = m_layout;
    constexpr float kHalfPower = 0.70710678f;
    for (int i = 0; i < kMaxSpeakers; ++i) {
        Route r;
        const std::uint32_t bit = InputSpeaker(m_inputMask, m_inputChannels, i);
        auto one = [&](int ch) {
            r.channel[0] = ch;
            r.gain[0] = 1.0f;
        };
        auto pair = [&](std::uint32_t a, std::uint32_t b) {
            r.channel[0] = L.ChannelOf(a);
            r.channel[1] = L.ChannelOf(b);
            r.gain[0] = r.gain[1] = kHalfPower;
        };
        // The first of the candidates the layout has, else a pair.
        auto first = [&](std::initializer_list<std::uint32_t> bits) {
            for (std::uint32_t b : bits)
                if (L.ChannelOf(b) >= 0) return one(L.ChannelOf(b));
            pair(0x1, 0x2);
        };
        if (L.ChannelOf(bit) >= 0) {
            one(L.ChannelOf(bit));
        } else {
            switch (bit) {
            case 0x10:
                first({0x200, 0x1});
                break;
            case 0x20:
                first({0x400, 0x2});
                break;
            case 0x200:
                first({0x10, 0x1});
                break;
            case 0x400:
                first({0x20, 0x2});
                break;
            case 0x40:
                first({0x1});
                break;
            case 0x80:
                first({0x2});
                break;
            case 0x100:
                if (L.ChannelOf(0x10) >= 0 && L.ChannelOf(0x20) >= 0)
                    pair(0x10, 0x20);
                else
                    pair(0x1, 0x2);
                break;
            default: // centre and LFE without a speaker of their own
                pair(0x1, 0x2);
                break;
            }
        }
        m_dryRoutes[static_cast<std::size_t>(i)] = r;
    }
}

void CSurroundEffect::DesignLowPass() {
    const int hz = std::clamp(m_lfeHz.load(), 20, 500);
    if (hz == m_designedLfeHz) return;
    m_designedLfeHz = hz;
    const float w0 = 2.0f * kPi * static_cast<float>(hz) / static_cast<float>(m_rate);
    const float c = std::cos(w0), s = std::sin(w0);
    for (std::size_t i = 0; i < m_lowPass.size(); ++i) {
        Biquad& b = m_lowPass[i];
        const float alpha = s / (2.0f * kLowPassQ[i]);
        const float a0 = 1.0f + alpha;
        b.b0 = (1.0f - c) / 2.0f / a0;
        b.b1 = (1.0f - c) / a0;
        b.b2 = b.b0;
        b.a1 = -2.0f * c / a0;
        b.a2 = (1.0f - alpha) / a0;
    }
}

void CSurroundEffect::TakeSettings() {
    m_taken = m_generation.load();
    const float w = std::clamp(m_roomW.load(), 1.0f, kMaxRoom);
    const float h = std::clamp(m_roomH.load(), 1.0f, kMaxRoom);
    const float x = std::clamp(m_posX.load(), 0.0f, w);
    const float y = std::clamp(m_posY.load(), 0.0f, h);
    const float absorb = std::clamp(m_absorb.load(), 0.01f, 0.99f);
    const bool delays = m_delays.load();
    const float volume = std::max(0.0f, m_volume.load()) * kPositionLevel;
    const float samplesPerMetre = static_cast<float>(m_rate) / kSpeedOfSound;
    const float cx = w / 2, cy = h / 2; // the listener

    auto place = [&](Tap& tap, float sx, float sy, float level, bool spreadNear) {
        const float dx = sx - cx, dy = sy - cy;
        const float r = std::hypot(dx, dy);
        const float spread = spreadNear ? std::max(0.0f, 1.0f - r / kSpreadRadius) : 0.0f;
        ambio::PanGains(m_layout, AzimuthOf(dx, dy), spread, tap.gains);
        const float g = level * DistanceGain(r);
        for (float& v : tap.gains)
            v *= g;
        tap.delay = delays ? static_cast<std::uint32_t>(std::lround(r * samplesPerMetre)) : 0;
    };
    place(m_targets[0], x, y, volume, true);
    m_targetCount = 1;
    if (delays) {
        const float wall = volume * (1.0f - absorb);
        place(m_targets[1], -x, y, wall, false);        // left wall
        place(m_targets[2], 2 * w - x, y, wall, false); // right wall
        place(m_targets[3], x, -y, wall, false);        // front wall
        place(m_targets[4], x, 2 * h - y, wall, false); // back wall
        m_targetCount = kTaps;
    }
    m_maxTapDelay = 0;
    for (int i = 0; i < m_targetCount; ++i)
        m_maxTapDelay = std::max(m_maxTapDelay, m_targets[static_cast<std::size_t>(i)].delay);

    m_dryTarget = std::max(0.0f, m_dry.load());
    m_wetTarget = std::max(0.0f, m_wet.load());
    m_lfeTarget = m_layout.lfeChannel >= 0 ? std::max(0.0f, m_lfeVolume.load()) : 0.0f;

    const bool reverb = m_reverbOn.load();
    // Switched on again: what was left in the lines from before must not
    // come back.
    if (reverb && !m_reverbRunning) m_reverb.Clear();
    m_reverbRunning = reverb;
    m_reverb.Configure(w, h, absorb, m_hfDecay.load());
    m_advanceRunning = m_advance.load();
    m_reverb.SetDiffusion(m_advanceRunning);
    DesignLowPass();
}

void CSurroundEffect::MixTap(const Tap& from, const Tap& to, std::uint32_t writePos, int frames,
                             int offset) {
    const float* ring = m_ring.data();
    const std::uint32_t mask = m_ringMask;
    const float step = 1.0f / static_cast<float>(frames);
    const std::uint32_t start0 = (writePos - from.delay) & mask;
    const std::uint32_t start1 = (writePos - to.delay) & mask;
    const bool contiguous0 = start0 + static_cast<std::uint32_t>(frames) <= m_ring.size();
    for (int c = 0; c < m_layout.channels; ++c) {
        const float g0 = from.gains[static_cast<std::size_t>(c)];
        const float g1 = to.gains[static_cast<std::size_t>(c)];
        if (g0 == 0.0f && g1 == 0.0f) continue;
        float* out = m_out[static_cast<std::size_t>(c)].data() + offset;
        if (from.delay == to.delay) {
            if (g0 == g1 && contiguous0) {
                const float* src = ring + start0;
                for (int k = 0; k < frames; ++k)
                    out[k] += g0 * src[k];
            } else {
                const float dg = (g1 - g0) * step;
                for (int k = 0; k < frames; ++k)
                    out[k] += (g0 + dg * static_cast<float>(k + 1)) *
                              ring[(start0 + static_cast<std::uint32_t>(k)) & mask];
            }
        } else {
            // The path got longer or shorter: fade the old one out and the
            // new one in, rather than jump in the signal.
            for (int k = 0; k < frames; ++k) {
                const float t = step * static_cast<float>(k + 1);
                const auto ku = static_cast<std::uint32_t>(k);
                out[k] += (1.0f - t) * g0 * ring[(start0 + ku) & mask] +
                          t * g1 * ring[(start1 + ku) & mask];
            }
        }
    }
}

void CSurroundEffect::ProcessChunk(const StreamBuffer& in, std::uint32_t first, int frames) {
    const int offset = static_cast<int>(first);
    const int inputs = std::min<int>(static_cast<int>(in.channels.size()), kMaxSpeakers);
    const int channels = m_layout.channels;

    // The folded input.
    float* mono = m_mono.data();
    std::fill(mono, mono + frames, 0.0f);
    int folded = 0;
    for (int i = 0; i < inputs; ++i) {
        const float* src = in.channels[static_cast<std::size_t>(i)];
        if (!src) continue;
        ++folded;
        src += offset;
        for (int k = 0; k < frames; ++k)
            mono[k] += src[k];
    }
    if (folded > 1) {
        const float scale = 1.0f / static_cast<float>(folded);
        for (int k = 0; k < frames; ++k)
            mono[k] *= scale;
    }

    // Into the history the paths read from.
    const std::uint32_t writePos = m_ringWrite;
    {
        const auto size = static_cast<std::uint32_t>(m_ring.size());
        const std::uint32_t firstPart =
            std::min<std::uint32_t>(static_cast<std::uint32_t>(frames), size - writePos);
        std::copy(mono, mono + firstPart, m_ring.begin() + writePos);
        std::copy(mono + firstPart, mono + frames, m_ring.begin());
        m_ringWrite = (writePos + static_cast<std::uint32_t>(frames)) & m_ringMask;
    }

    for (int c = 0; c < channels; ++c)
        std::fill_n(m_out[static_cast<std::size_t>(c)].data() + offset, frames, 0.0f);

    // The original channels.
    const float dry0 = m_dryGain, dry1 = m_dryTarget;
    if (dry0 != 0.0f || dry1 != 0.0f) {
        const float dstep = (dry1 - dry0) / static_cast<float>(frames);
        for (int i = 0; i < inputs; ++i) {
            const float* src = in.channels[static_cast<std::size_t>(i)];
            if (!src) continue;
            src += offset;
            const Route& r = m_dryRoutes[static_cast<std::size_t>(i)];
            for (int j = 0; j < 2; ++j) {
                if (r.channel[j] < 0) continue;
                float* out = m_out[static_cast<std::size_t>(r.channel[j])].data() + offset;
                const float g = r.gain[j];
                if (dstep == 0.0f) {
                    const float gd = g * dry1;
                    for (int k = 0; k < frames; ++k)
                        out[k] += gd * src[k];
                } else {
                    for (int k = 0; k < frames; ++k)
                        out[k] += g * (dry0 + dstep * static_cast<float>(k + 1)) * src[k];
                }
            }
        }
    }
    m_dryGain = dry1;

    // The positioned source and its reflections.
    static const Tap kSilent{};
    const int paths = std::max(m_tapCount, m_targetCount);
    for (int t = 0; t < paths; ++t) {
        const auto ti = static_cast<std::size_t>(t);
        Tap from = t < m_tapCount ? m_taps[ti] : kSilent;
        Tap to = t < m_targetCount ? m_targets[ti] : kSilent;
        if (t >= m_tapCount) from.delay = to.delay;
        if (t >= m_targetCount) to.delay = from.delay;
        MixTap(from, to, writePos, frames, offset);
    }
    m_taps = m_targets;
    m_tapCount = m_targetCount;

    // Late reverberation over the panning speakers.
    if (m_reverbRunning && m_wetTarget > 0.0f) {
        std::array<float*, kMaxSpeakers> outs{};
        for (int i = 0; i < m_layout.ringCount; ++i)
            outs[static_cast<std::size_t>(i)] =
                m_out[static_cast<std::size_t>(m_layout.ringChannel[static_cast<std::size_t>(i)])]
                    .data() +
                offset;
        m_reverb.Process(mono, frames, outs.data(), m_layout.ringCount, m_wetTarget);
    }
    m_wetGain = m_wetTarget;

    // The LFE: the folded input, low-passed, added to what the dry routes
    // put there.
    if (m_layout.lfeChannel >= 0) {
        float* lfe = m_out[static_cast<std::size_t>(m_layout.lfeChannel)].data() + offset;
        const float g0 = m_lfeGain, dg = (m_lfeTarget - m_lfeGain) / static_cast<float>(frames);
        // The four sections run staggered by one sample each (section s works
        // on the sample section s - 1 finished last time round), so their
        // recursions overlap instead of waiting on one another. The LFE comes
        // out three samples later than the rest, a tenth of a millisecond.
        std::array<float, kChunk> work;
        Biquad& s1 = m_lowPass[0];
        Biquad& s2 = m_lowPass[1];
        Biquad& s3 = m_lowPass[2];
        Biquad& s4 = m_lowPass[3];
        float p1 = m_stage[0], p2 = m_stage[1], p3 = m_stage[2];
        auto step = [](Biquad& b, float x) {
            const float y = b.b0 * x + b.z1;
            b.z1 = b.b1 * x - b.a1 * y + b.z2;
            b.z2 = b.b2 * x - b.a2 * y;
            return y;
        };
        for (int k = 0; k < frames; ++k) {
            const float o1 = step(s1, mono[k]);
            const float o2 = step(s2, p1);
            const float o3 = step(s3, p2);
            work[static_cast<std::size_t>(k)] = step(s4, p3);
            p1 = o1;
            p2 = o2;
            p3 = o3;
        }
        m_stage = {p1, p2, p3};
        for (int k = 0; k < frames; ++k)
            lfe[k] += (g0 + dg * static_cast<float>(k + 1)) * work[static_cast<std::size_t>(k)];
        m_lfeGain = m_lfeTarget;
    }
}

void CSurroundEffect::Process(StreamBuffer* block) {
    if (!block) return;
    DenormalGuard guard;
    if (m_generation.load() != m_taken) TakeSettings();
    const std::uint32_t frames = block->frames;
    // Only a host that never said how long its blocks are gets here.
    if (frames > m_capacity) Allocate(frames);
    if (m_fadedIn < kFadeInFrames) {
        // A run starts wherever the source happens to be in its waveform.
        // The rise goes on the input, not the output: every reflection
        // repeats the input's first sample at its own delay, so a cut there
        // would come back as a click from each wall.
        const std::uint32_t n = std::min(frames, kFadeInFrames - m_fadedIn);
        for (float* in : block->channels) {
            if (!in) continue;
            for (std::uint32_t k = 0; k < n; ++k)
                in[k] *= static_cast<float>(m_fadedIn + k) / static_cast<float>(kFadeInFrames);
        }
        m_fadedIn += n;
    }
    for (std::uint32_t first = 0; first < frames; first += kChunk) {
        const int n = static_cast<int>(std::min<std::uint32_t>(kChunk, frames - first));
        ProcessChunk(*block, first, n);
    }
    const auto channels = static_cast<std::size_t>(m_layout.channels);
    block->channels.resize(channels);
    for (std::size_t c = 0; c < channels; ++c)
        block->channels[c] = m_out[c].data();
}

// ---------------------------------------------------------------- setters

namespace {
template <typename T, typename V>
void Store(std::atomic<T>& slot, V value, std::atomic<std::uint32_t>& generation) {
    // Not a number is no setting: it would reach the delay arithmetic as an
    // undefined conversion. The value before it stays.
    if constexpr (std::is_floating_point_v<V>)
        if (!std::isfinite(value)) return;
    slot.store(static_cast<T>(value));
    generation.fetch_add(1);
}
} // namespace

void CSurroundEffect::SetSpeakersConfig(int channelMask, bool) {
    m_requestedMask.store(static_cast<std::uint32_t>(channelMask));
}
void CSurroundEffect::SetLFEMaxFreq(int hz, bool) {
    Store(m_lfeHz, hz, m_generation);
}
void CSurroundEffect::SetLFEVolume(float v, bool) {
    Store(m_lfeVolume, v, m_generation);
}
void CSurroundEffect::SetVolume(float v, bool) {
    Store(m_volume, v, m_generation);
}
void CSurroundEffect::SetRevWet(float v) {
    Store(m_wet, v, m_generation);
}
void CSurroundEffect::SetRevDry(float v) {
    Store(m_dry, v, m_generation);
}
void CSurroundEffect::SetRevAbsorb(float v) {
    Store(m_absorb, v, m_generation);
}
void CSurroundEffect::SetRevHFDecay(float v) {
    Store(m_hfDecay, v, m_generation);
}
void CSurroundEffect::SetRoomSize(float width, float height, bool) {
    if (!std::isfinite(width) || !std::isfinite(height)) return;
    m_roomW.store(width);
    Store(m_roomH, height, m_generation);
}
void CSurroundEffect::SetSoundPos(float x, float y, bool) {
    if (!std::isfinite(x) || !std::isfinite(y)) return;
    m_posX.store(x);
    Store(m_posY, y, m_generation);
}
void CSurroundEffect::SetMoveOff(bool on) {
    Store(m_delays, on, m_generation);
}
void CSurroundEffect::SetReverb(bool on) {
    Store(m_reverbOn, on, m_generation);
}
void CSurroundEffect::SetProcessAdvance(bool on) {
    Store(m_advance, on, m_generation);
}
