// The expected file texts below are written by hand from the documented
// rules of the Windows profile functions, never copied from our own output.
#include "platform/AtomicFile.h"
#include "platform/Profile.h"
#include "support/TempDir.h"

#include <cstring>
#include <filesystem>
#include <gtest/gtest.h>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace platform;
using testsupport::TempDir;

// A string literal with its embedded NULs.
template <std::size_t N> std::string Z(const char (&text)[N]) {
    return std::string(text, N - 1);
}

std::string ReadText(const std::string& path) {
    std::string text;
    EXPECT_TRUE(ReadWholeFile(path, text)) << path;
    return text;
}

std::string Get(const char* section, const char* key, const std::string& file,
                const char* def = "<default>") {
    char buf[256];
    DWORD n = GetPrivateProfileString(section, key, def, buf, sizeof buf, file.c_str());
    EXPECT_EQ(n, std::string(buf).size());
    return buf;
}

// A NUL-separated list as returned by the enumerating calls, including the end NUL.
std::string List(const char* section, const std::string& file, DWORD size = 256) {
    std::vector<char> buf(size, 'x');
    DWORD n = GetPrivateProfileString(section, nullptr, "ignored", buf.data(), size, file.c_str());
    return std::string(buf.data(), n + 1);
}

TEST(Profile, WritesCreateFileSectionsAndKeysInWindowsLayout) {
    TempDir dir;
    const std::string file = dir.file("presets.ini");
    const char* f = file.c_str();
    EXPECT_TRUE(WritePrivateProfileString("Preset 1", "Speed", "3", f));
    EXPECT_TRUE(WritePrivateProfileString("Preset 1", "Threshold", "10", f));
    EXPECT_TRUE(WritePrivateProfileString("Second", "Rate", "7", f));
    // A key added to an earlier section goes after that section's last entry.
    EXPECT_TRUE(WritePrivateProfileString("PRESET 1", "Drums", "0", f));
    // Replacing keeps the line's place and the key's spelling in the file.
    EXPECT_TRUE(WritePrivateProfileString("preset 1", "SPEED", "5", f));
    EXPECT_TRUE(WritePrivateProfileString("Second", "Empty", "", f));
    EXPECT_EQ(ReadText(file), "[Preset 1]\r\n"
                              "Speed=5\r\n"
                              "Threshold=10\r\n"
                              "Drums=0\r\n"
                              "[Second]\r\n"
                              "Rate=7\r\n"
                              "Empty=\r\n");

    EXPECT_TRUE(WritePrivateProfileString("Preset 1", "Threshold", nullptr, f));
    EXPECT_TRUE(WritePrivateProfileString("second", nullptr, nullptr, f));
    EXPECT_EQ(ReadText(file), "[Preset 1]\r\n"
                              "Speed=5\r\n"
                              "Drums=0\r\n");
}

