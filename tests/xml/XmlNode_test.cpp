#include "xml/XmlNode.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <gtest/gtest.h>
#include <locale.h>
#include <string>
#include <vector>

#include "support/TempDir.h"

namespace {

// Walks the sibling list and checks the invariants every other operation
// relies on; returns the children in order.
std::vector<CTreeNode*> Children(const CTreeNode& parent) {
    std::vector<CTreeNode*> out;
    CTreeNode* last = nullptr;
    for (CTreeNode* c = parent.GetFirstChildNode(); c; c = c->GetNextSiblingNode()) {
        EXPECT_EQ(c->GetParentNode(), &parent);
        out.push_back(c);
        last = c;
    }
    EXPECT_EQ(parent.GetLastChildNode(), last);
    return out;
}

struct Logged : CTreeNode {
    Logged(std::vector<int>& log, int id) : m_log(log), m_id(id) {}
    ~Logged() override { m_log.push_back(m_id); }
    std::vector<int>& m_log;
    int m_id;
};

// Deleting a first, middle or last child must leave the parent's first and
// last links and the sibling chain pointing at live nodes only.
TEST(TreeNode, DestroyingAChildDetachesItFirst) {
    CXmlNode root("Root");
    CXmlNode* a = root.AddChild("A");
    CXmlNode* b = root.AddChild("B");
    CXmlNode* c = root.AddChild("C");
    CXmlNode* d = root.AddChild("D");

    delete b;
    EXPECT_EQ(Children(root), (std::vector<CTreeNode*>{a, c, d}));
    delete d;
    EXPECT_EQ(Children(root), (std::vector<CTreeNode*>{a, c}));
    delete a;
    EXPECT_EQ(Children(root), (std::vector<CTreeNode*>{c}));
    delete c;
    EXPECT_TRUE(Children(root).empty());
    EXPECT_EQ(root.GetFirstChildNode(), nullptr);

    // The parent must still append correctly after losing its last child.
    CXmlNode* e = root.AddChild("E");
    EXPECT_EQ(Children(root), (std::vector<CTreeNode*>{e}));
}

// A subtree goes with its root, children in sibling order.
TEST(TreeNode, DestroysWholeSubtreeInSiblingOrder) {
    std::vector<int> log;
    auto* a = new Logged(log, 1);
    auto* b = new Logged(log, 2);
    a->AppendChild(b);
    b->AppendChild(new Logged(log, 3));
    b->AppendChild(new Logged(log, 4));
    a->AppendChild(new Logged(log, 5));
    delete a;
    EXPECT_EQ(log, (std::vector<int>{1, 2, 3, 4, 5}));
}

// A recursive destructor would overflow the stack on a long chain.
TEST(TreeNode, DestroysAVeryDeepChain) {
    auto* root = new CXmlNode("R");
    CXmlNode* node = root;
    for (int i = 0; i < 300000; ++i)
        node = node->AddChild("N");
    delete root;
}

TEST(TreeNode, AppendChildPositionsAndMoves) {
    CXmlNode first("First"), second("Second");
    CXmlNode* a = first.AddChild("A");
    CXmlNode* b = first.AddChild("B");
    CXmlNode* x = second.AddChild("X");
    CXmlNode* y = second.AddChild("Y");

    // Moving from another parent unlinks it there.
    first.AppendChild(x, a);
    EXPECT_EQ(Children(first), (std::vector<CTreeNode*>{a, x, b}));
    EXPECT_EQ(Children(second), (std::vector<CTreeNode*>{y}));

    // After the last child: the last-child link must follow.
    first.AppendChild(y, b);
    EXPECT_EQ(Children(first), (std::vector<CTreeNode*>{a, x, b, y}));

    // A sibling that belongs to another parent means "at the end".
    CXmlNode stranger("S");
    first.AppendChild(a, &stranger);
    EXPECT_EQ(Children(first), (std::vector<CTreeNode*>{x, b, y, a}));

    // Re-appending a child of ours without a sibling moves it to the end.
    first.AppendChild(x);
    EXPECT_EQ(Children(first), (std::vector<CTreeNode*>{b, y, a, x}));
}

// Appending a node under itself or under one of its descendants would cut
// the subtree loose into a cycle that nobody owns or frees.
TEST(TreeNode, AppendChildRefusesCycles) {
    CXmlNode root("Root");
    CXmlNode* mid = root.AddChild("Mid");
    CXmlNode* leaf = mid->AddChild("Leaf");

    leaf->AppendChild(mid);
    mid->AppendChild(mid);
    leaf->AppendChild(&root);
    EXPECT_EQ(Children(root), (std::vector<CTreeNode*>{mid}));
    EXPECT_EQ(Children(*mid), (std::vector<CTreeNode*>{leaf}));
    EXPECT_TRUE(Children(*leaf).empty());
}

TEST(TreeNode, RemoveChildUnlinksWithoutDestroying) {
    CXmlNode root("Root"), other("Other");
    CXmlNode* a = root.AddChild("A");
    CXmlNode* b = root.AddChild("B");

    // Not our child: nothing changes on either side.
    CXmlNode* foreign = other.AddChild("F");
    root.RemoveChild(foreign);
    EXPECT_EQ(foreign->GetParentNode(), &other);
    EXPECT_EQ(Children(root), (std::vector<CTreeNode*>{a, b}));

    root.RemoveChild(b);
    EXPECT_EQ(b->GetParentNode(), nullptr);
    EXPECT_EQ(b->GetNextSiblingNode(), nullptr);
    EXPECT_EQ(Children(root), (std::vector<CTreeNode*>{a}));
    CXmlNode* c = root.AddChild("C");
    EXPECT_EQ(Children(root), (std::vector<CTreeNode*>{a, c}));
    delete b; // detached: owned by us now
}

TEST(XmlNode, LookupsIgnoreCaseAndTakeTheFirstMatch) {
    CXmlNode root("Skin");
    root.AddChild(std::string()); // an unnamed node, as a comment loads
    CXmlNode* panel = root.AddChild("Panel");
    root.AddChild("PANEL");
    EXPECT_EQ(root.FindChild("panel"), panel);
    EXPECT_EQ(root.FindChild("Pane"), nullptr);
    EXPECT_EQ(root.GetFirstChild()->GetName(), "");

    root.AppendAttribute("Caption", "one");
    root.AppendAttribute("caption", "two");
    std::string text = "untouched";
    EXPECT_TRUE(root.GetAttribute("CAPTION", text));
    EXPECT_EQ(text, "one");

    // SetAttribute replaces the first match and keeps its spelling.
    root.SetAttribute("CAPTION", "three");
    ASSERT_EQ(root.GetAttributes().size(), 2u);
    EXPECT_EQ(root.GetAttributes()[0], (CXmlNode::Attribute{"Caption", "three"}));
    root.SetAttribute("Width", 10);
    EXPECT_EQ(root.GetAttributes().back(), (CXmlNode::Attribute{"Width", "10"}));

    // An absent attribute leaves the caller's default in place.
    text = "default";
    int number = 42;
    double real = 1.5;
    EXPECT_FALSE(root.GetAttribute("Missing", text));
    EXPECT_FALSE(root.GetAttribute("Missing", number));
    EXPECT_FALSE(root.GetAttribute("Missing", real));
    EXPECT_EQ(text, "default");
    EXPECT_EQ(number, 42);
    EXPECT_EQ(real, 1.5);
}

TEST(XmlNode, IntegerValuesFollowAtoiRulesWithoutOverflow) {
    CXmlNode node("N");
    const std::pair<const char*, int> cases[] = {
        {"12abc", 12},
        {"abc", 0},
        {" \t-7", -7},
        {"+15", 15},
        {"", 0},
        {"- 3", 0},
        {"2147483647", 2147483647},
        {"99999999999999999999", 2147483647},
        {"-2147483648", -2147483647 - 1},
        {"-99999999999999999999", -2147483647 - 1},
    };
    for (const auto& [text, expected] : cases) {
        node.SetAttribute("V", text);
        int value = -1;
        EXPECT_TRUE(node.GetAttribute("V", value)) << text;
        EXPECT_EQ(value, expected) << text;
    }
    node.SetAttribute("V", -2147483647 - 1);
    EXPECT_EQ(node.FindAttribute("V")->second, "-2147483648");
}

TEST(XmlNode, RealValuesUseGFormatAndAtofRules) {
    CXmlNode node("N");
    node.SetAttribute("F", 0.1f);
    EXPECT_EQ(node.FindAttribute("F")->second, "0.1");
    node.SetAttribute("D", 1234567.0);
    EXPECT_EQ(node.FindAttribute("D")->second, "1.23457e+06");
    node.SetAttribute("D", -0.000125);
    EXPECT_EQ(node.FindAttribute("D")->second, "-0.000125");

    const std::pair<const char*, double> cases[] = {
        {" 2.5dB", 2.5}, {"1e3", 1000.0}, {"0x10", 16.0}, {"x", 0.0}, {"-.5", -0.5}};
    for (const auto& [text, expected] : cases) {
        node.SetAttribute("V", text);
        double d = -1;
        float f = -1;
        EXPECT_TRUE(node.GetAttribute("V", d));
        EXPECT_TRUE(node.GetAttribute("V", f));
        EXPECT_EQ(d, expected) << text;
        EXPECT_EQ(f, static_cast<float>(expected)) << text;
    }
}

// Under a locale with a decimal comma, printf and atof would write "0,5" and
// read "0.5" as 0, so presets would change with the user's language.
TEST(XmlNode, RealValuesIgnoreTheProcessLocale) {
    // A locale of nothing but a decimal comma, built for the test; localedef
    // complains about the missing categories and writes it anyway (-c).
    testsupport::TempDir dir;
    {
        std::FILE* source = std::fopen(dir.file("comma.src").c_str(), "w");
        ASSERT_NE(source, nullptr);
        std::fputs("LC_NUMERIC\ndecimal_point \"<U002C>\"\nthousands_sep \"<U002E>\"\n"
                   "grouping 3;3\nEND LC_NUMERIC\n",
                   source);
        std::fclose(source);
    }
    const std::string command = "localedef -c -i " + dir.file("comma.src") + " -f UTF-8 " +
                                dir.file("xx_XX.UTF-8") + " >/dev/null 2>&1";
    (void)std::system(command.c_str());
    const char* oldLocpath = std::getenv("LOCPATH");
    const std::string saved = oldLocpath ? oldLocpath : "";
    setenv("LOCPATH", dir.path().c_str(), 1);
    const bool switched = setlocale(LC_NUMERIC, "xx_XX.UTF-8") != nullptr;
    if (switched) {
        char probe[16];
        std::snprintf(probe, sizeof probe, "%g", 0.5);
        EXPECT_STREQ(probe, "0,5"); // the locale really is in effect

        CXmlNode node("N");
        node.SetAttribute("D", 0.5);
        node.SetAttribute("F", 2.25f);
        EXPECT_EQ(node.FindAttribute("D")->second, "0.5");
        EXPECT_EQ(node.FindAttribute("F")->second, "2.25");
        double d = 0;
        EXPECT_TRUE(node.GetAttribute("D", d));
        EXPECT_EQ(d, 0.5);
    }
    setlocale(LC_NUMERIC, "C");
    if (oldLocpath) {
        setenv("LOCPATH", saved.c_str(), 1);
    } else {
        unsetenv("LOCPATH");
    }
    if (!switched) GTEST_SKIP() << "cannot build a locale with a decimal comma";
}

TEST(XmlNode, BytesAreHexPairs) {
    CXmlNode node("N");
    const std::uint8_t bytes[] = {0x0A, 0xFF};
    node.SetAttribute("B", bytes, sizeof bytes);
    EXPECT_EQ(node.FindAttribute("B")->second, "0AFF");

    std::uint8_t out[4] = {0, 0, 0, 0};
    EXPECT_EQ(node.GetAttribute("B", out, sizeof out), 2u);
    EXPECT_EQ(out[0], 0x0A);
    EXPECT_EQ(out[1], 0xFF);

    // Capacity caps the count; an odd last digit is ignored.
    node.SetAttribute("B", "0aff1");
    std::uint8_t one[2] = {0, 0x55};
    EXPECT_EQ(node.GetAttribute("B", one, 1), 1u);
    EXPECT_EQ(one[0], 0x0A);
    EXPECT_EQ(one[1], 0x55);
    EXPECT_EQ(node.GetAttribute("B", out, sizeof out), 2u);

    // A pair that is not hex ends the data instead of yielding garbage bytes.
    node.SetAttribute("B", "12zz34");
    EXPECT_EQ(node.GetAttribute("B", out, sizeof out), 1u);
    EXPECT_EQ(out[0], 0x12);
    EXPECT_EQ(node.GetAttribute("Missing", out, sizeof out), 0u);
}

TEST(XmlNode, SetValueAddsTheChildOnce) {
    CXmlNode preset("Preset");
    preset.SetValue("Pitch1", 3);
    preset.SetValue("pitch1", -4);
    ASSERT_NE(preset.GetFirstChild(), nullptr);
    EXPECT_EQ(preset.GetFirstChild()->GetNextSibling(), nullptr);
    EXPECT_EQ(preset.GetFirstChild()->GetName(), "Pitch1");

    int value = 0;
    EXPECT_TRUE(preset.GetValue("PITCH1", value));
    EXPECT_EQ(value, -4);
    value = 99;
    EXPECT_FALSE(preset.GetValue("Pitch2", value));
    EXPECT_EQ(value, 99);

    // A child without a Value attribute reads as absent too.
    preset.AddChild("Law");
    EXPECT_FALSE(preset.GetValue("Law", value));

    const std::uint8_t blob[] = {1, 2, 3};
    preset.SetValue("Blob", blob, sizeof blob);
    std::uint8_t back[3] = {};
    EXPECT_EQ(preset.GetValue("Blob", back, sizeof back), 3u);
    EXPECT_EQ(back[2], 3);
    EXPECT_EQ(preset.GetValue("Nothing", back, sizeof back), 0u);
}

} // namespace
