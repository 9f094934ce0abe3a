// The LV2 and LADSPA builds of the effect loaded in-process, driven through
// their descriptors the way a host drives them, and the measures the host
// tests share: the sung test tone and the pitch alternation of an output.
#pragma once

#include "platform/DynamicLibrary.h"
#include "plugin/Signals.h"

#include <gtest/gtest.h>
#include <ladspa.h>
#include <lv2/core/lv2.h>

#include <algorithm>
#include <string>
#include <vector>

namespace hosttest {

inline constexpr int kControls = 6; // speed, threshold, rate, law, first_tone, second_tone
inline constexpr float kLawPeriodic = 1;

// Ports as both wrappers number them: audio in, audio out, the controls, latency.
class Plugin {
public:
    virtual ~Plugin() = default;
    // Instantiates (false when the plug-in refuses the rate) and activates.
    virtual bool Open(double rate) = 0;
    virtual void Run(std::uint32_t frames) = 0;

    // Audio arrays of one channel for the next Run; both must hold the
    // run's frames. Allocates nothing, so it may sit inside a counted run.
    void Connect(int channel, const float* in, float* out) {
        m_in[channel] = in;
        m_out[channel] = out;
    }
    void Set(int control, float value) { m_controls[control] = value; }
    float Latency() const { return m_latency; }
    int Channels() const { return m_channels; }

protected:
    int m_channels = 1;
    const float* m_in[2] = {};
    float* m_out[2] = {};
    float m_controls[kControls] = {3, 10, 3, 0, 2, -2};
    float m_latency = -1;
};

class Lv2Plugin : public Plugin {
public:
    explicit Lv2Plugin(int channels) {
        m_channels = channels;
        const std::string path = std::string(STAVO_LV2_BUNDLE) + "/StavoModulation.so";
        if (!m_library.Load(path)) {
            ADD_FAILURE() << m_library.Error();
            return;
        }
        auto entry = m_library.Function<LV2_Descriptor_Function>("lv2_descriptor");
        if (entry) m_descriptor = entry(channels == 1 ? 0 : 1);
    }
    ~Lv2Plugin() override {
        if (m_handle) m_descriptor->cleanup(m_handle);
    }
    bool Open(double rate) override {
        if (!m_descriptor) return false;
        m_handle = m_descriptor->instantiate(m_descriptor, rate, STAVO_LV2_BUNDLE, nullptr);
        if (!m_handle) return false;
        const std::uint32_t base = 2 * m_channels;
        for (std::uint32_t i = 0; i < kControls; ++i)
            m_descriptor->connect_port(m_handle, base + i, &m_controls[i]);
        m_descriptor->connect_port(m_handle, base + kControls, &m_latency);
        m_descriptor->activate(m_handle);
        return true;
    }
    void Run(std::uint32_t frames) override {
        for (int c = 0; c < m_channels; ++c) {
            m_descriptor->connect_port(m_handle, c, const_cast<float*>(m_in[c]));
            m_descriptor->connect_port(m_handle, m_channels + c, m_out[c]);
        }
        m_descriptor->run(m_handle, frames);
    }

private:
    platform::DynamicLibrary m_library;
    const LV2_Descriptor* m_descriptor = nullptr;
    LV2_Handle m_handle = nullptr;
};

class LadspaPlugin : public Plugin {
public:
    explicit LadspaPlugin(int channels) {
        m_channels = channels;
        const std::string path = std::string(STAVO_LADSPA_DIR) + "/StavoModulation.so";
        if (!m_library.Load(path)) {
            ADD_FAILURE() << m_library.Error();
            return;
        }
        auto entry = m_library.Function<LADSPA_Descriptor_Function>("ladspa_descriptor");
        if (entry) m_descriptor = entry(channels == 1 ? 0 : 1);
    }
    ~LadspaPlugin() override {
        if (m_handle) m_descriptor->cleanup(m_handle);
    }
    bool Open(double rate) override {
        if (!m_descriptor) return false;
        m_handle = m_descriptor->instantiate(m_descriptor, static_cast<unsigned long>(rate));
        if (!m_handle) return false;
        const unsigned long base = 2 * m_channels;
        for (unsigned long i = 0; i < kControls; ++i)
            m_descriptor->connect_port(m_handle, base + i, &m_controls[i]);
        m_descriptor->connect_port(m_handle, base + kControls, &m_latency);
        m_descriptor->activate(m_handle);
        return true;
    }
    void Run(std::uint32_t frames) override {
        for (int c = 0; c < m_channels; ++c) {
            m_descriptor->connect_port(m_handle, c, const_cast<float*>(m_in[c]));
            m_descriptor->connect_port(m_handle, m_channels + c, m_out[c]);
        }
        m_descriptor->run(m_handle, frames);
    }

private:
    platform::DynamicLibrary m_library;
    const LADSPA_Descriptor* m_descriptor = nullptr;
    LADSPA_Handle m_handle = nullptr;
};

inline constexpr double kRate = 44100;
inline constexpr double kToneHz = 220;
inline constexpr std::size_t kLeadIn = 22050; // silence before the tone

// Half a second of silence, then a steady sung-like tone (220 Hz, five
// harmonics) for `seconds`.
inline std::vector<float> SungTone(double seconds, double amplitude = 0.3) {
    std::vector<float> out(kLeadIn, 0.0f);
    const auto tone = testsignals::HarmonicTone(kToneHz, amplitude, 5,
                                                static_cast<std::size_t>(seconds * kRate), kRate);
    out.insert(out.end(), tone.begin(), tone.end());
    return out;
}

// First frame whose magnitude exceeds `level`.
inline std::size_t Onset(const std::vector<float>& x, float level = 0.02f) {
    return static_cast<std::size_t>(
        std::find_if(x.begin(), x.end(), [level](float v) { return std::fabs(v) > level; }) -
        x.begin());
}

struct Alternation {
    std::string labels;    // one per window: 'u' first tone, 'd' second tone, '?' neither
    std::string runs;      // labels without repeats and '?'
    double worstCents = 0; // inside runs, away from the changes
};

// Labels the pitch of the output (after the lead-in) window by window against
// the tone raised by +2 and lowered by -2 semitones of the effect's table.
inline Alternation MeasureAlternation(const std::vector<float>& output) {
    const double up = kToneHz * 1.122, down = kToneHz * 0.89126563;
    constexpr std::size_t kWindow = 4096, kHop = 2048;
    Alternation a;
    std::vector<double> cents;
    for (std::size_t at = 2 * kLeadIn; at + kWindow <= output.size(); at += kHop) {
        const double f = testsignals::PeakFrequency(output.data() + at, kWindow, 150, 300, kRate);
        const double offUp = std::fabs(testsignals::Cents(f, up));
        const double offDown = std::fabs(testsignals::Cents(f, down));
        a.labels.push_back(offUp < 10 ? 'u' : offDown < 10 ? 'd' : '?');
        cents.push_back(std::min(offUp, offDown));
    }
    for (char c : a.labels)
        if (c != '?' && (a.runs.empty() || a.runs.back() != c)) a.runs.push_back(c);
    for (std::size_t i = 1; i + 1 < a.labels.size(); ++i)
        if (a.labels[i] != '?' && a.labels[i - 1] == a.labels[i] && a.labels[i + 1] == a.labels[i])
            a.worstCents = std::max(a.worstCents, cents[i]);
    return a;
}

// Under Periodic with Rate 20 (0.6 s segments): several segments, each of
// one of the two pitches within a few cents.
inline void ExpectAlternation(const std::vector<float>& output, const std::string& host) {
    const Alternation a = MeasureAlternation(output);
    EXPECT_GE(a.runs.size(), 6u) << host << ": " << a.labels;
    EXPECT_EQ(a.runs.substr(0, 2), "ud") << host << ": " << a.labels;
    const auto known =
        std::count_if(a.labels.begin(), a.labels.end(), [](char c) { return c != '?'; });
    EXPECT_GT(known, static_cast<long>(a.labels.size() * 3 / 4)) << host << ": " << a.labels;
    EXPECT_LT(a.worstCents, 3.0) << host << ": " << a.labels;
}

} // namespace hosttest
