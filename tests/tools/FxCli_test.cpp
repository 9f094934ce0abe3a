// sonvara-fx run as a program on generated audio files, driving the test
// delay plug-in: what comes out, and how it fails.
#include "support/TempDir.h"

#include <gtest/gtest.h>
#include <sndfile.h>

#include <cmath>
#include <csignal>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

struct RunResult {
    int exitCode = -1;
    std::string out;
    std::string err;
};

std::string Slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// Runs the program with args (no shell involved), capturing both streams;
// with brokenStderr, standard error is a pipe nobody reads.
RunResult RunFx(const testsupport::TempDir& dir, std::vector<std::string> args,
                bool brokenStderr = false) {
    args.insert(args.begin(), FX_PROGRAM);
    std::string outPath = dir.file("stdout.txt"), errPath = dir.file("stderr.txt");
    pid_t pid = ::fork();
    if (pid == 0) {
        std::freopen(outPath.c_str(), "w", stdout);
        std::freopen(errPath.c_str(), "w", stderr);
        if (brokenStderr) {
            int fds[2];
            if (::pipe(fds) != 0) ::_exit(126);
            ::close(fds[0]);
            ::dup2(fds[1], STDERR_FILENO);
            // An ignored SIGPIPE would be inherited and hide the fault.
            std::signal(SIGPIPE, SIG_DFL);
        }
        std::vector<char*> argv;
        for (std::string& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    RunResult r;
    int status = 0;
    ::waitpid(pid, &status, 0);
    r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    r.out = Slurp(outPath);
    r.err = Slurp(errPath);
    std::filesystem::remove(outPath);
    std::filesystem::remove(errPath);
    return r;
}

struct Audio {
    int channels = 0;
    int rate = 0;
    int format = 0;
    std::vector<float> samples; // interleaved
    std::size_t frames() const { return channels ? samples.size() / channels : 0; }
};

void WriteAudio(const std::string& path, const Audio& audio) {
    SF_INFO info{};
    info.channels = audio.channels;
    info.samplerate = audio.rate;
    info.format = audio.format;
    SNDFILE* f = sf_open(path.c_str(), SFM_WRITE, &info);
    ASSERT_NE(f, nullptr) << sf_strerror(nullptr);
    sf_writef_float(f, audio.samples.data(), static_cast<sf_count_t>(audio.frames()));
    sf_close(f);
}

Audio ReadAudio(const std::string& path) {
    Audio audio;
    SF_INFO info{};
    SNDFILE* f = sf_open(path.c_str(), SFM_READ, &info);
    if (!f) return audio;
    audio.channels = info.channels;
    audio.rate = info.samplerate;
    audio.format = info.format;
    audio.samples.resize(static_cast<std::size_t>(info.frames * info.channels));
    sf_readf_float(f, audio.samples.data(), info.frames);
    sf_close(f);
    return audio;
}

// A signal with a different value in every frame and channel, so a shifted,
// dropped or swapped sample shows.
Audio MakeSignal(int channels, int rate, std::size_t frames, int format) {
    Audio a{channels, rate, format, {}};
    a.samples.resize(frames * channels);
    for (std::size_t i = 0; i < frames; ++i)
        for (int c = 0; c < channels; ++c)
            a.samples[i * channels + c] =
                0.8f * static_cast<float>(std::sin(0.01 * static_cast<double>(i) * (c + 1) + c));
    return a;
}

// out must be gain · in delayed by `delay` frames, followed by the tail.
void ExpectDelayed(const Audio& in, const Audio& out, std::size_t delay, float gain,
                   float tolerance) {
    ASSERT_EQ(out.channels, in.channels);
    ASSERT_EQ(out.rate, in.rate);
    ASSERT_EQ(out.frames(), in.frames() + delay);
    for (std::size_t i = 0; i < out.frames(); ++i) {
        for (int c = 0; c < in.channels; ++c) {
            float expected = i < delay ? 0.0f : gain * in.samples[(i - delay) * in.channels + c];
            ASSERT_NEAR(out.samples[i * out.channels + c], expected, tolerance)
                << "frame " << i << " channel " << c;
        }
    }
}

bool NoTemporaryFilesIn(const std::string& dir) {
    for (const auto& entry : std::filesystem::directory_iterator(dir))
        if (entry.path().filename().string().find(".tmp") != std::string::npos) return false;
    return true;
}

class FxCli : public ::testing::Test {
protected:
    testsupport::TempDir dir;
    std::string in = dir.file("in.wav");
    std::string out = dir.file("out.wav");

    RunResult Run(std::vector<std::string> args, bool brokenStderr = false) {
        args.insert(args.begin(), {"--plugin", FX_TEST_PLUGIN});
        return RunFx(dir, std::move(args), brokenStderr);
    }
};

class FxBlockSizes : public FxCli, public ::testing::WithParamInterface<int> {};

// Bookkeeping faults (a block written twice, the tail dropped, a short last
// block padded) show at block sizes that do not divide the file's length.
TEST_P(FxBlockSizes, OutputIsTheInputThroughThePluginWithItsTail) {
    Audio signal = MakeSignal(2, 44100, 5000, SF_FORMAT_WAV | SF_FORMAT_FLOAT);
    WriteAudio(in, signal);
    RunResult r = Run({"--block", std::to_string(GetParam()), "--set", "Delay=300", "--set",
                       "Gain=50", "--progress", in, out});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    Audio result = ReadAudio(out);
    EXPECT_EQ(result.format, SF_FORMAT_WAV | SF_FORMAT_FLOAT);
    ExpectDelayed(signal, result, 300, 0.5f, 0.0f);
    EXPECT_NE(r.err.find("100%"), std::string::npos) << "progress bar missing: " << r.err;
    EXPECT_TRUE(NoTemporaryFilesIn(dir.path()));
}

INSTANTIATE_TEST_SUITE_P(Blocks, FxBlockSizes, ::testing::Values(1, 7, 1024, 65536));

TEST_F(FxCli, ConvertsBetweenFileTypesKeepingRateAndChannels) {
    Audio signal = MakeSignal(1, 8000, 3000, SF_FORMAT_WAV | SF_FORMAT_PCM_16);
    WriteAudio(in, signal);
    Audio written = ReadAudio(in); // as quantised to 16 bits
    std::string flac = dir.file("out.flac");
    RunResult r = Run({"-q", in, flac});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.err, "");
    Audio result = ReadAudio(flac);
    EXPECT_EQ(result.format, SF_FORMAT_FLAC | SF_FORMAT_PCM_16);
    ExpectDelayed(written, result, 0, 1.0f, 1.0f / 32768);
}

// An empty input is a valid file, not an error, and gives a valid empty file.
TEST_F(FxCli, EmptyInputGivesAnEmptyOutput) {
    WriteAudio(in, Audio{2, 22050, SF_FORMAT_WAV | SF_FORMAT_PCM_16, {}});
    RunResult r = Run({in, out});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    Audio result = ReadAudio(out);
    EXPECT_EQ(result.channels, 2);
    EXPECT_EQ(result.rate, 22050);
    EXPECT_EQ(result.frames(), 0u);
}

TEST_F(FxCli, PresetsRoundTripThroughXmlAndIni) {
    WriteAudio(in, MakeSignal(1, 44100, 2000, SF_FORMAT_WAV | SF_FORMAT_FLOAT));
    Audio signal = ReadAudio(in);
    std::string xml = dir.file("preset.xml"), ini = dir.file("presets.ini");

    // Storing only: no files to process.
    RunResult saved = Run({"--set", "Gain=25", "--set", "Delay=7", "--save-preset-xml", xml,
                           "--save-preset-ini", ini, "--save-section", "Quiet"});
    ASSERT_EQ(saved.exitCode, 0) << saved.err;

    RunResult fromXml = Run({"--preset-xml", xml, in, out});
    ASSERT_EQ(fromXml.exitCode, 0) << fromXml.err;
    ExpectDelayed(signal, ReadAudio(out), 7, 0.25f, 0.0f);

    // Options override the preset's values, the rest of the preset stays.
    RunResult fromIni =
        Run({"--preset-ini", ini, "--section", "Quiet", "--set", "Gain=50", in, out});
    ASSERT_EQ(fromIni.exitCode, 0) << fromIni.err;
    ExpectDelayed(signal, ReadAudio(out), 7, 0.5f, 0.0f);

    // The plug-in would report success for a preset it could not write.
    RunResult unwritable = Run({"--save-preset-xml", dir.file("missing/p.xml")});
    EXPECT_EQ(unwritable.exitCode, 1);
    EXPECT_NE(unwritable.err.find("cannot write the preset file"), std::string::npos)
        << unwritable.err;

    // A misspelt section would silently give the defaults; it is an error.
    RunResult missing = Run({"--preset-ini", ini, "--section", "Loud", in, dir.file("x.wav")});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_NE(missing.err.find("has no section [Loud]"), std::string::npos) << missing.err;
    EXPECT_FALSE(std::filesystem::exists(dir.file("x.wav")));
}

TEST_F(FxCli, BadArgumentsAreRefusedBeforeAnythingIsWritten) {
    WriteAudio(in, MakeSignal(1, 44100, 100, SF_FORMAT_WAV | SF_FORMAT_FLOAT));
    struct Case {
        std::vector<std::string> args;
        const char* message;
    };
    const Case cases[] = {
        {{"--speed", "abc", in, out}, "--speed wants a whole number"},
        {{"--speed", "0", in, out}, "--speed wants a whole number from 1"},
        {{"--law", "sideways", in, out}, "--law wants drums, periodic"},
        {{"--first-tone", "+7", in, out}, "--first-tone wants semitones"},
        {{"--second-tone", "2.5", in, out}, "--second-tone wants semitones"},
        {{"--block", "0", in, out}, "--block wants"},
        {{"--bogus", in, out}, "unknown option '--bogus'"},
        {{"--set", "Gain", in, out}, "--set wants KEY=VALUE"},
        {{"--set", "Gain=loud", in, out}, "--set Gain wants a number, not 'loud'"},
        {{"--rate"}, "option '--rate' needs a value"},
        {{in}, "missing OUTPUT"},
        {{}, "missing INPUT and OUTPUT"},
        {{in, out, "extra.wav"}, "too many file names"},
        {{"--preset-ini", "p.ini", in, out}, "--preset-ini needs --section"},
        {{in, dir.file("out.xyz")}, "cannot tell the file type"},
        {{"--save-preset-xml", "p.xml", "--save-section", "my preset"},
         "cannot name an XML element"},
    };
    for (const Case& c : cases) {
        RunResult r = Run(c.args);
        EXPECT_EQ(r.exitCode, 2) << c.message;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
        EXPECT_NE(r.err.find("--help"), std::string::npos) << r.err;
    }
    EXPECT_FALSE(std::filesystem::exists(out));

    RunResult help = Run({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_EQ(help.out.rfind("Usage: sonvara-fx", 0), 0u);
}

// Writing the result over the input would destroy the recording being
// read; the check must see through other names for the same file.
TEST_F(FxCli, InputAndOutputThatAreOneFileAreRefused) {
    WriteAudio(in, MakeSignal(1, 44100, 100, SF_FORMAT_WAV | SF_FORMAT_FLOAT));
    const std::string original = Slurp(in);
    std::filesystem::create_hard_link(in, dir.file("hard.wav"));
    std::filesystem::create_symlink(in, dir.file("soft.wav"));
    for (const std::string& other :
         {in, dir.path() + "/./in.wav", dir.file("hard.wav"), dir.file("soft.wav")}) {
        RunResult r = Run({"--set", "Delay=3", in, other});
        EXPECT_EQ(r.exitCode, 2) << other;
        EXPECT_NE(r.err.find("are the same file"), std::string::npos) << r.err;
        EXPECT_EQ(Slurp(in), original) << other;
    }
    // A plug-in whose settings this program does not know gets any key, with
    // a warning.
    RunResult r = Run({"--set", "Colour=3", in, out});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.err.find("warning: the setting 'Colour'"), std::string::npos) << r.err;
}

// Replacing a linked output must update the file it points at, not swap
// the link for a plain file.
TEST_F(FxCli, OutputThroughASymbolicLinkReplacesItsTarget) {
    Audio signal = MakeSignal(1, 44100, 500, SF_FORMAT_WAV | SF_FORMAT_FLOAT);
    WriteAudio(in, signal);
    std::filesystem::create_directory(dir.file("store"));
    { std::ofstream(dir.file("store/real.wav")) << "old"; }
    std::filesystem::create_symlink("store/real.wav", out);
    RunResult r = Run({"-q", in, out});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_TRUE(std::filesystem::is_symlink(out));
    ExpectDelayed(signal, ReadAudio(dir.file("store/real.wav")), 0, 1.0f, 0.0f);
}

// A failed run must leave an existing output exactly as it was.
TEST_F(FxCli, UnreadableInputKeepsTheOldOutput) {
    { std::ofstream(out) << "previous result"; }
    RunResult missing = Run({dir.file("nothing.wav"), out});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_NE(missing.err.find("cannot read \"" + dir.file("nothing.wav") + "\": no such file"),
              std::string::npos)
        << missing.err;

    { std::ofstream(in) << "this is text, not audio"; }
    RunResult garbage = Run({in, out});
    EXPECT_EQ(garbage.exitCode, 1);
    EXPECT_NE(garbage.err.find("cannot read \"" + in + "\""), std::string::npos) << garbage.err;

    EXPECT_EQ(Slurp(out), "previous result");
    EXPECT_TRUE(NoTemporaryFilesIn(dir.path()));
}

TEST_F(FxCli, UnwritableOutputIsReported) {
    WriteAudio(in, MakeSignal(1, 44100, 100, SF_FORMAT_WAV | SF_FORMAT_FLOAT));
    RunResult noFolder = Run({in, dir.file("missing/out.wav")});
    EXPECT_EQ(noFolder.exitCode, 1);
    EXPECT_NE(noFolder.err.find("cannot write \"" + dir.file("missing/out.wav") + "\""),
              std::string::npos)
        << noFolder.err;

    std::filesystem::create_directory(dir.file("folder.wav"));
    RunResult folder = Run({in, dir.file("folder.wav")});
    EXPECT_EQ(folder.exitCode, 1);
    EXPECT_NE(folder.err.find("it is a folder"), std::string::npos) << folder.err;
    EXPECT_TRUE(std::filesystem::is_directory(dir.file("folder.wav")));
    EXPECT_TRUE(NoTemporaryFilesIn(dir.path()));
}

TEST_F(FxCli, PluginProblemsAreReportedAndLoseNothing) {
    WriteAudio(in, MakeSignal(2, 44100, 100, SF_FORMAT_WAV | SF_FORMAT_FLOAT));
    { std::ofstream(out) << "previous result"; }

    RunResult none = RunFx(dir, {"--plugin", dir.file("none.so"), in, out});
    EXPECT_EQ(none.exitCode, 1);
    EXPECT_NE(none.err.find("no plug-in at"), std::string::npos) << none.err;

    // Not a shared library at all.
    RunResult notLibrary = RunFx(dir, {"--plugin", in, in, out});
    EXPECT_EQ(notLibrary.exitCode, 1);
    EXPECT_NE(notLibrary.err.find("cannot load the plug-in"), std::string::npos) << notLibrary.err;

    RunResult refused = Run({"--set", "MaxChannels=1", in, out});
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_NE(refused.err.find("cannot process 2 channels at 44100 Hz"), std::string::npos)
        << refused.err;

    EXPECT_EQ(Slurp(out), "previous result");
    EXPECT_TRUE(NoTemporaryFilesIn(dir.path()));

    RunResult info = Run({"--info"});
    EXPECT_EQ(info.exitCode, 0);
    EXPECT_NE(info.out.find("Test Delay"), std::string::npos) << info.out;
}

// Ctrl-C in the middle (the plug-in raises SIGINT itself, so no timing is
// involved) must remove the partial output and say so.
TEST_F(FxCli, InterruptionLeavesNoOutput) {
    WriteAudio(in, MakeSignal(1, 44100, 44100, SF_FORMAT_WAV | SF_FORMAT_FLOAT));
    RunResult r = Run({"--block", "512", "--set", "InterruptAt=2000", in, out});
    EXPECT_EQ(r.exitCode, 130);
    EXPECT_NE(r.err.find("interrupted; \"" + out + "\" was not written"), std::string::npos)
        << r.err;
    EXPECT_FALSE(std::filesystem::exists(out));
    EXPECT_TRUE(NoTemporaryFilesIn(dir.path()));
}

// `sonvara-fx ... 2>&1 | head` closes the pipe early; the progress bar's
// next write must not kill the run and strand the temporary file.
TEST_F(FxCli, ClosedStandardErrorDoesNotKillTheRun) {
    Audio signal = MakeSignal(1, 44100, 20000, SF_FORMAT_WAV | SF_FORMAT_FLOAT);
    WriteAudio(in, signal);
    RunResult r = Run({"--progress", "--block", "64", in, out}, true);
    EXPECT_EQ(r.exitCode, 0);
    ExpectDelayed(signal, ReadAudio(out), 0, 1.0f, 0.0f);
    EXPECT_TRUE(NoTemporaryFilesIn(dir.path()));
}

// A plug-in that never reports the end would otherwise run until the disk
// is full.
TEST_F(FxCli, EndlessPluginIsCutOffAfterAMinuteOfTail) {
    const std::size_t frames = 1000;
    const int block = 4096;
    WriteAudio(in, MakeSignal(1, 8000, frames, SF_FORMAT_WAV | SF_FORMAT_FLOAT));
    RunResult r = Run({"--block", std::to_string(block), "--set", "Endless=1", in, out});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.err.find("warning: the plug-in kept producing sound"), std::string::npos) << r.err;
    std::size_t length = ReadAudio(out).frames();
    EXPECT_GT(length, frames + 60 * 8000);
    EXPECT_LE(length, frames + 60 * 8000 + block);
}

} // namespace

