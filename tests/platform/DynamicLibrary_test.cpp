#include "platform/DynamicLibrary.h"

#include <gtest/gtest.h>

namespace {

// A relative name would let the loader's search path pick another file.
TEST(DynamicLibrary, RefusesRelativePaths) {
    platform::DynamicLibrary lib;
    EXPECT_FALSE(lib.Load("libm.so.6"));
    EXPECT_NE(lib.Error().find("absolute"), std::string::npos);
    EXPECT_FALSE(lib.IsLoaded());
}

TEST(DynamicLibrary, ReportsMissingFilesAndExportsAsText) {
    platform::DynamicLibrary lib;
    EXPECT_FALSE(lib.Load("/nonexistent/libnothing.so"));
    EXPECT_FALSE(lib.Error().empty());
    EXPECT_EQ(lib.Symbol("cos"), nullptr);
    EXPECT_FALSE(lib.Error().empty());
}

TEST(DynamicLibrary, LoadsLooksUpAndUnloads) {
    platform::DynamicLibrary lib;
    // The C math library is present on every system this builds on.
    const char* candidates[] = {"/lib/x86_64-linux-gnu/libm.so.6",
                                "/usr/lib/x86_64-linux-gnu/libm.so.6",
                                "/lib/aarch64-linux-gnu/libm.so.6", "/lib64/libm.so.6"};
    bool loaded = false;
    for (const char* c : candidates)
        if ((loaded = lib.Load(c))) break;
    if (!loaded) GTEST_SKIP() << "no libm found at a known path";
    auto cosine = lib.Function<double (*)(double)>("cos");
    ASSERT_NE(cosine, nullptr);
    EXPECT_DOUBLE_EQ(cosine(0.0), 1.0);
    EXPECT_EQ(lib.Symbol("no_such_export_anywhere"), nullptr);
    EXPECT_NE(lib.Error().find("no_such_export_anywhere"), std::string::npos);

    platform::DynamicLibrary moved = std::move(lib);
    EXPECT_FALSE(lib.IsLoaded());
    EXPECT_TRUE(moved.IsLoaded());
    moved.Unload();
    EXPECT_FALSE(moved.IsLoaded());
}

} // namespace
