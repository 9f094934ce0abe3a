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

using Nodes = std::vector<CTreeNode*>;

// The children in order, checking the links every operation relies on.
Nodes Children(const CTreeNode& parent) {
    Nodes out;
    for (CTreeNode* c = parent.GetFirstChildNode(); c; c = c->GetNextSiblingNode()) {
        EXPECT_EQ(c->GetParentNode(), &parent);
        out.push_back(c);
    }
    EXPECT_EQ(parent.GetLastChildNode(), out.empty() ? nullptr : out.back());
    return out;
}

struct Logged : CTreeNode {
    Logged(std::vector<int>& log, int id) : log(log), id(id) {}
    ~Logged() override { log.push_back(id); }
    std::vector<int>& log;
    int id;
};

// The subtree goes with its root, each node before its children and in
// sibling order; a long chain must not exhaust the stack.
TEST(TreeNode, DestroysSubtreesInOrderAtAnyDepth) {
    std::vector<int> log;
    auto* a = new Logged(log, 1);
    auto* b = new Logged(log, 2);
    a->AppendChild(b);
    b->AppendChild(new Logged(log, 3));
    b->AppendChild(new Logged(log, 4));
    a->AppendChild(new Logged(log, 5));
    delete a;
    EXPECT_EQ(log, (std::vector<int>{1, 2, 3, 4, 5}));

    auto* root = new CXmlNode("R");
    CXmlNode* node = root;
    for (int i = 0; i < 300000; ++i)
        node = node->AddChild("N");
    delete root;
}

TEST(TreeNode, AppendAndRemoveKeepTheListConsistent) {
    CXmlNode first("First"), second("Second"), stranger("S");
    CXmlNode* a = first.AddChild("A");
    CXmlNode* b = first.AddChild("B");
    CXmlNode* x = second.AddChild("X");
    CXmlNode* y = second.AddChild("Y");

    first.AppendChild(x, a); // moves from another parent
    EXPECT_EQ(Children(first), (Nodes{a, x, b}));
    EXPECT_EQ(Children(second), (Nodes{y}));
    first.AppendChild(y, b);         // after the last: the last link follows
    first.AppendChild(a, &stranger); // foreign sibling: at the end
    EXPECT_EQ(Children(first), (Nodes{x, b, y, a}));

    // Under itself or a descendant, the subtree would become an unowned cycle.
    CXmlNode* leaf = b->AddChild("Leaf");
    leaf->AppendChild(b);
    b->AppendChild(b);
    leaf->AppendChild(&first);
    EXPECT_EQ(Children(first), (Nodes{x, b, y, a}));
    EXPECT_EQ(Children(*b), (Nodes{leaf}));

    first.RemoveChild(leaf); // not a direct child: nothing happens
    EXPECT_EQ(leaf->GetParentNode(), b);
    first.RemoveChild(a);
    EXPECT_EQ(a->GetParentNode(), nullptr);
    EXPECT_EQ(a->GetNextSiblingNode(), nullptr);
    EXPECT_EQ(Children(first), (Nodes{x, b, y}));
    delete a;

    // Destroying a child detaches it first, wherever it stands.
    delete x;
    EXPECT_EQ(Children(first), (Nodes{b, y}));
    delete y;
    EXPECT_EQ(Children(first), (Nodes{b}));
    CXmlNode* z = first.AddChild("Z");
    EXPECT_EQ(Children(first), (Nodes{b, z}));
}

TEST(XmlNode, LookupsIgnoreCaseAndTakeTheFirstMatch) {
    CXmlNode root("Skin");
    root.AddChild(std::string()); // as a comment loads
    CXmlNode* panel = root.AddChild("Panel");
    root.AddChild("PANEL");
    EXPECT_EQ(root.FindChild("panel"), panel);
    EXPECT_EQ(root.FindChild("Pane"), nullptr);

    root.AppendAttribute("Caption", "one");
    root.AppendAttribute("caption", "two");
    root.SetAttribute("CAPTION", "three"); // replaces the first, keeps its spelling
    ASSERT_EQ(root.GetAttributes().size(), 2u);
    EXPECT_EQ(root.GetAttributes()[0], (CXmlNode::Attribute{"Caption", "three"}));

    // An absent attribute leaves the caller's default in place.
    std::string text = "default";
    int number = 42;
    double real = 1.5;
    EXPECT_FALSE(root.GetAttribute("Missing", text) || root.GetAttribute("Missing", number) ||
                 root.GetAttribute("Missing", real));
    EXPECT_EQ(text, "default");
    EXPECT_EQ(number, 42);
    EXPECT_EQ(real, 1.5);
}

