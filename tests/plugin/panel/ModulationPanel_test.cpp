// The settings panel as a host meets it: created by the plug-in's
// CreateSettingsWindow inside a window of the host, loaded from the
// instance, committing back into it and announcing each commit to the host.
#include "PluginLoader.h"
#include "plugin/EffectInstance.h"
#include "sonvara/MessageEvent.h"
#include "sonvara/Messages.h"

#include <QComboBox>
#include <QDir>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QRadioButton>
#include <QSlider>
#include <QStyle>
#include <QTest>
#include <QVBoxLayout>
#include <QWidget>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <vector>

namespace {

// The host's window: keeps every window message the panel posts to it.
class HostWindow : public QWidget {
public:
    struct Message {
        unsigned message;
        std::uintptr_t wParam;
        std::intptr_t lParam;
    };
    std::vector<Message> messages;

    // Messages posted so far, delivered.
    std::size_t Delivered() {
        QCoreApplication::sendPostedEvents(this);
        return messages.size();
    }

protected:
    bool event(QEvent* e) override {
        if (e->type() == sonvara::CWindowMessageEvent::kType) {
            auto* m = static_cast<sonvara::CWindowMessageEvent*>(e);
            messages.push_back({m->Message(), m->WParam(), m->LParam()});
            return true;
        }
        return QWidget::event(e);
    }
};

template <typename T> T* Control(QWidget* panel, int id) {
    return panel->findChild<T*>(QString::number(id));
}

struct Instance {
    EffectInstance* p = nullptr;
    Instance() { Plugin().Initialize(nullptr, nullptr, nullptr, &p); }
    ~Instance() { Plugin().Free(p); }
};

} // namespace

