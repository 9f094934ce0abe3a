#include "xml/XmlNode.h"

#include "platform/AtomicFile.h"
#include "support/TempDir.h"

#include <functional>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

using testsupport::TempDir;
using Names = std::vector<std::string>;

const std::string kDeclaration =
    "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n";

std::string Write(const TempDir& dir, const std::string& name, const std::string& contents) {
    EXPECT_TRUE(platform::WriteFileAtomically(dir.file(name), contents));
    return dir.file(name);
}

std::string Read(const std::string& path) {
    std::string contents;
    EXPECT_TRUE(platform::ReadWholeFile(path, contents));
    return contents;
}

Names ChildNames(const CXmlNode& node) {
    Names names;
    for (CXmlNode* c = node.GetFirstChild(); c; c = c->GetNextSibling())
        names.push_back(c->GetName());
    return names;
}

std::string Attr(const CXmlNode& node, const std::string& name) {
    std::string value = "<absent>";
    node.GetAttribute(name, value);
    return value;
}

TEST(XmlSave, WritesTheExactLayout) {
    TempDir dir;
    CXmlNode lang("Lang");
    ASSERT_TRUE(lang.SaveToFile(dir.file("lang.xml")));
    EXPECT_EQ(Read(dir.file("lang.xml")), kDeclaration + "<Lang/>\r\n");

    CXmlNode root("SKIN");
    root.SetAttribute("Caption", "Dark & \"Deep\"");
    root.SetAttribute("Size", "<3 'x'>");
    CXmlNode* panel = root.AddChild("Panel");
    panel->AddChild("Button")->SetAttribute("Id", 7);
    panel->AddChild("Slider");
    root.AddChild("Empty");
    ASSERT_TRUE(root.SaveToFile(dir.file("skin.xml")));
    EXPECT_EQ(
        Read(dir.file("skin.xml")),
        kDeclaration +
            "<SKIN Caption=\"Dark &amp; &quot;Deep&quot;\" Size=\"&lt;3 &apos;x&apos;&gt;\">\r\n"
            "\t<Panel>\r\n\t\t<Button Id=\"7\"/>\r\n\t\t<Slider/>\r\n\t</Panel>\r\n"
            "\t<Empty/>\r\n</SKIN>\r\n");
}

// Values must come back byte for byte, including the characters XML treats
// specially and white space the parser would otherwise turn into spaces.
TEST(XmlSave, AwkwardValuesSurviveRoundTrips) {
    TempDir dir;
    const Names values = {"<&\"",
                          "a'b\"c&amp;d>e",
                          "  padded  ",
                          "tab\there\r\nline\rcr",
                          "K\xC3\xB6nig \xE2\x99\xAA \xF0\x9F\x8E\xB5",
                          "",
                          "]]>"};
    CXmlNode root("Root");
    for (const std::string& value : values)
        root.AddChild("Item")->SetAttribute("V\xC3\xA9", value);
    ASSERT_TRUE(root.SaveToFile(dir.file("1.xml")));

    CXmlNode loaded;
    std::string error;
    ASSERT_TRUE(loaded.LoadFromFile(dir.file("1.xml"), &error)) << error;
    Names back;
    for (CXmlNode* item = loaded.GetFirstChild(); item; item = item->GetNextSibling()) {
        back.push_back(Attr(*item, "V\xC3\xA9"));
    }
    EXPECT_EQ(back, values);
    ASSERT_TRUE(loaded.SaveToFile(dir.file("2.xml")));
    EXPECT_EQ(Read(dir.file("1.xml")), Read(dir.file("2.xml")));
}

// The loader would refuse a file holding any of these, so writing one would
// lose the whole file next time; the old file must stay instead.
TEST(XmlSave, RefusesTreesThatWouldNotLoadAgain) {
    TempDir dir;
    const std::string path = Write(dir, "playlists.xml", "old");
    const std::vector<std::function<void(CXmlNode&)>> spoil = {
        [](CXmlNode& n) { n.AddChild("I")->SetAttribute("P", "caf\xE9.mp3"); }, // Latin-1
        [](CXmlNode& n) { n.SetAttribute("Name", "a\x01z"); },
        [](CXmlNode& n) { n.AddChild("Bad Name"); },
        [](CXmlNode& n) { n.SetAttribute("1st", "x"); },
        [](CXmlNode& n) { n.AppendAttribute("N", "a"), n.AppendAttribute("N", "b"); },
        [](CXmlNode& n) { n.SetName(""); },
        [](CXmlNode& n) { // one level deeper than a load accepts
            CXmlNode* p = &n;
            for (int i = 0; i < CXmlNode::kMaxDepth; ++i)
                p = p->AddChild("a");
        },
    };
    for (std::size_t i = 0; i < spoil.size(); ++i) {
        CXmlNode root("List");
        spoil[i](root);
        std::string error;
        EXPECT_FALSE(root.SaveToFile(path, &error)) << i;
        EXPECT_NE(error.find("playlists.xml"), std::string::npos) << error;
    }
    EXPECT_EQ(Read(path), "old");
    EXPECT_FALSE(CXmlNode("List").SaveToFile(dir.file("no/such/folder/x.xml")));
}

