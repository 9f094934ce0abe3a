// The surround settings without a window: the preset file, the mode probe and
// its fallback, the support notice, what each dialog control sends to the
// player, the restart around a change of channel count, and, through the
// real player on a WAV device, surround switched on while a tone plays.
#include "audio/ExtPlayerDX.h"
#include "audio/PlayerSurroundHost.h"
#include "audio/SurroundSettings.h"
#include "platform/Profile.h"
#include "platform/audio/TimedOutputDevice.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <numbers>
#include <string>
#include <vector>

namespace {

// Records what the settings do to the player, and answers the probe from a
// set of supported modes.
struct FakeHost : ISurroundHost {
    std::uint32_t supported = CSurroundSettings::kAllModes;
    bool turn = true;
    std::uint32_t state = 2;
    int slider = 0;
    std::vector<std::string> calls;
    std::vector<SurroundParams> paramSets;

    void Note(const std::string& s) { calls.push_back(s); }
    void SetSurroundOn(bool on) override { Note(on ? "on" : "off"); }
    void SetSurroundParams(const SurroundParams& p) override {
        paramSets.push_back(p);
        Note("params");
    }
    void SetSurroundParam(int id, int value) override {
        Note(std::to_string(id) + "=" + std::to_string(value));
    }
    void SetSoundPosition(float x, float y) override {
        char text[64];
        std::snprintf(text, sizeof text, "pos %g %g", x, y);
        Note(text);
    }
    bool SurroundTurn() const override { return turn; }
    void SetSurroundTurn(bool on) override {
        turn = on;
        Note(on ? "turn on" : "turn off");
    }
    bool SupportsLayout(int channels, std::uint32_t mask) override {
        for (int m = 0; m < CSurroundSettings::kModes; ++m)
            if (CSurroundSettings::ModeMask(m) == mask &&
                CSurroundSettings::ModeChannels(m) == channels)
                return (supported & (1u << (m + 1))) != 0;
        return false;
    }
    std::uint32_t PlayerState() override { return state; }
    void StopPlayer() override {
        state = 2;
        Note("stop");
    }
    void ReapplyFormat() override { Note("format"); }
    void PlayPlayer() override {
        state = 0;
        Note("play");
    }
    void PausePlayer() override {
        state = 1;
        Note("pause");
    }
    int PositionSlider() override { return slider; }
    void SetPositionSlider(int p) override { Note("slider " + std::to_string(p)); }
};

class SurroundSettingsTest : public ::testing::Test {
protected:
    void Write(const std::string& file, const std::string& text) { std::ofstream(file) << text; }
    void Config(const char* key, const char* value) {
        platform::WritePrivateProfileString("PLAYER", key, value, config.c_str());
    }
    std::string Read(const char* key) {
        char text[256];
        platform::GetPrivateProfileString("PLAYER", key, "", text, sizeof text, config.c_str());
        return text;
    }