// A file edited by hand on Windows or Linux: byte-order mark, LF ends, blanks,
// quotes, comments, duplicates, keys outside sections and lines without '='.
TEST(Profile, ReadsHandEditedFileByWindowsRules) {
    TempDir dir;
    const std::string file = dir.file("config.ini");
    ASSERT_TRUE(WriteFileAtomically(file, "\xEF\xBB\xBF; written by hand\n"
                                          "Orphan=1\n"
                                          "  [ Player ]  trailing text\n"
                                          "  Volume =  80  \n"
                                          "Name=\"  quoted  \"\n"
                                          "Single='x'\r\n"
                                          "Mixed=\"y'\n"
                                          "no equals sign\n"
                                          "volume=99\n"
                                          "[player]\n"
                                          "Late=1\n"
                                          "[Empty]"));
    EXPECT_EQ(Get("PLAYER", "VOLUME", file), "80");
    EXPECT_EQ(Get("Player", "Name", file), "  quoted  ");
    EXPECT_EQ(Get("Player", "Single", file), "x");
    EXPECT_EQ(Get("Player", "Mixed", file), "\"y'");
    EXPECT_EQ(Get("Player", "no equals sign", file), "<default>");
    EXPECT_EQ(Get("Player", "Late", file), "<default>"); // only the first [Player] is read
    EXPECT_EQ(Get("Player", "Orphan", file), "<default>");
    EXPECT_EQ(Get("Empty", "x", file), "<default>");
    EXPECT_EQ(List("Player", file), Z("Volume\0Name\0Single\0Mixed\0\0"));
    EXPECT_EQ(List(nullptr, file), Z("Player\0Empty\0\0"));
    EXPECT_EQ(List("Missing", file), Z("\0"));

    char buf[64];
    DWORD n = GetPrivateProfileSection("player", buf, sizeof buf, file.c_str());
    EXPECT_EQ(std::string(buf, n + 1),
              Z("Volume=80\0Name=  quoted  \0Single=x\0Mixed=\"y'\0volume=99\0\0"));

    // Writes that change nothing leave the file alone, LF line ends and all.
    const std::string before = ReadText(file);
    EXPECT_TRUE(WritePrivateProfileString("Player", "Single", "'x'", file.c_str()));
    EXPECT_TRUE(WritePrivateProfileString("Player", "Absent", nullptr, file.c_str()));
    EXPECT_TRUE(WritePrivateProfileString("Absent", nullptr, nullptr, file.c_str()));
    EXPECT_EQ(ReadText(file), before);

    // A rewrite changes only the touched lines, keeps everything else, and
    // ends every line in CR LF.
    EXPECT_TRUE(WritePrivateProfileString("player", "VOLUME", "81", file.c_str()));
    EXPECT_TRUE(WritePrivateProfileString("Player", "Late", "2", file.c_str()));
    EXPECT_EQ(ReadText(file), "\xEF\xBB\xBF; written by hand\r\n"
                              "Orphan=1\r\n"
                              "  [ Player ]  trailing text\r\n"
                              "Volume=81\r\n"
                              "Name=\"  quoted  \"\r\n"
                              "Single='x'\r\n"
                              "Mixed=\"y'\r\n"
                              "no equals sign\r\n"
                              "volume=99\r\n"
                              "Late=2\r\n"
                              "[player]\r\n"
                              "Late=1\r\n"
                              "[Empty]\r\n");

    // Deleting a key removes its duplicates too, so no older copy shows
    // through; deleting a section removes every section of that name.
    EXPECT_TRUE(WritePrivateProfileString("Player", "Volume", nullptr, file.c_str()));
    EXPECT_EQ(Get("Player", "Volume", file), "<default>");
    EXPECT_TRUE(WritePrivateProfileString("PLAYER", nullptr, nullptr, file.c_str()));
    EXPECT_EQ(ReadText(file), "\xEF\xBB\xBF; written by hand\r\n"
                              "Orphan=1\r\n"
                              "[Empty]\r\n");
}

// UTF-16LE with byte-order mark, built from Latin-1 text by hand.
std::string Utf16Le(const std::string& latin1) {
    std::string out = "\xFF\xFE";
    for (char c : latin1) {
        out += c;
        out += '\0';
    }
    return out;
}

// A file saved as "Unicode" by a Windows editor is read, and a rewrite keeps
// its encoding instead of mixing in UTF-8 bytes.
TEST(Profile, Utf16FileIsReadAndRewrittenAsUtf16) {
    TempDir dir;
    const std::string file = dir.file("u.ini");
    ASSERT_TRUE(WriteFileAtomically(file, Utf16Le("[Main]\r\nName=Gr\xFC\xDF\r\n")));
    EXPECT_EQ(Get("main", "name", file), "Gr\xC3\xBC\xC3\x9F");
    EXPECT_TRUE(WritePrivateProfileString("Main", "Key", "\xC3\xA9", file.c_str()));
    EXPECT_EQ(ReadText(file), Utf16Le("[Main]\r\nName=Gr\xFC\xDF\r\nKey=\xE9\r\n"));
}

