// The Qt side of the module host: buttons, their drop target and the
// client area's forwarding of the frame's activation.
#include "ModulesTestSupport.h"

#include "modules/FramePlayerControls.h"
#include "modules/ModuleButtons.h"
#include "modules/ModulesFrame.h"
#include "sonvara/MessageEvent.h"
#include "sonvara/Messages.h"
#include "ui/FrameControls.h"
#include "ui/FrameSite.h"
#include "xml/XmlNode.h"

#include <QCoreApplication>
#include <QDragEnterEvent>
#include <QMimeData>
#include <gtest/gtest.h>

using ::testing::ElementsAre;

namespace {

class Recorder : public QWidget {
public:
    using QWidget::QWidget;
    std::vector<std::pair<unsigned, std::uintptr_t>> got;

protected:
    bool event(QEvent* e) override {
        if (e->type() == sonvara::CWindowMessageEvent::kType) {
            auto* m = static_cast<sonvara::CWindowMessageEvent*>(e);
            got.emplace_back(m->Message(), m->WParam());
            m->SetResult(42);
            return true;
        }
        return QWidget::event(e);
    }
};

} // namespace

// Dragging over an inactive module's button must switch to that module while
// the drag goes on; a button without a module does nothing at all.
TEST(ModuleButton, DragEnterActivatesAndClickSendsTheCommand) {
    QWidget frame;
    std::vector<unsigned> commands;
    modules::CModuleButton button(&frame, 238, [&](int index) { commands.push_back(236 + index); });
    modules::CModuleButton orphan(&frame, -1, [&](int index) { commands.push_back(236 + index); });
    for (auto* b : {&button, &orphan})
        QObject::connect(b, &QAbstractButton::clicked,
                         [&, b] { commands.push_back(static_cast<unsigned>(b->CommandId())); });
    EXPECT_TRUE(button.isEnabled());
    EXPECT_FALSE(orphan.isEnabled());
    EXPECT_EQ(button.size(), QSize(50, 50));

    QMimeData data;
    data.setText(QStringLiteral("/music/a.wav"));
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton,
                          Qt::NoModifier);
    QCoreApplication::sendEvent(&button, &enter);
    EXPECT_TRUE(enter.isAccepted());
    EXPECT_EQ(enter.dropAction(), Qt::MoveAction);
    QDragEnterEvent orphanEnter(QPoint(5, 5), Qt::MoveAction, &data, Qt::LeftButton,
                                Qt::NoModifier);
    QCoreApplication::sendEvent(&orphan, &orphanEnter);

    button.click();
    orphan.click(); // disabled: no command
    EXPECT_EQ(commands, (std::vector<unsigned>{238, 238}));
    // The check state is the host's to set (on activation), not the click's.
    EXPECT_FALSE(button.isChecked());
    button.setChecked(true);
    button.click();
    EXPECT_TRUE(button.isChecked());
}

TEST(ModulesFrame, SiteShowsSendsAndForwardsActivation) {
    modules::CModulesFrame area;
    area.resize(300, 200);
    auto* first = new Recorder(&area);
    auto* top = new Recorder(&area);
    modules::CQtModuleHostSite site(&area);
    site.ShowModuleWindow(top, true);
    EXPECT_FALSE(top->isHidden());
    EXPECT_EQ(top->geometry(), area.rect());
    EXPECT_EQ(site.SendWindowMessage(top, sonvara::WM_PLAYER_ACQUIRED, 0, 0), 42);

    QEvent activate(QEvent::WindowActivate);
    QCoreApplication::sendEvent(&area, &activate);
    ASSERT_EQ(top->got.size(), 2u);
    EXPECT_EQ(top->got[1], std::make_pair(modules::kNcActivateMessage, std::uintptr_t{1}));
    EXPECT_TRUE(first->got.empty());

    modules::CModuleButton button(&area, 236, nullptr);
    site.SetModuleButtonChecked(&button, true);
    EXPECT_TRUE(button.isChecked());
    site.SetModuleButtonChecked(&button, false);
    EXPECT_FALSE(button.isChecked());

    site.ShowModuleWindow(top, false);
    EXPECT_TRUE(top->isHidden());
    site.DestroyModuleWindow(first);
    EXPECT_EQ(area.findChildren<QWidget*>(Qt::FindDirectChildrenOnly).size(), 2);
}

namespace {

class BareFrameSite : public ui::IFrameSite {
public:
    QWidget* FrameWidget() override { return &frame; }
    void OnFrameCommand(int) override {}
    void RecalcLayout() override {}
    void ShowMessage(const std::string&) override {}
    void FatalSkinError(const std::string&, int) override {}
    void BroadcastSkinChanged() override {}
    QWidget frame;
};

} // namespace

