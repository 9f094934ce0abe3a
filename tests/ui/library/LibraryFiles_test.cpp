#include <fstream>
#include <gtest/gtest.h>

#include "support/TempDir.h"
#include "ui/library/LibraryFiles.h"
#include "xml/XmlNode.h"

using namespace ui;

namespace {

void Write(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

std::vector<std::string> Texts(const std::vector<SLibraryItem>& items) {
    std::vector<std::string> out;
    for (const SLibraryItem& i : items)
        out.push_back(i.text);
    return out;
}

const std::vector<std::string> kFiles = {"/music/a.flac", "/music/b.ogg", "/music/c.wav"};

} // namespace

// The tree must follow the file's nesting and order, give item data only to
// "t" and exactly "playlist" elements, and skip text and comments; the
// double-click result must keep the playlist's order and skip what names no
// file.
TEST(LibraryTree, NestedGroupsAndPlaylistOrder) {
    testsupport::TempDir dir;
    Write(dir.file("playlists.xml"),
          "<Library>\n"
          "  <!-- kept by the player -->\n"
          "  <playlist Name=\"Rock\"><t id=\"2\"/><t id=\"0\"/></playlist>\n"
          "  <group Name=\"Old\"><playlist Name=\"Jazz\"><t id=\"1\"/><t/><t id=\"9\"/>"
          "<t id=\"-1\"/><t id=\"1\"/></playlist></group>\n"
          "  <Playlist Name=\"Caps\"><t id=\"0\"/></Playlist>\n"
          "  <folder/>\n"
          "</Library>\n");
    CXmlNode root;
    ASSERT_TRUE(root.LoadFromFile(dir.file("playlists.xml")));
    const auto tree = BuildLibraryTree(root, kFiles);
    ASSERT_EQ(Texts(tree), (std::vector<std::string>{"Rock", "Old", "Caps", ""}));

    const SLibraryItem& rock = tree[0];
    ASSERT_NE(rock.element, nullptr);
    EXPECT_EQ(Texts(rock.children), (std::vector<std::string>{"/music/c.wav", "/music/a.flac"}));
    EXPECT_EQ(FilesOfElement(*rock.element, kFiles),
              (std::vector<std::string>{"/music/c.wav", "/music/a.flac"}));
    // A track's element has no children: its double-click returns nothing.
    ASSERT_NE(rock.children[0].element, nullptr);
    EXPECT_TRUE(FilesOfElement(*rock.children[0].element, kFiles).empty());

    const SLibraryItem& old = tree[1];
    EXPECT_EQ(old.element, nullptr);
    ASSERT_EQ(Texts(old.children), (std::vector<std::string>{"Jazz"}));
    const SLibraryItem& jazz = old.children[0];
    EXPECT_EQ(Texts(jazz.children), (std::vector<std::string>{"/music/b.ogg", "/music/b.ogg"}));
    EXPECT_EQ(FilesOfElement(*jazz.element, kFiles),
              (std::vector<std::string>{"/music/b.ogg", "/music/b.ogg"}));

    EXPECT_EQ(tree[2].element, nullptr) << "only \"playlist\" in lower case carries data";
    EXPECT_EQ(tree[2].children.size(), 1u);
}

// Hostile playlists.xml: broken, nested beyond any real library, or with ids
// that overflow or point far past fileDB.dat, must give an empty or partial
// tree and never a crash, a hang or an index past the file list.
TEST(LibraryTree, HostilePlaylistsGiveEmptyOrPartialTrees) {
    testsupport::TempDir dir;
    CXmlNode root;
    Write(dir.file("broken.xml"), "<Library><playlist Name=\"x\"><t id=\"0\"></Library>");
    EXPECT_FALSE(root.LoadFromFile(dir.file("broken.xml")));

    std::string deep = "<L>";
    for (int i = 0; i < 5000; ++i)
        deep += "<g Name=\"n\">";
    for (int i = 0; i < 5000; ++i)
        deep += "</g>";
    Write(dir.file("deep.xml"), deep + "</L>");
    EXPECT_FALSE(root.LoadFromFile(dir.file("deep.xml")));

    // Built in memory, past the loader's limit: shown down to the limit.
    CXmlNode memory("L");
    CXmlNode* at = &memory;
    for (int i = 0; i < 2 * CXmlNode::kMaxDepth; ++i)
        at = at->AddChild("g");
    at->AddChild("t")->SetAttribute("id", 0);
    const auto deepTree = BuildLibraryTree(memory, kFiles);
    ASSERT_EQ(deepTree.size(), 1u);

    CXmlNode ids("L");
    CXmlNode* list = ids.AddChild("playlist");
    for (const char* id :
         {"99999999999999999999", "2147483647", "-2147483648", "abc", "1e9", "0x2", " 2", "1"})
        list->AddChild("t")->SetAttribute("id", id);
    const auto tree = BuildLibraryTree(ids, kFiles);
    ASSERT_EQ(tree.size(), 1u);
    // Ids read by the platform's integer rule: "abc" and "0x2" as 0, "1e9"
    // as 1, " 2" as 2; the huge and negative ones name nothing.
    EXPECT_EQ(Texts(tree[0].children),
              (std::vector<std::string>{"/music/a.flac", "/music/b.ogg", "/music/a.flac",
                                        "/music/c.wav", "/music/b.ogg"}));
    EXPECT_EQ(FilesOfElement(*tree[0].element, kFiles).size(), 5u);
}

// fileDB.dat lines are ids: CR LF, empty lines, a line longer than any path
// and bytes that are not UTF-8 must all keep their place, and an overlong
// line must not be kept whole nor offered as a file.
TEST(FileDatabase, LinesKeepTheirIdsWhateverTheyHold) {
    testsupport::TempDir dir;
    const std::string longLine(4 * 1024 * 1024, 'x');
    Write(dir.file("fileDB.dat"), "/a.wav\r\n\n" + longLine + "\n/caf\xe9\xff.mp3\n/last.flac");
    std::vector<std::string> lines;
    ASSERT_TRUE(ReadFileDatabase(dir.file("fileDB.dat"), lines));
    EXPECT_EQ(lines,
              (std::vector<std::string>{"/a.wav", "", "", "/caf\xe9\xff.mp3", "/last.flac"}));

    CXmlNode root("L");
    CXmlNode* list = root.AddChild("playlist");
    for (int id : {2, 1, 3, 4})
        list->AddChild("t")->SetAttribute("id", id);
    EXPECT_EQ(FilesOfElement(*list, lines),
              (std::vector<std::string>{"/caf\xe9\xff.mp3", "/last.flac"}));

    EXPECT_FALSE(ReadFileDatabase(dir.file("missing.dat"), lines));
    EXPECT_TRUE(lines.empty());
}
