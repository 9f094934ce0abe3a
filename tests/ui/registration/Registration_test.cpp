// Default-player registration on a scratch home: the settings registry and
// the desktop's MIME defaults, registered, checked and given back.
#include "platform/AtomicFile.h"
#include "platform/Registry.h"
#include "support/TempDir.h"
#include "ui/registration/DefaultPlayer.h"
#include "ui/registration/MimeAppsList.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace {

using namespace ui;
using testsupport::TempDir;

TEST(KeyFile, KeepsOtherLinesWhenAKeyChanges) {
    CKeyFile file;
    file.Parse("# mine\n[Added Associations]\naudio/flac=x.desktop;\n\n"
               "[Default Applications]\naudio/flac=vlc.desktop;\ntext/plain=ed.desktop;\n");
    file.Set("Default Applications", "audio/flac", "sonvara.desktop;");
    file.Set("Default Applications", "audio/x-wav", "sonvara.desktop;");
    file.Remove("Default Applications", "text/plain");
    EXPECT_EQ(file.Text(), "# mine\n[Added Associations]\naudio/flac=x.desktop;\n\n"
                           "[Default Applications]\naudio/flac=sonvara.desktop;\n"
                           "audio/x-wav=sonvara.desktop;\n");
    EXPECT_EQ(FirstDesktopId(" a.desktop;b.desktop;"), "a.desktop");
}

class Registration : public ::testing::Test {
protected:
    Registration() {
        platform::RegSetStoreFile(dir.file("registry.ini"));
        folders.dataHome = dir.file("data");
        folders.configHome = dir.file("config");
        folders.dataDirs = {dir.file("system")};
        std::filesystem::create_directories(dir.file("system/mime"));
        platform::WriteFileAtomically(dir.file("system/mime/globs2"),
                                      "# comment\n50:audio/flac:*.flac\n50:audio/x-wav:*.wav\n"
                                      "50:video/ogg:*.ogg\n50:audio/ogg:*.ogg\n");
        std::filesystem::create_directories(folders.configHome);
        platform::WriteFileAtomically(dir.file("config/mimeapps.list"),
                                      "[Default Applications]\naudio/flac=other.desktop;\n"
                                      "image/png=viewer.desktop;\n");
        SetExtensionDefault(".flac", "OtherPlayer.flac");
    }
    ~Registration() override { platform::RegSetStoreFile(""); }

    CDefaultPlayer Player(const std::string& program, std::string filter = "Audio|*.flac;*.wav;|") {
        return CDefaultPlayer(
            program, [filter] { return std::optional<std::string>(filter); },
            CDesktopAssociation(folders));
    }
    static void SetExtensionDefault(const char* ext, const std::string& value) {
        HKEY key = nullptr;
        ASSERT_EQ(platform::RegCreateKey(HKEY_CLASSES_ROOT, ext, &key), platform::ERROR_SUCCESS);
        platform::RegSetValue(key, nullptr, platform::REG_SZ, value.c_str(),
                              static_cast<platform::DWORD>(value.size() + 1));
        platform::RegCloseKey(key);
    }
    static std::string ExtensionDefault(const char* ext) {
        HKEY key = nullptr;
        if (platform::RegOpenKey(HKEY_CLASSES_ROOT, ext, &key) != platform::ERROR_SUCCESS)
            return "<no key>";
        char buffer[300] = {};
        platform::DWORD size = sizeof buffer, type = 0;
        const bool ok =
            platform::RegQueryValue(key, nullptr, &type, buffer, &size) == platform::ERROR_SUCCESS;
        platform::RegCloseKey(key);
        return ok ? buffer : "<no value>";
    }
    std::string MimeDefault(const std::string& type) {
        CKeyFile file;
        file.Load(dir.file("config/mimeapps.list"));
        return file.Get("Default Applications", type).value_or("<none>");
    }

    TempDir dir;
    CDesktopAssociation::Folders folders;
};