TEST(XmlNode, NumbersFollowAtoiAndAtofRules) {
    CXmlNode node("N");
    const std::pair<const char*, int> ints[] = {{"12abc", 12},
                                                {"abc", 0},
                                                {" \t-7", -7},
                                                {"+15", 15},
                                                {"- 3", 0},
                                                {"99999999999999999999", 2147483647},
                                                {"-2147483648", -2147483647 - 1}};
    for (const auto& [text, expected] : ints) {
        node.SetAttribute("V", text);
        int value = -1;
        EXPECT_TRUE(node.GetAttribute("V", value));
        EXPECT_EQ(value, expected) << text;
    }
    const std::pair<const char*, double> reals[] = {
        {" 2.5dB", 2.5}, {"1e3", 1000.0}, {"0x10", 16.0}, {"x", 0.0}, {"-.5", -0.5}};
    for (const auto& [text, expected] : reals) {
        node.SetAttribute("V", text);
        double d = -1;
        float f = -1;
        EXPECT_TRUE(node.GetAttribute("V", d) && node.GetAttribute("V", f));
        EXPECT_EQ(d, expected) << text;
        EXPECT_EQ(f, static_cast<float>(expected)) << text;
    }
    node.SetAttribute("I", -2147483647 - 1);
    node.SetAttribute("F", 0.1f);
    node.SetAttribute("D", 1234567.0);
    EXPECT_EQ(node.FindAttribute("I")->second, "-2147483648");
    EXPECT_EQ(node.FindAttribute("F")->second, "0.1");
    EXPECT_EQ(node.FindAttribute("D")->second, "1.23457e+06");
}

// Under a locale with a decimal comma, printf and atof would write "0,5" and
// read "0.5" as 0, so presets would change with the user's language.
TEST(XmlNode, NumbersIgnoreTheProcessLocale) {
    // A locale of nothing but a decimal comma (-c: localedef writes it
    // although the other categories are missing).
    testsupport::TempDir dir;
    const std::string src = dir.file("comma.src");
    const std::string make = "printf 'LC_NUMERIC\\ndecimal_point \"<U002C>\"\\nthousands_sep "
                             "\"\"\\ngrouping -1\\nEND LC_NUMERIC\\n' > " +
                             src + " && localedef -c -i " + src + " -f UTF-8 " +
                             dir.file("xx_XX.UTF-8") + " >/dev/null 2>&1";
    (void)std::system(make.c_str());
    setenv("LOCPATH", dir.path().c_str(), 1);
    const bool switched = setlocale(LC_NUMERIC, "xx_XX.UTF-8") != nullptr;
    unsetenv("LOCPATH");
    if (!switched) GTEST_SKIP() << "no locale with a decimal comma";
    char probe[16];
    std::snprintf(probe, sizeof probe, "%g", 0.5);
    CXmlNode node("N");
    node.SetAttribute("F", 2.25f);
    node.SetAttribute("D", "0.5");
    double d = 0;
    node.GetAttribute("D", d);
    setlocale(LC_NUMERIC, "C");
    EXPECT_STREQ(probe, "0,5"); // the locale really was in effect
    EXPECT_EQ(node.FindAttribute("F")->second, "2.25");
    EXPECT_EQ(d, 0.5);
}

TEST(XmlNode, BytesAreHexPairs) {
    CXmlNode node("N");
    const std::uint8_t bytes[] = {0x0A, 0xFF};
    node.SetAttribute("B", bytes, sizeof bytes);
    EXPECT_EQ(node.FindAttribute("B")->second, "0AFF");

    // Lower case reads alike; capacity caps the count; an odd digit is ignored.
    node.SetAttribute("B", "0aff1");
    std::uint8_t out[4] = {0, 0x55, 0, 0};
    EXPECT_EQ(node.GetAttribute("B", out, 1), 1u);
    EXPECT_EQ(out[1], 0x55);
    EXPECT_EQ(node.GetAttribute("B", out, sizeof out), 2u);
    EXPECT_EQ(out[0], 0x0A);
    EXPECT_EQ(out[1], 0xFF);

    // A pair that is not hex ends the data instead of yielding garbage bytes.
    node.SetAttribute("B", "12zz34");
    EXPECT_EQ(node.GetAttribute("B", out, sizeof out), 1u);
    EXPECT_EQ(node.GetAttribute("Missing", out, sizeof out), 0u);
}

TEST(XmlNode, SetValueAddsTheChildOnce) {
    CXmlNode preset("Preset");
    preset.SetValue("Pitch1", 3);
    preset.SetValue("pitch1", -4);
    EXPECT_EQ(Children(preset).size(), 1u);
    int value = 0;
    EXPECT_TRUE(preset.GetValue("PITCH1", value));
    EXPECT_EQ(value, -4);

    value = 99;
    preset.AddChild("Law"); // a child without "Value" reads as absent
    EXPECT_FALSE(preset.GetValue("Pitch2", value) || preset.GetValue("Law", value));
    EXPECT_EQ(value, 99);
}

} // namespace
