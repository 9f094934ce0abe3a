// The LV2 bundle and the LADSPA library in the hosts people use, each run as
// its own process on a sung test tone under Periodic (Rate 20, +2 and -2
// semitones): the output carries the alternation and starts where the input
// does plus the latency the plug-in reports.
#include "HostPlugins.h"
#include "support/TempDir.h"

#include <sndfile.h>

#include <cstdio>

using namespace hosttest;

namespace {

std::vector<float> ReadWav(const std::string& path) {
    SF_INFO info{};
    SNDFILE* f = sf_open(path.c_str(), SFM_READ, &info);
    std::vector<float> samples(f ? info.frames : 0);
    if (f) sf_readf_float(f, samples.data(), info.frames), sf_close(f);
    return samples;
}

// The exit status of a shell command; what it printed goes to `text`.
int Shell(const std::string& command, std::string& text) {
    FILE* pipe = ::popen((STAVO_HOST_ENV + command + " 2>&1").c_str(), "r");
    char chunk[4096];
    while (std::size_t n = std::fread(chunk, 1, sizeof chunk, pipe))
        text.append(chunk, n);
    const int status = ::pclose(pipe);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

} // namespace

TEST(ExternalHosts, Lv2applyApplypluginAndSoxRunTheEffect) {
    const std::string lv2Path = std::string(STAVO_LV2_BUNDLE) + "/..", ladspa = STAVO_LADSPA_DIR;
    std::string text;
    ASSERT_EQ(Shell("analyseplugin '" + ladspa + "/StavoModulation.so'", text), 0) << text;
    for (const char* expected :
         {"\"StavoModulationMono\"", "\"StavoModulationStereo\"", "\"Input R\" input, audio",
          "\"Switching law\" input, control, 0 to 3, default 0, integer",
          "\"First tone\" input, control, -6 to 6", "\"latency\" output, control"})
        EXPECT_NE(text.find(expected), std::string::npos) << expected << "\n" << text;

    testsupport::TempDir dir;
    const std::string in = dir.file("in.wav"), controls = " 3 10 20 1 2 -2";
    SF_INFO info{0, static_cast<int>(kRate), 1, SF_FORMAT_WAV | SF_FORMAT_PCM_16, 0, 0};
    SNDFILE* f = sf_open(in.c_str(), SFM_WRITE, &info);
    ASSERT_NE(f, nullptr);
    const auto tone = SungTone(6.0);
    sf_writef_float(f, tone.data(), tone.size());
    sf_close(f);
    const auto input = ReadWav(in); // as the hosts read it, 16-bit

    Lv2Plugin reference(1);
    ASSERT_TRUE(reference.Open(kRate));
    reference.Run(0);
    const std::size_t latency = reference.Latency();

    const std::pair<const char*, std::string> hosts[] = {
        {"lv2apply", "LV2_PATH='" + lv2Path + "' lv2apply -i '" + in + "' -o '" +
                         dir.file("lv2apply.wav") +
                         "' -c law 1 -c rate 20 urn:sonvara:StavoModulation:mono"},
        {"applyplugin", "applyplugin '" + in + "' '" + dir.file("applyplugin.wav") + "' '" +
                            ladspa + "/StavoModulation.so' StavoModulationMono" + controls},
        {"sox", "LADSPA_PATH='" + ladspa + "' sox '" + in + "' '" + dir.file("sox.wav") +
                    "' ladspa StavoModulation StavoModulationMono" + controls},
    };
    for (const auto& [host, command] : hosts) {
        text.clear();
        ASSERT_EQ(Shell(command, text), 0) << command << "\n" << text;
        const auto output = ReadWav(dir.file(std::string(host) + ".wav"));
        ASSERT_EQ(output.size(), input.size()) << host;
        // Within the two-tap smoothing of the shifter.
        EXPECT_NEAR(Onset(output), Onset(input) + latency, 1.0) << host;
        ExpectAlternation(output, host);
    }
}
