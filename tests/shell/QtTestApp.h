// The QApplication of a shell Qt test program (QtTestMain.cpp creates it).
#pragma once

#include <QApplication>
#include <cstdlib>

namespace shelltest {

inline QApplication& EnsureApplication() {
    if (!qApp) std::abort(); // the test program's main creates it
    return *static_cast<QApplication*>(QCoreApplication::instance());
}

} // namespace shelltest
