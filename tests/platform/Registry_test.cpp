#include "platform/AtomicFile.h"
#include "platform/Paths.h"
#include "platform/Registry.h"
#include "platform/RegistryKey.h"
#include "support/TempDir.h"

#include <cstring>
#include <filesystem>
#include <gtest/gtest.h>
#include <string>
#include <thread>

namespace {

using namespace platform;
using testsupport::TempDir;

// Each test gets its own store file; the destructor restores the default.
class RegistryTest : public ::testing::Test {
protected:
    RegistryTest() : file(dir.file("registry.ini")) { RegSetStoreFile(file); }
    ~RegistryTest() override { RegSetStoreFile(""); }

    // Makes the next root access read the file afresh, as a new process would.
    void Reload() {
        RegSetStoreFile(dir.file("elsewhere.ini"));
        RegSetStoreFile(file);
    }

    std::string FileBody() {
        std::string text, body;
        EXPECT_TRUE(ReadWholeFile(file, text));
        for (std::size_t pos = 0; pos < text.size();) {
            std::size_t end = text.find('\n', pos);
            std::string line = text.substr(pos, end - pos + 1);
            if (line[0] != ';') body += line;
            pos = end == std::string::npos ? text.size() : end + 1;
        }
        return body;
    }

    TempDir dir;
    std::string file;
};

std::string QueryString(HKEY key, const char* name) {
    char buf[64] = {};
    DWORD size = sizeof buf, type = 99;
    if (RegQueryValue(key, name, &type, buf, &size) != ERROR_SUCCESS || type != REG_SZ) return "?";
    return std::string(buf, size);
}

TEST_F(RegistryTest, ValuesOfEveryTypeSurviveReloadInDocumentedTextForm) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKey(HKEY_CURRENT_USER, "Software\\Sonvara", &key), ERROR_SUCCESS);
    const std::uint32_t speed = 3, count = 0xFFFFFFFF;
    const char bytes[] = {0, '\xFF', '\n'};
    const char text[] = "Main \"key\"\n";
    EXPECT_EQ(RegSetValue(key, "Speed", REG_NONE, &speed, 4), ERROR_SUCCESS);
    EXPECT_EQ(RegSetValue(key, "Count", REG_DWORD, &count, 4), ERROR_SUCCESS);
    EXPECT_EQ(RegSetValue(key, "Bytes", REG_BINARY, bytes, 3), ERROR_SUCCESS);
    EXPECT_EQ(RegSetValue(key, nullptr, REG_SZ, text, sizeof text), ERROR_SUCCESS);
    EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
    HKEY odd = nullptr;
    ASSERT_EQ(RegCreateKey(HKEY_CURRENT_USER, "50% [off]", &odd), ERROR_SUCCESS);
    RegCloseKey(odd);

    EXPECT_EQ(FileBody(), "[HKEY_CURRENT_USER]\n"
                          "[HKEY_CURRENT_USER\\50%25 %5Boff%5D]\n"
                          "[HKEY_CURRENT_USER\\Software]\n"
                          "[HKEY_CURRENT_USER\\Software\\Sonvara]\n"
                          "@=sz:\"Main \\\"key\\\"\\n\"\n"
                          "\"Bytes\"=binary:00FF0A\n"
                          "\"Count\"=dword:4294967295\n"
                          "\"Speed\"=none:03000000\n"
                          "[HKEY_CLASSES_ROOT]\n");

    Reload();
    ASSERT_EQ(RegOpenKey(HKEY_CURRENT_USER, "software/SONVARA", &key), ERROR_SUCCESS);
    std::uint32_t n = 0;
    DWORD type = 99, size = 4;
    EXPECT_EQ(RegQueryValue(key, "speed", &type, &n, &size), ERROR_SUCCESS);
    EXPECT_EQ(type, REG_NONE);
    EXPECT_EQ(n, 3u);
    size = 4;
    EXPECT_EQ(RegQueryValue(key, "COUNT", &type, &n, &size), ERROR_SUCCESS);
    EXPECT_EQ(type, REG_DWORD);
    EXPECT_EQ(n, 0xFFFFFFFFu);
    char back[8] = {};
    size = sizeof back;
    EXPECT_EQ(RegQueryValue(key, "Bytes", &type, back, &size), ERROR_SUCCESS);
    EXPECT_EQ(size, 3u);
    EXPECT_EQ(std::memcmp(back, bytes, 3), 0);
    EXPECT_EQ(QueryString(key, ""), std::string(text, sizeof text));
    EXPECT_EQ(RegOpenKey(HKEY_CURRENT_USER, "50% [off]", &odd), ERROR_SUCCESS);
    RegCloseKey(odd);
    RegCloseKey(key);
}

