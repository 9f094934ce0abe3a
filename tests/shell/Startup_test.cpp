// The window-free start-up rules: command line, language libraries,
// Language.xml, the string table, the stored placement and the status line.
#include "platform/AtomicFile.h"
#include "platform/DynamicLibrary.h"
#include "shell/CommandLine.h"
#include "shell/LanguageLibrary.h"
#include "shell/Languages.h"
#include "shell/Placement.h"
#include "shell/StatusLine.h"
#include "shell/StringTable.h"
#include "support/TempDir.h"
#include "xml/XmlNode.h"

#include <cstring>
#include <filesystem>
#include <gtest/gtest.h>

namespace {

namespace fs = std::filesystem;
using namespace shell;

TEST(CommandLine, SortsFlagsAndFilesAndLetsRegWinOverUnreg) {
    CKelCommandLineInfo info;
    const char* argv[] = {"sonvara", "/UNREG", "song one.wav", "-reg", "/nostart", "b.mp3"};
    info.ParseCommandLine(6, argv);
    EXPECT_EQ(info.Flags(), (std::vector<std::string>{"UNREG", "reg", "nostart"}));
    EXPECT_EQ(info.Parameters(), (std::vector<std::string>{"song one.wav", "b.mp3"}));
    EXPECT_TRUE(info.HasFlag("NoStart"));
    EXPECT_EQ(RegistrationFlag(info), RegistrationRequest::Register);

    CKelCommandLineInfo unreg;
    unreg.ParseParam("-Unreg");
    EXPECT_EQ(RegistrationFlag(unreg), RegistrationRequest::Unregister);
    EXPECT_EQ(RegistrationFlag(CKelCommandLineInfo{}), RegistrationRequest::None);
}

// A copy into a buffer one byte short must fail whole, not cut the path.
// Absolute paths begin with '/' here; taking them for flags would lose every
// file handed to the program by a file manager.
TEST(CommandLine, AbsolutePathsAreFilesNotFlags) {
    CKelCommandLineInfo info;
    info.ParseParam("/home/me/song.wav");
    info.ParseParam("/reg");
    info.ParseParam("/");
    info.ParseParam("-");
    info.ParseParam("/tmp"); // exists: a folder, not a flag
    EXPECT_EQ(info.Flags(), (std::vector<std::string>{"reg"}));
    EXPECT_EQ(info.Parameters(), (std::vector<std::string>{"/home/me/song.wav", "/", "-", "/tmp"}));
}

TEST(CommandLine, CopyFailsWithoutRoomForTheTerminator) {
    CKelCommandLineInfo info;
    info.ParseParam("abcd");
    char buf[5] = "zzzz";
    EXPECT_FALSE(info.GetParameter(0, buf, 4));
    EXPECT_STREQ(buf, "zzzz");
    EXPECT_TRUE(info.GetParameter(0, buf, 5));
    EXPECT_STREQ(buf, "abcd");
    EXPECT_FALSE(info.GetParameter(1, buf, 5));
    EXPECT_FALSE(info.GetFlag(0, buf, 5));
}

TEST(CommandLine, OpenMessageQuotesEveryFileWithNothingAfterTheLast) {
    EXPECT_EQ(BuildOpenMessage({"/a b/one.wav", "/two.mp3"}), "open \"/a b/one.wav\" \"/two.mp3\"");
    EXPECT_EQ(BuildOpenMessage({}), "open");
}

class LanguageTest : public ::testing::Test {
protected:
    std::string Folder() const { return dir.file("Language"); }
    void Install(const char* builtPath, const std::string& name) {
        fs::create_directories(Folder());
        fs::copy_file(builtPath, Folder() + "/" + name);
    }
    std::string XmlPath() const { return dir.file("Language.xml"); }
    testsupport::TempDir dir;
};

// The version limit is inclusive, and every kind of unusable file is passed
// over without taking the scan down with it.
TEST_F(LanguageTest, ScanKeepsUsableLibrariesUpToVersion4096) {
    Install(LANG_DEUTSCH_PATH, "a_deutsch.so");
    Install(LANG_TOO_NEW_PATH, "b_future.so");
    Install(LANG_OLD_PATH, "c_old.so");
    Install(LANG_NAMELESS_PATH, "d_nameless.so");
    Install(LANG_LONG_NAME_PATH, "e_long.so");
    ASSERT_TRUE(platform::WriteFileAtomically(Folder() + "/f_broken.so", "not a library"));
    ASSERT_TRUE(platform::WriteFileAtomically(Folder() + "/readme.txt", "x"));

    auto list = ScanLanguageLibraries(Folder());
    ASSERT_EQ(list.size(), 3u);
    EXPECT_EQ(list[0].Name, "Deutsch");
    EXPECT_EQ(list[0].Path, Folder() + "/a_deutsch.so");
    EXPECT_EQ(list[1].Name, "Nederlands");
    // A name that fills the buffer is cut to 29 characters, not read past it.
    EXPECT_EQ(list[2].Name, std::string(kLanguageNameSize - 1, 'L'));
    for (const auto& e : list)
        EXPECT_FALSE(e.Selected);
}

TEST_F(LanguageTest, NoFolderAndNoFileGiveEnglishAndWriteLanguageXml) {
    auto list = ScanLanguageLibraries(Folder());
    EXPECT_TRUE(list.empty());
    EXPECT_EQ(ChooseCurrentLanguage(list, XmlPath()), "English");
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].Path, "");
    EXPECT_EQ(list[0].Name, "English");
    EXPECT_TRUE(list[0].Selected);

    CXmlNode root;
    ASSERT_TRUE(root.LoadFromFile(XmlPath()));
    EXPECT_EQ(root.GetName(), "Lang");
    ASSERT_EQ(root.GetAttributes().size(), 2u);
    EXPECT_EQ(root.GetAttributes()[0], CXmlNode::Attribute("Path", ""));
    EXPECT_EQ(root.GetAttributes()[1], CXmlNode::Attribute("Name", "English"));
}

