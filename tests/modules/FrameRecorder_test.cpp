// Recording through the whole running program, offscreen: the real
// application and frame start in a scratch program folder whose Modules
// folder holds the recorder and tone modules; the Record button's command
// goes through the frame, the recorder module takes the microphone, the
// configured wav: input device plays a known file into the recorder, and
// the module writes what its callback receives into its own WAV file.
#include "audio/ExtMicro.h"
#include "libs/lacquer/Lacquer.h"
#include "libs/trestle/TrestleMessageBox.h"
#include "libs/veneer/Controls.h"
#include "modules/ModuleHost.h"
#include "modules/ShellBridge.h"
#include "platform/Paths.h"
#include "shell/KelFrameApp.h"
#include "shell/MainFrame.h"
#include "shell/WindowMessage.h"
#include "sonvara/Messages.h"
#include "support/TempDir.h"
#include "support/WavFile.h"
#include "ui/ControlTable.h"
#include "ui/FrameControls.h"

#include <QCoreApplication>
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>

namespace {

namespace fs = std::filesystem;

class FrameRecorder : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(program + "Modules");
        fs::create_directories(settingsDir);
        fs::copy(SONVARA_SKINS_DIR, program + "Skins", fs::copy_options::recursive);
        // The in-tree build, or the one the SDK install check built.
        const char* recorder = std::getenv("SONVARA_RECORDER_MODULE");
        fs::create_symlink(recorder && *recorder ? recorder : RECORDER_MODULE,
                           program + "Modules/Recorder.so");
        fs::create_symlink(TONE_MODULE, program + "Modules/Tone.so");
        platform::SetProgramDirectory(program);
        platform::SetSettingsDirectory(settingsDir);
        trestle::SetMessageBoxHook([](const trestle::MessageBoxRequest&) { return 1; });
        setenv("SONVARA_AUDIO_INPUT", ("wav:" + inputPath).c_str(), 1);
        setenv("SONVARA_RECORDER_WAV", outputPath.c_str(), 1);
        setenv("SONVARA_RECORDER_BUFFER_BYTES", std::to_string(kBufferBytes).c_str(), 1);
    }
    void TearDown() override {
        app.reset();
        for (const char* v :
             {"SONVARA_AUDIO_INPUT", "SONVARA_RECORDER_WAV", "SONVARA_RECORDER_BUFFER_BYTES"})
            unsetenv(v);
        trestle::SetMessageBoxHook(nullptr);
        lacquer::UnloadSkin();
        platform::SetProgramDirectory("");
        platform::SetSettingsDirectory("");
    }

    shell::CMainFrame& Start() {
        const char* argv[] = {"sonvara"};
        app = std::make_unique<shell::CKelFrameApp>(1, argv, later);
        EXPECT_TRUE(app->InitInstance());
        return *app->Frame();
    }
    void Command(unsigned id) {
        shell::CWindowMessageEvent message(shell::WM_COMMAND, id, 0);
        QCoreApplication::sendEvent(app->Frame(), &message);
    }
    void CloseAndExit() {
        app->Frame()->close();
        app->ExitInstance(0);
        app.reset();
    }
    bool RecordEnabled() {
        const auto buttons = app->Frame()->Controls().FindControls(ui::kIdPlayerRecord);
        return !buttons.empty() && buttons.front()->GetWnd()->isEnabled();
    }

    static constexpr std::uint32_t kBufferBytes = 4410; // 50 ms of 16-bit mono
    testsupport::TempDir dir;
    std::string program = dir.file("app/");
    std::string settingsDir = dir.file("settings/");
    std::string inputPath = dir.file("in.wav");
    std::string outputPath = dir.file("recorded.wav");
    modules::CModuleHostBridge later;
    std::unique_ptr<shell::CKelFrameApp> app;
};

