// The shipped skins: each one must place every control kind the frame can
// create and look finished; the screenshots are kept under the build folder
// for a person to look at.
#include <QDir>
#include <QImage>
#include <QPainter>
#include <gtest/gtest.h>

#include "TestFrame.h"
#include "platform/Paths.h"

using namespace ui;

namespace {
class ShippedSkins : public ::testing::Test {
protected:
    void SetUp() override { platform::SetProgramDirectory(SONVARA_SOURCE_DIR "/data/"); }
    void TearDown() override {
        platform::SetProgramDirectory("");
        lacquer::UnloadSkin();
    }
};

QImage Render(QWidget& w, qreal dpr) {
    QImage image(w.size() * dpr, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(dpr);
    image.fill(Qt::black);
    w.render(&image);
    return image;
}
} // namespace

TEST_F(ShippedSkins, EverySkinPlacesEveryControlKindWithItsImages) {
    CTestFrame frame;
    ASSERT_TRUE(frame.skins.FindSkins());
    ASSERT_GE(frame.skins.Skins().size(), 2u);
    frame.LoadTexts();
    QDir().mkpath(SONVARA_TEST_OUTPUT_DIR);
    for (int i = 0; i < static_cast<int>(frame.skins.Skins().size()); ++i) {
        ASSERT_TRUE(frame.skins.ChangeSkin(i)) << frame.skins.Skins()[i].name;
        EXPECT_TRUE(frame.messages.empty());
        const std::string name = frame.skins.Current()->name;
        for (const SControlRow& row : frame.controls.Table().Rows()) {
            // The surround view and the TV screen belong to later parts of
            // the program and create nothing yet.
            if (row.kind == kKindSurroundView || row.kind == kKindTvScreen) continue;
            ASSERT_FALSE(row.instances.empty()) << name << " has no " << row.name;
            for (const SInstance& inst : row.instances) {
                QWidget* w = inst.control->GetWnd();
                EXPECT_TRUE(dynamic_cast<CAutoPanel*>(w->parentWidget())) << row.name;
                EXPECT_FALSE(w->size().isEmpty()) << row.name;
                if (row.kind != kKindText && row.kind != kKindScrollText) {
                    EXPECT_TRUE(inst.control->IsCustomSkin()) << name << " " << row.name;
                }
            }
        }
        frame.controls.SetChecked(kIdPlayerShuffle, true);
        frame.controls.SetChecked(kIdEquaTurn, true);
        for (int b = 0; b < 10; ++b)
            frame.controls.Sliders(16000 + 10 * b).front()->SetPos(100 + ((b * 37) % 90) - 45);
        frame.controls.Sliders(kIdPlayerPosition).front()->SetPos(34);
        frame.controls.Sliders(kIdPlayerVolume).front()->SetPos(80);
        frame.controls.Sliders(kIdPlayerBalance).front()->SetPos(50);
        auto* status =
            dynamic_cast<veneer::CSCStatic*>(frame.controls.FindControls(kIdStatusBar).front());
        status->SetText(QStringLiteral("Ready"));
        auto* advert = dynamic_cast<veneer::CSCScrollStatic*>(
            frame.controls.FindControls(kIdAdvertString).front());
        const QStringList texts{QStringLiteral("Sonvara, version 4.0.68 loaded successfully.")};
        advert->SetReferences(&texts, nullptr);
        for (int t = 0; t < 260; ++t)
            advert->Tick();

        for (QSize size : {QSize(760, 420), QSize(1000, 560)}) {
            frame.resize(size);
            frame.show();
            for (qreal dpr : {1.0, 2.0}) {
                const QImage shot = Render(frame, dpr);
                const QString file =
                    QStringLiteral(SONVARA_TEST_OUTPUT_DIR "/skin_%1_%2x%3_%4x.png")
                        .arg(QString::fromStdString(name))
                        .arg(size.width())
                        .arg(size.height())
                        .arg(int(dpr));
                EXPECT_TRUE(shot.save(file)) << file.toStdString();
            }
        }
    }
}

// A shipped skin with every image gone still gives a whole, usable window.
TEST_F(ShippedSkins, WithoutItsImagesASkinStillShowsEveryControl) {
    testsupport::TempDir program;
    std::filesystem::create_directories(program.file("Skins"));
    std::filesystem::copy_file(SONVARA_SOURCE_DIR "/data/Skins/Nocturne.xml",
                               program.file("Skins/Nocturne.xml"));
    platform::SetProgramDirectory(program.path() + "/");
    CTestFrame frame;
    frame.LoadTexts();
    ASSERT_TRUE(frame.skins.FindSkins());
    ASSERT_TRUE(frame.skins.ApplySkin());
    EXPECT_EQ(frame.skins.MinWidth(), 0); // no panel image: the skin gives no size
    for (const SControlRow& row : frame.controls.Table().Rows()) {
        for (const SInstance& inst : row.instances) {
            if (row.kind != kKindText && row.kind != kKindScrollText) {
                EXPECT_FALSE(inst.control->IsCustomSkin()) << row.name;
            }
            EXPECT_TRUE(dynamic_cast<CAutoPanel*>(inst.control->GetWnd()->parentWidget()));
        }
    }
    frame.resize(760, 420);
    frame.show();
    QDir().mkpath(SONVARA_TEST_OUTPUT_DIR);
    EXPECT_TRUE(
        Render(frame, 1.0).save(QStringLiteral(SONVARA_TEST_OUTPUT_DIR "/skin_plain_1x.png")));
}