TEST_F(RegistryTest, QuerySizesFollowTheBufferProtocol) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKey(HKEY_CLASSES_ROOT, ".wav", &key), ERROR_SUCCESS);
    // Set without its terminator, a string still comes back NUL-terminated.
    EXPECT_EQ(RegSetValue(key, "", REG_SZ, "abc", 3), ERROR_SUCCESS);
    DWORD size = 0, type = 0;
    EXPECT_EQ(RegQueryValue(key, nullptr, &type, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(size, 4u);
    char buf[8];
    std::memset(buf, 'x', sizeof buf);
    size = 3;
    EXPECT_EQ(RegQueryValue(key, nullptr, &type, buf, &size), ERROR_MORE_DATA);
    EXPECT_EQ(size, 4u);
    EXPECT_EQ(buf[0], 'x');
    EXPECT_EQ(QueryString(key, nullptr), std::string("abc\0", 4));
    EXPECT_EQ(RegQueryValue(key, "missing", &type, buf, &size), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegQueryValue(key, nullptr, &type, buf, nullptr), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegDeleteValue(key, ""), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteValue(key, ""), ERROR_FILE_NOT_FOUND);
    RegCloseKey(key);
}

TEST_F(RegistryTest, KeysEnumerateDeleteRecursivelyAndDeletedHandlesFail) {
    HKEY key = nullptr, sub = nullptr;
    ASSERT_EQ(RegCreateKey(HKEY_CLASSES_ROOT, "App.Player\\shell\\open\\command", &key),
              ERROR_SUCCESS);
    RegCloseKey(key);
    ASSERT_EQ(RegCreateKey(HKEY_CLASSES_ROOT, "App.Player\\DefaultIcon", &key), ERROR_SUCCESS);
    RegCloseKey(key);
    ASSERT_EQ(RegOpenKey(HKEY_CLASSES_ROOT, "app.player", &key), ERROR_SUCCESS);
    char name[16];
    EXPECT_EQ(RegEnumKey(key, 0, name, sizeof name), ERROR_SUCCESS);
    EXPECT_STREQ(name, "DefaultIcon");
    EXPECT_EQ(RegEnumKey(key, 1, name, sizeof name), ERROR_SUCCESS);
    EXPECT_STREQ(name, "shell");
    EXPECT_EQ(RegEnumKey(key, 2, name, sizeof name), ERROR_NO_MORE_ITEMS);
    EXPECT_EQ(RegEnumKey(key, 0, name, 11), ERROR_MORE_DATA);

    ASSERT_EQ(RegOpenKey(key, "shell\\open", &sub), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteKey(HKEY_CLASSES_ROOT, "App.Player\\shell"), ERROR_SUCCESS);
    HKEY again = nullptr;
    EXPECT_EQ(RegOpenKey(key, "shell\\open\\command", &again), ERROR_FILE_NOT_FOUND);
    // A handle to a deleted key neither writes nor resurrects its key.
    EXPECT_EQ(RegSetValue(sub, "x", REG_SZ, "y", 2), ERROR_KEY_DELETED);
    EXPECT_EQ(RegCreateKey(sub, "command", &again), ERROR_KEY_DELETED);
    EXPECT_EQ(RegOpenKey(HKEY_CLASSES_ROOT, "App.Player\\shell", &again), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegDeleteKey(HKEY_CLASSES_ROOT, "App.Player\\shell"), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegDeleteKey(key, ""), ERROR_INVALID_PARAMETER);
    RegCloseKey(sub);
    RegCloseKey(key);
}

TEST_F(RegistryTest, InvalidHandlesAndArgumentsAreRefused) {
    HKEY key = reinterpret_cast<HKEY>(std::uintptr_t{0x1234});
    HKEY localMachine = reinterpret_cast<HKEY>(std::uintptr_t{0x80000002u});
    EXPECT_EQ(RegOpenKey(localMachine, "Software", &key), ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegOpenKey(nullptr, "Software", &key), ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegOpenKey(HKEY_CURRENT_USER, "Missing\\Key", &key), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(key, reinterpret_cast<HKEY>(std::uintptr_t{0x1234}));
    EXPECT_EQ(RegCreateKey(HKEY_CURRENT_USER, "a", nullptr), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegSetValue(HKEY_CURRENT_USER, "v", REG_BINARY, nullptr, 4), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegCloseKey(HKEY_CURRENT_USER), ERROR_SUCCESS);
    // Only reads so far: the store file is not created by them.
    EXPECT_FALSE(std::filesystem::exists(file));
}

// A crash between writing and renaming must leave the old file, and the
// failed change must not linger in memory as if it had been saved.
TEST_F(RegistryTest, FailedSaveKeepsOldFileAndForgetsTheChange) {
    const std::uint32_t one = 1, two = 2;
    ASSERT_EQ(RegSetValue(HKEY_CURRENT_USER, "A", REG_DWORD, &one, 4), ERROR_SUCCESS);
    std::string before;
    ASSERT_TRUE(ReadWholeFile(file, before));

    platform::testing::FailNextRename();
    EXPECT_EQ(RegSetValue(HKEY_CURRENT_USER, "B", REG_DWORD, &two, 4), ERROR_REGISTRY_IO_FAILED);
    std::string after;
    ASSERT_TRUE(ReadWholeFile(file, after));
    EXPECT_EQ(after, before);
    DWORD size = 4;
    std::uint32_t n = 0;
    EXPECT_EQ(RegQueryValue(HKEY_CURRENT_USER, "B", nullptr, &n, &size), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegQueryValue(HKEY_CURRENT_USER, "A", nullptr, &n, &size), ERROR_SUCCESS);
    EXPECT_EQ(n, 1u);
}

// A store file touched up in a Windows editor (byte-order mark, CR LF,
// indentation, trailing blanks) must still load, not count as damaged.
TEST_F(RegistryTest, HandEditedStoreLoads) {
    ASSERT_TRUE(WriteFileAtomically(file, "\xEF\xBB\xBF; edited by hand\r\n"
                                          "[HKEY_CLASSES_ROOT\\.ogg]  \r\n"
                                          "  @=sz:\"App.Player\"\t\r\n"
                                          "\r\n"
                                          "  \"Count\"=dword:7\r\n"));
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKey(HKEY_CLASSES_ROOT, ".OGG", &key), ERROR_SUCCESS);
    EXPECT_EQ(QueryString(key, nullptr), std::string("App.Player\0", 11));
    std::uint32_t n = 0;
    DWORD size = 4;
    EXPECT_EQ(RegQueryValue(key, "count", nullptr, &n, &size), ERROR_SUCCESS);
    EXPECT_EQ(n, 7u);
    EXPECT_EQ(RegGetStoreError(), "");
    RegCloseKey(key);
}

// A damaged store reads as empty, stays untouched by reads, and is kept as
// .bad when the first change replaces it.
TEST_F(RegistryTest, CorruptStoreIsBackedUpBeforeFirstWrite) {
    const std::string garbage = "[HKEY_CURRENT_USER]\n\"x\"=dword:notanumber\n";
    ASSERT_TRUE(WriteFileAtomically(file, garbage));
    DWORD size = 4;
    std::uint32_t n = 0;
    EXPECT_EQ(RegQueryValue(HKEY_CURRENT_USER, "x", nullptr, &n, &size), ERROR_FILE_NOT_FOUND);
    std::string text;
    ASSERT_TRUE(ReadWholeFile(file, text));
    EXPECT_EQ(text, garbage);
    EXPECT_NE(RegGetStoreError().find("line 2"), std::string::npos) << RegGetStoreError();

    EXPECT_EQ(RegSetValue(HKEY_CURRENT_USER, "y", REG_DWORD, &n, 4), ERROR_SUCCESS);
    ASSERT_TRUE(ReadWholeFile(file + ".bad", text));
    EXPECT_EQ(text, garbage);
    EXPECT_NE(RegGetStoreError().find("registry.ini.bad"), std::string::npos);
    Reload();
    EXPECT_EQ(RegQueryValue(HKEY_CURRENT_USER, "y", nullptr, &n, &size), ERROR_SUCCESS);
}

// Another process (or another copy of this code) writing the same store
// file must be seen by keys opened earlier.
TEST_F(RegistryTest, ChangesByAnotherStoreObjectAreSeen) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKey(HKEY_CURRENT_USER, "Shared", &key), ERROR_SUCCESS);
    Reload(); // the root constants now use a second store object on the same file
    HKEY other = nullptr;
    ASSERT_EQ(RegOpenKey(HKEY_CURRENT_USER, "Shared", &other), ERROR_SUCCESS);
    EXPECT_EQ(RegSetValue(other, "v", REG_SZ, "new", 4), ERROR_SUCCESS);
    EXPECT_EQ(QueryString(key, "v"), std::string("new\0", 4));
    EXPECT_EQ(RegSetValue(key, "w", REG_SZ, "x", 2), ERROR_SUCCESS);
    EXPECT_EQ(QueryString(other, "v"), std::string("new\0", 4));
    EXPECT_EQ(QueryString(other, "w"), std::string("x\0", 2));
    RegCloseKey(other);
    RegCloseKey(key);
}

