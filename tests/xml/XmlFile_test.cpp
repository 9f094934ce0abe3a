#include "xml/XmlNode.h"

#include "platform/AtomicFile.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

using testsupport::TempDir;

const std::string kDeclaration =
    "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n";

std::string Write(const TempDir& dir, const std::string& name, const std::string& contents) {
    const std::string path = dir.file(name);
    EXPECT_TRUE(platform::WriteFileAtomically(path, contents));
    return path;
}

std::string Read(const std::string& path) {
    std::string contents;
    EXPECT_TRUE(platform::ReadWholeFile(path, contents));
    return contents;
}

std::vector<std::string> ChildNames(const CXmlNode& node) {
    std::vector<std::string> names;
    for (CXmlNode* c = node.GetFirstChild(); c; c = c->GetNextSibling())
        names.push_back(c->GetName());
    return names;
}

std::string Attr(const CXmlNode& node, const std::string& name) {
    std::string value = "<absent>";
    node.GetAttribute(name, value);
    return value;
}

TEST(XmlSave, EmptyNodeIsOneSelfClosingLine) {
    TempDir dir;
    CXmlNode lang("Lang");
    ASSERT_TRUE(lang.SaveToFile(dir.file("a.xml")));
    EXPECT_EQ(Read(dir.file("a.xml")), kDeclaration + "<Lang/>\r\n");
}

TEST(XmlSave, WritesTheExactLayout) {
    TempDir dir;
    CXmlNode root("SKIN");
    root.SetAttribute("Caption", "Dark & \"Deep\"");
    root.SetAttribute("Size", "<3 'x'>");
    CXmlNode* panel = root.AddChild("Panel");
    panel->SetAttribute("Name", "Top");
    panel->AddChild("Button")->SetAttribute("Id", 7);
    panel->AddChild("Slider");
    root.AddChild("Empty");
    const std::string path = dir.file("skin.xml");
    ASSERT_TRUE(root.SaveToFile(path));
    EXPECT_EQ(Read(path), kDeclaration +
                              "<SKIN Caption=\"Dark &amp; &quot;Deep&quot;\" Size=\"&lt;3 "
                              "&apos;x&apos;&gt;\">\r\n"
                              "\t<Panel Name=\"Top\">\r\n"
                              "\t\t<Button Id=\"7\"/>\r\n"
                              "\t\t<Slider/>\r\n"
                              "\t</Panel>\r\n"
                              "\t<Empty/>\r\n"
                              "</SKIN>\r\n");
}

// Values must come back byte for byte, including the characters XML treats
// specially and white space the parser would otherwise normalise to spaces.
TEST(XmlSave, AwkwardValuesSurviveTwoRoundTrips) {
    TempDir dir;
    const std::vector<std::string> values = {
        "<&\"",
        "a'b\"c&amp;d>e",
        "  leading and trailing  ",
        "tab\there\r\nnew line\rcr",
        "K\xC3\xB6nig \xE2\x99\xAA \xF0\x9F\x8E\xB5",
        "",
        "]]>",
    };
    CXmlNode root("Root");
    for (std::size_t i = 0; i < values.size(); ++i) {
        root.AddChild("Item")->SetAttribute("V\xC3\xA9" + std::to_string(i), values[i]);
    }
    const std::string first = dir.file("1.xml"), second = dir.file("2.xml");
    ASSERT_TRUE(root.SaveToFile(first));

    CXmlNode loaded;
    std::string error;
    ASSERT_TRUE(loaded.LoadFromFile(first, &error)) << error;
    std::size_t i = 0;
    for (CXmlNode* item = loaded.GetFirstChild(); item; item = item->GetNextSibling(), ++i) {
        ASSERT_LT(i, values.size());
        EXPECT_EQ(Attr(*item, "V\xC3\xA9" + std::to_string(i)), values[i]);
    }
    EXPECT_EQ(i, values.size());

    ASSERT_TRUE(loaded.SaveToFile(second));
    EXPECT_EQ(Read(first), Read(second));
}

