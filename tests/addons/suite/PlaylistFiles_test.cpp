// Playlist files, the library files and the "open" message: what the music
// player reads from outside must never crash it, hang it or lose good data.
#include "core/LibraryFiles.h"
#include "core/MediaPaths.h"
#include "core/Playlist.h"
#include "core/PlaylistFiles.h"
#include "support/TempDir.h"

#include <fstream>
#include <gtest/gtest.h>
#include <random>
#include <set>
#include <sstream>

namespace {

using namespace suite;

std::string Slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// Paths with spaces, non-ASCII letters, '#', '=' and '&' must come back
// exactly, with titles and lengths, from every format we write.
TEST(SuitePlaylistFiles, EveryFormatRoundTripsAwkwardPathsTitlesAndLengths) {
    testsupport::TempDir dir;
    const std::vector<PlaylistItem> items = {
        {"/music/Ölmüller & Söhne/01 # intro.flac", "Intro = start", 61.0},
        {"/music/a b/c<d>.ogg", "", -1.0},
        {"/music/日本/歌.mp3", "歌", 245.0},
        // A line is trimmed when read: such paths go out as file:// URLs.
        {"/music/ends in a space ", "", -1.0},
        {"/music/\vvertical\ttab\v", "", 3.0},
    };
    for (const char* name : {"list.m3u8", "list.m3u", "list.pls", "list.xspf"}) {
        SCOPED_TRACE(name);
        std::string error;
        ASSERT_TRUE(WritePlaylistFile(dir.file(name), items, error)) << error;
        PlaylistReadResult read;
        ASSERT_TRUE(ReadPlaylistFile(dir.file(name), read, error)) << error;
        ASSERT_EQ(read.items.size(), items.size());
        for (std::size_t i = 0; i < items.size(); ++i) {
            EXPECT_EQ(read.items[i].path, items[i].path);
            EXPECT_EQ(read.items[i].title, items[i].title);
            EXPECT_EQ(read.items[i].seconds, items[i].seconds);
        }
    }
}

// A length no track has (infinite, not a number, beyond a billion seconds)
// is unknown; it used to be written back as a garbage number.
TEST(SuitePlaylistFiles, LengthsNoTrackHasReadAsUnknown) {
    const auto pls = ParsePlaylist("[playlist]\nFile1=/a.flac\nLength1=inf\nFile2=/b.flac\n"
                                   "Length2=nan\nFile3=/c.flac\nLength3=1e300\n",
                                   PlaylistFormat::PLS, "/");
    ASSERT_EQ(pls.items.size(), 3u);
    for (const PlaylistItem& item : pls.items)
        EXPECT_EQ(item.seconds, -1.0) << item.path;
    const auto m3u = ParsePlaylist("#EXTINF:1e300,Long\n/d.flac\n", PlaylistFormat::M3U, "/");
    ASSERT_EQ(m3u.items.size(), 1u);
    EXPECT_EQ(m3u.items[0].seconds, -1.0);
}

// Relative paths (also Windows-style), file URLs, streams we cannot play,
// a PLS numbered out of order and far apart, comments and a byte-order mark.
TEST(SuitePlaylistFiles, RelativePathsUrlsAndOddNumberingResolveOrAreLeftOut) {
    const auto m3u = ParsePlaylist("\xEF\xBB\xBF#EXTM3U\r\n#EXTINF:12,One\r\nsub\\one.flac\r\n"
                                   "http://radio.example/stream\r\nfile:///abs/two%20x.ogg\r\n"
                                   "../up.wav\r\n\r\n# just a comment\r\n",
                                   PlaylistFormat::M3U, "/lists/");
    ASSERT_EQ(m3u.items.size(), 3u);
    EXPECT_EQ(m3u.items[0].path, "/lists/sub/one.flac");
    EXPECT_EQ(m3u.items[0].title, "One");
    EXPECT_EQ(m3u.items[1].path, "/abs/two x.ogg");
    EXPECT_EQ(m3u.items[2].path, "/up.wav");
    EXPECT_EQ(m3u.skippedUrls, 1u);

    const auto pls = ParsePlaylist("[playlist]\nFile9000000=/z.flac\nfile2=/b.flac\nTitle2=Bee\n"
                                   "File1=/a.flac\nFile-3=/neg.flac\nFile99999999999=/huge.flac\n",
                                   PlaylistFormat::PLS, "/");
    ASSERT_EQ(pls.items.size(), 3u);
    EXPECT_EQ(pls.items[0].path, "/a.flac");
    EXPECT_EQ(pls.items[1].title, "Bee");
    EXPECT_EQ(pls.items[2].path, "/z.flac");

    // An M3U that is not UTF-8 is taken as Latin-1, not dropped.
    const auto latin = ParsePlaylist("/m\xFCsik/a.flac\n", PlaylistFormat::M3U, "/");
    ASSERT_EQ(latin.items.size(), 1u);
    EXPECT_EQ(latin.items[0].path, "/m\xC3\xBCsik/a.flac");
}

// Hostile files: huge entry counts stop at the cap, entity bombs and deep
// nesting in XSPF do not expand or recurse, binary junk gives nothing.
TEST(SuitePlaylistFiles, HostileFilesLoadWhatTheyCanAndStop) {
    std::string many;
    for (int i = 0; i < 120000; ++i)
        many += "/m/" + std::to_string(i) + ".flac\n";
    const auto capped = ParsePlaylist(many, PlaylistFormat::M3U, "/");
    EXPECT_EQ(capped.items.size(), kMaxPlaylistItems);
    EXPECT_TRUE(capped.truncated);

    std::string bomb = "<?xml version=\"1.0\"?><!DOCTYPE p [<!ENTITY a \"aaaaaaaaaa\">";
    for (int i = 1; i < 10; ++i)
        bomb += "<!ENTITY " + std::string(1, static_cast<char>('a' + i)) + " \"" +
                std::string(10, '&') + "\">";
    bomb +=
        "]><playlist><trackList><track><location>/x/&j;</location></track></trackList></playlist>";
    const auto bombed = ParsePlaylist(bomb, PlaylistFormat::XSPF, "/");
    EXPECT_LE(bombed.items.size(), 1u);

    std::string deep;
    for (int i = 0; i < 100000; ++i)
        deep += "<a>";
    EXPECT_TRUE(ParsePlaylist(deep, PlaylistFormat::XSPF, "/").items.empty());

    std::string junk(1 << 16, '\0');
    std::mt19937 random(7);
    for (char& c : junk)
        c = static_cast<char>(random());
    for (PlaylistFormat f : {PlaylistFormat::PLS, PlaylistFormat::XSPF})
        EXPECT_LE(ParsePlaylist(junk, f, "/").items.size(), 64u);
}

// A small mutation fuzzer over valid files of each format: every mutant
// parses to completion and yields only absolute, NUL-free paths.
TEST(SuitePlaylistFiles, MutatedPlaylistsNeverYieldUnusablePaths) {
    const std::vector<std::pair<PlaylistFormat, std::string>> seeds = {
        {PlaylistFormat::M3U,
         FormatPlaylist({{"/a/b.flac", "T", 3}, {"/c.ogg", "", -1}}, PlaylistFormat::M3U)},
        {PlaylistFormat::PLS,
         FormatPlaylist({{"/a/b.flac", "T", 3}, {"/c.ogg", "", -1}}, PlaylistFormat::PLS)},
        {PlaylistFormat::XSPF,
         FormatPlaylist({{"/a/b.flac", "T", 3}, {"/c.ogg", "", -1}}, PlaylistFormat::XSPF)},
    };
    std::mt19937 random(2024);
    const char interesting[] = {'\0', '\n', '\r', '<', '>', '&',    '=',
                                ':',  '/',  '\\', '#', '"', '\xFF', '\xC3'};
    for (const auto& [format, seed] : seeds) {
        for (int round = 0; round < 3000; ++round) {
            std::string text = seed;
            const int edits = 1 + static_cast<int>(random() % 8);
            for (int e = 0; e < edits && !text.empty(); ++e) {
                const std::size_t at = random() % text.size();
                switch (random() % 4) {
                case 0:
                    text[at] = interesting[random() % sizeof interesting];
                    break;
                case 1:
                    text.erase(at, random() % 16);
                    break;
                case 2:
                    text.insert(at, text.substr(random() % text.size(), random() % 32));
                    break;
                default:
                    text.resize(at);
                }
            }
            for (const PlaylistItem& item : ParsePlaylist(text, format, "/base").items) {
                ASSERT_FALSE(item.path.empty());
                ASSERT_EQ(item.path.front(), '/') << item.path;
                ASSERT_EQ(item.path.find('\0'), std::string::npos);
            }
        }
    }
}

// fileDB.dat ids are line numbers other playlists refer to: a new playlist
// may only append lines. A damaged playlists.xml is the user's data: it is
// reported and left alone, not replaced.
TEST(SuiteLibraryFiles, IdsNeverMoveAndADamagedPlaylistsFileIsNotOverwritten) {
    testsupport::TempDir dir;
    const std::string folder = dir.file("");
    {
        std::ofstream(folder + "fileDB.dat") << "/old/x.flac\n/old/y.flac\n";
        std::ofstream(folder + "playlists.xml")
            << "<Library><group Name=\"Old\"><playlist Name=\"Jazz\"><t id=\"1\"/></playlist>"
               "</group></Library>";
    }
    LibraryFiles library(folder);
    std::string error;
    ASSERT_TRUE(library.UpdatePlaylist("Now Playing", {"/new/a.flac", "/old/y.flac"}, error))
        << error;
    EXPECT_EQ(Slurp(folder + "fileDB.dat"), "/old/x.flac\n/old/y.flac\n/new/a.flac\n");
    std::string xml = Slurp(folder + "playlists.xml");
    std::erase_if(xml, [](char c) { return c == ' ' || c == '\n'; });
    EXPECT_NE(xml.find("<playlistName=\"Jazz\"><tid=\"1\"/>"), std::string::npos) << xml;
    EXPECT_NE(xml.find("<playlistName=\"NowPlaying\"><tid=\"2\"/><tid=\"1\"/></playlist>"),
              std::string::npos)
        << xml;
    // The same name again replaces that playlist's tracks, not adds another.
    ASSERT_TRUE(library.UpdatePlaylist("Now Playing", {"/old/x.flac"}, error));
    const std::string again = Slurp(folder + "playlists.xml");
    EXPECT_EQ(again.find("Now Playing"), again.rfind("Now Playing"));

    const std::string damaged = "<Library><playlist Name=\"Rock\"><t id=\"0\"/>";
    std::ofstream(folder + "playlists.xml", std::ios::trunc) << damaged;
    EXPECT_FALSE(library.UpdatePlaylist("Now Playing", {"/new/b.flac"}, error));
    EXPECT_EQ(Slurp(folder + "playlists.xml"), damaged);
    EXPECT_EQ(Slurp(folder + "fileDB.dat"), "/old/x.flac\n/old/y.flac\n/new/a.flac\n");
}

// The host quotes every path; a space inside quotes is part of the path.
TEST(SuiteOpenMessage, QuotedPathsKeepTheirSpacesAndOtherTextsAreNotOpenMessages) {
    EXPECT_EQ(ParseOpenMessage("open \"/m/a b.flac\" \"/m/c.ogg\""),
              (std::vector<std::string>{"/m/a b.flac", "/m/c.ogg"}));
    EXPECT_EQ(ParseOpenMessage("open /m/x.flac \"/m/unclosed"),
              (std::vector<std::string>{"/m/x.flac", "/m/unclosed"}));
    EXPECT_TRUE(ParseOpenMessage("opened \"/m/a.flac\"").empty());
    EXPECT_TRUE(ParseOpenMessage("play \"/m/a.flac\"").empty());
}

// Dragging rows: the block lands where it was dropped, counted in the list
// as it was before the move, whichever way it goes.
TEST(SuitePlaylist, MovingRowsLandsThemWhereTheyWereDropped) {
    Playlist list;
    list.Add({"/0", "/1", "/2", "/3", "/4"});
    auto paths = [&] {
        std::string s;
        for (const auto& e : list.Entries())
            s += e.path.substr(1);
        return s;
    };
    EXPECT_EQ(list.Move({0, 1}, 4), 2u);
    EXPECT_EQ(paths(), "23014");
    EXPECT_EQ(list.Move({4}, 0), 0u);
    EXPECT_EQ(paths(), "42301");
    list.Remove({0, 4, 4, 9});
    EXPECT_EQ(paths(), "230");

    // Shuffle plays the chosen row first and every row once.
    std::mt19937 random(3);
    list.Add({"/5", "/6", "/7"});
    const auto order = list.PlayOrder(4, true, random);
    ASSERT_EQ(order.size(), 6u);
    EXPECT_EQ(order.front(), 4u);
    EXPECT_EQ(std::set<std::size_t>(order.begin(), order.end()).size(), 6u);
}

} // namespace
