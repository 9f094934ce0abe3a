#include "tools/fx/FxMain.h"

#include "platform/Paths.h"
#include "tools/fx/AudioFile.h"
#include "tools/fx/EffectPlugin.h"
#include "tools/fx/Options.h"
#include "tools/fx/Presets.h"
#include "tools/fx/ProcessLoop.h"
#include "tools/fx/ProgressBar.h"

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#ifndef SONVARA_VERSION
#define SONVARA_VERSION "unknown"
#endif

namespace fx {

namespace {

constexpr const char* kProgram = "sonvara-fx";
// Inputs shorter than this finish before a bar would be worth reading.
constexpr double kProgressAfterSeconds = 10.0;

std::atomic<bool> g_interrupted{false};

extern "C" void OnInterrupt(int) {
    g_interrupted.store(true);
}

// Ctrl-C, termination requests and a closed terminal stop the run between
// two blocks, so the temporary output is removed rather than left behind. A
// second Ctrl-C gets the default action (SA_RESETHAND) for a plug-in that
// hangs. A closed pipe on standard error (`sonvara-fx ... 2>&1 | head`) must
// not kill the run half-way either: SIGPIPE is ignored, the messages are lost
// and the output is still finished.
class InterruptGuard {
public:
    InterruptGuard() {
        g_interrupted.store(false);
        struct sigaction sa {};
        sa.sa_handler = &OnInterrupt;
        sigemptyset(&sa.sa_mask);
        sa.sa_flags = SA_RESETHAND;
        sigaction(SIGINT, &sa, &m_oldInt);
        sigaction(SIGTERM, &sa, &m_oldTerm);
        sigaction(SIGHUP, &sa, &m_oldHup);
        struct sigaction ignore {};
        ignore.sa_handler = SIG_IGN;
        sigemptyset(&ignore.sa_mask);
        sigaction(SIGPIPE, &ignore, &m_oldPipe);
    }
    ~InterruptGuard() {
        sigaction(SIGINT, &m_oldInt, nullptr);
        sigaction(SIGTERM, &m_oldTerm, nullptr);
        sigaction(SIGHUP, &m_oldHup, nullptr);
        sigaction(SIGPIPE, &m_oldPipe, nullptr);
    }
    InterruptGuard(const InterruptGuard&) = delete;
    InterruptGuard& operator=(const InterruptGuard&) = delete;

private:
    struct sigaction m_oldInt {};
    struct sigaction m_oldTerm {};
    struct sigaction m_oldHup {};
    struct sigaction m_oldPipe {};
};

int Fail(const std::string& message, int code = kExitFailed) {
    std::fprintf(stderr, "%s: %s\n", kProgram, message.c_str());
    return code;
}

int UsageError(const std::string& message) {
    std::fprintf(stderr, "%s: %s\nTry '%s --help' for more information.\n", kProgram,
                 message.c_str(), kProgram);
    return kExitUsage;
}

// Whether both names lead to one existing file (device and inode).
bool SameFile(const std::string& a, const std::string& b) {
    struct stat sa {};
    struct stat sb {};
    return ::stat(a.c_str(), &sa) == 0 && ::stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
           sa.st_ino == sb.st_ino;
}

std::string DefaultPluginPath() {
    return platform::JoinPath(platform::ProgramDirectory(), "Effects/StavoModulation.so");
}

int ShowInfo(const EffectPlugin& plugin) {
    std::printf("Name:      %s\nVendor:    %s\nLibrary:   %s\nInterface: %u (flag %u)\n",
                plugin.Name().c_str(), plugin.Vendor().c_str(), plugin.Path().c_str(),
                plugin.InterfaceValue(), plugin.Flag());
    return kExitOk;
}

} // namespace

int RunFx(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    ParseResult parsed = ParseOptions(args);
    if (!parsed.error.empty()) return UsageError(parsed.error);
    const FxOptions& options = parsed.options;
    if (options.help) {
        std::fputs(UsageText().c_str(), stdout);
        return kExitOk;
    }
    if (options.version) {
        std::printf("%s %s\n", kProgram, SONVARA_VERSION);
        return kExitOk;
    }

    // Problems with the arguments first, before anything is loaded or read.
    int outputFormat = 0;
    if (options.HasFiles()) {
        if (MajorFormatFor(options.output) == 0)
            return UsageError("cannot tell the file type of \"" + options.output +
                              "\" from its name; use one of " + KnownExtensions());
    }

    // Writing the output would replace the input while it is being read:
    // the same file by its identity, whatever the names (links, "./", case).
    if (options.HasFiles() && SameFile(options.input, options.output))
        return UsageError("INPUT and OUTPUT are the same file (\"" + options.output +
                          "\"); write the result to another file");

    std::string error;
    AudioReader reader;
    if (options.HasFiles()) {
        if (!reader.Open(options.input, error)) return Fail(error);
        outputFormat = OutputFormatFor(options.output, reader.Format(), reader.Channels());
        if (outputFormat == 0)
            return Fail("cannot write \"" + options.output + "\": its file type cannot hold " +
                        std::to_string(reader.Channels()) +
                        (reader.Channels() == 1 ? " channel" : " channels") +
                        ", or this libsndfile cannot write it");
    }

    // The plug-in outlives every instance and every XML node it touched:
    // declared first, destroyed last.
    EffectPlugin plugin;
    std::string pluginPath = options.plugin.empty() ? DefaultPluginPath() : options.plugin;
    if (!plugin.Load(pluginPath, error)) return Fail(error);
    if (options.info && !options.HasFiles() && !options.SavesPreset()) return ShowInfo(plugin);
    if (options.info) ShowInfo(plugin);

    std::vector<std::string> warnings;
    if (!CheckSettings(plugin, options, error, warnings)) return UsageError(error);
    if (!options.quiet)
        for (const std::string& warning : warnings)
            std::fprintf(stderr, "%s: warning: %s\n", kProgram, warning.c_str());

    PluginInstance instance = CreateConfiguredInstance(plugin, options, error);
    if (!instance) return Fail(error);
    if (!SavePresets(plugin, instance, options, error)) return Fail(error);
    if (!options.HasFiles()) return kExitOk;

    InterruptGuard interruptGuard;
    AudioWriter writer;
    if (!writer.Open(options.output, outputFormat, reader.Channels(), reader.SampleRate(),
                     reader.Handle(), error))
        return Fail(error);

    const auto rate = static_cast<std::uint32_t>(reader.SampleRate());
    const double seconds = static_cast<double>(reader.Frames()) / rate;
    bool showProgress = !options.quiet && options.progress != ProgressMode::Never &&
                        (options.progress == ProgressMode::Always ||
                         (::isatty(STDERR_FILENO) && seconds > kProgressAfterSeconds));
    std::optional<ProgressBar> bar;
    if (showProgress)
        bar.emplace(stderr, static_cast<std::uint64_t>(reader.Frames()), rate,
                    ProgressBar::TerminalWidth());

    ProcessConfig config;
    config.blockFrames = options.blockFrames;
    config.cancel = &g_interrupted;
    if (bar) config.progress = [&bar](std::uint64_t done) { bar->Update(done); };

    ProcessReport report;
    auto started = std::chrono::steady_clock::now();
    bool ok = RunStream(plugin, instance, reader, writer, config, report, error);
    double elapsed =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    if (bar) bar->Finish();

    if (!ok) {
        writer.Abandon();
        return Fail(error + "; \"" + options.output + "\" was not written");
    }
    if (report.interrupted) {
        writer.Abandon();
        return Fail("interrupted; \"" + options.output + "\" was not written", kExitInterrupted);
    }
    if (!writer.Commit(error)) return Fail(error);

    if (report.cutOff)
        std::fprintf(stderr,
                     "%s: warning: the plug-in kept producing sound %.0f s after the input "
                     "ended; the output was cut there\n",
                     kProgram, config.maxTailSeconds);
    if (!options.quiet) {
        double audio = static_cast<double>(report.framesOut) / rate;
        char length[32];
        if (audio < 60.0)
            std::snprintf(length, sizeof length, "%.1f s", audio);
        else
            std::snprintf(length, sizeof length, "%s", FormatDuration(audio).c_str());
        std::fprintf(stderr, "%s: wrote \"%s\": %s of audio, %d channel%s at %u Hz, through %s",
                     kProgram, options.output.c_str(), length, reader.Channels(),
                     reader.Channels() == 1 ? "" : "s", rate, plugin.Name().c_str());
        if (elapsed > 0.0 && audio > 0.0)
            std::fprintf(stderr, " (%.1fx real time)", audio / elapsed);
        std::fputc('\n', stderr);
    }
    return kExitOk;
}

} // namespace fx