// Two store objects on one file (two processes, or the host and a plug-in
// with its own copy of this code) writing at the same time must not lose
// each other's values to a stale read-modify-write.
TEST_F(RegistryTest, ConcurrentWritersThroughDifferentStoresLoseNothing) {
    HKEY first = nullptr, second = nullptr;
    ASSERT_EQ(RegCreateKey(HKEY_CURRENT_USER, "Shared", &first), ERROR_SUCCESS);
    Reload();
    ASSERT_EQ(RegOpenKey(HKEY_CURRENT_USER, "Shared", &second), ERROR_SUCCESS);
    auto writer = [](HKEY key, char prefix) {
        for (std::uint32_t i = 0; i < 15; ++i) {
            std::string name = prefix + std::to_string(i);
            RegSetValue(key, name.c_str(), REG_DWORD, &i, 4);
        }
    };
    std::thread a(writer, first, 'a'), b(writer, second, 'b');
    a.join();
    b.join();
    Reload();
    HKEY shared = nullptr;
    ASSERT_EQ(RegOpenKey(HKEY_CURRENT_USER, "Shared", &shared), ERROR_SUCCESS);
    for (char prefix : {'a', 'b'})
        for (int i = 0; i < 15; ++i) {
            std::string name = prefix + std::to_string(i);
            EXPECT_EQ(RegQueryValue(shared, name.c_str(), nullptr, nullptr, nullptr), ERROR_SUCCESS)
                << name;
        }
    RegCloseKey(shared);
    RegCloseKey(first);
    RegCloseKey(second);
}

