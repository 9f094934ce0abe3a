// One QApplication for a test program, on the offscreen platform unless the
// environment chose another, created on first use.
#pragma once

#include <QApplication>
#include <cstdlib>

namespace shelltest {

inline QApplication& EnsureApplication() {
    static int argc = 1;
    static char name[] = "shell_qt_tests";
    static char* argv[] = {name, nullptr};
    if (!std::getenv("QT_QPA_PLATFORM")) ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    static QApplication* app = new QApplication(argc, argv);
    return *app;
}

} // namespace shelltest
