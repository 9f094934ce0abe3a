// Live voice morphing measured through the running program, offscreen (run
// by hand, not by CTest):
//
//   bench_mardrel_live                 microphone-to-speaker latency
//   bench_mardrel_live --dropouts 600  drop-outs over ten minutes
//
// Latency: the wav: capture device plays tone bursts into the module, the
// wav: output device writes what the monitor played; both devices start
// together (the module starts the player, then the microphone, in one call)
// on their real-time clocks, so a burst's onset in the monitor's file less
// its onset in the input is the whole path. The effect's share is measured
// apart with sonvara-fx on the same bursts (its output is aligned with its
// input after the priming, so the live path's extra is the priming plus
// that offset); what is left is the monitor's queue and the player's
// buffers.
//
// Drop-outs: the tone: capture and null output devices run live morphing
// for the given seconds; the module counts the player blocks that found the
// monitor short of sound and shows the count in its window.
#include "libs/lacquer/Lacquer.h"
#include "libs/trestle/TrestleMessageBox.h"
#include "modules/ModuleHost.h"
#include "platform/Paths.h"
#include "shell/HostSubsystems.h"
#include "shell/KelFrameApp.h"
#include "shell/MainFrame.h"
#include "shell/WindowMessage.h"

#include "audio/ExtMicro.h"
#include "audio/ExtPlayerDX.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDialog>
#include <QLabel>
#include <QTest>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sndfile.h>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

constexpr unsigned kCmdLive = 42003;
std::string g_params; // lines of the module's parameter section
constexpr int kRate = 44100;
constexpr double kBurstSeconds[] = {1.0, 2.0, 3.0, 4.0, 5.0};
constexpr double kBurstLength = 0.4;
constexpr double kTotalSeconds = 6.0;

bool WriteBursts(const std::string& path) {
    std::vector<float> data(static_cast<std::size_t>(kTotalSeconds * kRate), 0.0f);
    for (double start : kBurstSeconds)
        for (int i = 0; i < kBurstLength * kRate; ++i) {
            double v = 0.0;
            for (int k = 1; k <= 5; ++k)
                v += 0.3 / k * std::sin(2 * M_PI * 220.0 * k * i / kRate);
            data[static_cast<std::size_t>(start * kRate) + static_cast<std::size_t>(i)] =
                static_cast<float>(v);
        }
    SF_INFO info{};
    info.samplerate = kRate;
    info.channels = 1;
    info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    SNDFILE* f = sf_open(path.c_str(), SFM_WRITE, &info);
    if (!f) return false;
    sf_writef_float(f, data.data(), static_cast<sf_count_t>(data.size()));
    sf_close(f);
    return true;
}

std::vector<float> ReadMono(const std::string& path) {
    SF_INFO info{};
    SNDFILE* f = sf_open(path.c_str(), SFM_READ, &info);
    if (!f) return {};
    std::vector<float> data(static_cast<std::size_t>(info.frames * info.channels));
    sf_readf_float(f, data.data(), info.frames);
    sf_close(f);
    std::vector<float> mono(static_cast<std::size_t>(info.frames));
    for (std::size_t i = 0; i < mono.size(); ++i)
        mono[i] = data[i * static_cast<std::size_t>(info.channels)];
    return mono;
}

// The first frame at or after from whose level passes 0.05.
long Onset(const std::vector<float>& x, double fromSeconds) {
    for (auto i = static_cast<std::size_t>(fromSeconds * kRate); i < x.size(); ++i)
        if (std::fabs(x[i]) > 0.05f) return static_cast<long>(i);
    return -1;
}

struct Program {
    std::string dir;
    shell::CHostSubsystems later;
    std::unique_ptr<shell::CKelFrameApp> app;

    Program() {
        char pattern[] = "/tmp/mardrel-bench-XXXXXX";
        dir = std::string(mkdtemp(pattern)) + "/";
        const std::string program = dir + "app/";
        fs::create_directories(program + "Modules");
        fs::copy(SONVARA_SKINS_DIR, program + "Skins", fs::copy_options::recursive);
        fs::create_symlink(MARDREL_MODULE, program + "Modules/Mardrel.so");
        fs::create_symlink(EFFECTS_DIR, program + "Effects");
        platform::SetProgramDirectory(program);
        platform::SetSettingsDirectory(program);
        setenv("XDG_CONFIG_HOME", dir.c_str(), 1);
        trestle::SetMessageBoxHook([](const trestle::MessageBoxRequest& r) {
            std::fprintf(stderr, "message: %s\n", r.text.c_str());
            return 1;
        });
        // Buffer settings from the command line (--capture, --output,
        // --segments), else the module's own.
        if (std::FILE* f =
                g_params.empty() ? nullptr : std::fopen((program + "config.ini").c_str(), "w")) {
            std::fprintf(f, "[Mardrel: params]\r\n%s", g_params.c_str());
            std::fclose(f);
        }
        later.SetDialogDriver([](QWidget* d) { static_cast<QDialog*>(d)->reject(); });
    }
    ~Program() {
        app.reset();
        lacquer::UnloadSkin();
        fs::remove_all(dir);
    }
    shell::CMainFrame& Start() {
        const char* argv[] = {"sonvara"};
        app = std::make_unique<shell::CKelFrameApp>(1, argv, later);
        app->InitInstance();
        return *app->Frame();
    }
    void Command(unsigned id) {
        shell::CWindowMessageEvent message(shell::WM_COMMAND, id, 0);
        QCoreApplication::sendEvent(app->Frame(), &message);
    }
    void Close() {
        app->Frame()->close();
        app->ExitInstance(0);
        app.reset();
    }
};