TEST(Profile, BufferSizesTruncateLikeWindows) {
    TempDir dir;
    const std::string file = dir.file("t.ini");
    const char* f = file.c_str();
    ASSERT_TRUE(WriteFileAtomically(file, "[S]\r\nSpeed=abcdef\r\nRate=1\r\n"));

    char buf[16];
    std::memset(buf, 'x', sizeof buf);
    EXPECT_EQ(GetPrivateProfileString("S", "Speed", "", buf, 4, f), 3u);
    EXPECT_EQ(std::string(buf, 4), Z("abc\0"));
    EXPECT_EQ(GetPrivateProfileString("S", "Speed", "", buf, 0, f), 0u);
    EXPECT_EQ(buf[0], 'a'); // size 0: nothing written
    EXPECT_EQ(GetPrivateProfileString("S", "Speed", "", buf, 1, f), 0u);
    EXPECT_EQ(buf[0], '\0');

    // A truncated list: the last string is cut, two NULs end it, size - 2 returned.
    std::memset(buf, 'x', sizeof buf);
    EXPECT_EQ(GetPrivateProfileString("S", nullptr, "", buf, 9, f), 7u);
    EXPECT_EQ(std::string(buf, 9), Z("Speed\0R\0\0"));
    EXPECT_EQ(GetPrivateProfileString("S", nullptr, "", buf, 8, f), 6u);
    EXPECT_EQ(std::string(buf, 8), Z("Speed\0\0\0"));
    EXPECT_EQ(GetPrivateProfileString("S", nullptr, "", buf, 12, f), 11u);
    EXPECT_EQ(std::string(buf, 12), Z("Speed\0Rate\0\0"));
    EXPECT_EQ(GetPrivateProfileSectionNames(buf, 3, f), 2u);
    EXPECT_EQ(std::string(buf, 3), Z("S\0\0"));

    // Defaults lose trailing blanks; a null default is "".
    EXPECT_EQ(GetPrivateProfileString("S", "None", "dflt  ", buf, sizeof buf, f), 4u);
    EXPECT_STREQ(buf, "dflt");
    EXPECT_EQ(GetPrivateProfileString("S", "None", nullptr, buf, sizeof buf, f), 0u);
    EXPECT_STREQ(buf, "");
}

TEST(Profile, IntegersTakeSignAndLeadingDigitsElseDefault) {
    TempDir dir;
    const std::string file = dir.file("i.ini");
    const char* f = file.c_str();
    ASSERT_TRUE(WriteFileAtomically(file, "[N]\nA= -42xyz\nB=+7\nC=abc\nD=\nE=\"12\"\n"
                                          "F=4294967297\n"));
    EXPECT_EQ(static_cast<int>(GetPrivateProfileInt("N", "A", 5, f)), -42);
    EXPECT_EQ(GetPrivateProfileInt("n", "b", 5, f), 7u);
    EXPECT_EQ(GetPrivateProfileInt("N", "C", 5, f), 0u);
    EXPECT_EQ(GetPrivateProfileInt("N", "D", 5, f), 5u); // empty value: default
    EXPECT_EQ(GetPrivateProfileInt("N", "E", 5, f), 12u);
    EXPECT_EQ(GetPrivateProfileInt("N", "F", 5, f), 1u); // wraps modulo 2^32
    EXPECT_EQ(static_cast<int>(GetPrivateProfileInt("N", "Missing", -3, f)), -3);
    EXPECT_EQ(GetPrivateProfileInt("N", "A", 9, dir.file("absent.ini").c_str()), 9u);
}

TEST(Profile, StructsAreHexWithAdditiveChecksum) {
    TempDir dir;
    const std::string file = dir.file("s.ini");
    const char* f = file.c_str();
    const unsigned char data[3] = {0x01, 0xAB, 0xFF}; // sum 0x1AB -> checksum AB
    EXPECT_TRUE(WritePrivateProfileStruct("S", "DATA_LSS_x", data, 3, f));
    EXPECT_EQ(ReadText(file), "[S]\r\nDATA_LSS_x=01ABFFAB\r\n");

    unsigned char back[3] = {};
    EXPECT_TRUE(GetPrivateProfileStruct("s", "data_lss_X", back, 3, f));
    EXPECT_EQ(std::memcmp(back, data, 3), 0);

    // Wrong size or checksum fails and leaves the caller's buffer alone.
    unsigned char four[4] = {9, 9, 9, 9};
    EXPECT_FALSE(GetPrivateProfileStruct("S", "DATA_LSS_x", four, 4, f));
    EXPECT_EQ(four[0], 9);
    ASSERT_TRUE(WritePrivateProfileString("S", "Bad", "01abffac", f));
    unsigned char bad[3] = {7, 7, 7};
    EXPECT_FALSE(GetPrivateProfileStruct("S", "Bad", bad, 3, f));
    EXPECT_EQ(bad[0], 7);
    ASSERT_TRUE(WritePrivateProfileString("S", "Lower", "01abffab", f));
    EXPECT_TRUE(GetPrivateProfileStruct("S", "Lower", back, 3, f));

    EXPECT_TRUE(WritePrivateProfileStruct("S", "DATA_LSS_x", nullptr, 0, f));
    EXPECT_FALSE(GetPrivateProfileStruct("S", "DATA_LSS_x", back, 3, f));
}