TEST(XmlLoad, KeepsOrderAndTurnsOtherNodesIntoUnnamedChildren) {
    TempDir dir;
    const std::string path = Write(dir, "a.xml",
                                   "<?xml version=\"1.0\"?>\n"
                                   "<!-- before the root: not part of the tree -->\n"
                                   "<Root z=\"1\" a=\"2\" m=\"3\">\n"
                                   "  <First/>\n"
                                   "  <!-- a comment -->\n"
                                   "  <Second>text</Second>\n"
                                   "  <![CDATA[ raw <data> ]]>\n"
                                   "  <?target data?>\n"
                                   "  tail text\n"
                                   "  <Third/>\n"
                                   "</Root>\n");
    CXmlNode root;
    ASSERT_TRUE(root.LoadFromFile(path));
    EXPECT_EQ(root.GetName(), "Root");
    ASSERT_EQ(root.GetAttributes().size(), 3u);
    EXPECT_EQ(root.GetAttributes()[0].first, "z");
    EXPECT_EQ(root.GetAttributes()[1].first, "a");
    EXPECT_EQ(root.GetAttributes()[2].first, "m");

    // Whitespace between elements is layout and leaves no trace; the
    // comment, the CDATA section, the instruction and the text do.
    EXPECT_EQ(ChildNames(root),
              (std::vector<std::string>{"First", "", "Second", "", "", "", "Third"}));
    EXPECT_EQ(ChildNames(*root.FindChild("Second")), (std::vector<std::string>{""}));
    EXPECT_EQ(root.FindChild("second"), root.GetFirstChild()->GetNextSibling()->GetNextSibling());
}

TEST(XmlLoad, ResolvesEntitiesAndCharacterReferences) {
    TempDir dir;
    const std::string path = Write(dir, "e.xml",
                                   "<!DOCTYPE Root [\n"
                                   "  <!ENTITY maker \"Sonvara &amp; co\">\n"
                                   "  <!ENTITY item \"<Item Name='from entity'/>\">\n"
                                   "]>\n"
                                   "<Root By=\"&maker;\" Sign=\"&#x263A;&lt;&#65;&gt;\" "
                                   "Lines=\"a&#10;b\" Spaces=\"a\tb\">&item;</Root>\n");
    CXmlNode root;
    std::string error;
    ASSERT_TRUE(root.LoadFromFile(path, &error)) << error;
    EXPECT_EQ(Attr(root, "By"), "Sonvara & co");
    EXPECT_EQ(Attr(root, "Sign"), "\xE2\x98\xBA<A>");
    EXPECT_EQ(Attr(root, "Lines"), "a\nb");
    EXPECT_EQ(Attr(root, "Spaces"), "a b"); // attribute value normalisation
    ASSERT_NE(root.FindChild("Item"), nullptr);
    EXPECT_EQ(Attr(*root.FindChild("Item"), "Name"), "from entity");
}

// A file written by the Windows program declares its code page; bytes above
// 127 must arrive as the matching UTF-8 characters, not as raw bytes.
TEST(XmlLoad, HonoursTheDeclaredEncoding) {
    TempDir dir;
    const std::string path = Write(dir, "cp.xml",
                                   "<?xml version=\"1.0\" encoding=\"Windows-1252\" "
                                   "standalone=\"yes\"?>\r\n"
                                   "<Lang Name=\"Fran\xE7"
                                   "ais \x80 \x93q\x94\"/>\r\n");
    CXmlNode lang;
    std::string error;
    ASSERT_TRUE(lang.LoadFromFile(path, &error)) << error;
    EXPECT_EQ(Attr(lang, "Name"), "Fran\xC3\xA7"
                                  "ais \xE2\x82\xAC \xE2\x80\x9Cq\xE2\x80\x9D");

    // UTF-16 with a byte order mark.
    const std::string utf16("\xFF\xFE<\0A\0 \0x\0=\0\"\0\xE9\0\"\0/\0>\0", 22);
    CXmlNode wide;
    ASSERT_TRUE(wide.LoadFromFile(Write(dir, "w.xml", utf16), &error)) << error;
    EXPECT_EQ(wide.GetName(), "A");
    EXPECT_EQ(Attr(wide, "x"), "\xC3\xA9");
}

TEST(XmlLoad, NamespacedNamesKeepTheirPrefix) {
    TempDir dir;
    CXmlNode root;
    ASSERT_TRUE(root.LoadFromFile(
        Write(dir, "ns.xml",
              "<s:Skin xmlns:s=\"urn:s\" s:Caption=\"c\" Plain=\"p\"><s:Panel/></s:Skin>")));
    EXPECT_EQ(root.GetName(), "s:Skin");
    EXPECT_EQ(Attr(root, "xmlns:s"), "urn:s");
    EXPECT_EQ(Attr(root, "s:Caption"), "c");
    EXPECT_EQ(ChildNames(root), (std::vector<std::string>{"s:Panel"}));
}

