// The tray icon without a system tray (the offscreen platform has none) and
// its notifications: what reaches the owner window, and the context menu.
#include <QApplication>
#include <QSystemTrayIcon>
#include <QWidget>
#include <gtest/gtest.h>

#include "libs/veneer/Controls.h"
#include "sonvara/MessageEvent.h"
#include "sonvara/Messages.h"
#include "ui/TrayIcon.h"

using namespace ui;

namespace {

// An owner that notes the commands it is sent.
class Owner : public QWidget {
public:
    std::vector<unsigned> commands;

protected:
    bool event(QEvent* e) override {
        if (e->type() == sonvara::CWindowMessageEvent::kType) {
            auto* m = static_cast<sonvara::CWindowMessageEvent*>(e);
            if (m->Message() == sonvara::WM_COMMAND)
                commands.push_back(static_cast<unsigned>(m->WParam()));
            return true;
        }
        return QWidget::event(e);
    }
};

SvMenuTree Menu() {
    SvMenuTree resource;
    SvMenuTree& menu = resource.AddPopup("Tray");
    menu.AddPopup("&Play").AddCommand("&Play", 33010);
    menu.AddPopup("&Help").AddCommand("&About...", 230);
    menu.AddSeparator();
    menu.AddCommand("Restore/Zoom", 34080);
    menu.AddCommand("Minimize", 34070);
    return resource;
}

// Without a tray the add fails and stores no icon, so the frame knows it
// must not hide itself there, and a later SetIcon tries again.
TEST(TrayIcon, MissingTrayFailsTheAddAndKeepsNoIcon) {
    if (QSystemTrayIcon::isSystemTrayAvailable()) GTEST_SKIP() << "this desktop has a tray";
    CTrayIcon tray(201, QStringLiteral("Sonvara"), Menu);
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::red);
    EXPECT_FALSE(tray.SetIcon(QIcon(pixmap), "Sonvara player"));
    EXPECT_FALSE(tray.IsShown());
    EXPECT_EQ(tray.Tooltip(), QStringLiteral("Sonvara player"));
    EXPECT_TRUE(tray.RemoveIcon()); // nothing shown: succeeds at once
}

TEST(TrayIcon, NotificationsBecomeCommandsAndTheContextMenu) {
    Owner owner;
    CTrayIcon tray(201, QStringLiteral("Sonvara"), Menu);
    // A message below the first user message means no notifications.
    EXPECT_EQ(tray.SetNotificationWnd(&owner, 0x3FF), &owner);
    EXPECT_EQ(tray.CallbackMessage(), 0u);
    tray.SetIcon(QIcon(), "x");
    EXPECT_FALSE(tray.SendsNotifications());
    tray.SetNotificationWnd(&owner, 0x8D28);
    EXPECT_EQ(tray.CallbackMessage(), 0x8D28u);

    // Another icon's id, and mouse moves, are not ours.
    EXPECT_EQ(tray.OnTrayNotification(202, kWmLButtonDblClk), 0);
    EXPECT_EQ(tray.OnTrayNotification(201, 0x200), 0);
    EXPECT_TRUE(owner.commands.empty());

    // A double click zooms exactly once; a single click sends nothing.
    EXPECT_EQ(tray.OnTrayNotification(201, kWmLButtonDblClk), 1);
    EXPECT_EQ(owner.commands, std::vector<unsigned>{34080});
    EXPECT_EQ(tray.OnTrayNotification(201, kWmLButtonDown), 1);
    EXPECT_EQ(owner.commands.size(), 1u);

    // A right click: the menu with "Restore/Zoom" as its bold default item;
    // choosing "Minimize" sends 34070.
    QString defaultItem;
    veneer::CSCMenu::SetTrackHook([&](veneer::CSCMenu& menu, const QPoint&) {
        defaultItem = menu.defaultAction() ? menu.defaultAction()->text() : QString();
        return 34070u;
    });
    EXPECT_EQ(tray.OnTrayNotification(201, kWmRButtonUp), 1);
    veneer::CSCMenu::SetTrackHook(nullptr);
    EXPECT_EQ(defaultItem, QStringLiteral("Restore/Zoom"));
    EXPECT_EQ(owner.commands, (std::vector<unsigned>{34080, 34070}));

    // A menu that cannot be had: nothing happens.
    CTrayIcon bare(201, QString(), [] { return SvMenuTree{}; });
    bare.SetNotificationWnd(&owner, 0x8D28);
    EXPECT_EQ(bare.OnTrayNotification(201, kWmLButtonDblClk), 0);
    EXPECT_EQ(owner.commands.size(), 2u);
}

} // namespace