// The round trip a user makes with "sonvara -reg" and "sonvara -unreg": every
// earlier owner comes back, a type that had none has none again, and other
// programs' entries are never touched.
TEST_F(Registration, RegisterThenUnregisterGivesEveryTypeBack) {
    const std::string program = dir.file("bin/sonvara");
    auto player = Player(program);
    EXPECT_FALSE(player.IsDefaultPlayer());

    ASSERT_TRUE(player.RegisterDefaultPlayer());
    EXPECT_TRUE(player.IsDefaultPlayer());
    EXPECT_EQ(ExtensionDefault(".flac"), "Sonvara Player.Player");
    EXPECT_EQ(MimeDefault("audio/flac"), "sonvara.desktop;");
    EXPECT_EQ(MimeDefault("audio/x-wav"), "sonvara.desktop;");
    EXPECT_EQ(MimeDefault("video/ogg"), "<none>"); // only audio types, only listed extensions
    std::string entry;
    ASSERT_TRUE(platform::ReadWholeFile(dir.file("data/applications/sonvara.desktop"), entry));
    EXPECT_NE(entry.find("MimeType=audio/flac;audio/x-wav;\n"), std::string::npos);
    EXPECT_NE(entry.find("TryExec=" + program + "\n"), std::string::npos);

    EXPECT_TRUE(player.UnregisterDefaultPlayer());
    EXPECT_FALSE(player.IsDefaultPlayer());
    EXPECT_EQ(ExtensionDefault(".flac"), "OtherPlayer.flac");
    EXPECT_EQ(ExtensionDefault(".wav"), ""); // created by registration, emptied again
    EXPECT_EQ(MimeDefault("audio/flac"), "other.desktop;");
    EXPECT_EQ(MimeDefault("audio/x-wav"), "<none>");
    EXPECT_EQ(MimeDefault("image/png"), "viewer.desktop;");
    EXPECT_FALSE(std::filesystem::exists(dir.file("data/applications/sonvara.desktop")));
}

// Registering a second time used to back up the program itself as the
// earlier owner, so unregistering left every type with the program.
TEST_F(Registration, SecondRegistrationKeepsTheFirstBackup) {
    auto player = Player(dir.file("bin/sonvara"));
    ASSERT_TRUE(player.RegisterDefaultPlayer());
    ASSERT_TRUE(player.RegisterDefaultPlayer());
    player.UnregisterDefaultPlayer();
    EXPECT_EQ(ExtensionDefault(".flac"), "OtherPlayer.flac");
    EXPECT_EQ(MimeDefault("audio/flac"), "other.desktop;");
}

// A type the user gave to another program after registering keeps it.
TEST_F(Registration, UnregisterLeavesTypesTheUserChangedSince) {
    auto player = Player(dir.file("bin/sonvara"));
    ASSERT_TRUE(player.RegisterDefaultPlayer());
    CKeyFile file;
    file.Load(dir.file("config/mimeapps.list"));
    file.Set("Default Applications", "audio/flac", "newer.desktop;");
    file.Save(dir.file("config/mimeapps.list"));
    player.UnregisterDefaultPlayer();
    EXPECT_EQ(MimeDefault("audio/flac"), "newer.desktop;");
    EXPECT_EQ(MimeDefault("audio/x-wav"), "<none>");
}

TEST_F(Registration, AMovedProgramIsNoLongerTheDefault) {
    ASSERT_TRUE(Player(dir.file("old/sonvara")).RegisterDefaultPlayer());
    EXPECT_TRUE(Player(dir.file("old/sonvara")).IsDefaultPlayer());
    EXPECT_FALSE(Player(dir.file("new place/sonvara")).IsDefaultPlayer());
}

// Coders that cannot list their types leave the extensions alone, and do
// not count against the check.
TEST_F(Registration, NoExtensionListTouchesOnlyTheProgramsOwnKeys) {
    CDefaultPlayer player(
        dir.file("bin/sonvara"), [] { return std::optional<std::string>(); },
        CDesktopAssociation(folders));
    ASSERT_TRUE(player.RegisterDefaultPlayer());
    EXPECT_TRUE(player.IsRegisteredInStore());
    EXPECT_EQ(ExtensionDefault(".flac"), "OtherPlayer.flac");
    EXPECT_EQ(MimeDefault("audio/flac"), "other.desktop;");
}

TEST(DesktopEntry, ExecQuotesAndEscapesThePath) {
    EXPECT_EQ(QuoteExecArgument("/opt/my music/$bin/sonvara"),
              "\"/opt/my music/\\\\$bin/sonvara\"");
}

} // namespace