TEST_F(LanguageTest, RememberedLanguageIsSelectedByExactName) {
    Install(LANG_DEUTSCH_PATH, "deutsch.so");
    Install(LANG_OLD_PATH, "old.so");
    auto list = ScanLanguageLibraries(Folder());
    ASSERT_TRUE(WriteLanguageXml(list, "Nederlands", XmlPath()));
    EXPECT_EQ(ChooseCurrentLanguage(list, XmlPath()), "Nederlands");
    ASSERT_EQ(list.size(), 2u); // no English appended when a language is remembered
    EXPECT_FALSE(list[0].Selected);
    EXPECT_TRUE(list[1].Selected);
    EXPECT_EQ(SelectedLanguage(list), &list[1]);

    // The name match is case-sensitive: "deutsch" selects nothing.
    EXPECT_FALSE(WriteLanguageXml(list, "deutsch", XmlPath()));
    EXPECT_EQ(ReadLanguageXml(XmlPath()), "Nederlands");
}

// A Language.xml that lost its Name must not leave the program without a
// language; it is rewritten for English.
TEST_F(LanguageTest, FileWithoutNameFallsBackToEnglish) {
    ASSERT_TRUE(platform::WriteFileAtomically(XmlPath(), "<Lang Path=\"x\"/>"));
    std::vector<CLanguageEntry> list;
    EXPECT_EQ(ChooseCurrentLanguage(list, XmlPath()), "English");
    EXPECT_EQ(ReadLanguageXml(XmlPath()), "English");
}

TEST(StringTable, HoldsTheHostTextsExactly) {
    EXPECT_STREQ(BuiltInString(266), "Loading...");
    EXPECT_STREQ(BuiltInString(312), "Initializing Main Frame State...");
    EXPECT_STREQ(BuiltInString(314), "%s, version %s loaded successfully.");
    EXPECT_STREQ(BuiltInString(301), "Maximize");
    EXPECT_STREQ(BuiltInString(315), "Restore");
    EXPECT_STREQ(BuiltInString(335),
                 "Changing language need program restart.\n\nDo you want restart now?");
    EXPECT_EQ(BuiltInString(285), nullptr);
    EXPECT_EQ(LoadString(285), "");
    // Every control tooltip fits the control table's 29 characters.
    std::size_t n = 0;
    const unsigned* ids = BuiltInStringIds(&n);
    EXPECT_GE(n, 49u);
    for (std::size_t i = 0; i < n; ++i) {
        if (ids[i] >= 275 && ids[i] <= 302) {
            EXPECT_LE(std::strlen(BuiltInString(ids[i])), 29u) << ids[i];
        }
    }
}