// A key handed over by a module that links its own copy of this code must be
// driven through its own functions, never read as one of ours.
TEST_F(RegistryTest, ForeignKeyObjectsAreCalledThroughTheirOwnFunctions) {
    struct Foreign final : registry::KeyObject {
        int calls = 0;
        LONG CreateKey(const char*, HKEY*) override { return ++calls, ERROR_ACCESS_DENIED; }
        LONG OpenKey(const char*, HKEY*) override { return ++calls, ERROR_ACCESS_DENIED; }
        LONG Close() override { return ++calls, ERROR_SUCCESS; }
        LONG QueryValue(const char* name, DWORD* type, void*, DWORD*) override {
            ++calls;
            *type = REG_NONE;
            return std::strcmp(name, "Speed") == 0 ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND;
        }
        LONG SetValue(const char*, DWORD, const void*, DWORD) override {
            return ++calls, ERROR_SUCCESS;
        }
        LONG DeleteValue(const char*) override { return ++calls, ERROR_SUCCESS; }
        LONG DeleteKey(const char*) override { return ++calls, ERROR_SUCCESS; }
        LONG EnumKey(DWORD, char*, DWORD) override { return ++calls, ERROR_NO_MORE_ITEMS; }
    } foreign;
    HKEY key = reinterpret_cast<HKEY>(static_cast<registry::KeyObject*>(&foreign));
    DWORD type = 99;
    EXPECT_EQ(RegQueryValue(key, "Speed", &type, nullptr, nullptr), ERROR_SUCCESS);
    EXPECT_EQ(type, REG_NONE);
    EXPECT_EQ(RegEnumKey(key, 0, nullptr, 0), ERROR_NO_MORE_ITEMS);
    EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
    EXPECT_EQ(foreign.calls, 3);

    foreign.magic = 0; // an incompatible or released key
    EXPECT_EQ(RegSetValue(key, "x", REG_NONE, nullptr, 0), ERROR_INVALID_HANDLE);
    EXPECT_EQ(foreign.calls, 3);
}

TEST_F(RegistryTest, DefaultStoreIsRegistryIniInSettingsFolder) {
    TempDir settings;
    SetSettingsDirectory(settings.path());
    RegSetStoreFile("");
    EXPECT_EQ(RegGetStoreFile(), settings.path() + "/registry.ini");
    EXPECT_EQ(RegSetValue(HKEY_CURRENT_USER, "v", REG_NONE, nullptr, 0), ERROR_SUCCESS);
    EXPECT_TRUE(std::filesystem::exists(settings.path() + "/registry.ini"));
    RegSetStoreFile(file);
    SetSettingsDirectory("");
}

} // namespace