int Latency() {
    Program p;
    const std::string input = p.dir + "bursts.wav", monitor = p.dir + "monitor.wav",
                      offline = p.dir + "offline.wav";
    if (!WriteBursts(input)) return 1;
    setenv("SONVARA_AUDIO_INPUT", ("wav:" + input).c_str(), 1);
    setenv("SONVARA_AUDIO_OUTPUT", ("wav:" + monitor).c_str(), 1);
    shell::CMainFrame& frame = p.Start();
    p.Command(kCmdLive);
    CExtMicro& micro = frame.Host().Micro().Engine();
    if (micro.GetState() != CExtMicro::kRecording) {
        std::fprintf(stderr, "live morphing did not start: %s\n", frame.StatusText().c_str());
        return 1;
    }
    const std::uint32_t captureBytes = micro.GetBufferSize();
    const std::uint32_t playerFrames = frame.Player().GetBufferSize() / 2;
    const std::uint32_t playerSegments = frame.Player().GetBufferCount();
    // Let the window thread run while the bursts play.
    QTest::qWait(static_cast<int>((kTotalSeconds + 0.5) * 1000));
    const std::string info =
        frame.findChild<QLabel*>(QStringLiteral("MardrelLiveInfo"))->text().toStdString();
    p.Command(kCmdLive);
    p.Close();

    const std::string fx =
        std::string("\"") + FX_PROGRAM + "\" --quiet \"" + input + "\" \"" + offline + "\"";
    if (std::system(fx.c_str()) != 0) return 1;
    const std::vector<float> played = ReadMono(monitor), morphed = ReadMono(offline),
                             in = ReadMono(input);
    const double ms = 1000.0 / kRate;
    double sum = 0.0, effectSum = 0.0;
    int count = 0;
    std::printf("burst  input(s)  monitor latency(ms)  effect offline offset(ms)\n");
    for (double start : kBurstSeconds) {
        const long a = Onset(in, start - 0.01), b = Onset(played, start - 0.01),
                   c = Onset(morphed, start - 0.2);
        if (a < 0 || b < 0 || c < 0) continue;
        std::printf("%5d  %8.3f  %19.1f  %25.1f\n", count + 1, a / double(kRate), (b - a) * ms,
                    (c - a) * ms);
        sum += static_cast<double>(b - a);
        effectSum += static_cast<double>(c - a);
        ++count;
    }
    if (!count) {
        std::fprintf(stderr, "no burst was heard in the monitor\n");
        return 1;
    }
    const double total = sum / count * ms;
    const double capture = captureBytes / 2.0 * ms;
    const double effect = (4195.0 + effectSum / count) * ms;
    std::printf("\nmicrophone to speaker: %.1f ms (mean of %d bursts)\n", total, count);
    std::printf("  capture buffer        %.1f ms (%u frames)\n", capture, captureBytes / 2);
    std::printf(
        "  effect                %.1f ms (priming 4195 frames = %.1f ms, offset %+.1f ms)\n",
        effect, 4195 * ms, effectSum / count * ms);
    std::printf("  monitor and player    %.1f ms (player: %u segments of %u frames = %.1f ms)\n",
                total - capture - effect, playerSegments, playerFrames,
                playerSegments * playerFrames * ms);
    std::printf("module: %s\n", info.c_str());
    return 0;
}

int Dropouts(int seconds) {
    Program p;
    setenv("SONVARA_AUDIO_INPUT", "tone:220", 1);
    setenv("SONVARA_AUDIO_OUTPUT", "null", 1);
    shell::CMainFrame& frame = p.Start();
    p.Command(kCmdLive);
    if (frame.Host().Micro().Engine().GetState() != CExtMicro::kRecording) return 1;
    QLabel* info = frame.findChild<QLabel*>(QStringLiteral("MardrelLiveInfo"));
    // The machine's load beside each line: late blocks under a load spike
    // tell of the machine, not of the module.
    const auto load = [] {
        char text[64] = "?";
        if (std::FILE* f = std::fopen("/proc/loadavg", "r")) {
            if (!std::fgets(text, sizeof text, f)) text[0] = '\0';
            std::fclose(f);
        }
        std::string s(text);
        return s.substr(0, s.find(' ', s.find(' ', s.find(' ') + 1) + 1));
    };
    for (int s = 0; s < seconds; s += 10) {
        QTest::qWait(10000);
        std::printf("load %s  %s\n", load().c_str(), info->text().toStdString().c_str());
        std::fflush(stdout);
    }
    p.Command(kCmdLive);
    p.Close();
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication qapp(argc, argv);
    int dropouts = 0;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string option = argv[i], value = argv[i + 1];
        if (option == "--dropouts")
            dropouts = std::atoi(value.c_str());
        else if (option == "--capture")
            g_params += "CaptureFrames=" + value + "\r\n";
        else if (option == "--output")
            g_params += "OutputFrames=" + value + "\r\n";
        else if (option == "--segments")
            g_params += "OutputBuffers=" + value + "\r\n";
    }
    return dropouts > 0 ? Dropouts(dropouts) : Latency();
}