// The skin's Modules element decides the buttons and the table's order; a
// name without a module gives a disabled button, and the active module's
// button is the pressed one.
TEST(ModuleButtons, RebuiltFromTheSkinInItsOrder) {
    HostFixture f;
    f.Load({"alpha", "beta", "gamma_nopass"});
    f.host->ActivateModule(1); // Beta
    CXmlNode modulesElement;
    modulesElement.SetName("Modules");
    for (const char* name : {"gamma", "Nobody", "Beta"})
        modulesElement.AddChild("Module")->SetAttribute("Name", name);

    BareFrameSite frameSite;
    ui::CFramePanels panels;
    ui::CFrameControls controls(&frameSite, &panels);
    modules::RebuildModuleButtons(*f.host, controls, &frameSite.frame, &modulesElement);

    EXPECT_THAT(f.host->DisplayNames(), ElementsAre("Gamma", "Beta", "Alpha"));
    const auto& rows = controls.ModuleButtons();
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0].id, 236);
    EXPECT_EQ(rows[1].id, -1);
    EXPECT_EQ(rows[2].id, 237);
    auto* gamma = static_cast<modules::CModuleButton*>(rows[0].control->GetWnd());
    auto* orphan = static_cast<modules::CModuleButton*>(rows[1].control->GetWnd());
    auto* beta = static_cast<modules::CModuleButton*>(rows[2].control->GetWnd());
    EXPECT_FALSE(orphan->isEnabled());
    EXPECT_TRUE(beta->isChecked());
    EXPECT_FALSE(gamma->isChecked());
    EXPECT_EQ(f.host->Entry(1).Button, beta);
    EXPECT_EQ(f.host->Entry(2).Button, nullptr); // Alpha: no button, still in "Go to"
    EXPECT_EQ(f.host->GoToMenu().items.size(), 3u);

    // A drag over Gamma's button switches to Gamma and moves the press.
    QMimeData data;
    QDragEnterEvent enter(QPoint(1, 1), Qt::MoveAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(gamma, &enter);
    EXPECT_STREQ(f.host->QueryInterface()->GetApplication()->GetActiveModuleName(), "Gamma");
}

// The frame's player controls: sliders move together with their tooltips,
// a held slider is left alone by the timer, play and pause at one place
// swap, and enabled states reach every control of the id.
TEST(FramePlayerControls, SlidersTooltipsEnabledAndSwap) {
    BareFrameSite frameSite;
    ui::CFramePanels panels;
    ui::CFrameControls controls(&frameSite, &panels);
    modules::CFramePlayerControls player(controls);
    EXPECT_EQ(player.FirstSliderPosition(modules::EPlayerSlider::Volume), std::nullopt);

    CXmlNode mainFrame;
    mainFrame.SetName("MAINFRAME");
    CXmlNode* list = mainFrame.AddChild("Controls");
    for (const char* name : {"PLAYER_VOLUME", "PLAYER_VOLUME", "PLAYER_PLAY", "PLAYER_PAUSE"})
        list->AddChild(name)->SetAttribute("Type", "Horizontal");
    int minWidth = 0, minHeight = 0;
    controls.RebuildFrameControls(mainFrame, minWidth, minHeight);
    const auto sliders = controls.Sliders(ui::kIdPlayerVolume);
    ASSERT_EQ(sliders.size(), 2u);
    for (auto* s : sliders)
        s->SetRange(0, 100, false);

    player.SetSliderPositions(modules::EPlayerSlider::Volume, 40, false);
    EXPECT_EQ(player.FirstSliderPosition(modules::EPlayerSlider::Volume), 40);
    EXPECT_EQ(sliders[1]->GetPos(), 40);
    EXPECT_EQ(sliders[1]->Tooltip(), "Volume: 40%");
    sliders[1]->setSliderDown(true); // the user holds this one
    player.SetSliderPositions(modules::EPlayerSlider::Volume, 70, true);
    EXPECT_EQ(sliders[0]->GetPos(), 70);
    EXPECT_EQ(sliders[1]->GetPos(), 40);

    player.SetControlEnabled(ui::kIdPlayerVolume, false);
    EXPECT_FALSE(sliders[0]->isEnabled());
    EXPECT_FALSE(sliders[1]->isEnabled());

    QWidget* play = controls.FindControls(ui::kIdPlayerPlay).front()->GetWnd();
    QWidget* pause = controls.FindControls(ui::kIdPlayerPause).front()->GetWnd();
    play->setGeometry(10, 10, 30, 30);
    pause->setGeometry(10, 10, 30, 30);
    player.SetPlayPauseVisibility(true);
    EXPECT_TRUE(play->isHidden());
    EXPECT_FALSE(pause->isHidden());
    player.SetPlayPauseVisibility(false);
    EXPECT_FALSE(play->isHidden());
    EXPECT_TRUE(pause->isHidden());
    pause->setGeometry(50, 10, 30, 30); // apart: no swap
    player.SetPlayPauseVisibility(true);
    EXPECT_FALSE(play->isHidden());
    controls.DestroyAll();
}