#ifdef FX_HAS_STAVO
namespace {

// The default plug-in is found beside the program (a wrong default path
// would make every run without --plugin fail), and its latency tail exactly
// makes up for its priming: the output is as long as the input.
TEST(FxCliDefaultPlugin, RunsStavoModulationFromTheProgramDirectory) {
    testsupport::TempDir dir;
    Audio signal = MakeSignal(2, 44100, 30000, SF_FORMAT_WAV | SF_FORMAT_PCM_16);
    WriteAudio(dir.file("in.wav"), signal);
    RunResult r = RunFx(
        dir, {"--law", "periodic", "--first-tone", "+3", dir.file("in.wav"), dir.file("out.wav")});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.err.find("through Stavo Modulation"), std::string::npos) << r.err;
    Audio result = ReadAudio(dir.file("out.wav"));
    EXPECT_EQ(result.channels, 2);
    EXPECT_EQ(result.rate, 44100);
    EXPECT_EQ(result.frames(), signal.frames());
}

// A misspelt key or a fraction for Stavo Modulation used to run with the
// defaults and exit 0, as if the setting had been applied.
TEST(FxCliDefaultPlugin, UnknownStavoSettingsAreRefused) {
    testsupport::TempDir dir;
    WriteAudio(dir.file("in.wav"), MakeSignal(1, 44100, 3000, SF_FORMAT_WAV | SF_FORMAT_PCM_16));
    struct Case {
        const char* set;
        const char* message;
    };
    for (const Case& c : {Case{"Sped=20", "has no setting 'Sped'"},
                          Case{"Rate=2.5", "wants a whole number, not '2.5'"},
                          Case{"Rate=99999999999", "wants a whole number"}}) {
        RunResult r = RunFx(dir, {"--set", c.set, dir.file("in.wav"), dir.file("out.wav")});
        EXPECT_EQ(r.exitCode, 2) << c.set;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
        EXPECT_FALSE(std::filesystem::exists(dir.file("out.wav")));
    }
    RunResult r = RunFx(dir, {"--set", "firsttone=0", dir.file("in.wav"), dir.file("out.wav")});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.err.find("warning"), std::string::npos) << r.err;
}

} // namespace
#endif
