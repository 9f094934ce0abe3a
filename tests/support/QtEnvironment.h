// A QApplication for a GoogleTest program whose widgets run on the offscreen
// platform (no display needed). A test file installs it once:
//     const auto* const g_env = testsupport::AddQtEnvironment();
#pragma once

#include <QApplication>
#include <cstdlib>
#include <gtest/gtest.h>
#include <memory>

namespace testsupport {

class QtEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
        static int argc = 1;
        static char name[] = "sonvara_tests";
        static char* argv[] = {name, nullptr};
        m_app = std::make_unique<QApplication>(argc, argv);
    }
    void TearDown() override { m_app.reset(); }

private:
    std::unique_ptr<QApplication> m_app;
};

inline ::testing::Environment* AddQtEnvironment() {
    return ::testing::AddGlobalTestEnvironment(new QtEnvironment);
}

} // namespace testsupport
