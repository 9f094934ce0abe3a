// The LV2 bundle and the LADSPA library in the hosts people use: lv2apply,
// analyseplugin, applyplugin and sox's ladspa effect, each run as its own
// process on a sung test tone under Periodic (Rate 20, +2 and -2 semitones).
#include "HostPlugins.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>
#include <sndfile.h>

#include <array>
#include <cstdio>
#include <cstdlib>

using namespace hosttest;

namespace {

void WriteWav(const std::string& path, const std::vector<float>& samples, int format) {
    SF_INFO info{};
    info.channels = 1;
    info.samplerate = static_cast<int>(kRate);
    info.format = SF_FORMAT_WAV | format;
    SNDFILE* f = sf_open(path.c_str(), SFM_WRITE, &info);
    ASSERT_NE(f, nullptr) << sf_strerror(nullptr);
    sf_writef_float(f, samples.data(), static_cast<sf_count_t>(samples.size()));
    sf_close(f);
}

std::vector<float> ReadWav(const std::string& path) {
    SF_INFO info{};
    SNDFILE* f = sf_open(path.c_str(), SFM_READ, &info);
    if (!f) return {};
    std::vector<float> interleaved(static_cast<std::size_t>(info.frames * info.channels));
    sf_readf_float(f, interleaved.data(), info.frames);
    sf_close(f);
    std::vector<float> first(static_cast<std::size_t>(info.frames));
    for (std::size_t i = 0; i < first.size(); ++i)
        first[i] = interleaved[i * info.channels];
    return first;
}

// Runs a shell command; its exit status and what it printed.
std::pair<int, std::string> Shell(const std::string& command) {
    std::string text;
    FILE* pipe = ::popen((command + " 2>&1").c_str(), "r");
    if (!pipe) return {-1, text};
    std::array<char, 4096> chunk{};
    while (std::size_t n = std::fread(chunk.data(), 1, chunk.size(), pipe))
        text.append(chunk.data(), n);
    const int status = ::pclose(pipe);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, text};
}

// The delay the plug-in reports to a host at 44 100 samples per second.
std::size_t ReportedLatency() {
    Lv2Plugin plugin(1);
    if (!plugin.Open(kRate)) return 0;
    float silence[1] = {0};
    plugin.Connect(0, silence, silence);
    plugin.Run(0);
    return static_cast<std::size_t>(plugin.Latency());
}

// The output of a host must carry the effect, and start where the input
// starts plus the reported delay (within the two-tap smoothing and the
// 16-bit files' rounding).
void ExpectHostOutput(const std::vector<float>& input, const std::vector<float>& output,
                      const std::string& host) {
    ASSERT_EQ(output.size(), input.size()) << host;
    EXPECT_NEAR(static_cast<double>(Onset(output)),
                static_cast<double>(Onset(input) + ReportedLatency()), 2.0)
        << host;
    ExpectAlternation(output, host);
}

} // namespace

// lv2apply finds the bundle through LV2_PATH, takes the law and Rate by port
// symbol, and the output alternates between the two pitches.
TEST(ExternalHosts, Lv2applyRunsTheBundleAndTheVoiceAlternates) {
    testsupport::TempDir dir;
    const auto input = SungTone(6.0);
    WriteWav(dir.file("in.wav"), input, SF_FORMAT_FLOAT);
    const auto [status, text] = Shell(
        "LV2_PATH='" + std::string(STAVO_LV2_BUNDLE) + "/..' lv2apply -i '" + dir.file("in.wav") +
        "' -o '" + dir.file("out.wav") + "' -c law 1 -c rate 20 urn:sonvara:StavoModulation:mono");
    ASSERT_EQ(status, 0) << text;
    ExpectHostOutput(input, ReadWav(dir.file("out.wav")), "lv2apply");
}

// analyseplugin lists both descriptors with their controls; applyplugin and
// sox's ladspa effect (found through LADSPA_PATH) run the mono one.
TEST(ExternalHosts, LadspaHostsShowAndRunTheLibrary) {
    const std::string library = std::string(STAVO_LADSPA_DIR) + "/StavoModulation.so";
    const auto [shown, description] = Shell("analyseplugin '" + library + "'");
    ASSERT_EQ(shown, 0) << description;
    for (const char* expected :
         {"\"StavoModulationMono\"", "\"StavoModulationStereo\"", "\"Input R\" input, audio",
          "\"Detection speed\" input, control, 1 to 100",
          "\"Switching law\" input, control, 0 to 3, default 0, integer",
          "\"First tone\" input, control, -6 to 6", "\"latency\" output, control",
          "Normal or Hard Real-Time"})
        EXPECT_NE(description.find(expected), std::string::npos) << expected << "\n" << description;

    testsupport::TempDir dir;
    const auto input = SungTone(6.0);
    WriteWav(dir.file("in.wav"), input, SF_FORMAT_PCM_16);
    // Speed, Threshold, Rate, law, first and second tone.
    const std::string controls = " 3 10 20 1 2 -2";
    const auto [applied, applyText] =
        Shell("applyplugin '" + dir.file("in.wav") + "' '" + dir.file("apply.wav") + "' '" +
              library + "' StavoModulationMono" + controls);
    ASSERT_EQ(applied, 0) << applyText;
    ExpectHostOutput(ReadWav(dir.file("in.wav")), ReadWav(dir.file("apply.wav")), "applyplugin");

    const auto [soxed, soxText] = Shell(
        "LADSPA_PATH='" + std::string(STAVO_LADSPA_DIR) + "' sox '" + dir.file("in.wav") + "' '" +
        dir.file("sox.wav") + "' ladspa StavoModulation StavoModulationMono" + controls);
    ASSERT_EQ(soxed, 0) << soxText;
    ExpectHostOutput(ReadWav(dir.file("in.wav")), ReadWav(dir.file("sox.wav")), "sox");
}
