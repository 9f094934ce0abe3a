// The room's late reverberation: an eight-line feedback-delay network.
//
// Eight delay lines, their lengths spread round the room's mean free path,
// feed back through an orthogonal (Hadamard) mix, so the echo density grows
// quickly without colouring the sound. Each line's feedback gain is set so
// that the tail falls by 60 dB in the room's reverberation time (Sabine's
// rule from the room's mean free path and the wall absorption), and a
// one-pole low-pass in every loop makes high frequencies die sooner (the
// high-frequency decay). With diffusion on, the input first passes four
// all-pass filters, which thickens the first echoes ("process advance").
// Every line feeds one output, so up to eight speakers get decorrelated
// reverberation.
//
// Prepare allocates for the largest room; Configure, Clear and Process
// allocate nothing and take no lock.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

namespace ambio {

class CReverberator {
public:
    static constexpr int kLines = 8;
    static constexpr float kMaxRoomMetres = 100.0f;

    // Sizes the lines for rooms up to kMaxRoomMetres at sampleRate.
    void Prepare(std::uint32_t sampleRate);
    // width, height: the room in metres (clamped to 1 .. kMaxRoomMetres);
    // absorption 0.01 .. 0.99 of the sound a wall takes; hfDecay 0 (highs
    // last as long as lows) .. 1 (highs die much sooner).
    void Configure(float width, float height, float absorption, float hfDecay);
    void SetDiffusion(bool on) { m_diffuse = on; }
    // Silences the lines (a new run, or the reverberation switched on).
    void Clear();

    // Adds the reverberation of in[0 .. frames) to the outputs, at gain for
    // five outputs (each of more or fewer gets its share of the same power):
    // output i takes line i mod kLines. outputs[i] may be null (skipped).
    void Process(const float* in, int frames, float* const* outputs, int outputCount, float gain);

    // The reverberation time Configure arrived at, in seconds.
    float DecaySeconds() const { return m_rt60; }

private:
    // The longest stretch worked on at once.
    static constexpr std::uint32_t kStretch = 256;

    void ProcessStretch(const float* in, int n, float* const* outputs, int outputCount, float gain,
                        int offset);

    struct Allpass {
        std::vector<float> buffer;
        int length = 1;
        int pos = 0;
    };

    std::uint32_t m_rate = 44100;
    std::vector<float> m_lines; // kLines rings of m_ringSize each
    std::uint32_t m_ringSize = 1;
    std::uint32_t m_ringMask = 0;
    std::uint32_t m_write = 0;
    std::array<std::uint32_t, kLines> m_length{};
    std::array<float, kLines> m_feedback{};
    std::array<float, kLines> m_damp{};
    float m_dampCoeff = 0.0f;
    float m_inputGain = 0.0f;
    float m_rt60 = 0.0f;
    bool m_diffuse = false;
    std::array<Allpass, 4> m_diffusers;
    std::vector<float> m_x;                       // one stretch of input
    std::array<std::vector<float>, kLines> m_y{}; // one stretch per line
};

} // namespace ambio
