#include <QCheckBox>
#include <QDialog>
#include <QDir>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QTest>
#include <fstream>
#include <gtest/gtest.h>

#include "TestFrame.h"
#include "platform/Paths.h"
#include "ui/ControlTable.h"
#include "xml/XmlNode.h"

using namespace ui;

namespace {

// Every test works in a program directory of its own with a Skins folder.
class SkinTest : public ::testing::Test {
protected:
    void SetUp() override {
        platform::SetProgramDirectory(program.path() + "/");
        std::filesystem::create_directories(program.file("Skins/img"));
        // A small valid button strip and panel image.
        Write("Skins/img/btn.svg", "<svg xmlns='http://www.w3.org/2000/svg' width='64' height='16'>"
                                   "<rect width='64' height='16' fill='#888'/></svg>");
        Write("Skins/img/panel.svg",
              "<svg xmlns='http://www.w3.org/2000/svg' width='300' height='40'>"
              "<rect width='300' height='40' fill='#444'/></svg>");
        Write("Skins/img/broken.svg", "<svg this is not");
    }
    void TearDown() override {
        platform::SetProgramDirectory("");
        lacquer::UnloadSkin();
    }
    void Write(const std::string& rel, const std::string& text) {
        std::ofstream(program.file(rel)) << text;
    }
    // A skin whose controls are given as XML text.
    void WriteSkin(const std::string& file, const std::string& caption, const std::string& controls,
                   bool withMainFrame = true) {
        std::string xml = "<SKIN Caption='" + caption + "'>";
        if (withMainFrame)
            xml += "<MAINFRAME><Panels>"
                   "<FramePanelUp Source='img/panel.svg'/>"
                   "<FramePanelPlayer Source='img/panel.svg'/>"
                   "<FramePanelDown Source='img/panel.svg'/>"
                   "</Panels><Controls>" +
                   controls + "</Controls></MAINFRAME>";
        xml += "</SKIN>";
        Write("Skins/" + file, xml);
    }

    testsupport::TempDir program;
};

const std::string kPlace = " Owner='FramePanelPlayer' x='0' y='0' cx='16' cy='16' ";

} // namespace

TEST_F(SkinTest, TwoPlayButtonsHaveTheirOwnIdsAndBothCommandPlay) {
    WriteSkin("a.xml", "A",
              "<PLAYER_PLAY Source='img/btn.svg'" + kPlace +
                  "/>"
                  "<PLAYER_PLAY Source='img/btn.svg'" +
                  kPlace +
                  "/>"
                  "<PLAYER_VOLUME Source='img/btn.svg'" +
                  kPlace +
                  "/>"
                  "<PLAYER_BALANCE Type='round' Source='img/btn.svg'" +
                  kPlace +
                  "/>"
                  "<NOT_A_CONTROL" +
                  kPlace + "/>");
    CTestFrame frame;
    ASSERT_TRUE(frame.skins.FindSkins());
    ASSERT_TRUE(frame.skins.ApplySkin());
    const CControlTable& t = frame.controls.Table();
    ASSERT_EQ(t.FindRow(kIdPlayerPlay)->instances.size(), 2u);
    EXPECT_EQ(t.FindRow(kIdPlayerPlay)->instances[0].id, 33012);
    EXPECT_EQ(t.FindRow(kIdPlayerPlay)->instances[1].id, 33011);
    // A slider without "Type", or with a type in the wrong case, creates nothing.
    EXPECT_TRUE(frame.controls.FindControls(kIdPlayerVolume).empty());
    EXPECT_TRUE(frame.controls.FindControls(kIdPlayerBalance).empty());

    for (int id : {33011, 33012}) {
        auto* b = dynamic_cast<veneer::CSCButton*>(frame.controls.FindControlById(id));
        ASSERT_NE(b, nullptr);
        EXPECT_EQ(b->parentWidget(), frame.panels.Panel(EPanel::Player));
        b->click();
    }
    EXPECT_TRUE(frame.commands.empty()); // posted, as a button's command is
    QApplication::processEvents();
    EXPECT_EQ(frame.commands, (std::vector<int>{33010, 33010}));
    EXPECT_EQ(frame.skinChanged, 1);
}