// Text and comments load as unnamed nodes; writing them as "</>" would make
// the saved file unreadable.
TEST(XmlSave, UnnamedNodesAreLeftOut) {
    TempDir dir;
    CXmlNode root;
    ASSERT_TRUE(root.LoadFromFile(
        Write(dir, "in.xml", "<Root><!-- c --><Name>text</Name>tail<Item/></Root>")));
    ASSERT_TRUE(root.SaveToFile(dir.file("out.xml")));
    EXPECT_EQ(Read(dir.file("out.xml")),
              kDeclaration + "<Root>\r\n\t<Name/>\r\n\t<Item/>\r\n</Root>\r\n");
}

TEST(XmlLoad, KeepsDocumentOrderAndMakesOtherNodesUnnamed) {
    TempDir dir;
    CXmlNode root;
    ASSERT_TRUE(
        root.LoadFromFile(Write(dir, "a.xml",
                                "<?xml version=\"1.0\"?>\n<!-- outside the tree -->\n"
                                "<s:Root z=\"1\" xmlns:s=\"urn:s\" a=\"2\" s:m=\"3\">\n"
                                "  <First/>\n  <!-- a comment -->\n  <s:Second>t</s:Second>\n"
                                "  <![CDATA[ raw ]]>\n  <?pi data?>\n  tail text\n"
                                "  <Third/>\n</s:Root>\n")));
    EXPECT_EQ(root.GetName(), "s:Root");
    Names attributes;
    for (const auto& a : root.GetAttributes())
        attributes.push_back(a.first);
    EXPECT_EQ(attributes, (Names{"xmlns:s", "z", "a", "s:m"}));
    // Whitespace between elements leaves no trace; comment, CDATA,
    // instruction and text do, in their places.
    EXPECT_EQ(ChildNames(root), (Names{"First", "", "s:Second", "", "", "", "Third"}));
    EXPECT_EQ(ChildNames(*root.FindChild("S:SECOND")), (Names{""}));
}

TEST(XmlLoad, ResolvesEntitiesAndTheDeclaredEncoding) {
    TempDir dir;
    CXmlNode root;
    std::string error;
    ASSERT_TRUE(root.LoadFromFile(Write(dir, "e.xml",
                                        "<!DOCTYPE Root [<!ENTITY maker \"Sonvara &amp; co\">\n"
                                        "<!ENTITY item \"<Item Name='from entity'/>\">]>\n"
                                        "<Root By=\"&maker;\" Sign=\"&#x263A;&lt;&#65;\" "
                                        "Lines=\"a&#10;b\" Raw=\"a\tb\">&item;</Root>\n"),
                                  &error))
        << error;
    EXPECT_EQ(Attr(root, "By"), "Sonvara & co");
    EXPECT_EQ(Attr(root, "Sign"), "\xE2\x98\xBA<A");
    EXPECT_EQ(Attr(root, "Lines"), "a\nb");
    EXPECT_EQ(Attr(root, "Raw"), "a b");
    ASSERT_NE(root.FindChild("Item"), nullptr);
    EXPECT_EQ(Attr(*root.FindChild("Item"), "Name"), "from entity");

    // The Windows program declared its code page; bytes above 127 must
    // arrive as the matching UTF-8 characters.
    CXmlNode lang;
    ASSERT_TRUE(lang.LoadFromFile(Write(dir, "cp.xml",
                                        "<?xml version=\"1.0\" encoding=\"Windows-1252\"?>\r\n"
                                        "<Lang Name=\"Fran\xE7"
                                        "ais \x80 \x93q\x94\"/>\r\n"),
                                  &error))
        << error;
    EXPECT_EQ(Attr(lang, "Name"), "Fran\xC3\xA7"
                                  "ais \xE2\x82\xAC \xE2\x80\x9Cq\xE2\x80\x9D");
}

// Loading adds to what is there; a failed load must change nothing at all.
TEST(XmlLoad, FailureLeavesTheNodeAsItWas) {
    TempDir dir;
    CXmlNode node("Keep");
    node.SetAttribute("A", "1");
    node.AddChild("Child");
    const Names bad = {"<Root><Open></Root>",
                       "<Root a=\"1\" a=\"2\"/>",
                       "",
                       "<Root/><Second/>",
                       "<Root Name=\"\xE9\"/>", // not UTF-8 and no declaration
                       "<?xml version=\"1.0\" encoding=\"x-no-such-page\"?><Root/>"};
    for (std::size_t i = 0; i < bad.size(); ++i) {
        std::string error;
        const std::string name = "bad" + std::to_string(i);
        EXPECT_FALSE(node.LoadFromFile(Write(dir, name, bad[i]), &error)) << i;
        EXPECT_NE(error.find(name), std::string::npos) << error;
    }
    EXPECT_FALSE(node.LoadFromFile(dir.file("missing.xml")) || node.LoadFromFile(dir.path()));
    EXPECT_EQ(node.GetName(), "Keep");
    EXPECT_EQ(node.GetAttributes().size(), 1u);
    EXPECT_EQ(ChildNames(node), (Names{"Child"}));

    ASSERT_TRUE(node.LoadFromFile(Write(dir, "good.xml", "<New B=\"2\"><Extra/></New>")));
    EXPECT_EQ(node.GetName(), "New");
    EXPECT_EQ(Attr(node, "A") + Attr(node, "B"), "12");
    EXPECT_EQ(ChildNames(node), (Names{"Child", "Extra"}));
}

