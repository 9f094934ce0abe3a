#include <QApplication>
#include <QImage>
#include <QMouseEvent>
#include <QPainter>
#include <cstdlib>
#include <fstream>
#include <gtest/gtest.h>
#include <memory>

#include "libs/veneer/Controls.h"
#include "libs/veneer/ImageStrip.h"
#include "support/QtEnvironment.h"
#include "support/TempDir.h"

using namespace veneer;

namespace {

const auto* const g_env = testsupport::AddQtEnvironment();

// A strip of four 10 x 10 frames in red, green, blue, white.
const char* const kStrip = "<svg xmlns='http://www.w3.org/2000/svg' width='40' height='10'>"
                           "<rect x='0' width='10' height='10' fill='#ff0000'/>"
                           "<rect x='10' width='10' height='10' fill='#00ff00'/>"
                           "<rect x='20' width='10' height='10' fill='#0000ff'/>"
                           "<rect x='30' width='10' height='10' fill='#ffffff'/></svg>";

// Mouse input as the window system delivers it.
void Mouse(QWidget* w, QEvent::Type type, QPoint at, Qt::KeyboardModifiers mods = {}) {
    const Qt::MouseButtons held =
        type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent e(type, QPointF(at), w->mapToGlobal(QPointF(at)), Qt::LeftButton, held, mods);
    QApplication::sendEvent(w, &e);
}
void Click(QWidget* w, QPoint at, Qt::KeyboardModifiers mods = {}) {
    Mouse(w, QEvent::MouseButtonPress, at, mods);
    Mouse(w, QEvent::MouseButtonRelease, at, mods);
}

struct SNotice {
    int code;
    int position;
};

} // namespace

class VeneerTest : public ::testing::Test {
protected:
    std::string WriteFile(const std::string& name, const std::string& text) {
        std::ofstream(dir.file(name)) << text;
        return dir.file(name);
    }
    testsupport::TempDir dir;
};

TEST_F(VeneerTest, StripFramesRenderAtThePaintersDensity) {
    auto strip = CImageStrip::Load(QString::fromStdString(WriteFile("s.svg", kStrip)));
    ASSERT_NE(strip, nullptr);
    EXPECT_EQ(strip->FrameSize(4), QSize(10, 10));
    const QImage twoX = strip->Frame(2, 4, QSize(10, 10), 2.0);
    EXPECT_EQ(twoX.size(), QSize(20, 20)); // drawn for the dense screen, not scaled up
    EXPECT_EQ(QColor(twoX.pixel(10, 10)), QColor(0, 0, 255));
    EXPECT_EQ(QColor(twoX.pixel(0, 0)), QColor(0, 0, 255));
    EXPECT_EQ(QColor(twoX.pixel(19, 19)), QColor(0, 0, 255));
    EXPECT_TRUE(strip->Frame(4, 4, QSize(10, 10), 1.0).isNull());

    // A PNG with an @2x companion uses it on a dense target.
    QImage one(8, 4, QImage::Format_ARGB32);
    one.fill(Qt::red);
    one.save(QString::fromStdString(dir.file("p.png")));
    QImage two(16, 8, QImage::Format_ARGB32);
    two.fill(Qt::green);
    two.save(QString::fromStdString(dir.file("p@2x.png")));
    auto png = CImageStrip::Load(QString::fromStdString(dir.file("p.png")));
    ASSERT_NE(png, nullptr);
    EXPECT_EQ(QColor(png->Frame(0, 2, QSize(4, 4), 1.0).pixel(1, 1)), QColor(Qt::red));
    EXPECT_EQ(QColor(png->Frame(0, 2, QSize(4, 4), 2.0).pixel(1, 1)), QColor(Qt::green));

    EXPECT_EQ(CImageStrip::Load(QString::fromStdString(WriteFile("b.svg", "<svg"))), nullptr);
}

TEST_F(VeneerTest, ImageHandlesOpenOnlyReadableFiles) {
    const int before = OpenImageFileCount();
    EXPECT_EQ(OpenImageFile(dir.file("missing.svg")), -1);
    const std::int32_t h = OpenImageFile(WriteFile("broken.svg", "garbage"));
    ASSERT_GT(h, 0);
    EXPECT_EQ(ImageFromHandle(h), nullptr); // opened, but does not decode
    CloseImageFile(h);
    CloseImageFile(h); // twice: nothing happens
    CloseImageFile(424242);
    EXPECT_EQ(OpenImageFileCount(), before);
}

