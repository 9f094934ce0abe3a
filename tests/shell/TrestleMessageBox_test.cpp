// Trestle's message boxes: answered by a hook, by the environment, or by a
// real button press on the offscreen platform.
#include "QtTestApp.h"
#include "libs/trestle/TrestleMessageBox.h"

#include <QAbstractButton>
#include <QMessageBox>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

using namespace trestle;

class TrestleBoxTest : public ::testing::Test {
protected:
    void SetUp() override {
        shelltest::EnsureApplication();
        ::unsetenv("SONVARA_MESSAGE_BOX_ANSWER");
    }
    void TearDown() override {
        SetMessageBoxHook(nullptr);
        SetStringResolver(nullptr);
        SetDefaultCaption("Sonvara");
    }
};

TEST_F(TrestleBoxTest, HookAnswersWithoutAWindowAndSeesTheRequest) {
    MessageBoxRequest seen;
    SetMessageBoxHook([&](const MessageBoxRequest& r) {
        seen = r;
        return IDNO;
    });
    SetDefaultCaption("Product");
    EXPECT_EQ(AfxSCMessageBox("Restart now?", MB_YESNO | MB_ICONQUESTION), IDNO);
    EXPECT_EQ(seen.text, "Restart now?");
    EXPECT_EQ(seen.caption, "Product");
    EXPECT_EQ(seen.type, MB_YESNO | MB_ICONQUESTION);
    EXPECT_EQ(QApplication::topLevelWidgets().size(), 0);
}

// An unattended run (the program under a script) must never wait on a box.
TEST_F(TrestleBoxTest, EnvironmentAnswersWhenNoHookIsSet) {
    ::setenv("SONVARA_MESSAGE_BOX_ANSWER", "6", 1);
    EXPECT_EQ(AfxSCMessageBox("Question?", MB_YESNO), IDYES);
    ::unsetenv("SONVARA_MESSAGE_BOX_ANSWER");
}

// The real box maps Qt's buttons onto the results callers compare with.
TEST_F(TrestleBoxTest, RealBoxReturnsTheButtonPressed) {
    QTimer::singleShot(0, [] {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (auto* box = qobject_cast<QMessageBox*>(w)) {
                box->button(QMessageBox::No)->click();
                return;
            }
        }
    });
    EXPECT_EQ(AfxSCMessageBox("Really?", MB_YESNOCANCEL), IDNO);
}

TEST_F(TrestleBoxTest, ModuleBoxResolvesStringIds) {
    SetStringResolver([](std::uint32_t id) { return id == 7 ? std::string("Seven") : ""; });
    MessageBoxRequest seen;
    SetMessageBoxHook([&](const MessageBoxRequest& r) {
        seen = r;
        return IDOK;
    });
    EXPECT_EQ(ShowMessageBox(7, 0, MB_OK, 0, 0), IDOK);
    EXPECT_EQ(seen.text, "Seven");
    EXPECT_EQ(seen.caption, "Sonvara");
    // An id without text shows nothing.
    EXPECT_EQ(ShowMessageBox(8, 0, MB_OK, 0, 0), 0);
}

} // namespace