// A crash between writing and renaming must leave the old file as it was.
TEST(Profile, FailedRenameKeepsOldFile) {
    TempDir dir;
    const std::string file = dir.file("config.ini");
    ASSERT_TRUE(WritePrivateProfileString("A", "k", "old", file.c_str()));
    platform::testing::FailNextRename();
    EXPECT_FALSE(WritePrivateProfileString("A", "k", "new", file.c_str()));
    EXPECT_NE(LastProfileError().find("config.ini"), std::string::npos);
    EXPECT_EQ(ReadText(file), "[A]\r\nk=old\r\n");
    EXPECT_EQ(Get("A", "k", file), "old");
}

// Input that would change the file's structure is refused, and nothing is
// written; a missing folder is not created.
TEST(Profile, BadArgumentsFailWithoutTouchingTheFile) {
    TempDir dir;
    const std::string file = dir.file("b.ini");
    const char* f = file.c_str();
    EXPECT_FALSE(WritePrivateProfileString("A", "k", "line\r\n[Injected]", f));
    EXPECT_NE(LastProfileError().find("line break"), std::string::npos);
    EXPECT_FALSE(WritePrivateProfileString("A\nB", "k", "v", f));
    EXPECT_FALSE(WritePrivateProfileString("A", "k=x", "v", f));
    EXPECT_FALSE(WritePrivateProfileString("A", ";k", "v", f));
    EXPECT_FALSE(WritePrivateProfileString("A", "  ", "v", f));
    EXPECT_FALSE(WritePrivateProfileString(nullptr, "k", "v", f));
    EXPECT_FALSE(std::filesystem::exists(file));

    // Deleting from a file that does not exist succeeds without creating it.
    EXPECT_TRUE(WritePrivateProfileString("A", "k", nullptr, f));
    EXPECT_FALSE(std::filesystem::exists(file));

    EXPECT_FALSE(WritePrivateProfileString("A", "k", "v", dir.file("no/such/dir.ini").c_str()));
    EXPECT_FALSE(LastProfileError().empty());
    EXPECT_FALSE(std::filesystem::exists(dir.file("no")));
}

// Several keys of a section in one rewrite: all of them or, when any name
// or value is refused or the rename fails, none; other keys stay.
TEST(Profile, ValuesWrittenTogetherLandAllOrNone) {
    TempDir dir;
    const std::string file = dir.file("p.ini");
    const char* f = file.c_str();
    ASSERT_TRUE(WritePrivateProfileString("P", "other", "1", f));
    EXPECT_FALSE(WritePrivateProfileValues("P", {{"a", "2"}, {"b", "x\ny"}}, f));
    EXPECT_FALSE(WritePrivateProfileValues("P", {{"a", "2"}, {"b=", "3"}}, f));
    EXPECT_EQ(ReadText(file), "[P]\r\nother=1\r\n");
    platform::testing::FailNextRename();
    EXPECT_FALSE(WritePrivateProfileValues("P", {{"a", "2"}, {"b", "3"}}, f));
    EXPECT_EQ(ReadText(file), "[P]\r\nother=1\r\n");
    ASSERT_TRUE(WritePrivateProfileValues("P", {{"a", "2"}, {"other", "4"}, {"b", "3"}}, f));
    EXPECT_EQ(ReadText(file), "[P]\r\nother=4\r\na=2\r\nb=3\r\n");
}

// Writers on several threads must not lose each other's keys (each write is
// a read-modify-rename of the whole file).
TEST(Profile, ConcurrentWritersLoseNothing) {
    TempDir dir;
    const std::string file = dir.file("c.ini");
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < 10; ++i) {
                std::string key = "k" + std::to_string(t) + "_" + std::to_string(i);
                WritePrivateProfileString("S", key.c_str(), "1", file.c_str());
            }
        });
    }
    for (auto& t : threads)
        t.join();
    for (int t = 0; t < 4; ++t)
        for (int i = 0; i < 10; ++i) {
            std::string key = "k" + std::to_string(t) + "_" + std::to_string(i);
            EXPECT_EQ(GetPrivateProfileInt("S", key.c_str(), 0, file.c_str()), 1u) << key;
        }
}

} // namespace