TEST(StringTable, LanguageLibraryTranslatesAndFallsBackToEnglish) {
    platform::DynamicLibrary lib;
    ASSERT_TRUE(lib.Load(LANG_DEUTSCH_PATH));
    auto translate = lib.Function<GetLanguageStringFn>(kGetLanguageString);
    ASSERT_NE(translate, nullptr);
    SetStringTranslator(translate);
    EXPECT_EQ(LoadString(266), "Laden...");
    EXPECT_EQ(LoadString(313), "Ready");
    SetStringTranslator(nullptr);
    EXPECT_EQ(LoadString(266), "Loading...");
}

class PlacementTest : public ::testing::Test {
protected:
    void SetUp() override { settings.SetPath(dir.file("config.ini")); }
    std::string Param(const char* key) {
        char buf[32];
        settings.GetParam(kHostOwner, key, buf, sizeof buf);
        return buf;
    }
    testsupport::TempDir dir;
    CSettings settings;
};

TEST_F(PlacementTest, FreshInstallationStartsMaximised) {
    EXPECT_EQ(ReadPlacement(settings).mode, PlacementMode::Maximize);
}

TEST_F(PlacementTest, ExactRectangleRoundTrips) {
    CPlacement saved{PlacementMode::Exact, {-40, 25, 760, 625}};
    SavePlacement(settings, saved);
    EXPECT_EQ(Param("Size"), "Exact");
    EXPECT_EQ(Param("Left"), "-40");
    EXPECT_EQ(Param("Width"), "800");
    CPlacement read = ReadPlacement(settings);
    EXPECT_EQ(read.mode, PlacementMode::Exact);
    EXPECT_EQ(read.rect, saved.rect);
}

// Closing maximised must not overwrite the rectangle of the last normal close.
TEST_F(PlacementTest, MaximizeAndMinimizeKeepTheOldRectangle) {
    SavePlacement(settings, {PlacementMode::Exact, {10, 20, 410, 320}});
    SavePlacement(settings, {PlacementMode::Maximize, {0, 0, 1920, 1080}});
    EXPECT_EQ(Param("Size"), "Maximize");
    EXPECT_EQ(Param("Left"), "10");
    EXPECT_EQ(Param("Height"), "300");
    SavePlacement(settings, {PlacementMode::Minimize, {}});
    EXPECT_EQ(ReadPlacement(settings).mode, PlacementMode::Minimize);
    EXPECT_EQ(Param("Width"), "400");
}

TEST_F(PlacementTest, ExactReadsEachKeyOnItsOwnAndRefusesAnEmptyRectangle) {
    settings.SetParam(kHostOwner, "Size", "eXACT");
    settings.SetParam(kHostOwner, "Width", "300");
    settings.SetParam(kHostOwner, "Height", "200");
    CPlacement p = ReadPlacement(settings);
    EXPECT_EQ(p.mode, PlacementMode::Exact);
    EXPECT_EQ(p.rect, (CRect{0, 0, 300, 200}));

    // A rectangle without area would open an invisible window.
    settings.SetParam(kHostOwner, "Width", "0");
    EXPECT_EQ(ReadPlacement(settings).mode, PlacementMode::Maximize);
    settings.SetParam(kHostOwner, "Size", "Sideways");
    EXPECT_EQ(ReadPlacement(settings).mode, PlacementMode::Maximize);
}

struct StatusProbe {
    std::vector<std::string> shown;
    std::vector<unsigned> timers;
    CStatusLine line{[this](const std::string& t) { shown.push_back(t); },
                     [this](unsigned ms) { timers.push_back(ms); }};
};

TEST(StatusLine, MessageIsShownForAWhileThenTheKeptTextReturns) {
    StatusProbe p;
    p.line.SetStatusText("Ready");
    p.line.ShowStatusMessage("Sonvara, version 4.0.68 loaded successfully.", 5000);
    p.line.ShowStatusMessage("Open a file", 1000); // restarts the timer
    EXPECT_EQ(p.timers, (std::vector<unsigned>{5000, 1000}));
    EXPECT_EQ(p.line.StatusText(), "Ready");
    p.line.OnMessageTimer();
    EXPECT_EQ(p.shown.back(), "Ready");
}

TEST(StatusLine, NullMessageChangesNothing) {
    StatusProbe p;
    p.line.SetStatusText("Ready");
    p.line.ShowStatusMessage(nullptr, 1000);
    EXPECT_EQ(p.shown.size(), 1u);
    EXPECT_TRUE(p.timers.empty());
}

} // namespace
