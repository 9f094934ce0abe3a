#include "audio/EqualizerController.h"

#include "platform/Profile.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <array>
#include <fstream>
#include <vector>

namespace {

// Stands in for the skin's sliders and buttons: one slider per band unless
// a band is marked missing.
class FakeControls : public IEqualizerControls {
public:
    std::array<int, 10> sliders{};
    std::array<bool, 10> present{};
    bool turnChecked = false;
    bool enabled = true;

    FakeControls() {
        sliders.fill(100);
        present.fill(true);
    }
    std::optional<int> GetBandPosition(int band) const override {
        if (!present[band]) return std::nullopt;
        return sliders[band];
    }
    void SetBandPosition(int band, int position) override { sliders[band] = position; }
    void SetTurnChecked(bool checked) override { turnChecked = checked; }
    void SetEqualizerEnabled(bool on) override { enabled = on; }
};

struct Applied {
    std::array<float, 10> gains{};
    int count = 0;
    bool on = false;
};

class EqualizerControllerTest : public ::testing::Test {
protected:
    testsupport::TempDir dir;
    std::string config = dir.file("config.ini");
    std::string presetsFile = dir.file("Equalizer_presets.ini");
    FakeControls controls;
    std::vector<Applied> applied;

    CEqualizerController::PlayerSink Sink() {
        return [this](const float* gains, int count, bool on) {
            Applied a;
            std::copy(gains, gains + 10, a.gains.begin());
            a.count = count;
            a.on = on;
            applied.push_back(a);
        };
    }

