// Reading Adverts.ini into the frame's lists, the link rule and the
// settings: what the window thread reads every fifteen seconds.
#include "platform/AtomicFile.h"
#include "support/TempDir.h"
#include "ui/adverts/AdvertSettings.h"
#include "ui/adverts/AdvertsFile.h"
#include "ui/adverts/HttpFetch.h"

#include <chrono>
#include <gtest/gtest.h>

namespace {

using namespace ui::adverts;

// Texts and links are matched by index: a section without "Link" (or
// without "Text") must not shift the links of the sections after it.
TEST(AdvertLists, MissingKeysKeepTextsAndLinksPaired) {
    const SAdvertLists lists =
        ParseAdvertLists("; comment\r\n"
                         "[first]\r\nText=One\r\n"
                         "[second]\r\nlink=https://two.example/\r\n"
                         "[FIRST]\r\nText=Shadowed\r\n"
                         "[third]\r\ntext=Three\r\nLink=http://3.example/\r\n");
    EXPECT_EQ(lists.texts, (std::vector<std::string>{"One", "", "Three"}));
    EXPECT_EQ(lists.links,
              (std::vector<std::string>{"", "https://two.example/", "http://3.example/"}));
}

// Over-long values are cut at 1,023 bytes without splitting a character,
// and a huge number of sections is bounded by the names buffer instead of
// growing the lists without end.
TEST(AdvertLists, LongValuesAndThousandsOfSectionsAreBounded) {
    std::string text = "[a]\r\nText=" + std::string(1022, 'x') + "\xc3\xa9tail\r\n";
    SAdvertLists lists = ParseAdvertLists(text);
    ASSERT_EQ(lists.texts.size(), 1u);
    EXPECT_EQ(lists.texts[0], std::string(1022, 'x'));

    std::string many;
    for (int i = 0; i < 9000; ++i)
        many += "[" + std::to_string(10000 + i) + "]\r\nText=t\r\n";
    lists = ParseAdvertLists(many);
    // Each name takes six bytes of the 16,384; the list ends with one more.
    EXPECT_EQ(lists.texts.size(), (kSectionNamesBuffer - 1) / 6);
    EXPECT_EQ(lists.links.size(), lists.texts.size());

    const std::string binary("\xff\xfe\0[\0a\0]\0\x01\x02\x03", 12);
    EXPECT_NO_THROW(ParseAdvertLists(binary));
}

// With no Adverts.ini (or a file too large to read every few seconds) the
// frame keeps the lists it has.
TEST(AdvertLists, MissingOrHugeFileLeavesTheListsAlone) {
    testsupport::TempDir dir;
    SAdvertLists lists{{"kept"}, {""}};
    EXPECT_FALSE(LoadAdvertLists(dir.file("Adverts.ini"), lists));
    ASSERT_TRUE(platform::WriteFileAtomically(
        dir.file("Adverts.ini"), "[a]\r\nText=" + std::string(kMaxAdvertsFileBytes, 'x')));
    EXPECT_FALSE(LoadAdvertLists(dir.file("Adverts.ini"), lists));
    EXPECT_EQ(lists.texts, std::vector<std::string>{"kept"});
}

// Links come from the network: only web addresses may reach the browser.
TEST(AdvertLinks, OnlyHttpAndHttpsAreWebAddresses) {
    EXPECT_TRUE(IsWebAddress("http://example.org/"));
    EXPECT_TRUE(IsWebAddress("HTTPS://example.org/path?q=1"));
    for (const char* bad : {"file:///etc/passwd", "javascript:alert(1)", "ftp://example.org/",
                            "mailto:a@example.org", "example.org", "", "http://", "smb://h/s"})
        EXPECT_FALSE(IsWebAddress(bad)) << bad;
}

// The download interval stays ten minutes unless set, and a setting cannot
// make the worker hammer the server.
TEST(AdvertSettings, EmptyAddressesByDefaultAndIntervalBounded) {
    testsupport::TempDir dir;
    const std::string config = dir.file("config.ini");
    SAdvertSettings s = ReadAdvertSettings(config);
    EXPECT_TRUE(s.url.empty());
    EXPECT_TRUE(s.bannerUrl.empty());
    EXPECT_EQ(s.interval, std::chrono::minutes(10));
    ASSERT_TRUE(platform::WriteFileAtomically(
        config, "[ADVERTS]\r\nUrl=https://h/a.ini\r\nBannerUrl=http://h/b\r\nIntervalMs=5\r\n"));
    s = ReadAdvertSettings(config);
    EXPECT_EQ(s.url, "https://h/a.ini");
    EXPECT_EQ(s.bannerUrl, "http://h/b");
    EXPECT_EQ(s.interval, kMinimumInterval);
}

} // namespace
