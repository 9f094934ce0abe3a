// Test helper: captures what the kernels report and restores the process-wide
// error state afterwards, so one test's handler or mode never leaks into the next.
#pragma once

#include "dsp/nsp.h"

#include <gtest/gtest.h>

#include <string>

struct NspReport {
    int calls = 0;
    int status = 0;
    std::string func, context, file;
};

inline NspReport& LastNspReport() {
    static NspReport report;
    return report;
}

// Records the report and returns the status, as a handler that lets the
// caller carry on.
inline int RecordNspError(int status, const char* func, const char* context, const char* file,
                          int) {
    NspReport& r = LastNspReport();
    ++r.calls;
    r.status = status;
    r.func = func ? func : "";
    r.context = context ? context : "";
    r.file = file ? file : "";
    return status;
}

class NspErrorTest : public ::testing::Test {
protected:
    void SetUp() override {
        savedMode_ = nspGetErrMode();
        savedStatus_ = nspGetErrStatus();
        savedHandler_ = nspRedirectError(RecordNspError);
        nspSetErrMode(NSP_ErrModeParent);
        nspSetErrStatus(NSP_StsOk);
        LastNspReport() = NspReport{};
    }
    void TearDown() override {
        nspRedirectError(savedHandler_);
        nspSetErrMode(savedMode_);
        nspSetErrStatus(savedStatus_);
    }

    static const NspReport& Report() { return LastNspReport(); }

    // The one report expected from the last call.
    static void ExpectBadArg(const char* func, const char* context, const char* file) {
        const NspReport& r = LastNspReport();
        EXPECT_EQ(r.calls, 1) << context;
        EXPECT_EQ(r.status, NSP_StsBadArg) << context;
        EXPECT_EQ(r.func, func);
        EXPECT_EQ(r.context, context);
        EXPECT_EQ(r.file, file);
        EXPECT_EQ(nspGetErrStatus(), NSP_StsBadArg);
        LastNspReport() = NspReport{};
        nspSetErrStatus(NSP_StsOk);
    }

private:
    int savedMode_ = 0;
    int savedStatus_ = 0;
    NSPErrorCallBack savedHandler_ = nullptr;
};
