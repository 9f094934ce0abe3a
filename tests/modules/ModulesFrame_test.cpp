// The Qt side of the module host: buttons, their drop target and the
// client area's forwarding of the frame's activation.
#include "modules/ModulesFrame.h"
#include "sonvara/MessageEvent.h"
#include "sonvara/Messages.h"

#include <QCoreApplication>
#include <QDragEnterEvent>
#include <QMimeData>
#include <gtest/gtest.h>

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
    modules::CModuleButton button(&frame, 238, [&](unsigned id) { commands.push_back(id); });
    modules::CModuleButton orphan(&frame, -1, [&](unsigned id) { commands.push_back(id); });
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

    site.ShowModuleWindow(top, false);
    EXPECT_TRUE(top->isHidden());
    site.DestroyModuleWindow(first);
    EXPECT_EQ(area.findChildren<QWidget*>(Qt::FindDirectChildrenOnly).size(), 1);
}