// A skin whose images are missing or do not decode must still give a usable
// window: the controls are created, placed and paint their plain look.
TEST_F(SkinTest, MissingAndBrokenImagesGivePlainPlacedControls) {
    WriteSkin("a.xml", "A",
              "<PLAYER_STOP Source='img/gone.svg'" + kPlace +
                  "/>"
                  "<PLAYER_PAUSE Source='img/broken.svg'" +
                  kPlace +
                  "/>"
                  "<PLAYER_POSITION Type='Horizontal'" +
                  kPlace +
                  "/>"
                  "<STATUS_BAR" +
                  kPlace + "/>");
    Write("Skins/img/panel.svg", "not an image either");
    CTestFrame frame;
    ASSERT_TRUE(frame.skins.FindSkins());
    ASSERT_TRUE(frame.skins.ApplySkin());
    for (int row : {kIdPlayerStop, kIdPlayerPause, kIdPlayerPosition, kIdStatusBar}) {
        const auto controls = frame.controls.FindControls(row);
        ASSERT_EQ(controls.size(), 1u) << row;
        EXPECT_EQ(controls[0]->GetWnd()->parentWidget(), frame.panels.Panel(EPanel::Player));
        EXPECT_TRUE(controls[0]->GetWnd()->isVisibleTo(frame.panels.Panel(EPanel::Player)));
    }
    frame.show();
    const QImage shot = frame.grab().toImage();
    EXPECT_FALSE(shot.isNull());
}

TEST_F(SkinTest, FailedChangeBringsThePreviousSkinBackAndSaysSo) {
    WriteSkin("a.xml", "Good", "<PLAYER_STOP Source='img/btn.svg'" + kPlace + "/>");
    WriteSkin("b.xml", "NoMainFrame", "", false);
    CTestFrame frame;
    ASSERT_TRUE(frame.skins.FindSkins());
    ASSERT_EQ(frame.skins.Current()->name, "Good");
    ASSERT_TRUE(frame.skins.ApplySkin());

    EXPECT_FALSE(frame.skins.ChangeSkin(1));
    EXPECT_EQ(frame.skins.CurrentIndex(), 0);
    EXPECT_EQ(frame.messages,
              (std::vector<std::string>{"Can't load skin: " + program.file("Skins/b.xml")}));
    EXPECT_EQ(frame.controls.FindControls(kIdPlayerStop).size(), 1u);
    EXPECT_NE(frame.skins.MainFrameElement(), nullptr);
    EXPECT_TRUE(frame.fatal.empty());

    // When the previous skin cannot come back either, the program must end.
    std::filesystem::remove(program.file("Skins/a.xml"));
    EXPECT_FALSE(frame.skins.ChangeSkin(1));
    EXPECT_EQ(frame.fatalCode, 1);
}

TEST_F(SkinTest, NoUsableSkinIsReportedInsteadOfCrashing) {
    Write("Skins/x.xml", "<SKIN Caption=''/>");
    CTestFrame frame;
    EXPECT_FALSE(frame.skins.FindSkins());
    EXPECT_EQ(frame.skins.Current(), nullptr);
    EXPECT_FALSE(frame.skins.ApplySkin());
    EXPECT_NE(frame.skins.NoSkinMessage().find("Skins"), std::string::npos);
    EXPECT_FALSE(frame.skins.ChangeSkin(0));
    frame.skins.SaveCurrentSkin(); // nothing to save, nothing written
    EXPECT_EQ(frame.settings.GetString("CURRENTSKIN", "Name", "none"), "none");
}

