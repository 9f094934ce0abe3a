// The parts of sonvara-fx that turn words into numbers: tones, laws, the
// settings options and the progress bar's text.
#include "tools/fx/Options.h"
#include "tools/fx/ProgressBar.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// Tones are written as semitones but stored as indexes counted from +6
// downwards; an off-by-sign here would shift the voice the wrong way.
TEST(FxOptions, TonesMapSemitonesToIndexes) {
    int index = -1;
    EXPECT_TRUE(fx::ParseTone("+6", index));
    EXPECT_EQ(index, 0);
    EXPECT_TRUE(fx::ParseTone("+2", index));
    EXPECT_EQ(index, 4);
    EXPECT_TRUE(fx::ParseTone("0", index));
    EXPECT_EQ(index, 6);
    EXPECT_TRUE(fx::ParseTone("-2", index));
    EXPECT_EQ(index, 8);
    EXPECT_TRUE(fx::ParseTone("-6", index));
    EXPECT_EQ(index, 12);
    for (const char* bad : {"+7", "-7", "", "+", "-", "2.5", "two", " 2", "2 "})
        EXPECT_FALSE(fx::ParseTone(bad, index)) << bad;
}

TEST(FxOptions, LawsByNameOrNumber) {
    int law = -1;
    EXPECT_TRUE(fx::ParseLaw("Periodic", law));
    EXPECT_EQ(law, 1);
    EXPECT_TRUE(fx::ParseLaw("ONCE", law));
    EXPECT_EQ(law, 3);
    EXPECT_TRUE(fx::ParseLaw("2", law));
    EXPECT_EQ(law, 2);
    EXPECT_FALSE(fx::ParseLaw("4", law));
    EXPECT_FALSE(fx::ParseLaw("drum", law));
}

TEST(FxOptions, SettingsOptionsBecomePresetKeysInOrder) {
    fx::ParseResult r =
        fx::ParseOptions({"--speed=20", "--law", "twice", "--first-tone", "+3", "--second-tone=-1",
                          "--threshold", "0", "--rate", "5", "--set", "Rate=9", "a.wav", "b.flac"});
    ASSERT_EQ(r.error, "");
    using Pairs = std::vector<std::pair<std::string, std::string>>;
    EXPECT_EQ(r.options.settings, (Pairs{{"Speed", "20"},
                                         {"Drums", "2"},
                                         {"FirstTone", "3"},
                                         {"SecondTone", "7"},
                                         {"Threshold", "0"},
                                         {"Rate", "5"},
                                         {"Rate", "9"}}));
    EXPECT_EQ(r.options.input, "a.wav");
    EXPECT_EQ(r.options.output, "b.flac");
}

TEST(FxOptions, FileNamesAfterDoubleDashMayStartWithADash) {
    fx::ParseResult r = fx::ParseOptions({"--", "-in.wav", "-out.wav"});
    ASSERT_EQ(r.error, "");
    EXPECT_EQ(r.options.input, "-in.wav");
    EXPECT_EQ(r.options.output, "-out.wav");
}

TEST(FxOptions, SavingAnIniPresetTakesTheReadSectionWhenNoneIsNamed) {
    fx::ParseResult r = fx::ParseOptions(
        {"--preset-ini", "p.ini", "--section", "Warm", "--save-preset-ini", "q.ini"});
    ASSERT_EQ(r.error, "");
    EXPECT_EQ(r.options.saveSection, "Warm");
    EXPECT_NE(fx::ParseOptions({"--save-preset-ini", "q.ini"}).error, "");
}

// The bar must never be wider than the terminal, or every redraw wraps onto
// a new line.
TEST(FxProgressBar, FitsTheWidthAndEndsAtTheTotal) {
    for (int width : {20, 40, 80, 200}) {
        std::string line = fx::ProgressBar::Render(500, 1000, 10, width, 3.0);
        EXPECT_LT(static_cast<int>(line.size()), std::max(width, 40)) << line;
        EXPECT_NE(line.find(" 50%"), std::string::npos) << line;
    }
    EXPECT_EQ(fx::ProgressBar::Render(2000, 1000, 10, 30, -1.0), "100%  1:40 / 1:40");
    EXPECT_EQ(fx::ProgressBar::Render(3600 * 10, 0, 10, 80, -1.0), "processed 1:00:00");
}

} // namespace
