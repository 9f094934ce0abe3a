#include "libs/lacquer/Lacquer.h"

#include <cstring>
#include <fstream>
#include <gtest/gtest.h>

#include "support/TempDir.h"
#include "xml/XmlNode.h"

using namespace lacquer;

TEST(Lacquer, ColoursFromHexAndDecimalTexts) {
    EXPECT_EQ(LoadColor("#FF8000"), Rgb(255, 128, 0));
    EXPECT_EQ(LoadColor(" #f80 "), Rgb(255, 136, 0));
    EXPECT_EQ(LoadColor("10, 20,30"), Rgb(10, 20, 30));
    EXPECT_EQ(LoadColor("#12345"), 0u);
    EXPECT_EQ(LoadColor("300,0,0"), 0u);
    EXPECT_EQ(LoadColor("red"), 0u);
}

TEST(Lacquer, FontTextFillsTheWholeRecord) {
    LOGFONTA f;
    std::memset(&f, 0x5A, sizeof f);
    LoadFont(&f, "DejaVu Sans, -14, 700, 1");
    EXPECT_STREQ(f.lfFaceName, "DejaVu Sans");
    EXPECT_EQ(f.lfHeight, -14);
    EXPECT_EQ(f.lfWeight, 700);
    EXPECT_EQ(f.lfItalic, 1);
    EXPECT_EQ(f.lfWidth, 0); // no stale byte survives
    LoadFont(&f, ",,bold");
    EXPECT_STREQ(f.lfFaceName, "Sans");
    EXPECT_EQ(f.lfHeight, -12);
    EXPECT_EQ(f.lfWeight, 400);
    // A face longer than the record is cut, never overflows it.
    LoadFont(&f, std::string(80, 'F'));
    EXPECT_EQ(std::strlen(f.lfFaceName), 31u);
}

// A broken skin file must not leave the previous tree current, or a failed
// skin change would silently "apply" the old skin under the new name.
TEST(Lacquer, BrokenSkinLeavesNoRootAndColoursComeFromTheSkin) {
    testsupport::TempDir dir;
    std::ofstream(dir.file("good.xml"))
        << "<SKIN Caption=\"G\"><Colors><Color Index=\"4\" Value=\"#010203\"/></Colors></SKIN>";
    std::ofstream(dir.file("bad.xml")) << "<SKIN";
    CXmlNode* root = nullptr;
    ASSERT_TRUE(LoadStandardSkin(dir.file("good.xml")));
    ASSERT_EQ(GetSkinXMLRoot(&root), kSOk);
    EXPECT_EQ(root->GetName(), "SKIN");
    EXPECT_EQ(GetSkinColor(kColorHighlight), Rgb(1, 2, 3));
    EXPECT_NE(GetSkinColor(kColorWindow), 0u); // default for an index the skin leaves out

    void* query = nullptr;
    GetSWQueryInterface(&query);
    ASSERT_NE(query, nullptr);
    EXPECT_EQ(static_cast<ISWQuery*>(query)->QuerySkinFolder(), dir.path() + "/");

    EXPECT_FALSE(LoadStandardSkin(dir.file("bad.xml")));
    EXPECT_EQ(GetSkinXMLRoot(&root), kEFail);
    EXPECT_EQ(root, nullptr);
    UnloadSkin();
}