TEST_F(SkinTest, StateOfSwitchesAndBandsSurvivesASkinChange) {
    const std::string controls = "<PLAYER_SHUFFLE Source='img/btn.svg'" + kPlace +
                                 "/>"
                                 "<EQUA_SLIDER3 Source='img/btn.svg'" +
                                 kPlace +
                                 "/>"
                                 "<PLAYER_POSITION Type='Horizontal' Source='img/btn.svg'" +
                                 kPlace + "/>";
    WriteSkin("a.xml", "A", controls);
    WriteSkin("b.xml", "B", controls);
    CTestFrame frame;
    frame.settings.SetString("CURRENTSKIN", "Name", "b");
    ASSERT_TRUE(frame.skins.FindSkins());
    EXPECT_EQ(frame.skins.CurrentIndex(), 1);
    ASSERT_TRUE(frame.skins.ApplySkin());
    frame.controls.SetChecked(kIdPlayerShuffle, true);
    EXPECT_EQ(frame.controls.Sliders(16020).front()->GetPos(), 100); // flat until loaded
    frame.controls.Sliders(16020).front()->SetPos(57);

    ASSERT_TRUE(frame.skins.OnSkinCommand(366));
    EXPECT_TRUE(frame.skins.IsCurrentCommand(366));
    auto* shuffle = dynamic_cast<veneer::CSCButton*>(frame.controls.FindControls(33035).front());
    EXPECT_TRUE(shuffle->isChecked());
    veneer::CSCSlider* band = frame.controls.Sliders(16020).front();
    EXPECT_EQ(band->GetPos(), 57);
    EXPECT_EQ(band->maximum(), 200);
    EXPECT_TRUE(band->GetSkinStyleEx() & veneer::kStyleCentred);
    const std::uint32_t pos = frame.controls.Sliders(kIdPlayerPosition).front()->GetSkinStyleEx();
    EXPECT_EQ(pos & 0x0303u, 0x0202u);

    frame.skins.SaveCurrentSkin();
    EXPECT_EQ(frame.settings.GetString("CURRENTSKIN", "Name"), "A");
}

// Rebuilding must close the image handles of the controls it destroys.
TEST_F(SkinTest, RebuildsDoNotLeakImageHandles) {
    WriteSkin("a.xml", "A",
              "<PLAYER_STOP Source='img/btn.svg' SourceAlpha='img/btn.svg'" + kPlace + "/>");
    CTestFrame frame;
    ASSERT_TRUE(frame.skins.FindSkins());
    ASSERT_TRUE(frame.skins.ApplySkin());
    const int open = veneer::OpenImageFileCount();
    for (int i = 0; i < 3; ++i)
        ASSERT_TRUE(frame.skins.ChangeSkin(0));
    EXPECT_EQ(veneer::OpenImageFileCount(), open);
}

TEST_F(SkinTest, SlidersReachTheEqualizerAndThePlayer) {
    WriteSkin("a.xml", "A",
              "<EQUA_SLIDER2 Source='img/btn.svg' Owner='FramePanelPlayer' x='0' y='0' cx='14' "
              "cy='80'/>"
              "<PLAYER_VOLUME Type='Horizontal' Source='img/btn.svg' Owner='FramePanelPlayer' "
              "x='20' y='0' cx='100' cy='16'/>");
    CTestFrame frame;
    ASSERT_TRUE(frame.skins.FindSkins());
    ASSERT_TRUE(frame.skins.ApplySkin());
    frame.show();
    veneer::CSCSlider* volume = frame.controls.Sliders(kIdPlayerVolume).front();
    QTest::mouseClick(volume, Qt::LeftButton, {}, QPoint(95, 8));
    ASSERT_FALSE(frame.playerSliders.empty());
    EXPECT_EQ(frame.playerSliders.front().id, kIdPlayerVolume);
    EXPECT_GT(volume->GetPos(), 0);

    veneer::CSCSlider* band = frame.controls.Sliders(16010).front();
    QTest::mouseClick(band, Qt::LeftButton, {}, QPoint(7, 78));
    ASSERT_FALSE(frame.equalizer.empty());
    EXPECT_EQ(frame.equalizer.front().id, 1); // the band number

    const std::size_t heard = frame.playerSliders.size() + frame.equalizer.size();
    frame.controls.DispatchSlider(14999, 4, 1); // nobody's slider: dropped
    frame.controls.DispatchSlider(16100, 4, 1);
    EXPECT_EQ(frame.playerSliders.size() + frame.equalizer.size(), heard);
}

TEST_F(SkinTest, PlayerPanelButtonHidesThePanelAndGivesTheRoomToModules) {
    WriteSkin("a.xml", "A",
              "<PLAYER_SHOW Source='img/btn.svg' Owner='FramePanelDown' x='0' y='0' cx='16' "
              "cy='16'/>");
    CTestFrame frame;
    ASSERT_TRUE(frame.skins.FindSkins());
    ASSERT_TRUE(frame.skins.ApplySkin());
    frame.RecalcLayout();
    const int before = frame.moduleArea.height();
    auto* show = dynamic_cast<veneer::CSCButton*>(frame.controls.FindControls(14060).front());
    show->click(); // checked: hidden
    EXPECT_FALSE(frame.controls.OnPlayerShowPressed());
    EXPECT_EQ(frame.moduleArea.height(), before + 40);
    EXPECT_TRUE(frame.controls.TogglePlayerPanel());
    EXPECT_FALSE(show->isChecked());
    frame.panels.SavePlayerPanel(frame.settings);
    EXPECT_EQ(frame.settings.GetString("FRAME OPTIONS", "PanelPlayer"), "On");
}