    testsupport::TempDir dir;
    std::string config = dir.file("config.ini");
    std::string presetsFile = dir.file("Zuzuvezizu_presets.ini");
    FakeHost host;
};

const char* kPresets = "[1]\nName=Small Room\nRoomWidth=12.5\nRoomHeight=8\nSoundPosX=3\n"
                       "SoundPosY=2.5\nDelays=On\nReverberation=on\nAbsorbtionLevel=33\n"
                       "PositioningVolume=150\n"
                       "[2]\nName=----\nRoomWidth=99\n"
                       "[3]\nName=Hall\nRoomWidth=40\n"
                       "[5]\nName=Beyond the gap\n";

// The preset file: separators are kept as entries without values, the list
// ends at the first section without a name, and "on" is not "On" there.
TEST_F(SurroundSettingsTest, PresetFileKeepsSeparatorsAndEndsAtTheFirstGap) {
    Write(presetsFile, kPresets);
    const SurroundPresetList list = LoadSurroundPresets(presetsFile);
    ASSERT_EQ(list.size(), 3u);
    EXPECT_EQ(list[0].name, "Small Room");
    EXPECT_FLOAT_EQ(list[0].roomWidth, 12.5f);
    EXPECT_FLOAT_EQ(list[0].absorption, 0.33f);
    EXPECT_FLOAT_EQ(list[0].positioningVolume, 1.5f);
    EXPECT_FALSE(list[0].reverberation); // "on" is not "On" in this file
    EXPECT_TRUE(list[1].IsSeparator());
    EXPECT_FLOAT_EQ(list[1].roomWidth, 25.0f); // a separator's values are not read
    EXPECT_FLOAT_EQ(list[2].reverberationVolume, 1.87f);
    EXPECT_TRUE(LoadSurroundPresets(dir.file("missing.ini")).empty());
}

// The shipped preset file reads as a list that runs from small rooms to
// halls, with separators, and every room fits the room-size slider.
TEST_F(SurroundSettingsTest, ShippedPresetFileIsUsable) {
    const SurroundPresetList list =
        LoadSurroundPresets(std::string(SONVARA_SOURCE_DIR) + "/data/Zuzuvezizu_presets.ini");
    ASSERT_GE(list.size(), 5u);
    int separators = 0;
    for (const SurroundPreset& p : list) {
        if (p.IsSeparator()) {
            ++separators;
            continue;
        }
        EXPECT_GE(p.roomWidth * 10, 20) << p.name;
        EXPECT_LE(p.roomWidth * 10, 500) << p.name;
        EXPECT_LE(p.soundX, p.roomWidth) << p.name;
        EXPECT_LE(p.soundY, p.roomHeight) << p.name;
    }
    EXPECT_GE(separators, 1);
}

// 5.1 on a device with only 4.0 and 7.1 becomes 7.1, and the notice names
// the other four modes; the whole start-up sequence reaches the player.
TEST_F(SurroundSettingsTest, UnsupportedModeFallsBackInOrderAtStartUp) {
    Write(presetsFile, kPresets);
    Config("SurroundBasisPreset", "Small Room");
    Config("SurroundSoundPosX", "-1");
    host.supported = 0x02 | 0x20;
    CSurroundSettings s(config, presetsFile, host);
    s.LoadSettings(true);
    EXPECT_EQ(s.supportedModes, 0x22u);
    EXPECT_EQ(s.surroundMode, 4);
    EXPECT_TRUE(host.turn);
    // The preset first, then every setting in its order, then the position
    // (the basis preset's, since SurroundSoundPosX is -1).
    const std::vector<std::string> expected = {"params", "4=1599", "1=80",  "3=100",    "14=224",
                                               "15=21",  "16=101", "5=1",   "6=1",      "7=0",
                                               "11=200", "12=14",  "13=42", "pos 3 2.5"};
    EXPECT_EQ(host.calls, expected);
    EXPECT_TRUE(s.NeedsSupportNotice());
    EXPECT_EQ(CSurroundSettings::SupportNoticeText(s.supportedModes),
              "Your sound card doesn't support surround 4.1, 5.1, 6.1, 7.1 Front modes, which "
              "will be disabled.");
}

TEST_F(SurroundSettingsTest, NoticeTextsForOneSeveralAllAndNoModes) {
    EXPECT_EQ(CSurroundSettings::SupportNoticeText(0x7E & ~0x02u),
              "Your sound card doesn't support surround 4.0 mode, which will be disabled.");
    EXPECT_EQ(CSurroundSettings::SupportNoticeText(0x7E & ~0x06u),
              "Your sound card doesn't support surround 4.0, 4.1 modes, which will be disabled.");
    EXPECT_EQ(CSurroundSettings::SupportNoticeText(0x7E), "");
    // No mode at all: surround goes off and the notice says so.
    host.supported = 0;
    CSurroundSettings s(config, presetsFile, host);
    s.LoadSettings(true);
    EXPECT_FALSE(host.turn);
    EXPECT_EQ(CSurroundSettings::SupportNoticeText(s.supportedModes),
              "Your sound card does not support any surround modes. Zuzuvezizu will be "
              "disabled.");
    // A notice answered with "Do not show me again" stays away, also after a save.
    s.OnSupportNoticeClosed(true);
    EXPECT_FALSE(s.NeedsSupportNotice());
    ASSERT_TRUE(s.SaveSettings());
    EXPECT_EQ(Read("SurroundSupportFormatDlg"), "Off");
    // Everything supported: no notice even when it is still wanted.
    FakeHost all;
    CSurroundSettings t(dir.file("other.ini"), presetsFile, all);
    t.LoadSettings(true);
    EXPECT_FALSE(t.NeedsSupportNotice());
}

// Turning the reverberation off also turns "Advance Reverberation" off,
// tells the player both, and disables the reverberation controls.
TEST_F(SurroundSettingsTest, ReverberationOffClearsAdvanceAndDisablesItsControls) {
    Config("SurroundProcessAdvance", "on");
    CSurroundSettings s(config, presetsFile, host);
    s.LoadSettings(false);
    ASSERT_TRUE(s.processAdvance);
    ASSERT_TRUE(s.ReverbControlsEnabled());
    s.OnReverbToggled();
    EXPECT_FALSE(s.reverbOn);
    EXPECT_FALSE(s.processAdvance);
    EXPECT_FALSE(s.ReverbControlsEnabled());
    EXPECT_EQ(host.calls, (std::vector<std::string>{"5=0", "7=0"}));
    // Without a stored position or a preset to take one from, the sound
    // starts in the middle of the (20 m) room rather than in a corner.
    EXPECT_FLOAT_EQ(s.soundPosX, 10.0f);
    EXPECT_FLOAT_EQ(s.soundPosY, 10.0f);
}

// The room-size slider relabels while it moves but rebuilds the room only
// when released; the other sliders reach the player as they move, a page
// click included.
TEST_F(SurroundSettingsTest, RoomSizeSliderAppliesOnlyOnRelease) {
    CSurroundSettings s(config, presetsFile, host);
    s.LoadSettings(false);
    EXPECT_TRUE(s.OnSlider(CSurroundSettings::kRoomSizeSlider, 5, 300));
    EXPECT_TRUE(s.OnSlider(CSurroundSettings::kRoomSizeSlider, 5, 310));
    EXPECT_EQ(CSurroundSettings::Label(312, s.roomSize), "31.0 m.");
    EXPECT_TRUE(host.calls.empty());
    s.OnSlider(CSurroundSettings::kRoomSizeSlider, 8, 310);
    EXPECT_EQ(host.calls, (std::vector<std::string>{"11=310"}));
    host.calls.clear();
    s.OnSlider(CSurroundSettings::kAbsorbSlider, 5, 40);
    s.OnSlider(CSurroundSettings::kLfeFrequencySlider, 3, 120); // page down
    s.OnSlider(CSurroundSettings::kLfeFrequencySlider, 8, 120); // end of scroll: nothing new
    EXPECT_EQ(host.calls, (std::vector<std::string>{"12=40", "1=120"}));
    EXPECT_EQ(CSurroundSettings::Label(310, 120), "120 Hz");
    EXPECT_EQ(CSurroundSettings::Label(311, 55), "55 %");
}

// Choosing a preset copies it into the settings (RoomWidth 12.5 gives 125,
// shown as 12.5 m.), applies it whole, and is saved by name with the rest.
TEST_F(SurroundSettingsTest, ChosenPresetIsCopiedAppliedAndSaved) {
    Write(presetsFile, kPresets);
    CSurroundSettings s(config, presetsFile, host);
    s.LoadSettings(false);
    EXPECT_FALSE(s.ChoosePreset(1)); // the separator
    ASSERT_TRUE(s.ChoosePreset(0));
    EXPECT_EQ(s.roomSize, 125);
    EXPECT_EQ(CSurroundSettings::Label(312, s.roomSize), "12.5 m.");
    EXPECT_EQ(s.revAbsorb, 33);
    EXPECT_EQ(s.volPositioning, 150);
    ASSERT_EQ(host.paramSets.size(), 1u);
    EXPECT_FLOAT_EQ(host.paramSets[0].roomWidth, 12.5f);
    EXPECT_FLOAT_EQ(host.paramSets[0].soundX, 3.0f);
    ASSERT_TRUE(s.SaveSettings());
    EXPECT_EQ(Read("SurroundBasisPreset"), "Small Room");
    EXPECT_EQ(Read("SurroundRevSize"), "125");
    EXPECT_EQ(Read("SurroundSoundPosX"), "3.000000");
    EXPECT_EQ(Read("SurroundReverb"), "Off");
    // A fresh object (as after each showing of the dialog) reads it all back.
    CSurroundSettings again(config, presetsFile, host);
    again.LoadSettings(false);
    EXPECT_EQ(again.BasisPresetIndex(), 0);
    EXPECT_EQ(again.roomSize, 125);
    EXPECT_FLOAT_EQ(again.soundPosY, 2.5f);
}

// A mode change while paused stops the player, sends the mask, gives the
// player its format again and resumes paused with the slider put back;
// while stopped it only sends the mask and the format.
TEST_F(SurroundSettingsTest, ModeChangeRestartsPlaybackAsItWas) {
    CSurroundSettings s(config, presetsFile, host);
    s.LoadSettings(false);
    host.state = 1;
    host.slider = 77;
    s.OnModeChosen(0);
    EXPECT_EQ(host.calls,
              (std::vector<std::string>{"stop", "4=51", "format", "play", "slider 77", "pause"}));
    EXPECT_FALSE(s.LfeControlsEnabled());
    host.calls.clear();
    s.OnTurnToggled();
    EXPECT_EQ(host.calls, (std::vector<std::string>{"stop", "turn off", "off", "format", "play",
                                                    "slider 77", "pause"}));
    host.calls.clear();
    host.state = 2;
    s.OnModeChosen(4);
    EXPECT_EQ(host.calls, (std::vector<std::string>{"4=1599", "format"}));
}

// The marker lands on whole metres of the room, and a view without a size
// moves nothing.
TEST_F(SurroundSettingsTest, MarkerDragGivesWholeMetres) {
    CSurroundSettings s(config, presetsFile, host);
    s.LoadSettings(false);
    s.OnSlider(CSurroundSettings::kRoomSizeSlider, 5, 125);
    s.OnMarkerDragged(100, 37, 200, 100);
    EXPECT_FLOAT_EQ(s.soundPosX, 6.0f); // (12 x 100) / 200
    EXPECT_FLOAT_EQ(s.soundPosY, 4.0f); // (12 x 37) / 100
    EXPECT_EQ(host.calls.back(), "pos 6 4");
    s.OnMarkerDragged(10, 10, 0, 0);
    EXPECT_EQ(host.calls.back(), "pos 6 4");
}

// What a listener hears at a switch: the biggest jump between neighbouring
// samples of a WAV the device wrote, counting the silence before the first
// sample, and the jump to the silence after the last (the device stopped).
struct Heard {
    int channels = 0;
    float biggestStep = 0;
    float endStep = 0;
    float loudest = 0;
    std::size_t frames = 0;
};

Heard Listen(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    Heard h;
    if (bytes.size() < 44) return h;
    h.channels = bytes[22];
    const auto* pcm = reinterpret_cast<const std::int16_t*>(bytes.data() + 44);
    h.frames = (bytes.size() - 44) / (2 * h.channels);
    for (int c = 0; c < h.channels; ++c) {
        float previous = 0;
        for (std::size_t i = 0; i < h.frames; ++i) {
            const float v = pcm[i * h.channels + c] / 32768.0f;
            h.biggestStep = std::max(h.biggestStep, std::abs(v - previous));
            h.loudest = std::max(h.loudest, std::abs(v));
            previous = v;
        }
        h.endStep = std::max(h.endStep, std::abs(previous));
    }
    return h;
}

// Surround switched on and off again while a tone plays, through the real
// player and the WAV device: stereo, then six channels (5.1), then stereo.
// Each run ends by dying away and the next starts from silence, the
// reflections of the surround run included, so no jump is bigger than the
// tone's own steepest step (0.031) with some room: 0.05 of full scale, where
// a cut mid-wave jumps by up to 0.5.
TEST(SurroundOnWavDevice, SwitchingSurroundOnAndOffChangesTheChannelCountWithoutAClick) {
    testsupport::TempDir dir;
    std::vector<platform::audio::WavOutputDevice*> devices;
    int runs = 0;
    CExtPlayerDX player([&](std::string*) {
        auto d = std::make_unique<platform::audio::WavOutputDevice>(
            dir.file("run" + std::to_string(++runs) + ".wav"),
            platform::audio::TimedOutputDevice::Clock::Manual);
        devices.push_back(d.get());
        return d;
    });
    ASSERT_EQ(player.SetBufferSize(4410 * 4), 0u);
    struct Tone {
        std::uint32_t next = 0;
        static std::uint32_t Callback(void* user, StreamBuffer* b, std::uint32_t) {
            auto* self = static_cast<Tone*>(user);
            if (b->channels.empty()) return 0;
            for (std::uint32_t i = 0; i < b->frames; ++i) {
                const float v = 0.5f * static_cast<float>(std::sin(2 * std::numbers::pi * 437 *
                                                                   (self->next + i) / 44100));
                for (float* c : b->channels)
                    c[i] = v;
            }
            self->next += b->frames;
            b->valid = b->frames;
            return b->frames;
        }
    } tone;
    ASSERT_EQ(player.SetStreamCallback(&Tone::Callback, &tone), 0u);
    CPlayerSurroundHost host(player, [](int, std::uint32_t) { return true; });
    CSurroundSettings settings(dir.file("config.ini"), dir.file("none.ini"), host);
    settings.LoadSettings(true);
    // Segments of 4410 bytes of the run's own frames: each notification
    // refills one before the next plays.
    const auto playSegments = [&](std::uint32_t frames) {
        for (std::uint64_t n = 1; n <= 9; ++n) {
            devices.back()->Advance(frames);
            ASSERT_TRUE(player.WaitForNotificationsHandled(n));
        }
    };
    ASSERT_EQ(player.Play(), 0u);
    ASSERT_EQ(devices.back()->Channels(), 2);
    playSegments(4410);

    settings.OnTurnToggled(); // fade, stop, surround on, format again, play
    ASSERT_EQ(player.GetState(), CExtPlayer::kPlaying);
    ASSERT_EQ(runs, 2);
    EXPECT_EQ(devices.back()->Channels(), 6);
    playSegments(1470);

    settings.OnTurnToggled(); // and back to stereo
    ASSERT_EQ(player.GetState(), CExtPlayer::kPlaying);
    ASSERT_EQ(runs, 3);
    EXPECT_EQ(devices.back()->Channels(), 2);
    playSegments(4410);
    ASSERT_EQ(player.Stop(1), 0u);

    const int channels[] = {2, 6, 2};
    for (int run = 1; run <= 3; ++run) {
        SCOPED_TRACE("run " + std::to_string(run));
        const Heard h = Listen(dir.file("run" + std::to_string(run) + ".wav"));
        EXPECT_EQ(h.channels, channels[run - 1]);
        EXPECT_GE(h.frames, 9u * 1470);
        EXPECT_GT(h.loudest, 0.05f);
        EXPECT_LT(h.biggestStep, 0.05f);
        // The last run ends with a plain Stop, which cuts where it is.
        if (run < 3) {
            EXPECT_LT(h.endStep, 0.05f);
        }
    }
}

} // namespace
