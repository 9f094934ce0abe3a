#include <QApplication>
#include <cstdlib>
#include <gtest/gtest.h>
#include <memory>

#include "audio/dialogs/PlugInSoundFormat.h"
#include "support/QtEnvironment.h"

using audio::CPlugInSoundFormat;

namespace {

const auto* const g_env = testsupport::AddQtEnvironment();

// A coder whose panel is the placeholder's size plus g_grow.
QSize g_grow;
int g_shown = 0;
int FakeCoder(const char* name, QWidget* parent, int show) {
    EXPECT_STREQ(name, "");
    if (show) {
        ++g_shown;
        auto* panel = new QWidget(parent);
        panel->resize(parent->size() + g_grow);
        panel->move(3, 2); // the dialog puts it at 0,0 itself
    } else {
        --g_shown;
        delete parent->findChild<QWidget*>();
    }
    return 1;
}
int NoCoder(const char*, QWidget*, int) {
    return 0;
}

struct SLayout {
    QSize dialog;
    QRect placeholder;
    QRect close;
};
SLayout Template() {
    CPlugInSoundFormat::SetCoderSettingsFunction(&NoCoder);
    CPlugInSoundFormat dialog;
    CPlugInSoundFormat::SetCoderSettingsFunction(nullptr);
    return {dialog.size(), dialog.Placeholder()->geometry(), dialog.CloseButton()->geometry()};
}

} // namespace

// The dialog must follow the coder's panel: 200 pixels wider moves Close
// 200 pixels right and keeps the template height; a narrower panel shrinks
// the dialog by the difference; a taller one grows the height rather than
// cutting the panel off. Closing removes the panel through the coders.
TEST(SoundFormatDialog, SizesItselfAroundTheCoderPanel) {
    const SLayout t = Template();
    EXPECT_FALSE(t.dialog.isEmpty());
    CPlugInSoundFormat::SetCoderSettingsFunction(&FakeCoder);
    struct SCase {
        QSize grow;
        QSize dialog;
    } cases[] = {
        {{200, 0}, t.dialog + QSize(200, 0)},
        {{-30, -10}, t.dialog + QSize(-30, 0)},
        {{0, 120}, t.dialog + QSize(0, 120)},
    };
    for (const SCase& c : cases) {
        g_grow = c.grow;
        {
            CPlugInSoundFormat dialog;
            EXPECT_EQ(g_shown, 1);
            EXPECT_EQ(dialog.size(), c.dialog) << c.grow.width() << "," << c.grow.height();
            EXPECT_EQ(dialog.CloseButton()->geometry(), t.close.translated(c.grow.width(), 0));
            ASSERT_NE(dialog.CoderWindow(), nullptr);
            EXPECT_EQ(dialog.CoderWindow()->geometry(),
                      QRect(QPoint(0, 0), t.placeholder.size() + c.grow));
            EXPECT_EQ(dialog.Placeholder()->geometry(),
                      QRect(t.placeholder.topLeft(), t.placeholder.size() + c.grow));
            const QRect panel(dialog.Placeholder()->mapTo(&dialog, QPoint(0, 0)),
                              dialog.CoderWindow()->size());
            EXPECT_TRUE(dialog.rect().contains(panel)) << "the panel is cut off";
        }
        EXPECT_EQ(g_shown, 0) << "the panel outlived the dialog";
    }
    CPlugInSoundFormat::SetCoderSettingsFunction(nullptr);
}
