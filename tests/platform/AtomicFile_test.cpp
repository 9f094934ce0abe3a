#include "platform/AtomicFile.h"
#include "platform/Paths.h"
#include "support/TempDir.h"

#include <chrono>
#include <filesystem>
#include <gtest/gtest.h>

namespace {

using testsupport::TempDir;

// A crash between writing the temporary file and renaming it must leave the
// old contents in place and no stray temporary file in the folder.
TEST(AtomicFile, FailedRenameKeepsOldFileAndCleansUp) {
    TempDir dir;
    const std::string path = dir.file("config.ini");
    ASSERT_TRUE(platform::WriteFileAtomically(path, "old\r\n"));

    platform::testing::FailNextRename();
    std::string error;
    EXPECT_FALSE(platform::WriteFileAtomically(path, "new\r\n", &error));
    EXPECT_NE(error.find("config.ini"), std::string::npos);

    std::string contents;
    ASSERT_TRUE(platform::ReadWholeFile(path, contents));
    EXPECT_EQ(contents, "old\r\n");
    int files = 0;
    for (auto& e : std::filesystem::directory_iterator(dir.path())) {
        (void)e;
        ++files;
    }
    EXPECT_EQ(files, 1);

    ASSERT_TRUE(platform::WriteFileAtomically(path, "new\r\n"));
    ASSERT_TRUE(platform::ReadWholeFile(path, contents));
    EXPECT_EQ(contents, "new\r\n");
}

// A save killed before its rename leaves "<file>.tmpXXXXXX". The next save
// of that file removes such leftovers once they are a minute old, and
// nothing else: not a younger one (another process may be saving), not
// another file's, not a name that merely looks alike.
TEST(AtomicFile, StaleTemporariesOfTheSameFileGoAtItsNextSave) {
    namespace fs = std::filesystem;
    TempDir dir;
    const auto old = fs::file_time_type::clock::now() - std::chrono::minutes(2);
    auto make = [&](const char* name, bool aged) {
        ASSERT_TRUE(platform::WriteFileAtomically(dir.file(name), "x"));
        if (aged) fs::last_write_time(dir.file(name), old);
    };
    make("a.ini.tmpAb3xY9", true);
    make("a.ini.tmpYoung1", false);
    make("b.ini.tmpQw3rt1", true);
    make("a.ini.tmpToolong1", true);
    make("a.ini.tmp12345", true);
    ASSERT_TRUE(platform::WriteFileAtomically(dir.file("a.ini"), "new"));
    EXPECT_FALSE(fs::exists(dir.file("a.ini.tmpAb3xY9")));
    for (const char* kept :
         {"a.ini.tmpYoung1", "b.ini.tmpQw3rt1", "a.ini.tmpToolong1", "a.ini.tmp12345", "a.ini"})
        EXPECT_TRUE(fs::exists(dir.file(kept))) << kept;
}

TEST(AtomicFile, UnwritableFolderFailsWithoutCreatingAnything) {
    EXPECT_FALSE(platform::WriteFileAtomically("/nonexistent-folder/x.ini", "x"));
    std::string contents = "kept";
    EXPECT_FALSE(platform::ReadWholeFile("/nonexistent-folder/x.ini", contents));
    EXPECT_EQ(contents, "kept");
}

TEST(Paths, ProgramDirectoryIsTheExecutablesFolderWithSlash) {
    std::string dir = platform::ProgramDirectory();
    ASSERT_FALSE(dir.empty());
    EXPECT_EQ(dir.back(), '/');
    EXPECT_TRUE(std::filesystem::exists(dir + "platform_tests"));
}

// Settings go beside the executable when that folder is writable, else to
// $XDG_CONFIG_HOME/sonvara/.
TEST(Paths, SettingsFallBackToXdgConfigHomeWhenProgramFolderIsReadOnly) {
    TempDir writable;
    platform::SetProgramDirectory(writable.path());
    EXPECT_EQ(platform::SettingsDirectory(), writable.path() + "/");

    TempDir xdg;
    ::setenv("XDG_CONFIG_HOME", xdg.path().c_str(), 1);
    platform::SetProgramDirectory("/nonexistent-sonvara-program-dir/");
    EXPECT_EQ(platform::SettingsDirectory(), xdg.path() + "/sonvara/");
    EXPECT_TRUE(std::filesystem::is_directory(xdg.path() + "/sonvara"));
    platform::SetProgramDirectory("");
    ::unsetenv("XDG_CONFIG_HOME");
}

TEST(Paths, JoinPathAvoidsDoubleSeparators) {
    EXPECT_EQ(platform::JoinPath("/a/", "b"), "/a/b");
    EXPECT_EQ(platform::JoinPath("/a", "/b"), "/a/b");
    EXPECT_EQ(platform::JoinPath("/a/", "/b"), "/a/b");
    EXPECT_EQ(platform::JoinPath("", "b"), "b");
}

} // namespace

namespace {

// A config.ini kept elsewhere through a symbolic link must stay a link: the
// file it points at is what gets replaced.
TEST(AtomicFile, ReplacesTheTargetOfASymbolicLink) {
    testsupport::TempDir dir;
    const std::string real = dir.file("real.ini");
    const std::string link = dir.file("config.ini");
    ASSERT_TRUE(platform::WriteFileAtomically(real, "old"));
    std::filesystem::create_symlink("real.ini", link);
    ASSERT_TRUE(platform::WriteFileAtomically(link, "new"));
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    std::string contents;
    ASSERT_TRUE(platform::ReadWholeFile(real, contents));
    EXPECT_EQ(contents, "new");
}

} // namespace