TEST_F(VeneerTest, ButtonPicksTheFrameOfItsState) {
    const std::int32_t h = OpenImageFile(WriteFile("s.svg", kStrip));
    CSCButton b;
    SKIN_IMAGE_RESOURCES r;
    r.image = h;
    ASSERT_TRUE(b.UseCustomSkin(reinterpret_cast<_UNKNOWN_RESOURCES_*>(&r)));
    EXPECT_TRUE(b.IsCustomSkin());
    EXPECT_EQ(b.CurrentFrame(), 0);
    b.setDown(true);
    EXPECT_EQ(b.CurrentFrame(), 2);
    b.setDown(false);
    b.setCheckable(true);
    b.setChecked(true);
    EXPECT_EQ(b.CurrentFrame(), 4);
    b.setEnabled(false);
    EXPECT_EQ(b.CurrentFrame(), 7);

    // A record of another kind is refused and the look stays as it was.
    CSCButton plain;
    SKIN_SLIDER_RESOURCES wrong;
    EXPECT_FALSE(plain.UseCustomSkin(reinterpret_cast<_UNKNOWN_RESOURCES_*>(&wrong)));
    EXPECT_FALSE(plain.IsCustomSkin());
    EXPECT_FALSE(plain.UseCustomSkin(nullptr));
    CloseImageFile(h);
}

// The player's position slider must not seek at every pixel of a drag, and
// its timer must not pull the thumb away from under the pointer.
TEST_F(VeneerTest, ReleaseOnlySliderReportsOnceWhenLetGo) {
    CSCSlider s(Qt::Horizontal);
    s.resize(110, 16);
    s.SetRange(0, 100, false);
    s.SetSkinStyleEx(kStyleJumpClick | kStyleNotifyRelease);
    std::vector<SNotice> got;
    QObject::connect(&s, &CSCSlider::Notify, [&](int c, int p) { got.push_back({c, p}); });
    s.show();
    Mouse(&s, QEvent::MouseButtonPress, QPoint(60, 8));
    Mouse(&s, QEvent::MouseMove, QPoint(80, 8));
    s.SetPos(5); // the player's timer while the user drags
    EXPECT_TRUE(got.empty());
    Mouse(&s, QEvent::MouseButtonRelease, QPoint(80, 8));
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[0].code, kSbThumbPosition);
    EXPECT_EQ(got[1].code, kSbEndScroll);
    EXPECT_GT(got[0].position, 60);
    EXPECT_EQ(s.GetPos(), got[0].position);

    // The default slider hears the drag and pages on a click beside the thumb.
    CSCSlider d(Qt::Horizontal);
    d.resize(110, 16);
    d.SetRange(0, 100, false);
    d.setPageStep(10);
    std::vector<SNotice> heard;
    QObject::connect(&d, &CSCSlider::Notify, [&](int c, int p) { heard.push_back({c, p}); });
    d.show();
    Click(&d, QPoint(100, 8));
    ASSERT_FALSE(heard.empty());
    EXPECT_EQ(heard[0].code, kSbPageDown);
    EXPECT_EQ(d.GetPos(), 10);
    heard.clear();
    d.SetPos(50);
    EXPECT_TRUE(heard.empty()); // the program's own moves are not reported
}

TEST_F(VeneerTest, GroupMembersFollowACtrlDragAndLeaveTheGroupWhenDestroyed) {
    const int group = CSkinBase::GetUniqueGroupID();
    CSCSlider a(Qt::Vertical), b(Qt::Vertical);
    auto c = std::make_unique<CSCSlider>(Qt::Vertical);
    for (CSCSlider* s : {&a, &b, c.get()}) {
        s->resize(14, 110);
        s->SetRange(0, 200, false);
        s->SetPos(100);
        s->SetSkinStyleEx(kStyleJumpClick | kStyleNotifyDrag);
        ASSERT_TRUE(s->AddToGroup(group));
        s->show();
    }
    c.reset(); // a destroyed member must not be reached by the next drag
    int bHeard = 0;
    QObject::connect(&b, &CSCSlider::Notify, [&](int, int) { ++bHeard; });
    Click(&a, QPoint(7, 20), Qt::ControlModifier);
    EXPECT_LT(a.GetPos(), 100);
    EXPECT_EQ(b.GetPos(), a.GetPos());
    EXPECT_GT(bHeard, 0);

    EXPECT_TRUE(CSkinBase::RemoveGroup(group));
    EXPECT_EQ(a.Group(), -1);
    EXPECT_FALSE(CSkinBase::RemoveGroup(group));
    EXPECT_FALSE(a.AddToGroup(group));
}