// A slider committed on every thumb movement would restart the detection
// run while the user is still dragging; a commit that reaches neither the
// instance nor the host would leave the running stream on old settings.
TEST(ModulationPanel, LoadsTheInstanceAndCommitsEachChangeOnceWithOneCommandToTheHost) {
    const PluginExports& p = Plugin();
    ASSERT_NE(p.CreateSettingsWindow, nullptr);
    Instance instance;
    instance.p->Speed = 15;
    instance.p->Threshold = 10;
    instance.p->law = 1; // Periodic
    instance.p->Rate = 7;
    HostWindow host;
    auto* panel = static_cast<QWidget*>(p.CreateSettingsWindow(&host, instance.p));
    ASSERT_NE(panel, nullptr);
    EXPECT_EQ(panel->parentWidget(), &host);
    host.show();

    auto* speed = Control<QSlider>(panel, 31907);
    auto* threshold = Control<QSlider>(panel, 31902);
    auto* rate = Control<QSlider>(panel, 31904);
    ASSERT_TRUE(speed && threshold && rate);
    EXPECT_EQ(speed->value(), 3);
    EXPECT_EQ(Control<QLabel>(panel, 31910)->text(), "3");
    EXPECT_EQ(Control<QLabel>(panel, 31912)->text(), "0.003");
    EXPECT_EQ(Control<QLabel>(panel, 31914)->text(), "7");
    EXPECT_TRUE(rate->isVisible());
    EXPECT_EQ(Control<QComboBox>(panel, 31929)->currentText(), "+2");
    EXPECT_EQ(Control<QComboBox>(panel, 31931)->currentText(), "-2");
    EXPECT_TRUE(Control<QRadioButton>(panel, 31935)->isChecked());
    // Opening writes nothing.
    EXPECT_EQ(host.Delivered(), 0u);
    EXPECT_EQ(instance.p->Speed, 15);

    // Dragging: the label follows, nothing is committed until release.
    speed->setSliderDown(true);
    speed->setValue(7);
    EXPECT_EQ(Control<QLabel>(panel, 31910)->text(), "7");
    EXPECT_EQ(instance.p->Speed, 15);
    EXPECT_EQ(host.Delivered(), 0u);
    speed->setSliderDown(false);
    EXPECT_EQ(instance.p->Speed, 35);
    ASSERT_EQ(host.Delivered(), 1u);
    EXPECT_EQ(host.messages[0].message, sonvara::WM_COMMAND);
    EXPECT_EQ(host.messages[0].wParam, 0x04000000u);
    EXPECT_EQ(host.messages[0].lParam, reinterpret_cast<std::intptr_t>(panel));

    // A key moves the threshold and commits at once.
    threshold->setFocus();
    QTest::keyClick(threshold, Qt::Key_End);
    EXPECT_EQ(Control<QLabel>(panel, 31912)->text(), "0.090");
    EXPECT_EQ(instance.p->Threshold, 60);
    EXPECT_EQ(host.Delivered(), 2u);

    // Drums hides the rate; Once shows it again.
    QTest::mouseClick(Control<QRadioButton>(panel, 31933), Qt::LeftButton);
    EXPECT_EQ(instance.p->law, 0);
    EXPECT_FALSE(rate->isVisible());
    EXPECT_FALSE(Control<QLabel>(panel, 31941)->isVisible());
    EXPECT_FALSE(Control<QLabel>(panel, 31914)->isVisible());
    EXPECT_EQ(host.Delivered(), 3u);
    QTest::mouseClick(Control<QRadioButton>(panel, 31939), Qt::LeftButton);
    EXPECT_EQ(instance.p->law, 3);
    EXPECT_TRUE(rate->isVisible());
    EXPECT_EQ(host.Delivered(), 4u);

    // "-6" is the last item of the first tone's list.
    auto* first = Control<QComboBox>(panel, 31929);
    first->setFocus();
    QTest::keyClick(first, Qt::Key_End);
    EXPECT_EQ(first->currentText(), "-6");
    EXPECT_EQ(instance.p->FirstTone, 12);
    EXPECT_EQ(host.Delivered(), 5u);
    // Every commit wrote all six settings.
    EXPECT_EQ(instance.p->Speed, 35);
    EXPECT_EQ(instance.p->Rate, 7);
    EXPECT_EQ(instance.p->SecondTone, 8);

    // The host destroys its window, and the panel with it.
    QPointer<QWidget> alive(panel);
    delete panel;
    EXPECT_TRUE(alive.isNull());
}

// The language library named in Language.xml translates the texts it knows;
// the others stay English. A law outside the four checks no button and is
// not overwritten by a commit of another control.
TEST(ModulationPanel, TakesTextsFromTheChosenLanguageAndKeepsAnUnknownLaw) {
    Instance instance;
    instance.p->law = 5;
    HostWindow host;
    ::setenv("STAVO_PANEL_TRANSLATE", "1", 1);
    auto* panel = static_cast<QWidget*>(Plugin().CreateSettingsWindow(&host, instance.p));
    ::unsetenv("STAVO_PANEL_TRANSLATE");
    ASSERT_NE(panel, nullptr);
    EXPECT_EQ(Control<QGroupBox>(panel, 31946)->title(), "Loi des tons");
    EXPECT_EQ(Control<QGroupBox>(panel, 31943)->title(), "Modulation");
    for (int id : {31933, 31935, 31937, 31939})
        EXPECT_FALSE(Control<QRadioButton>(panel, id)->isChecked()) << id;
    auto* second = Control<QComboBox>(panel, 31931);
    second->setFocus();
    QTest::keyClick(second, Qt::Key_Home);
    EXPECT_EQ(instance.p->SecondTone, 0);
    EXPECT_EQ(instance.p->law, 5);
}

