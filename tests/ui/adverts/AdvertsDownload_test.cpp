// The advert download against a loopback server: only a reply that is an
// advert file replaces Adverts.ini, the request is the one the server
// expects, nothing connects without an address or a network, and closing
// never waits for a stalled server.
#include "LoopbackHttpServer.h"
#include "platform/AtomicFile.h"
#include "support/TempDir.h"
#include "ui/adverts/AdvertsDownloader.h"

#include <gtest/gtest.h>

namespace {

using namespace ui::adverts;
using namespace std::chrono_literals;

constexpr const char* kOldFile = "[old]\r\nText=Kept\r\n";

struct Fixture {
    testsupport::TempDir dir;
    testsupport::CLoopbackHttpServer server;
    SDownloadJob job;
    CCancelToken cancel;

    Fixture() {
        job.url = server.Url();
        job.target = dir.file("Adverts.ini");
        job.transferTimeout = 400ms;
        job.connected = [] { return true; };
        EXPECT_TRUE(platform::WriteFileAtomically(job.target, kOldFile));
    }
    std::string Target() const {
        std::string text;
        platform::ReadWholeFile(job.target, text);
        return text;
    }
};

// A bad reply must never cost the user the adverts they have: an error page,
// a file without sections, a reply cut at the size cap, a stalled or endless
// server, an address that is not on the web.
TEST(AdvertsDownload, BadRepliesLeaveTheOldFileAndAGoodOneReplacesIt) {
    Fixture f;
    struct Case {
        const char* what;
        std::function<void()> arrange;
        EAttemptResult expected;
    };
    const std::vector<Case> cases = {
        {"no sections", [&] { f.server.Reply("Text=no section\r\nLink=x\r\n"); },
         EAttemptResult::NotAdverts},
        {"empty", [&] { f.server.Reply(""); }, EAttemptResult::FetchFailed},
        {"binary", [&] { f.server.Reply(std::string("\0\x01\xff\xfe garbage", 13)); },
         EAttemptResult::NotAdverts},
        {"error page", [&] { f.server.Reply("[a]\r\nText=Not found\r\n", 404); },
         EAttemptResult::FetchFailed},
        {"over-long", [&] { f.server.Reply("[a]\r\nText=" + std::string(70000, 'x') + "\r\n"); },
         EAttemptResult::FetchFailed},
        {"endless", [&] { f.server.Endless(); }, EAttemptResult::FetchFailed},
        {"stalled", [&] { f.server.Stall(); }, EAttemptResult::FetchFailed},
    };
    for (const Case& c : cases) {
        c.arrange();
        EXPECT_EQ(DownloadAdvertsOnce(f.job, f.cancel), c.expected) << c.what;
        EXPECT_EQ(f.Target(), kOldFile) << c.what;
    }

    SDownloadJob local = f.job;
    local.url = "file://" + f.job.target;
    EXPECT_EQ(DownloadAdvertsOnce(local, f.cancel), EAttemptResult::FetchFailed);
    EXPECT_EQ(f.Target(), kOldFile);

    // Exactly 65,536 bytes is still a whole reply.
    std::string full = "[new]\r\nText=Fresh\r\nLink=https://example.org/\r\n;";
    full.resize(65536, 'p');
    f.server.Reply(full);
    EXPECT_EQ(DownloadAdvertsOnce(f.job, f.cancel), EAttemptResult::Replaced);
    EXPECT_EQ(f.Target(), full);

    const std::string request = f.server.LastRequest();
    EXPECT_NE(request.find("GET /advert/sonvara/adverts.ini HTTP/1.1"), std::string::npos);
    EXPECT_NE(request.find("User-Agent: BRONTELDOWNLOAD\r\n"), std::string::npos) << request;
    EXPECT_NE(request.find("Cache-Control: no-cache\r\n"), std::string::npos) << request;
}

// The user's settings decide whether the program talks to the network: no
// address means no worker, and an offline machine sends nothing.
TEST(AdvertsDownload, NothingConnectsWithoutAnAddressOrANetwork) {
    Fixture f;
    f.server.Reply("[a]\r\nText=t\r\n");
    f.job.connected = [] { return false; };
    EXPECT_EQ(DownloadAdvertsOnce(f.job, f.cancel), EAttemptResult::Offline);

    SDownloadJob empty = f.job;
    empty.url.clear();
    empty.interval = 0ms;
    empty.connected = [] { return true; };
    CAdvertsDownloader downloader(empty);
    EXPECT_FALSE(downloader.Running());
    EXPECT_EQ(f.server.Requests(), 0);
    EXPECT_EQ(f.Target(), kOldFile);
}

// A ten-minute sleep or a stalled transfer in the worker must not keep the
// program from closing.
TEST(AdvertsDownloader, ClosingWhileADownloadStallsEndsWithinASecond) {
    Fixture f;
    f.server.Stall();
    f.job.interval = 0ms;
    f.job.transferTimeout = 600s;
    auto downloader = std::make_unique<CAdvertsDownloader>(f.job);
    ASSERT_TRUE(f.server.WaitForRequests(1, 10s));
    auto start = std::chrono::steady_clock::now();
    downloader.reset();
    EXPECT_LT(std::chrono::steady_clock::now() - start, 1s);
    EXPECT_EQ(f.Target(), kOldFile);

    f.job.interval = 600s;
    downloader = std::make_unique<CAdvertsDownloader>(f.job);
    EXPECT_TRUE(downloader->Running());
    start = std::chrono::steady_clock::now();
    downloader.reset();
    EXPECT_LT(std::chrono::steady_clock::now() - start, 1s);
}

} // namespace
