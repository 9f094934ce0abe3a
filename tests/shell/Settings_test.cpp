#include "platform/AtomicFile.h"
#include "shell/Settings.h"
#include "support/TempDir.h"

#include <cstring>
#include <gtest/gtest.h>
#include <strings.h>

namespace {

using shell::CSettings;

std::string Read(const std::string& path) {
    std::string s;
    platform::ReadWholeFile(path, s);
    return s;
}

class SettingsTest : public ::testing::Test {
protected:
    void SetUp() override {
        settings.SetPath(dir.file("config.ini"));
        settings.SetModuleNameTest(
            [](const char* name) { return ::strcasecmp(name, "Voice Lab") == 0; });
    }
    testsupport::TempDir dir;
    CSettings settings;
};

TEST_F(SettingsTest, FreshInstallationGivesFalseAndEmptyBuffer) {
    char buf[10];
    std::memset(buf, 'x', sizeof buf);
    EXPECT_FALSE(settings.GetParam("Main frame", "Size", buf, 10));
    EXPECT_STREQ(buf, "");
}

// A stranger must neither read nor write another owner's values, and must not
// even create the file.
TEST_F(SettingsTest, UnknownOwnerIsRefusedWithoutTouchingBufferOrFile) {
    char buf[10] = "keep";
    EXPECT_FALSE(settings.GetParam("Stranger", "Size", buf, 10));
    EXPECT_STREQ(buf, "keep");
    EXPECT_FALSE(settings.SetParam("Stranger", "Size", "Exact"));
    EXPECT_FALSE(settings.DeleteParam("Stranger", "Size"));
    std::string contents;
    EXPECT_FALSE(platform::ReadWholeFile(dir.file("config.ini"), contents));
}

// The section is named from the caller's text; profile look-ups ignore case,
// so both spellings reach the same values.
TEST_F(SettingsTest, ModuleOwnerMatchesWithoutRegardToCase) {
    ASSERT_TRUE(settings.SetParam("voice lab", "Level", "7"));
    char buf[16];
    EXPECT_TRUE(settings.GetParam("Voice Lab", "Level", buf, sizeof buf));
    EXPECT_STREQ(buf, "7");
    EXPECT_EQ(Read(dir.file("config.ini")), "[voice lab: params]\r\nLevel=7\r\n");
}

TEST_F(SettingsTest, GetParamTruncatesToBufferSize) {
    ASSERT_TRUE(settings.SetParam("Main frame", "Size", "Maximize"));
    char buf[4];
    EXPECT_TRUE(settings.GetParam("Main frame", "Size", buf, sizeof buf));
    EXPECT_STREQ(buf, "Max");
}

TEST_F(SettingsTest, DeleteParamRemovesOnlyFirstMatchingLineOfTheSection) {
    ASSERT_TRUE(platform::WriteFileAtomically(dir.file("config.ini"),
                                              "[Voice Lab: params]\r\nA=1\r\nAB=2\r\nA=3\r\n"
                                              "[Main frame: params]\r\nA=4\r\n"));
    EXPECT_TRUE(settings.DeleteParam("Voice Lab", "A"));
    EXPECT_EQ(Read(dir.file("config.ini")),
              "[Voice Lab: params]\r\nAB=2\r\nA=3\r\n[Main frame: params]\r\nA=4\r\n");
    // The header must match as written; no header means failure.
    EXPECT_FALSE(settings.DeleteParam("voice lab", "A"));
    EXPECT_TRUE(settings.DeleteParam("Main frame", "missing"));
}

TEST_F(SettingsTest, ModulesOrderBlanksSurplusKeysOfALongerOldList) {
    settings.WriteModulesOrder({"a", "b", "c", "d", "e"});
    settings.WriteModulesOrder({"x", "y", "z"});
    EXPECT_EQ(settings.GetString("MODULES_ORDER", "_1"), "x");
    EXPECT_EQ(settings.GetString("MODULES_ORDER", "_3"), "z");
    EXPECT_EQ(settings.GetString("MODULES_ORDER", "_4", "absent"), "");
    EXPECT_EQ(settings.GetString("MODULES_ORDER", "_5", "absent"), "");
    EXPECT_EQ(settings.GetString("MODULES_ORDER", "_6", "absent"), "absent");
}

TEST_F(SettingsTest, SwitchesAreOnOnlyForOnIgnoringCase) {
    settings.SetString("PLAYER", "EqualizerTurn", "oN");
    EXPECT_TRUE(settings.GetSwitch("PLAYER", "EqualizerTurn", false));
    settings.SetString("PLAYER", "EqualizerTurn", "yes");
    EXPECT_FALSE(settings.GetSwitch("PLAYER", "EqualizerTurn", true));
    EXPECT_TRUE(settings.GetSwitch("PLAYER", "Missing", true));
}

} // namespace