    std::string Read(const char* key) {
        char buf[64];
        platform::GetPrivateProfileString("PLAYER", key, "<none>", buf, sizeof buf, config.c_str());
        return buf;
    }
};

void WriteText(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

} // namespace

TEST_F(EqualizerControllerTest, StateLoadsIntoSlidersAndSurvivesASaveRoundTrip) {
    WriteText(config, "[PLAYER]\r\nEqualizerTurn=oN\r\nEqualizerBand1=0\r\nEqualizerBand3=150\r\n"
                      "EqualizerBand10=200\r\nEqualizerBand5=-20\r\n");
    {
        CEqualizerController c(config, presetsFile, Sink());
        c.SetControls(&controls);
        c.LoadEqualizerTurn();
        c.LoadEqualizerState();
        EXPECT_TRUE(c.IsOn());
        EXPECT_TRUE(controls.turnChecked);
        EXPECT_EQ(controls.sliders[0], 0);
        EXPECT_EQ(controls.sliders[2], 150);
        EXPECT_EQ(controls.sliders[4], 0); // a negative entry clamps to the boost end
        EXPECT_EQ(controls.sliders[9], 200);
        EXPECT_EQ(controls.sliders[1], 100); // missing keys are flat
        ASSERT_EQ(applied.size(), 1u);
        EXPECT_EQ(applied[0].count, 10);
        EXPECT_TRUE(applied[0].on);
        EXPECT_FLOAT_EQ(applied[0].gains[0], 2.0f);
        EXPECT_FLOAT_EQ(applied[0].gains[1], 1.0f);
        EXPECT_FLOAT_EQ(applied[0].gains[2], 0.5f);
        EXPECT_FLOAT_EQ(applied[0].gains[9], 0.0f);

        controls.sliders[6] = 42; // the user moves a slider
        EXPECT_TRUE(c.SaveEqualizerState());
        c.OnTurnPressed();
        EXPECT_TRUE(c.SaveEqualizerTurn());
    }
    EXPECT_EQ(Read("EqualizerBand1"), "0");
    EXPECT_EQ(Read("EqualizerBand5"), "0");
    EXPECT_EQ(Read("EqualizerBand7"), "42");
    EXPECT_EQ(Read("EqualizerBand10"), "200");
    EXPECT_EQ(Read("EqualizerTurn"), "Off");

    FakeControls fresh;
    applied.clear();
    CEqualizerController again(config, presetsFile, Sink());
    again.SetControls(&fresh);
    again.LoadEqualizerTurn();
    again.LoadEqualizerState();
    EXPECT_FALSE(again.IsOn());
    EXPECT_EQ(fresh.sliders[6], 42);
    EXPECT_FLOAT_EQ(applied.back().gains[6], 1.58f);
}

// The button, the flag and the enabled state of the sliders must agree after
// every press, whatever the button did on its own when clicked.
TEST_F(EqualizerControllerTest, TurnPressTogglesApplyAndEnabledState) {
    CEqualizerController c(config, presetsFile, Sink());
    c.SetControls(&controls);
    c.LoadEqualizerTurn();
    c.UpdateEqualizerEnable();
    EXPECT_FALSE(controls.enabled);

    controls.sliders[3] = 0;
    c.OnTurnPressed();
    EXPECT_TRUE(c.IsOn());
    EXPECT_TRUE(controls.turnChecked);
    EXPECT_TRUE(controls.enabled);
    ASSERT_EQ(applied.size(), 1u);
    EXPECT_TRUE(applied[0].on);
    EXPECT_FLOAT_EQ(applied[0].gains[3], 2.0f);

    c.OnTurnPressed();
    EXPECT_FALSE(controls.turnChecked);
    EXPECT_FALSE(controls.enabled);
    EXPECT_FALSE(applied.back().on);
}

// A skin without sliders must neither crash nor lose the stored positions.
TEST_F(EqualizerControllerTest, WithoutSlidersTheStoredPositionsAreKept) {
    WriteText(config, "[PLAYER]\nEqualizerBand2=30\n");
    CEqualizerController c(config, presetsFile, Sink());
    c.LoadEqualizerState();
    EXPECT_EQ(c.GetPosition(1), 30);
    controls.present.fill(false);
    c.SetControls(&controls);
    EXPECT_FALSE(c.OnSliderScroll(14010)); // the volume slider is not ours
    EXPECT_TRUE(c.OnSliderScroll(16010));
    EXPECT_FLOAT_EQ(applied.back().gains[1], 1.7f);
    EXPECT_TRUE(c.SaveEqualizerState());
    EXPECT_EQ(Read("EqualizerBand2"), "30");
}

TEST_F(EqualizerControllerTest, PresetMenuChecksTheMatchingPresetButNeverTheFirst) {
    WriteText(presetsFile, "[1]\nName=Flat\n"
                           "[2]\nName=----\n"
                           "[3]\nName=Bass\nBand1=40\nBand2=60\n"
                           "[4]\nName=Also flat\n");
    CEqualizerController c(config, presetsFile, Sink());
    c.SetControls(&controls);

    std::vector<CEqualizerController::PresetMenuItem> menu = c.BuildPresetMenu();
    ASSERT_EQ(menu.size(), 4u);
    EXPECT_EQ(menu[0].id, 1);
    EXPECT_EQ(menu[0].text, "Flat");
    EXPECT_FALSE(menu[0].checked); // matches, but the first is never checked
    EXPECT_TRUE(menu[1].separator);
    EXPECT_FALSE(menu[1].checked);
    EXPECT_FALSE(menu[2].checked);
    EXPECT_TRUE(menu[3].checked);

    EXPECT_FALSE(c.ChoosePreset(0)); // cancelled
    EXPECT_FALSE(c.ChoosePreset(2)); // separator
    EXPECT_FALSE(c.ChoosePreset(5));
    EXPECT_TRUE(applied.empty());

    EXPECT_TRUE(c.ChoosePreset(3));
    EXPECT_EQ(controls.sliders[0], 40);
    EXPECT_EQ(controls.sliders[1], 60);
    EXPECT_EQ(controls.sliders[2], 100);
    ASSERT_EQ(applied.size(), 1u);
    EXPECT_FLOAT_EQ(applied[0].gains[0], 1.6f);

    menu = c.BuildPresetMenu();
    EXPECT_TRUE(menu[2].checked);
    EXPECT_FALSE(menu[3].checked);
}
