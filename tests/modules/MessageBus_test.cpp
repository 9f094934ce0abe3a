#include "ModulesTestSupport.h"

#include "platform/AtomicFile.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <thread>

using ::testing::Contains;
using ::testing::ElementsAre;

TEST(MessageBus, ResultCodes) {
    HostFixture f;
    f.Load({"alpha", "beta", "gamma_nopass"});
    EXPECT_EQ(f.host->SendModuleMessage("beta", "ALPHA", "hi"), MESSAGE_OK);
    EXPECT_THAT(Journal(), Contains("beta: message from ALPHA: hi"));
    // The recipient is tested before the sender.
    EXPECT_EQ(f.host->SendModuleMessage("Nobody", "Nothing", "x"), MESSAGE_RECIPIER_NOT_FOUND);
    EXPECT_EQ(f.host->SendModuleMessage("Beta", "Nothing", "x"), MESSAGE_SENDER_NOT_FOUND);
    EXPECT_EQ(f.host->SendModuleMessage("Beta", "main FRAME", "x"), MESSAGE_OK);
    EXPECT_EQ(f.host->SendModuleMessage("Gamma", "Beta", "x"), MESSAGE_RECIPIER_ERROR);
    EXPECT_EQ(f.host->SendModuleMessage("Beta", "Alpha", "refuse"), MESSAGE_RECIPIER_ERROR);
    EXPECT_EQ(f.host->SendModuleMessage(nullptr, "Alpha", "x"), MESSAGE_RECIPIER_NOT_FOUND);

    const auto items = f.host->History().Snapshot();
    ASSERT_EQ(items.size(), 7u);
    EXPECT_EQ(items[0].Recipient, "beta");
    EXPECT_EQ(items[0].Sender, "ALPHA");
    EXPECT_EQ(items[3].Result, MESSAGE_OK);
    EXPECT_EQ(items[4].Result, MESSAGE_RECIPIER_ERROR);
}

// With duplicate display names the bus delivers to the last match.
TEST(MessageBus, DuplicateNamesDeliverToTheLast) {
    HostFixture f;
    f.Load({"alpha", "alpha_dup"});
    EXPECT_EQ(f.host->SendModuleMessage("Alpha", "Main frame", "x"), MESSAGE_OK);
    EXPECT_THAT(Journal(), Contains("alpha_dup: message from Main frame: x"));
    EXPECT_THAT(Journal(), ::testing::Not(Contains("alpha: message from Main frame: x")));
}

// "All modules" reaches every module but the sender; "Main frame" goes to
// the host's own handler.
TEST(MessageBus, ReservedRecipients) {
    HostFixture f;
    f.Load({"alpha", "beta", "gamma_nopass"});
    ClearJournal();
    EXPECT_EQ(f.host->SendModuleMessage("all modules", "Alpha", "ping"), MESSAGE_OK);
    EXPECT_THAT(Journal(), ElementsAre("beta: message from Alpha: ping"));
    ClearJournal();
    EXPECT_EQ(f.host->SendModuleMessage("All modules", "Beta", "refuse"), MESSAGE_RECIPIER_ERROR);
    EXPECT_EQ(f.host->SendModuleMessage("All modules", "Nobody", "x"), MESSAGE_SENDER_NOT_FOUND);
    // The test site understands no host message.
    EXPECT_EQ(f.host->SendModuleMessage("Main frame", "Alpha", "x"), MESSAGE_RECIPIER_ERROR);

    HostFixture empty;
    EXPECT_EQ(empty.host->SendModuleMessage("All modules", "Main frame", "x"),
              MESSAGE_RECIPIER_ERROR);
}

class MessageLog : public ::testing::Test {
protected:
    void SetUp() override {
        const char* tz = std::getenv("TZ");
        if (tz) oldTz = tz;
        hadTz = tz != nullptr;
        setenv("TZ", "UTC0", 1);
        tzset();
    }
    void TearDown() override {
        if (hadTz)
            setenv("TZ", oldTz.c_str(), 1);
        else
            unsetenv("TZ");
        tzset();
    }
    std::string oldTz;
    bool hadTz = false;
};

TEST_F(MessageLog, ExactLinesInRequestOrder) {
    using modules::_MESSAGE_QUERY_ITEM_;
    std::vector<_MESSAGE_QUERY_ITEM_> items = {
        {3661, "Main frame", "Beta", "open \"/a.wav\"", 0},
        {3661, "Alpha", "Nobody", "x", 1},
        {86399, "Nothing", "Beta", "y", 2},
        {0, "Beta", "Gamma", "z", 3},
        {0, "Beta", "Gamma", "z", 4},
        {0, "Beta", "Gamma", "z", 9}, // unknown code: no result line
    };
    EXPECT_EQ(modules::CMessageHistory::FormatLog(items),
              "Time: 01:01:01\nRecipient: Beta\nSender: Main frame\nMessage: open \"/a.wav\"\n"
              "Result: MESSAGE_OK\n\n"
              "Time: 01:01:01\nRecipient: Nobody\nSender: Alpha\nMessage: x\n"
              "Result: MESSAGE_RECIPIER_NOT_FOUND\n\n"
              "Time: 23:59:59\nRecipient: Beta\nSender: Nothing\nMessage: y\n"
              "Result: MESSAGE_SENDER_NOT_FOUND\n\n"
              "Time: 00:00:00\nRecipient: Gamma\nSender: Beta\nMessage: z\n"
              "Result: MESSAGE_RECIPIER_ERROR\n\n"
              "Time: 00:00:00\nRecipient: Gamma\nSender: Beta\nMessage: z\n"
              "Result: MESSAGE_INTERNAL_ERROR\n\n"
              "Time: 00:00:00\nRecipient: Gamma\nSender: Beta\nMessage: z\n\n");
}

// A run without requests still replaces the old log, with an empty file.
TEST_F(MessageLog, RunWithoutRequestsWritesAnEmptyLog) {
    HostFixture f;
    const std::string path = f.settingsDir.file("sonvara.log");
    ASSERT_TRUE(platform::WriteFileAtomically(path, "old run\n"));
    f.host->WriteMessageLog(path);
    std::string text;
    ASSERT_TRUE(platform::ReadWholeFile(path, text));
    EXPECT_EQ(text, "");
    // An unwritable place is no failure of the close.
    f.host->WriteMessageLog("/nonexistent/dir/sonvara.log");
}

// Modules may send from worker threads: no request may be lost or get
// another request's result.
TEST(MessageBus, ConcurrentSendersKeepEveryRequest) {
    HostFixture f;
    f.Load({"alpha", "beta"});
    auto sender = [&](const char* to, int n) {
        for (int i = 0; i < n; ++i)
            f.host->SendModuleMessage(to, "Main frame", "x");
    };
    std::thread a(sender, "Alpha", 200), b(sender, "Nobody", 200);
    a.join();
    b.join();
    int ok = 0, notFound = 0;
    for (const auto& item : f.host->History().Snapshot()) {
        if (item.Recipient == "Alpha" && item.Result == MESSAGE_OK) ++ok;
        if (item.Recipient == "Nobody" && item.Result == MESSAGE_RECIPIER_NOT_FOUND) ++notFound;
    }
    EXPECT_EQ(ok, 200);
    EXPECT_EQ(notFound, 200);
}
