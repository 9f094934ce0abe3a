#include "libs/ledgerline/Ledgerline.h"
#include "platform/AtomicFile.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

namespace {

std::string Read(const std::string& path) {
    std::string s;
    platform::ReadWholeFile(path, s);
    return s;
}

TEST(Ledgerline, WritesFormattedLinesWithSender) {
    testsupport::TempDir dir;
    CLedgerline log;
    log.Configure(dir.file("debug.log"), 0, 0);
    log.WriteLogMessage("MainFrame", "Loaded library %s successfully.", "/x/Modules/a.so");
    log.WriteLogMessage("MainFrame", "%s", "Finished load modules...");
    std::string text = Read(dir.file("debug.log"));
    EXPECT_NE(text.find("MainFrame: Loaded library /x/Modules/a.so successfully.\n"),
              std::string::npos);
    EXPECT_NE(text.find("MainFrame: Finished load modules...\n"), std::string::npos);
}

// A long message must not be cut at an internal buffer size.
TEST(Ledgerline, KeepsLongMessagesWhole) {
    testsupport::TempDir dir;
    CLedgerline log;
    log.Configure(dir.file("debug.log"), 0, 0);
    std::string path(3000, 'p');
    log.WriteLogMessage("MainFrame", "Failed to load library %s.", path.c_str());
    EXPECT_NE(Read(dir.file("debug.log")).find(path + "."), std::string::npos);
}

TEST(Ledgerline, FilterLevelDropsLowerLevelsAndClearOnStartupEmpties) {
    testsupport::TempDir dir;
    const std::string path = dir.file("debug.log");
    ASSERT_TRUE(platform::WriteFileAtomically(path, "old line\n"));
    CLedgerline log;
    log.Configure(path, 1, 0);
    log.WriteLogMessage("MainFrame", "info line");
    log.WriteLogMessageLevel(CLedgerline::Warning, "MainFrame", "warning line");
    std::string text = Read(path);
    EXPECT_NE(text.find("old line"), std::string::npos);
    EXPECT_EQ(text.find("info line"), std::string::npos);
    EXPECT_NE(text.find("warning line"), std::string::npos);

    log.Configure(path, 0, 1);
    EXPECT_EQ(Read(path), "");
}

} // namespace