TEST_F(VeneerTest, StateCarriesChecksPositionsAndTexts) {
    CSCButton from;
    from.setCheckable(true);
    from.setChecked(true);
    void* state = nullptr;
    ASSERT_TRUE(from.SaveControlState(&state));
    CSCButton to;
    to.setCheckable(true);
    EXPECT_TRUE(to.LoadControlState(state));
    EXPECT_TRUE(to.isChecked());
    CSCSlider slider(Qt::Horizontal);
    EXPECT_FALSE(slider.LoadControlState(state)); // a button's state has no position
    from.FreeMemory(state);

    slider.SetRange(0, 200, false);
    slider.SetPos(150);
    ASSERT_TRUE(slider.SaveControlState(&state));
    CSCSlider other(Qt::Vertical);
    EXPECT_TRUE(other.LoadControlState(state));
    EXPECT_EQ(other.maximum(), 200);
    EXPECT_EQ(other.GetPos(), 150);
    slider.FreeMemory(state);

    CSCStatic text;
    text.SetText(QStringLiteral("Ready"));
    ASSERT_TRUE(text.SaveControlState(&state));
    CSCStatic copy;
    EXPECT_TRUE(copy.LoadControlState(state));
    EXPECT_EQ(copy.Text(), QStringLiteral("Ready"));
    text.FreeMemory(state);
}

TEST_F(VeneerTest, StatusTextFollowsThePointer) {
    std::vector<std::string> shown;
    SetStatusTextSink(
        [](void* ctx, const std::string& t) {
            static_cast<std::vector<std::string>*>(ctx)->push_back(t);
        },
        &shown);
    CSCButton b;
    b.SetTooltip("Play", "Starts playing");
    EXPECT_EQ(b.toolTip(), QStringLiteral("Play"));
    QEnterEvent enter(QPointF(1, 1), QPointF(1, 1), QPointF(1, 1));
    QApplication::sendEvent(&b, &enter);
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(&b, &leave);
    EXPECT_EQ(shown, (std::vector<std::string>{"Starts playing", ""}));
    SetStatusTextSink(nullptr, nullptr);
}

TEST_F(VeneerTest, DataSourceHandsOutSquareFramesTheCallerOwns) {
    CDataSource data;
    EXPECT_FALSE(data.StartUp(QString::fromStdString(dir.file("none.svg"))));
    ASSERT_TRUE(data.StartUp(QString::fromStdString(WriteFile("s.svg", kStrip))));
    EXPECT_EQ(data.FrameCount(), 4);
    QImage* frame = data.GetFrameBitmap(1);
    ASSERT_NE(frame, nullptr);
    EXPECT_EQ(QColor(frame->pixel(5, 5)), QColor(0, 255, 0));
    data.CloseHandle(frame);
    EXPECT_EQ(data.GetFrameBitmap(4), nullptr);
    data.CleanUp();
    EXPECT_EQ(data.GetFrameBitmap(0), nullptr);
}

TEST_F(VeneerTest, PanelSizeComesFromItsImageOrItsPlainSize) {
    CSCScalePanel panel;
    EXPECT_EQ(panel.GetInitialSize(), QSize());
    panel.SetPlainSize(QSize(30, 12));
    EXPECT_EQ(panel.GetInitialSize(), QSize(30, 12));
    const std::int32_t h = OpenImageFile(WriteFile("s.svg", kStrip));
    SKIN_PANEL_RESOURCES r;
    r.image = h;
    ASSERT_TRUE(panel.UseCustomSkin(reinterpret_cast<_UNKNOWN_RESOURCES_*>(&r)));
    EXPECT_EQ(panel.GetInitialSize(), QSize(40, 10));
    // The panel paints from its image at any size, tile or stretch.
    panel.resize(100, 30);
    QImage img(100, 30, QImage::Format_ARGB32_Premultiplied);
    panel.render(&img);
    EXPECT_EQ(QColor(img.pixel(1, 1)), QColor(255, 0, 0));
    CloseImageFile(h);
}
