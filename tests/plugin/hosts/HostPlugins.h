// The LV2 and LADSPA builds of the effect loaded in-process and driven
// through their descriptors as a host drives them, and the sung test tone
// with the measure of its pitch alternation that the host tests share.
#pragma once

#include "platform/DynamicLibrary.h"
#include "plugin/Signals.h"

#include <gtest/gtest.h>
#include <ladspa.h>
#include <lv2/core/lv2.h>

#include <algorithm>
#include <string>
#include <type_traits>
#include <vector>

namespace hosttest {

enum Control { Speed, Threshold, Rate, Law, FirstTone, SecondTone, kControls };
inline constexpr float kPeriodic = 1, kOnce = 3;

// Ports as both wrappers number them: audio in, audio out, the controls, latency.
template <typename Descriptor> class HostedPlugin {
public:
    HostedPlugin(int channels) : m_channels(channels) {
        constexpr bool lv2 = std::is_same_v<Descriptor, LV2_Descriptor>;
        const std::string path =
            std::string(lv2 ? STAVO_LV2_BUNDLE : STAVO_LADSPA_DIR) + "/StavoModulation.so";
        if (!m_library.Load(path)) ADD_FAILURE() << m_library.Error();
        using Entry = const Descriptor* (*)(std::conditional_t<lv2, std::uint32_t, unsigned long>);
        if (auto entry = m_library.Function<Entry>(lv2 ? "lv2_descriptor" : "ladspa_descriptor"))
            m_descriptor = entry(channels - 1);
    }
    ~HostedPlugin() {
        if (m_handle) m_descriptor->cleanup(m_handle);
    }
    // Instantiates and activates; false when the plug-in refuses the rate.
    bool Open(double rate) {
        if (!m_descriptor) return false;
        if constexpr (std::is_same_v<Descriptor, LV2_Descriptor>)
            m_handle = m_descriptor->instantiate(m_descriptor, rate, STAVO_LV2_BUNDLE, nullptr);
        else
            m_handle = m_descriptor->instantiate(m_descriptor, static_cast<unsigned long>(rate));
        if (!m_handle) return false;
        for (int i = 0; i <= kControls; ++i)
            m_descriptor->connect_port(m_handle, 2 * m_channels + i, &m_controls[i]);
        m_descriptor->activate(m_handle);
        return true;
    }
    // One channel's arrays for the next Run. Allocates nothing.
    void Connect(int channel, const float* in, float* out) {
        m_descriptor->connect_port(m_handle, channel, const_cast<float*>(in));
        m_descriptor->connect_port(m_handle, m_channels + channel, out);
    }
    void Run(std::uint32_t frames) { m_descriptor->run(m_handle, frames); }
    void Set(Control control, float value) { m_controls[control] = value; }
    std::size_t Latency() const { return static_cast<std::size_t>(m_controls[kControls]); }
    int Channels() const { return m_channels; }

private:
    int m_channels;
    platform::DynamicLibrary m_library;
    const Descriptor* m_descriptor = nullptr;
    void* m_handle = nullptr;
    float m_controls[kControls + 1] = {3, 10, 3, 0, 2, -2, -1}; // the last is the latency
};

using Lv2Plugin = HostedPlugin<LV2_Descriptor>;
using LadspaPlugin = HostedPlugin<LADSPA_Descriptor>;

inline constexpr double kRate = 44100, kToneHz = 220;
inline constexpr std::size_t kLeadIn = 22050;

// Half a second of silence, then a steady sung-like tone (220 Hz, five harmonics).
inline std::vector<float> SungTone(double seconds) {
    std::vector<float> out(kLeadIn, 0.0f);
    const auto tone = testsignals::HarmonicTone(kToneHz, 0.3, 5, seconds * kRate, kRate);
    out.insert(out.end(), tone.begin(), tone.end());
    return out;
}

inline std::size_t Onset(const std::vector<float>& x) {
    return std::find_if(x.begin(), x.end(), [](float v) { return std::fabs(v) > 0.02f; }) -
           x.begin();
}

// Under Periodic with Rate 20 and the default tones, the output after the
// lead-in must be runs of the tone raised by the table's +2 semitones and
// lowered by its -2, within a few cents away from the changes.
inline void ExpectAlternation(const std::vector<float>& output, const std::string& host) {
    const double up = kToneHz * 1.122, down = kToneHz * 0.89126563;
    constexpr std::size_t kWindow = 4096, kHop = 2048;
    std::string labels, runs;
    std::vector<double> cents;
    for (std::size_t at = 2 * kLeadIn; at + kWindow <= output.size(); at += kHop) {
        const double f = testsignals::PeakFrequency(output.data() + at, kWindow, 150, 300, kRate);
        const double offUp = std::fabs(testsignals::Cents(f, up));
        const double offDown = std::fabs(testsignals::Cents(f, down));
        labels.push_back(offUp < 10 ? 'u' : offDown < 10 ? 'd' : '?');
        cents.push_back(std::min(offUp, offDown));
        if (labels.back() != '?' && (runs.empty() || runs.back() != labels.back()))
            runs.push_back(labels.back());
    }
    double worst = 0;
    for (std::size_t i = 1; i + 1 < labels.size(); ++i)
        if (labels[i] != '?' && labels[i - 1] == labels[i] && labels[i + 1] == labels[i])
            worst = std::max(worst, cents[i]);
    EXPECT_GE(runs.size(), 6u) << host << ": " << labels;
    EXPECT_EQ(runs.substr(0, 2), "ud") << host << ": " << labels;
    EXPECT_LT(std::count(labels.begin(), labels.end(), '?'), labels.size() / 8)
        << host << ": " << labels;
    EXPECT_LT(worst, 3.0) << host << ": " << labels;
}

} // namespace hosttest