// Loading adds to what is there; a failed load must change nothing at all.
TEST(XmlLoad, FailureLeavesTheNodeAsItWas) {
    TempDir dir;
    CXmlNode node("Keep");
    node.SetAttribute("A", "1");
    node.AddChild("Child");
    const std::vector<std::string> bad = {
        "<Root><Open></Root>",                                        // not well-formed
        "<Root a=\"1\" a=\"2\"/>",                                    // duplicate attribute
        "",                                                           // empty
        "<Root>\n  <Item Name=\"trunc",                               // truncated
        std::string("\x00\x01\xFE\xFF\x89PNG\r\n\x1A\n\x00\x00", 14), // binary
        "<Root Name=\"\xE9\"/>",                                      // not UTF-8, no declaration
        "<?xml version=\"1.0\" encoding=\"x-no-such-code-page\"?><Root/>",
        "<Root/><Second/>", // two document elements
    };
    for (std::size_t i = 0; i < bad.size(); ++i) {
        std::string error;
        EXPECT_FALSE(node.LoadFromFile(Write(dir, "bad" + std::to_string(i), bad[i]), &error)) << i;
        EXPECT_NE(error.find("bad" + std::to_string(i)), std::string::npos) << error;
    }
    EXPECT_FALSE(node.LoadFromFile(dir.file("missing.xml")));
    EXPECT_FALSE(node.LoadFromFile(dir.path()));

    EXPECT_EQ(node.GetName(), "Keep");
    EXPECT_EQ(node.GetAttributes().size(), 1u);
    EXPECT_EQ(ChildNames(node), (std::vector<std::string>{"Child"}));

    // A good file adds to the node.
    ASSERT_TRUE(node.LoadFromFile(Write(dir, "good.xml", "<New B=\"2\"><Extra/></New>")));
    EXPECT_EQ(node.GetName(), "New");
    EXPECT_EQ(Attr(node, "A"), "1");
    EXPECT_EQ(Attr(node, "B"), "2");
    EXPECT_EQ(ChildNames(node), (std::vector<std::string>{"Child", "Extra"}));
}

// Skins and playlists come from anywhere: a file must not make us read other
// files, reach the network, exhaust memory or overflow the stack, and every
// refusal is a plain false without noise on stderr.
class XmlHostile : public ::testing::Test {
protected:
    void ExpectRefused(const std::string& name, const std::string& contents) {
        const std::string path = Write(m_dir, name, contents);
        CXmlNode node;
        std::string error;
        ::testing::internal::CaptureStderr();
        const bool loaded = node.LoadFromFile(path, &error);
        const std::string printed = ::testing::internal::GetCapturedStderr();
        EXPECT_FALSE(loaded) << name;
        EXPECT_FALSE(error.empty()) << name;
        EXPECT_EQ(printed, "") << name;
        EXPECT_EQ(node.GetName(), "") << name;
        EXPECT_EQ(node.GetFirstChild(), nullptr) << name;
    }
    TempDir m_dir;
};

TEST_F(XmlHostile, ExternalEntitiesAreNeverRead) {
    const std::string secret = Write(m_dir, "secret.txt", "top secret");
    ExpectRefused("file.xml",
                  "<!DOCTYPE r [<!ENTITY s SYSTEM \"file://" + secret + "\">]>\n<r>&s;</r>");
    ExpectRefused("relative.xml", "<!DOCTYPE r [<!ENTITY s SYSTEM \"secret.txt\">]>\n<r>&s;</r>");
    ExpectRefused("net.xml",
                  "<!DOCTYPE r [<!ENTITY s SYSTEM \"http://127.0.0.1:9/x\">]>\n<r a=\"1\">&s;</r>");
    ExpectRefused("param.xml", "<!DOCTYPE r [<!ENTITY % p SYSTEM \"secret.txt\"> %p;]>\n<r/>");
    // The entity is declared in an external DTD that we do not read; dropping
    // the reference silently would lose text.
    Write(m_dir, "ext.dtd", "<!ENTITY s \"from dtd\">");
    ExpectRefused("dtd.xml", "<!DOCTYPE r SYSTEM \"ext.dtd\">\n<r a=\"x&s;y\"/>");
}

TEST_F(XmlHostile, EntityExpansionBombsAreRefused) {
    std::string laughs = "<!DOCTYPE r [\n<!ENTITY l0 \"lol\">\n";
    for (int i = 1; i <= 10; ++i) {
        laughs += "<!ENTITY l" + std::to_string(i) + " \"";
        for (int k = 0; k < 10; ++k)
            laughs += "&l" + std::to_string(i - 1) + ";";
        laughs += "\">\n";
    }
    ExpectRefused("laughs.xml", laughs + "]>\n<r>&l10;</r>");
    ExpectRefused("laughs-attr.xml", laughs + "]>\n<r a=\"&l10;\"/>");

    // One large entity referenced many times: quadratic rather than
    // exponential growth.
    std::string quadratic =
        "<!DOCTYPE r [<!ENTITY big \"" + std::string(100000, 'x') + "\">]>\n<r>";
    for (int i = 0; i < 20000; ++i)
        quadratic += "&big;";
    ExpectRefused("quadratic.xml", quadratic + "</r>");
}

