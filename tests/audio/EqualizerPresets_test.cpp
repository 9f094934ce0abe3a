#include "audio/EqualizerPresets.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace {

void WriteText(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

} // namespace

// The list ends at the first section without a name, even when later
// sections exist; missing bands are flat; "----" is a separator.
TEST(EqualizerPresets, ListEndsAtFirstSectionWithoutName) {
    testsupport::TempDir dir;
    const std::string file = dir.file("Equalizer_presets.ini");
    WriteText(file, "[1]\r\nName=Rock\r\nBand1=70\r\nBand10=60\r\n"
                    "[2]\r\nName=----\r\n"
                    "[3]\r\nBand1=0\r\n"
                    "[4]\r\nName=Hidden\r\n");
    const EqualizerPresetList presets = LoadEqualizerPresets(file);
    ASSERT_EQ(presets.size(), 2u);
    EXPECT_EQ(presets[0]->GetName(), "Rock");
    EXPECT_FALSE(presets[0]->IsSeparator());
    EXPECT_EQ(presets[0]->GetBand(0), 70);
    for (int b = 1; b < 9; ++b)
        EXPECT_EQ(presets[0]->GetBand(b), 100) << b;
    EXPECT_EQ(presets[0]->GetBand(9), 60);
    EXPECT_TRUE(presets[1]->IsSeparator());
    EXPECT_EQ(presets[1]->GetBand(4), 100);
}

TEST(EqualizerPresets, EmptyNameEndsTheListAndMissingFileGivesNone) {
    testsupport::TempDir dir;
    const std::string file = dir.file("p.ini");
    WriteText(file, "[1]\nName=A\n[2]\nName=\n[3]\nName=C\n");
    EXPECT_EQ(LoadEqualizerPresets(file).size(), 1u);

    WriteText(file, "[2]\nName=B\n");
    EXPECT_TRUE(LoadEqualizerPresets(file).empty());
    EXPECT_TRUE(LoadEqualizerPresets(dir.file("absent.ini")).empty());
}

// A hand-edited position outside 0..200 would become a negative gain or a
// boost of hundreds of decibels; it is clamped to the slider range.
TEST(EqualizerPresets, PositionsOutsideTheSliderRangeAreClamped) {
    testsupport::TempDir dir;
    const std::string file = dir.file("p.ini");
    WriteText(file, "[1]\nName=Wild\nBand1=-40\nBand2=900\nBand3=200\nBand4=0\nBand5=abc\n");
    const EqualizerPresetList presets = LoadEqualizerPresets(file);
    ASSERT_EQ(presets.size(), 1u);
    EXPECT_EQ(presets[0]->GetBand(0), 0);
    EXPECT_EQ(presets[0]->GetBand(1), 200);
    EXPECT_EQ(presets[0]->GetBand(2), 200);
    EXPECT_EQ(presets[0]->GetBand(3), 0);
    EXPECT_EQ(presets[0]->GetBand(4), 0); // no digits read as 0, as the profile reader does
    EXPECT_EQ(presets[0]->GetBand(-1), 100);
    EXPECT_EQ(presets[0]->GetBand(10), 100);
}

// The file we ship: flat first, then named presets with separators between
// groups, every section reachable (no gap in the numbering).
TEST(EqualizerPresets, ShippedFileStartsFlatAndHasSeparators) {
    const std::filesystem::path shipped =
        std::filesystem::path(SONVARA_SOURCE_DIR) / "data/Equalizer_presets.ini";
    ASSERT_TRUE(std::filesystem::exists(shipped)) << shipped;
    const EqualizerPresetList presets = LoadEqualizerPresets(shipped.string());
    ASSERT_GE(presets.size(), 10u);
    EXPECT_EQ(presets[0]->GetName(), "Flat");
    for (int b = 0; b < 10; ++b)
        EXPECT_EQ(presets[0]->GetBand(b), 100);
    int separators = 0;
    for (const auto& p : presets) {
        if (p->IsSeparator()) ++separators;
        EXPECT_FALSE(p->GetName().empty());
    }
    EXPECT_GE(separators, 1);
    EXPECT_FALSE(presets.back()->IsSeparator());

    std::ifstream in(shipped);
    std::string text((std::istreambuf_iterator<char>(in)), {});
    EXPECT_EQ(text.find("[" + std::to_string(presets.size() + 1) + "]"), std::string::npos)
        << "a section after a gap would never be loaded";
}
