// The Qt test programs of the shell run on the offscreen platform (unless the
// environment chose another) with one QApplication that is destroyed at the
// end, so the platform's font caches go with it.
#include <QApplication>
#include <cstdlib>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    ::testing::InitGoogleTest(&argc, argv);
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