// A dark host palette like the Nocturne skin's.
static QPalette DarkPalette(QPalette palette) {
    palette.setColor(QPalette::Window, QColor(0x2b, 0x2d, 0x33));
    palette.setColor(QPalette::WindowText, QColor(0xe0, 0xe0, 0xe0));
    palette.setColor(QPalette::Base, QColor(0x1e, 0x1f, 0x23));
    palette.setColor(QPalette::Text, QColor(0xe0, 0xe0, 0xe0));
    palette.setColor(QPalette::Button, QColor(0x3a, 0x3d, 0x44));
    palette.setColor(QPalette::ButtonText, QColor(0xe0, 0xe0, 0xe0));
    return palette;
}

// What the panel looks like inside a host's window, light and dark, for
// people to look at.
TEST(ModulationPanel, ScreenshotInsideAHostWindow) {
    Instance instance;
    instance.p->Speed = 30;
    instance.p->Threshold = 24;
    instance.p->law = 1;
    instance.p->Rate = 5;
    QDir().mkpath(SCREENSHOT_DIR);
    for (bool dark : {false, true}) {
        QWidget host;
        host.setWindowTitle("Effects");
        if (dark) host.setPalette(DarkPalette(host.palette()));
        auto* layout = new QVBoxLayout(&host);
        layout->addWidget(new QLabel("Stavo Modulation settings:", &host));
        auto* panel = static_cast<QWidget*>(Plugin().CreateSettingsWindow(&host, instance.p));
        ASSERT_NE(panel, nullptr);
        layout->addWidget(panel);
        host.show();
        QImage shot(host.size(), QImage::Format_ARGB32);
        host.render(&shot);
        EXPECT_TRUE(
            shot.save(QString(SCREENSHOT_DIR) + (dark ? "/stavo_panel_in_window_dark.png"
                                                      : "/stavo_panel_in_window_light.png")));
    }
}

// On a dark palette the panel's raised edge was drawn white on its top and
// left, and the radio buttons' circles were a shade of the background.
TEST(ModulationPanel, EdgeAndRadioButtonsShowOnADarkPalette) {
    Instance instance;
    instance.p->law = 1;
    QWidget host;
    const QPalette dark = DarkPalette(host.palette());
    host.setPalette(dark);
    host.resize(400, 300);
    auto* panel = static_cast<QWidget*>(Plugin().CreateSettingsWindow(&host, instance.p));
    ASSERT_NE(panel, nullptr);
    panel->move(10, 10);
    host.show();
    QImage shot(host.size(), QImage::Format_ARGB32);
    host.render(&shot);
    const int back = dark.color(QPalette::Window).lightness();
    const int text = dark.color(QPalette::WindowText).lightness();

    // Every side of the edge alike, between background and text.
    const QRect edge = panel->geometry();
    const QColor left = shot.pixelColor(edge.left(), edge.center().y());
    for (QPoint at :
         {QPoint(edge.center().x(), edge.top()), QPoint(edge.right(), edge.center().y()),
          QPoint(edge.center().x(), edge.bottom())})
        EXPECT_EQ(shot.pixelColor(at).name(), left.name()) << at.x() << "," << at.y();
    EXPECT_GT(left.lightness(), back + 20);
    EXPECT_LT(left.lightness(), text - 20);

    // Each indicator shows a circle clearly apart from the background; the
    // checked one holds a dot of the text colour.
    for (int id : {31933, 31935}) {
        const auto* radio = Control<QRadioButton>(panel, id);
        ASSERT_NE(radio, nullptr);
        const int size = radio->style()->pixelMetric(QStyle::PM_ExclusiveIndicatorWidth);
        const QRect box(panel->mapTo(&host, radio->geometry().topLeft()),
                        QSize(size + 2, radio->height()));
        int brightest = 0;
        for (int y = box.top(); y <= box.bottom(); ++y)
            for (int x = box.left(); x <= box.right(); ++x)
                brightest = std::max(brightest, shot.pixelColor(x, y).lightness());
        EXPECT_GT(brightest, back + 40) << id;
        if (radio->isChecked()) {
            EXPECT_GT(brightest, text - 30) << id;
        }
    }
}
