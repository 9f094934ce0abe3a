#include "dsp/NspErrorCapture.h"
#include "dsp/nsp.h"

#include <gtest/gtest.h>

#include <string>

namespace {

class ErrorReportTest : public NspErrorTest {};

TEST_F(ErrorReportTest, StatusTexts) {
    EXPECT_STREQ(nspErrorStr(0), "No Error");
    EXPECT_STREQ(nspErrorStr(-1), "Backtrace");
    EXPECT_STREQ(nspErrorStr(-3), "Internal error (bad state)");
    EXPECT_STREQ(nspErrorStr(-4), "Out of memory");
    EXPECT_STREQ(nspErrorStr(-5), "Bad argument");
    EXPECT_STREQ(nspErrorStr(-6), "Unsupported function");
    EXPECT_STREQ(nspErrorStr(-7), "Iteration convergence failed");
    EXPECT_STREQ(nspErrorStr(-8), "Autotrace call");
    EXPECT_STREQ(nspErrorStr(-10), "Null pointer");
    EXPECT_STREQ(nspErrorStr(-12), "Bad pointer");
    EXPECT_STREQ(nspErrorStr(-13), "Bad data structure");
    EXPECT_STREQ(nspErrorStr(-14), "Bad vector length");
    for (int unknown : {-2, -9, -11, -15, 1, 12345}) {
        EXPECT_STREQ(nspErrorStr(unknown), "Unknown error or status code") << unknown;
    }
}

// Trace statuses reach the handler without replacing the last status; a zero
// status is stored and returns at once without the handler.
TEST_F(ErrorReportTest, ReportStoresStatusAndCallsHandler) {
    nspSetErrStatus(-7);
    EXPECT_EQ(nspError(NSP_StsBackTrace, "f", "ctx", "file", 3), NSP_StsBackTrace);
    EXPECT_EQ(nspError(NSP_StsAutoTrace, "f", "ctx", "file", 4), NSP_StsAutoTrace);
    EXPECT_EQ(nspGetErrStatus(), -7);
    EXPECT_EQ(Report().calls, 2);

    EXPECT_EQ(nspError(NSP_StsOk, "f", "ctx", "file", 5), 0);
    EXPECT_EQ(nspGetErrStatus(), NSP_StsOk);
    EXPECT_EQ(Report().calls, 2);

    EXPECT_EQ(nspError(NSP_StsNullPtr, "fn", "what", "src", 9), NSP_StsNullPtr);
    EXPECT_EQ(nspGetErrStatus(), NSP_StsNullPtr);
    EXPECT_EQ(Report().calls, 3);
    EXPECT_EQ(Report().func, "fn");
    EXPECT_EQ(Report().context, "what");
    EXPECT_EQ(Report().file, "src");
}

TEST_F(ErrorReportTest, RedirectReturnsPreviousAndNullRestoresDefault) {
    EXPECT_EQ(nspRedirectError(nullptr), &RecordNspError);
    EXPECT_EQ(nspRedirectError(RecordNspError), &nspStdErrReport);
    nspSetErrMode(NSP_ErrModeSilent);
    EXPECT_EQ(nspGetErrMode(), NSP_ErrModeSilent);
    // The default handler returns the status in any mode but 0.
    EXPECT_EQ(nspStdErrReport(NSP_StsBadArg, "f", "c", "s", 1), NSP_StsBadArg);
    nspSetErrMode(NSP_ErrModeParent);
    EXPECT_EQ(nspStdErrReport(NSP_StsNoMem, nullptr, nullptr, nullptr, 0), NSP_StsNoMem);
}

// With the default handler in mode 0, a programming error ends the process
// with exit status 1 (after saying where).
TEST_F(ErrorReportTest, DefaultHandlerInLeafModeEndsProcess) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            nspRedirectError(nullptr);
            nspSetErrMode(NSP_ErrModeLeaf);
            float dst[1] = {0};
            nspsbAdd2(dst, dst, 0);
        },
        ::testing::ExitedWithCode(1), "n<=0");
}

} // namespace