// Skins and playlists come from anywhere: a file must not make us read other
// files, reach the network, exhaust memory or the stack, and every refusal is
// a plain false with a reason and nothing printed on stderr.
class XmlHostile : public ::testing::Test {
protected:
    void ExpectRefused(const std::string& name, const std::string& contents) {
        const std::string path = Write(m_dir, name, contents);
        CXmlNode node;
        std::string error;
        ::testing::internal::CaptureStderr();
        EXPECT_FALSE(node.LoadFromFile(path, &error)) << name;
        EXPECT_EQ(::testing::internal::GetCapturedStderr(), "") << name;
        EXPECT_FALSE(error.empty()) << name;
        EXPECT_TRUE(node.GetName().empty() && !node.GetFirstChild()) << name;
    }
    TempDir m_dir;
};

TEST_F(XmlHostile, ExternalEntitiesAreNeverRead) {
    const std::string secret = Write(m_dir, "secret.txt", "top secret");
    ExpectRefused("file.xml",
                  "<!DOCTYPE r [<!ENTITY s SYSTEM \"file://" + secret + "\">]><r>&s;</r>");
    ExpectRefused("net.xml", "<!DOCTYPE r [<!ENTITY s SYSTEM \"http://127.0.0.1:9/\">]><r>&s;</r>");
    ExpectRefused("param.xml", "<!DOCTYPE r [<!ENTITY % p SYSTEM \"secret.txt\"> %p;]><r/>");
    // Declared only in an external DTD that is never read: dropping the
    // reference silently would lose text.
    Write(m_dir, "ext.dtd", "<!ENTITY s \"from dtd\">");
    ExpectRefused("dtd.xml", "<!DOCTYPE r SYSTEM \"ext.dtd\"><r a=\"x&s;y\"/>");
}

TEST_F(XmlHostile, EntityBombsAndDeepNestingAreRefused) {
    std::string laughs = "<!DOCTYPE r [<!ENTITY l0 \"lol\">\n";
    for (int i = 1; i <= 10; ++i) {
        laughs += "<!ENTITY l" + std::to_string(i) + " \"";
        for (int k = 0; k < 10; ++k)
            laughs += "&l" + std::to_string(i - 1) + ";";
        laughs += "\">\n";
    }
    ExpectRefused("laughs.xml", laughs + "]><r>&l10;</r>");
    ExpectRefused("laughs-attr.xml", laughs + "]><r a=\"&l10;\"/>");
    std::string quadratic = "<!DOCTYPE r [<!ENTITY b \"" + std::string(100000, 'x') + "\">]><r>";
    for (int i = 0; i < 20000; ++i)
        quadratic += "&b;";
    ExpectRefused("quadratic.xml", quadratic + "</r>");

    std::string deepOpen, deepClose;
    for (int i = 0; i < 100000; ++i)
        deepOpen += "<a>", deepClose += "</a>";
    ExpectRefused("deep.xml", deepOpen + deepClose);
    const std::size_t limit = CXmlNode::kMaxDepth;
    ExpectRefused("over.xml",
                  deepOpen.substr(0, 3 * limit + 3) + deepClose.substr(0, 4 * limit + 4));
    CXmlNode atLimit;
    EXPECT_TRUE(atLimit.LoadFromFile(
        Write(m_dir, "limit.xml", deepOpen.substr(0, 3 * limit) + deepClose.substr(0, 4 * limit))));
    // Entities can stack elements beyond what one parser level allows.
    std::string open, close;
    for (int i = 0; i < 200; ++i)
        open += "<a>", close += "</a>";
    std::string nested = "<!DOCTYPE r [<!ENTITY e0 \"\">\n";
    for (int i = 1; i <= 4; ++i) {
        nested += "<!ENTITY e" + std::to_string(i) + " \"" + open + "&e" + std::to_string(i - 1) +
                  ";" + close + "\">\n";
    }
    ExpectRefused("entity-deep.xml", nested + "]><r>&e4;</r>");
    ExpectRefused("truncated.xml", "<Root>\n  <Item Name=\"trunc");
    ExpectRefused("binary.xml", std::string("\x89PNG\r\n\x1A\n\x00\x00\x00\rIHDR", 16));
}

} // namespace
