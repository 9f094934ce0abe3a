// What users hear must not change when the processing is made faster: each
// switching law, mono and stereo, runs a fixed sung tone with kicks through
// the loaded plug-in, and every 1320-frame block of every output channel is
// compared with the stored sum and sum of squares of the reference run. The
// sums allow 1e-6 (relative above 1), room for the last bit that another
// instruction set may round differently, and nothing more: a block that is
// shifted by another pitch period, spliced elsewhere or switched one block
// later changes them by orders of magnitude more.
//
// SONVARA_WRITE_REFERENCE=1 rewrites the stored file from the current code
// instead of comparing; do that only for a change that is meant to be heard.
#include "PluginLoader.h"
#include "Signals.h"
#include "plugin/EffectInstance.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {

constexpr double kRate = 44100;
constexpr std::uint32_t kBlock = 1320;

struct BlockSums {
    double sum;
    double squares;
};

// "law/channels" -> per channel, per block.
using Reference = std::map<std::string, std::vector<std::vector<BlockSums>>>;

struct Input {
    const std::vector<float>* samples;
    std::size_t position = 0;
};

// Channel c carries the signal at 1 - 0.2 c, so that the stereo analysis
// (the mean of two channels) differs from either channel.
std::uint32_t Pull(void* user, StreamBuffer* buffer) {
    auto* input = static_cast<Input*>(user);
    const std::size_t n =
        std::min<std::size_t>(buffer->frames, input->samples->size() - input->position);
    for (std::size_t c = 0; c < buffer->channels.size(); ++c) {
        const float gain = 1.0f - 0.2f * static_cast<float>(c);
        for (std::size_t i = 0; i < n; ++i)
            buffer->channels[c][i] = (*input->samples)[input->position + i] * gain;
    }
    input->position += n;
    return static_cast<std::uint32_t>(n);
}

// The ratios each law chose, to show that the signal makes every law
// switch between both tones (a reference of unshifted voice proves little).
std::map<std::string, std::vector<double>> g_ratios;

std::string Key(std::int32_t law, int channels) {
    return std::to_string(law) + "/" + std::to_string(channels);
}

std::vector<std::vector<BlockSums>> RunLaw(std::int32_t law, int channels) {
    static const auto signal = testsignals::DrumLoop(8.0, 0.5, kRate);
    const PluginExports& p = Plugin();
    EffectInstance* instance = nullptr;
    EXPECT_EQ(p.Initialize(nullptr, nullptr, nullptr, &instance), 1);
    if (!instance) return {};
    instance->law = law;
    Input input{&signal};
    p.SetStreamCallBack(&Pull, &input, instance);
    WAVEFORMATEX format{};
    format.nChannels = static_cast<std::uint16_t>(channels);
    format.nSamplesPerSec = static_cast<std::uint32_t>(kRate);
    EXPECT_EQ(p.OpenStream(instance, &format), 0);

    std::vector<std::vector<float>> planes(channels, std::vector<float>(kBlock));
    std::vector<std::vector<BlockSums>> sums(channels);
    StreamBuffer buffer;
    for (auto& plane : planes)
        buffer.channels.push_back(plane.data());
    buffer.frames = kBlock;
    for (std::uint32_t got; (got = p.ProcessStream(&buffer, instance)) != 0;) {
        for (int c = 0; c < channels; ++c) {
            BlockSums s{0.0, 0.0};
            for (std::uint32_t i = 0; i < got; ++i) {
                s.sum += planes[c][i];
                s.squares += static_cast<double>(planes[c][i]) * planes[c][i];
            }
            sums[c].push_back(s);
        }
        g_ratios[Key(law, channels)].push_back(instance->ratio);
    }
    p.CloseStream(instance);
    p.Free(instance);
    return sums;
}

Reference Load(const std::string& path) {
    Reference reference;
    std::ifstream in(path);
    std::string line;
    std::vector<std::vector<BlockSums>>* current = nullptr;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') continue;
        std::istringstream fields(line);
        if (line.rfind("case ", 0) == 0) {
            std::string word, key;
            int channels = 0;
            fields >> word >> key >> channels;
            current = &reference[key];
            current->assign(channels, {});
            continue;
        }
        if (!current) continue;
        std::size_t channel = 0;
        BlockSums s{};
        fields >> channel >> s.sum >> s.squares;
        if (fields && channel < current->size()) (*current)[channel].push_back(s);
    }
    return reference;
}

void Save(const std::string& path, const Reference& reference) {
    std::ofstream out(path);
    out << "# Per 1320-frame output block: channel, sum, sum of squares.\n";
    for (const auto& [key, channels] : reference) {
        out << "case " << key << ' ' << channels.size() << '\n';
        for (std::size_t b = 0; b < channels[0].size(); ++b)
            for (std::size_t c = 0; c < channels.size(); ++c) {
                char text[96];
                std::snprintf(text, sizeof text, "%zu %.17g %.17g\n", c, channels[c][b].sum,
                              channels[c][b].squares);
                out << text;
            }
    }
}

bool Near(double value, double expected) {
    return std::fabs(value - expected) <= 1e-6 * std::max(1.0, std::fabs(expected));
}

} // namespace

TEST(ReferenceOutput, EveryLawSoundsAsItDidBeforeTheSpeedWork) {
    const std::string path = STAVO_REFERENCE_PATH;
    Reference current;
    for (std::int32_t law = 0; law < 4; ++law)
        for (int channels : {1, 2})
            current[Key(law, channels)] = RunLaw(law, channels);

    for (const auto& [key, ratios] : g_ratios) {
        EXPECT_NE(std::find(ratios.begin(), ratios.end(), static_cast<double>(1.122f)),
                  ratios.end())
            << key;
        EXPECT_NE(std::find(ratios.begin(), ratios.end(), static_cast<double>(0.89126563f)),
                  ratios.end())
            << key;
    }

    const char* write = std::getenv("SONVARA_WRITE_REFERENCE");
    if (write && std::string(write) == "1") {
        Save(path, current);
        GTEST_SKIP() << "reference written to " << path;
    }

    const Reference reference = Load(path);
    ASSERT_EQ(reference.size(), current.size()) << "cannot read " << path;
    for (const auto& [key, channels] : current) {
        const auto found = reference.find(key);
        ASSERT_NE(found, reference.end()) << key;
        const auto& expected = found->second;
        ASSERT_EQ(expected.size(), channels.size()) << key;
        for (std::size_t c = 0; c < channels.size(); ++c) {
            ASSERT_EQ(expected[c].size(), channels[c].size()) << key;
            int differing = 0;
            std::size_t first = 0;
            for (std::size_t b = 0; b < channels[c].size(); ++b) {
                if (Near(channels[c][b].sum, expected[c][b].sum) &&
                    Near(channels[c][b].squares, expected[c][b].squares))
                    continue;
                if (differing++ == 0) first = b;
            }
            EXPECT_EQ(differing, 0) << "law/channels " << key << ", channel " << c << ": "
                                    << differing << " blocks differ, the first is block " << first;
        }
    }
}