// What is recorded is the input, sample for sample from the first sample
// of the recording (the wav: device starts with the recording, so there is
// no offset); the capture latency is one buffer, after which the buffer
// holding the end of the file is delivered padded with silence.
TEST_F(FrameRecorder, RecordButtonRecordsTheInputFileSampleForSampleThroughTheModule) {
    // 0.25 s of distinct, never silent samples.
    std::vector<std::int16_t> input(11025);
    std::uint32_t seed = 12345;
    for (auto& s : input) {
        seed = seed * 1103515245u + 12345u;
        s = static_cast<std::int16_t>(((seed >> 16) % 30000) + 1);
    }
    ASSERT_TRUE(testsupport::WriteWav(inputPath, 1, 44100, 16, input.data(), input.size() * 2));

    shell::CMainFrame& frame = Start();
    modules::CModuleHost& host = frame.Host();
    ASSERT_EQ(host.Count(), 2u);
    ASSERT_NE(host.GetActiveModule(), nullptr);
    ASSERT_EQ(host.GetActiveModule()->Name, "Recorder");
    EXPECT_TRUE(RecordEnabled());
    // The tone module does not ask for the button.
    Command(sonvara::ID_MODULE_FIRST + 1);
    EXPECT_FALSE(RecordEnabled());
    Command(sonvara::ID_MODULE_FIRST);
    EXPECT_TRUE(RecordEnabled());

    Command(sonvara::ID_PLAYER_RECORD);
    CExtMicro& micro = host.Micro().Engine();
    ASSERT_EQ(micro.GetState(), CExtMicro::kRecording) << micro.GetDeviceError();
    EXPECT_STREQ(host.Micro().GetMicroOwner(), "Recorder");
    EXPECT_EQ(frame.StatusText(), "Recorder: recording");
    // The shipped skins with the Record button enabled.
    fs::create_directories(SCREENSHOT_DIR);
    for (int skin = 0; skin < 2; ++skin) {
        const std::string name = frame.Skins().Skins()[frame.Skins().CurrentIndex()].name;
        EXPECT_TRUE(RecordEnabled()) << name;
        EXPECT_TRUE(frame.grab().save(
            QString::fromStdString(SCREENSHOT_DIR "/recording-" + name + ".png")));
        Command(static_cast<unsigned>(ui::kSkinCommandFirst + (frame.Skins().CurrentIndex() ^ 1)));
    }

    // The file's buffers and one more; the device plays in real time, this
    // only bounds a broken recorder.
    const std::uint64_t buffers = (input.size() * 2 + kBufferBytes - 1) / kBufferBytes + 1;
    ASSERT_TRUE(micro.WaitForDelivered(buffers, 30000));
    Command(sonvara::ID_PLAYER_RECORD); // the module stops and completes its file
    EXPECT_EQ(micro.GetState(), CExtMicro::kStopped);
    EXPECT_EQ(host.Micro().GetMicroOwner(), nullptr);
    CloseAndExit();

    testsupport::WavData wav;
    ASSERT_TRUE(testsupport::ReadWav(outputPath, wav));
    EXPECT_EQ(wav.channels, 1);
    EXPECT_EQ(wav.rate, 44100u);
    ASSERT_GE(wav.samples.size(), buffers * kBufferBytes / 2);
    EXPECT_EQ(wav.samples.size() % (kBufferBytes / 2), 0u);
    for (std::size_t i = 0; i < input.size(); ++i)
        ASSERT_EQ(wav.samples[i], input[i]) << "sample " << i;
    for (std::size_t i = input.size(); i < wav.samples.size(); ++i)
        ASSERT_EQ(wav.samples[i], 0) << "sample " << i;
}

// An input device that cannot open is told in the status line, and the
// recorder is not left looking as if it records.
TEST_F(FrameRecorder, AnInputDeviceThatCannotOpenIsToldInTheStatusLine) {
    setenv("SONVARA_AUDIO_INPUT",
           "wav:"
           "/nonexistent/in.wav",
           1);
    shell::CMainFrame& frame = Start();
    Command(sonvara::ID_PLAYER_RECORD);
    EXPECT_EQ(frame.Host().Micro().Engine().GetState(), CExtMicro::kFailed);
    EXPECT_NE(frame.StatusText().find("Cannot open the recording device"), std::string::npos)
        << frame.StatusText();
    EXPECT_NE(frame.StatusText().find("/nonexistent/in.wav"), std::string::npos);
    CloseAndExit();
}

} // namespace