TEST_F(XmlHostile, ExcessiveNestingIsRefused) {
    std::string deep;
    for (int i = 0; i < 100000; ++i)
        deep += "<a>";
    for (int i = 0; i < 100000; ++i)
        deep += "</a>";
    ExpectRefused("deep.xml", deep);

    // Entities can stack elements beyond what one parser level allows.
    std::string open, close;
    for (int i = 0; i < 200; ++i) {
        open += "<a>";
        close += "</a>";
    }
    std::string nested = "<!DOCTYPE r [\n<!ENTITY e0 \"" + open + close + "\">\n";
    for (int i = 1; i <= 4; ++i) {
        nested += "<!ENTITY e" + std::to_string(i) + " \"" + open + "&e" + std::to_string(i - 1) +
                  ";" + close + "\">\n";
    }
    ExpectRefused("entity-deep.xml", nested + "]>\n<r>&e4;</r>");
}

TEST(XmlLoad, NestingUpToTheLimitLoads) {
    TempDir dir;
    std::string text;
    for (int i = 0; i < CXmlNode::kMaxDepth; ++i)
        text += "<a>";
    for (int i = 0; i < CXmlNode::kMaxDepth; ++i)
        text += "</a>";
    CXmlNode root;
    std::string error;
    ASSERT_TRUE(root.LoadFromFile(Write(dir, "max.xml", text), &error)) << error;
    int depth = 1;
    for (CXmlNode* n = root.GetFirstChild(); n; n = n->GetFirstChild())
        ++depth;
    EXPECT_EQ(depth, CXmlNode::kMaxDepth);

    // And such a tree saves and reloads; one level more is refused up front.
    EXPECT_TRUE(root.SaveToFile(dir.file("again.xml"), &error)) << error;
    CXmlNode* leaf = &root;
    while (leaf->GetFirstChild())
        leaf = leaf->GetFirstChild();
    leaf->AddChild("b");
    EXPECT_FALSE(root.SaveToFile(dir.file("deeper.xml"), &error));
}

// The loader would refuse a file holding any of these, so writing one would
// silently lose the whole file next time; the old file must stay instead.
TEST(XmlSave, RefusesTreesThatWouldNotLoadAgain) {
    TempDir dir;
    const std::string path = dir.file("playlists.xml");
    ASSERT_TRUE(platform::WriteFileAtomically(path, "old"));

    auto expectRefused = [&](CXmlNode& root, const std::string& what) {
        std::string error;
        EXPECT_FALSE(root.SaveToFile(path, &error)) << what;
        EXPECT_NE(error.find("playlists.xml"), std::string::npos) << error;
        EXPECT_EQ(Read(path), "old") << what;
    };
    {
        CXmlNode root("List");
        root.AddChild("Item")->SetAttribute("Path", "/music/caf\xE9.mp3"); // Latin-1 file name
        expectRefused(root, "invalid UTF-8");
    }
    {
        CXmlNode root("List");
        root.SetAttribute("Name", std::string("a\x01"
                                              "b"));
        expectRefused(root, "control character");
    }
    {
        CXmlNode root("List");
        root.AddChild("Bad Name");
        expectRefused(root, "element name with a space");
    }
    {
        CXmlNode root("List");
        root.SetAttribute("1st", "x");
        expectRefused(root, "attribute name starting with a digit");
    }
    {
        CXmlNode root("List");
        root.AppendAttribute("Name", "a");
        root.AppendAttribute("Name", "b");
        expectRefused(root, "duplicate attribute");
    }
    {
        CXmlNode unnamed;
        expectRefused(unnamed, "unnamed root");
    }
    CXmlNode fine("List");
    EXPECT_FALSE(fine.SaveToFile(dir.file("no/such/folder/x.xml")));
}

// Text and comments load as unnamed nodes; writing them as "</>" would make
// the saved file unreadable.
TEST(XmlSave, UnnamedNodesAreLeftOut) {
    TempDir dir;
    CXmlNode root;
    ASSERT_TRUE(root.LoadFromFile(
        Write(dir, "in.xml", "<Root><!-- c --><Name>text</Name>tail<Item/></Root>")));
    const std::string out = dir.file("out.xml");
    ASSERT_TRUE(root.SaveToFile(out));
    EXPECT_EQ(Read(out), kDeclaration + "<Root>\r\n\t<Name/>\r\n\t<Item/>\r\n</Root>\r\n");
    CXmlNode again;
    EXPECT_TRUE(again.LoadFromFile(out));
}

} // namespace