TEST_F(SkinTest, DoubleClickOnTheCaptionAsksForMaximise) {
    WriteSkin("a.xml", "A", "");
    CTestFrame frame;
    ASSERT_TRUE(frame.skins.FindSkins());
    ASSERT_TRUE(frame.skins.ApplySkin());
    frame.show();
    QTest::mouseDClick(frame.panels.Panel(EPanel::Up), Qt::LeftButton, {}, QPoint(100, 10));
    EXPECT_EQ(frame.commands, (std::vector<int>{kIdFrameZoom}));
}

TEST_F(SkinTest, SkinWindowDressesNestedDialogsByWidgetKind) {
    WriteSkin("a.xml", "A", "");
    CTestFrame frame;
    ASSERT_TRUE(frame.skins.FindSkins());
    QDialog dialog;
    auto* label = new QLabel(&dialog);
    auto* inner = new QDialog(&dialog, Qt::Widget);
    auto* edit = new QLineEdit(inner);
    auto* slider = new QSlider(inner);
    auto* check = new QCheckBox(inner);
    auto* push = new QPushButton(inner);
    auto* surround = new QWidget(inner);
    surround->setObjectName(QStringLiteral("SurrView"));
    ISkin& skin = frame.skins;
    EXPECT_TRUE(skin.SkinWindow(&dialog, true));
    EXPECT_STREQ(SkinClassFor(&dialog), "CSCScaleDialog");
    EXPECT_STREQ(SkinClassFor(label), "CSCStatic");
    EXPECT_STREQ(SkinClassFor(inner), "CSCScaleDialog");
    EXPECT_STREQ(SkinClassFor(edit), "CSCEditBox");
    EXPECT_STREQ(SkinClassFor(slider), "CSCScaleSlider");
    EXPECT_STREQ(SkinClassFor(check), "CSCButton");
    EXPECT_STREQ(SkinClassFor(push), "CSCScaleButton");
    EXPECT_EQ(frame.surroundViews, (std::vector<QWidget*>{surround}));
    for (QWidget* w : std::initializer_list<QWidget*>{&dialog, label, inner, edit})
        EXPECT_EQ(w->palette().color(QPalette::Window),
                  veneer::ToQColor(lacquer::GetSkinColor(lacquer::kColorWindow)));
    // Skinning twice does not stack hooks.
    skin.SkinWindow(&dialog, true);
    EXPECT_EQ(edit->findChildren<QObject*>(QString(), Qt::FindDirectChildrenOnly).size(),
              QLineEdit().findChildren<QObject*>(QString(), Qt::FindDirectChildrenOnly).size() + 1);
}

TEST_F(SkinTest, ToolbarBitmapIsFoundWhateverTheCaseOfItsKey) {
    Write("Skins/img/tools.svg", "<svg xmlns='http://www.w3.org/2000/svg' width='48' height='16'>"
                                 "<rect width='48' height='16' fill='#f00'/></svg>");
    Write("Skins/a.xml", "<SKIN Caption='A'><MAINFRAME><Modules>"
                         "<M Name='Quillon'><ModuleToolbar ID='Main' Source='img/tools.svg'/></M>"
                         "</Modules></MAINFRAME></SKIN>");
    CTestFrame frame;
    ASSERT_TRUE(frame.skins.FindSkins());
    ASSERT_TRUE(frame.skins.ApplySkin());
    ISkin& skin = frame.skins;
    std::unique_ptr<QImage> image(skin.GetModuleToolbarBitmap("quillon", "MAIN", 2));
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->size(), QSize(16, 16));
    EXPECT_EQ(QColor(image->pixel(8, 8)), QColor(Qt::red));
    EXPECT_EQ(skin.GetModuleToolbarBitmap("quillon", "MAIN", 3), nullptr);
    EXPECT_EQ(skin.GetModuleToolbarBitmap("quillon", "Other", 0), nullptr);
    EXPECT_EQ(skin.GetModuleToolbarBitmap("Nobody", "Main", 0), nullptr);
}
