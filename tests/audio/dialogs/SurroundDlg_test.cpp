// The "Surround" dialog on both shipped skins, driven as a user would: the
// support notice, a preset chosen, reverberation switched off, a mode
// chosen and the sound marker dragged, each seen in the controls and in
// the settings. Screenshots of both skins (and the notice) are left in
// build/screenshots/.
#include "audio/ExtPlayerDX.h"
#include "audio/PlayerSurroundHost.h"
#include "audio/SurroundSettings.h"
#include "audio/dialogs/SurroundDlg.h"
#include "audio/dialogs/SurroundSupportDlg.h"
#include "libs/lacquer/Lacquer.h"
#include "libs/veneer/SurroundView.h"
#include "support/TempDir.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QImage>
#include <QLabel>
#include <QRadioButton>
#include <QTest>
#include <fstream>
#include <gtest/gtest.h>

namespace {

using S = CSurroundSettings;

void Save(QWidget& w, const QString& name) {
    QDir().mkpath(SONVARA_TEST_OUTPUT_DIR);
    for (qreal dpr : {1.0, 2.0}) {
        QImage image(w.size() * dpr, QImage::Format_ARGB32_Premultiplied);
        image.setDevicePixelRatio(dpr);
        image.fill(Qt::black);
        w.render(&image);
        image.save(QStringLiteral(SONVARA_TEST_OUTPUT_DIR "/%1_%2x.png").arg(name).arg(dpr));
    }
}

class SurroundDialog : public ::testing::TestWithParam<const char*> {
protected:
    void SetUp() override {
        std::ofstream(presets) << "[1]\nName=Small Room\nRoomWidth=12.5\nRoomHeight=12.5\n"
                                  "SoundPosX=3\nSoundPosY=2\nReverberation=On\n"
                                  "[2]\nName=----\n[3]\nName=Hall\nRoomWidth=40\nRoomHeight=40\n"
                                  "SoundPosX=20\nSoundPosY=30\n";
        ASSERT_TRUE(lacquer::LoadStandardSkin(std::string(SONVARA_SOURCE_DIR "/data/Skins/") +
                                              GetParam() + ".xml"));
    }
    void TearDown() override {
        CSurroundDlg::SetTestHook(nullptr);
        CSurroundSupportDlg::SetTestHook(nullptr);
        lacquer::UnloadSkin();
    }

    testsupport::TempDir dir;
    std::string presets = dir.file("Zuzuvezizu_presets.ini");
    CExtPlayerDX player{[](std::string*) { return nullptr; }};
};

TEST_P(SurroundDialog, EveryControlActsAtOnceOnBothSkins) {
    // A card without 4.0 and 4.1.
    CPlayerSurroundHost host(player, [](int channels, std::uint32_t) { return channels >= 6; });
    host.SetSurroundTurn(true);
    CSurroundSettings settings(dir.file("config.ini"), presets, host);
    settings.LoadSettings(true);
    ASSERT_EQ(settings.supportedModes, 0x78u);

    QString notice;
    CSurroundSupportDlg::SetTestHook([&](CSurroundSupportDlg& d) {
        notice = d.Text();
        EXPECT_TRUE(d.DontShowAgain()->isChecked());
        d.show();
        d.adjustSize();
        Save(d, QStringLiteral("surround_notice_%1").arg(GetParam()));
    });
    bool ran = false;
    CSurroundDlg::SetTestHook([&](CSurroundDlg& d) {
        ran = true;
        d.resize(760, 420);
        d.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&d));
        // The view lies over its placeholder.
        EXPECT_EQ(d.View()->geometry(), d.Control(S::kViewPlaceholder)->geometry());
        EXPECT_TRUE(static_cast<QRadioButton*>(d.Control(S::kFirstModeRadio + 2))->isChecked());
        EXPECT_EQ(d.LabelText(S::kRoomSizeSlider), "20.0 m.");
        EXPECT_EQ(d.LabelText(S::kLfeFrequencySlider), "80 Hz");

        // A preset: its values in the controls and the view.
        auto* combo = static_cast<QComboBox*>(d.Control(S::kPresetCombo));
        ASSERT_EQ(combo->count(), 3);
        combo->setCurrentIndex(0);
        Q_EMIT combo->activated(0);
        EXPECT_EQ(d.LabelText(S::kRoomSizeSlider), "12.5 m.");
        EXPECT_EQ(settings.roomSize, 125);
        Save(d, QStringLiteral("surround_dialog_%1").arg(GetParam()));

        // Reverberation off: "Advance Reverberation" goes off and its
        // controls grey out.
        auto* advance = static_cast<QCheckBox*>(d.Control(S::kAdvanceCheck));
        QTest::mouseClick(advance, Qt::LeftButton);
        EXPECT_TRUE(settings.processAdvance);
        QTest::mouseClick(d.Control(S::kReverbCheck), Qt::LeftButton);
        EXPECT_FALSE(settings.reverbOn);
        EXPECT_FALSE(advance->isChecked());
        EXPECT_FALSE(advance->isEnabled());
        EXPECT_FALSE(d.Control(S::kRoomSizeSlider)->isEnabled());

        // A mode: the view shows it.
        static_cast<QRadioButton*>(d.Control(S::kFirstModeRadio + 4))->click();
        EXPECT_EQ(settings.surroundMode, 4);
        EXPECT_EQ(d.View()->Mode(), 4);

        // The marker dragged to the middle of the view: whole metres.
        veneer::CSCSurroundView* view = d.View();
        const QPoint from = view->MarkerPoint().toPoint();
        const QPoint to(view->width() / 2, view->height() / 2);
        QTest::mousePress(view, Qt::LeftButton, {}, from);
        QMouseEvent move(QEvent::MouseMove, to, view->mapToGlobal(to), Qt::NoButton, Qt::LeftButton,
                         Qt::NoModifier);
        QApplication::sendEvent(view, &move);
        QTest::mouseRelease(view, Qt::LeftButton, {}, to);
        EXPECT_FLOAT_EQ(settings.soundPosX, static_cast<float>((12 * to.x()) / view->width()));
        EXPECT_FLOAT_EQ(settings.soundPosY, static_cast<float>((12 * to.y()) / view->height()));
        Save(d, QStringLiteral("surround_dialog_changed_%1").arg(GetParam()));
        QTest::mouseClick(d.Control(1), Qt::LeftButton);
        EXPECT_FALSE(d.isVisible());
    });
    CSurroundDlg dialog(settings, nullptr, nullptr);
    dialog.Run();
    EXPECT_TRUE(ran);
    EXPECT_EQ(notice, "Your sound card doesn't support surround 4.0, 4.1 modes, which will be "
                      "disabled.");
    EXPECT_FALSE(settings.NeedsSupportNotice());
}

INSTANTIATE_TEST_SUITE_P(ShippedSkins, SurroundDialog, ::testing::Values("Nocturne", "Daylight"));

} // namespace
