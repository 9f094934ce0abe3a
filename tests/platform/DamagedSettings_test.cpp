// Settings files the program cannot have written (NUL blocks left by a
// crash, a file cut to nothing, another encoding) read as defaults, are kept
// aside as .bad with a line in the log, and are never overwritten unseen.
#include "platform/AtomicFile.h"
#include "platform/DamagedSettings.h"
#include "platform/Profile.h"
#include "platform/Registry.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

using namespace platform;

std::vector<std::string> g_logged;

class DamagedSettingsTest : public ::testing::Test {
protected:
    DamagedSettingsTest() {
        g_logged.clear();
        SetSettingsLogWriter([](const std::string& line) { g_logged.push_back(line); });
    }
    ~DamagedSettingsTest() override {
        SetSettingsLogWriter(nullptr);
        RegSetStoreFile("");
    }

    std::string Read(const std::string& file) {
        std::string text;
        return ReadWholeFile(file, text) ? text : "<absent>";
    }

    testsupport::TempDir dir;
};

const std::vector<std::pair<const char*, std::string>> kDamage = {
    {"NUL bytes", std::string(4096, '\0')},
    {"empty", ""},
    {"Latin-1", "[FRAME]\r\nSkin=Caf\xE9\r\n"},
    {"NUL after text", std::string("[FRAME]\r\nSkin=Nocturne\r\n") + std::string(512, '\0')},
};

TEST_F(DamagedSettingsTest, DamagedConfigIniReadsAsDefaultsAndIsKeptAsBad) {
    for (const auto& [name, bytes] : kDamage) {
        SCOPED_TRACE(name);
        const std::string config = dir.file(std::string(name) + ".ini");
        ASSERT_TRUE(WriteFileAtomically(config, bytes));
        g_logged.clear();
        GuardSettingsFile(config);
        EXPECT_EQ(Read(config + ".bad"), bytes);
        EXPECT_EQ(Read(config), "<absent>");
        ASSERT_EQ(g_logged.size(), 1u);
        EXPECT_NE(g_logged[0].find(config + ".bad"), std::string::npos) << g_logged[0];
        char skin[32];
        GetPrivateProfileString("FRAME", "Skin", "Default", skin, sizeof skin, config.c_str());
        EXPECT_STREQ(skin, "Default");

        // Damage that turns up while the program runs: reads see defaults,
        // and the first write keeps the file aside (as .bad2) before it
        // writes a fresh one.
        ASSERT_TRUE(WriteFileAtomically(config, bytes));
        GetPrivateProfileString("FRAME", "Skin", "Default", skin, sizeof skin, config.c_str());
        EXPECT_STREQ(skin, "Default");
        EXPECT_EQ(Read(config), bytes);
        EXPECT_TRUE(WritePrivateProfileString("FRAME", "Left", "10", config.c_str()));
        EXPECT_EQ(Read(config + ".bad2"), bytes);
        EXPECT_EQ(Read(config), "[FRAME]\r\nLeft=10\r\n");
        EXPECT_EQ(g_logged.size(), 2u);
    }
}

// A file saved as UTF-16 by a Windows editor is not damage; and nothing may
// make config.ini non-UTF-8, or the next start would put it aside.
TEST_F(DamagedSettingsTest, Utf16ConfigIsKeptAndNonUtf8ValuesAreRefused) {
    const std::string config = dir.file("config.ini");
    ASSERT_TRUE(WriteFileAtomically(config, std::string("\xFF\xFE[\0A\0]\0\n\0k\0=\0v\0\n\0", 18)));
    GuardSettingsFile(config);
    EXPECT_EQ(Read(config + ".bad"), "<absent>");
    char value[8];
    GetPrivateProfileString("A", "k", "", value, sizeof value, config.c_str());
    EXPECT_STREQ(value, "v");
    EXPECT_FALSE(WritePrivateProfileString("A", "k", "caf\xE9", config.c_str()));
    EXPECT_NE(LastProfileError().find("UTF-8"), std::string::npos);
    EXPECT_TRUE(g_logged.empty());
}

TEST_F(DamagedSettingsTest, DamagedRegistryStoreReadsAsEmptyAndIsKeptAsBadBeforeAChange) {
    for (const auto& [name, bytes] : kDamage) {
        SCOPED_TRACE(name);
        const std::string store = dir.file(std::string(name) + ".reg");
        ASSERT_TRUE(WriteFileAtomically(store, bytes));
        RegSetStoreFile(store);
        g_logged.clear();
        std::uint32_t n = 7;
        DWORD size = 4;
        EXPECT_EQ(RegQueryValue(HKEY_CURRENT_USER, "x", nullptr, &n, &size), ERROR_FILE_NOT_FOUND);
        EXPECT_EQ(Read(store), bytes);
        EXPECT_EQ(RegSetValue(HKEY_CURRENT_USER, "x", REG_DWORD, &n, 4), ERROR_SUCCESS);
        EXPECT_EQ(Read(store + ".bad"), bytes);
        ASSERT_EQ(g_logged.size(), 1u);
        EXPECT_NE(g_logged[0].find(store + ".bad"), std::string::npos) << g_logged[0];
        n = 0;
        EXPECT_EQ(RegQueryValue(HKEY_CURRENT_USER, "x", nullptr, &n, &size), ERROR_SUCCESS);
        EXPECT_EQ(n, 7u);
    }
}

// The store escapes bytes that are not UTF-8 (a Latin-1 string, a name
// with a stray byte) so that its own file never looks damaged.
TEST_F(DamagedSettingsTest, RegistryStoreWritesNonUtf8StringsAsEscapes) {
    const std::string store = dir.file("registry.ini");
    RegSetStoreFile(store);
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKey(HKEY_CURRENT_USER, "Caf\xE9", &key), ERROR_SUCCESS);
    ASSERT_EQ(RegSetValue(key, "N\xFF", REG_SZ, "Caf\xE9 \xC3\xA9", 8), ERROR_SUCCESS);
    RegCloseKey(key);
    std::string text = Read(store);
    EXPECT_TRUE(SettingsDamage(text, false).empty()) << text;
    RegSetStoreFile(dir.file("other.ini"));
    RegSetStoreFile(store);
    ASSERT_EQ(RegOpenKey(HKEY_CURRENT_USER, "Caf\xE9", &key), ERROR_SUCCESS);
    char value[16] = {};
    DWORD size = sizeof value;
    ASSERT_EQ(RegQueryValue(key, "N\xFF", nullptr, value, &size), ERROR_SUCCESS);
    EXPECT_STREQ(value, "Caf\xE9 \xC3\xA9");
    RegCloseKey(key);
    EXPECT_TRUE(g_logged.empty());
}

} // namespace
