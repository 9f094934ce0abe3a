// The help pages a user opens with F1: a link to a page, a picture or a
// place in a page that is not there is a dead end, and a page no link leads
// to is never read.
#include "platform/AtomicFile.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <set>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

std::string Read(const fs::path& path) {
    std::string text;
    platform::ReadWholeFile(path.string(), text);
    return text;
}

// Every href="..." and src="..." of a page, in order.
std::vector<std::string> Links(const std::string& html) {
    std::vector<std::string> out;
    for (const char* attribute : {" href=\"", " src=\""}) {
        for (std::size_t at = html.find(attribute); at != std::string::npos;
             at = html.find(attribute, at + 1)) {
            const std::size_t begin = at + std::string(attribute).size();
            const std::size_t end = html.find('"', begin);
            if (end != std::string::npos) out.push_back(html.substr(begin, end - begin));
        }
    }
    return out;
}

bool HasAnchor(const std::string& html, const std::string& id) {
    return html.find("id=\"" + id + "\"") != std::string::npos ||
           html.find("name=\"" + id + "\"") != std::string::npos;
}

TEST(Help, EveryLocalLinkResolvesAndEveryPageIsReachable) {
    const fs::path dir = HELP_SOURCE_DIR;
    ASSERT_TRUE(fs::exists(dir / "index.html"));
    std::set<std::string> pages, linked{"index.html"};
    for (const auto& entry : fs::directory_iterator(dir))
        if (entry.path().extension() == ".html") pages.insert(entry.path().filename().string());
    ASSERT_GE(pages.size(), 5u);

    for (const std::string& page : pages) {
        const std::string html = Read(dir / page);
        EXPECT_NE(html.find("<title>"), std::string::npos) << page;
        for (const std::string& link : Links(html)) {
            if (link.find("://") != std::string::npos || link.rfind("mailto:", 0) == 0) continue;
            const std::size_t hash = link.find('#');
            const std::string file = hash == std::string::npos ? link : link.substr(0, hash);
            const std::string target = file.empty() ? page : file;
            EXPECT_TRUE(fs::exists(dir / target)) << page << " -> " << link;
            if (hash != std::string::npos && fs::exists(dir / target)) {
                const std::string anchor = link.substr(hash + 1);
                EXPECT_TRUE(HasAnchor(Read(dir / target), anchor)) << page << " -> " << link;
            }
            linked.insert(fs::path(target).filename().string());
        }
    }
    for (const std::string& page : pages)
        EXPECT_TRUE(linked.count(page)) << page << " is linked from no page";
}

// ShowHelp opens Help/index.html of the program directory: the build must
// lay the pages there.
TEST(Help, IsLaidIntoTheProgramDirectory) {
    for (const auto& entry : fs::directory_iterator(HELP_SOURCE_DIR))
        EXPECT_TRUE(fs::exists(fs::path(HELP_APP_DIR) / entry.path().filename()))
            << entry.path().filename();
}

} // namespace
