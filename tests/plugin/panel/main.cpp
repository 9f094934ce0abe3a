// The panel tests run on the offscreen platform, with a Language.xml in the
// working folder that names the test translation library: the panel reads it
// once, at its first creation.
#include <QApplication>
#include <cstdio>
#include <cstdlib>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    if (FILE* xml = std::fopen("Language.xml", "w")) {
        std::fprintf(xml, "<Lang Name=\"Test\" Path=\"%s\"/>\n", PANEL_LANGUAGE_PATH);
        std::fclose(xml);
    }
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
