// The frame menus through the running program, offscreen: the skin's menu
// buttons open skinned pop-ups of the composed frame menu (with the active
// module's effect submenus), their commands act, and a picture of an open
// menu is left for each shipped skin.
#include "QtTestApp.h"
#include "libs/lacquer/Lacquer.h"
#include "libs/trestle/TrestleMessageBox.h"
#include "modules/ModuleHost.h"
#include "platform/Paths.h"
#include "platform/Profile.h"
#include "shell/HostSubsystems.h"
#include "shell/KelFrameApp.h"
#include "shell/MainFrame.h"
#include "sonvara/EffectManager.h"
#include "sonvara/IQueryInterface.h"
#include "support/TempDir.h"

#include <QCoreApplication>
#include <QPainter>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>

namespace {

namespace fs = std::filesystem;
using veneer::CSCMenu;

// The frame with the open pop-up (and an open submenu) painted where they
// show, at the given device pixel ratio.
QImage FrameWithMenus(QWidget& frame, const std::vector<QWidget*>& menus, qreal dpr) {
    QImage image(frame.size() * dpr, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(dpr);
    image.fill(Qt::black);
    frame.render(&image);
    QPainter p(&image);
    for (QWidget* m : menus)
        m->render(&p, frame.mapFromGlobal(m->pos()));
    return image;
}

const SvMenuItem* FindText(const SvMenuTree& menu, const std::string& text) {
    for (const SvMenuItem& item : menu.items)
        if (item.text == text) return &item;
    return nullptr;
}

TEST(FrameMenus, MenuButtonsOpenSkinnedPopupsWhoseCommandsAct) {
    shelltest::EnsureApplication();
    testsupport::TempDir dir;
    const std::string program = dir.file("app/");
    fs::create_directories(program + "Effects");
    fs::create_directories(program + "Modules");
    fs::copy(SONVARA_SKINS_DIR, program + "Skins", fs::copy_options::recursive);
    fs::copy_file(STAVO_PLUGIN_PATH, program + "Effects/StavoModulation.so");
    fs::copy_file(TONE_MODULE, program + "Modules/Tone.so");
    platform::SetProgramDirectory(program);
    platform::SetSettingsDirectory(program);
    platform::WritePrivateProfileString("CURRENTSKIN", "Name", "Nocturne",
                                        (program + "config.ini").c_str());
    std::vector<std::string> boxes;
    trestle::SetMessageBoxHook([&](const trestle::MessageBoxRequest& r) {
        boxes.push_back(r.text);
        return trestle::IDOK;
    });
    fs::create_directories(SCREENSHOT_DIR);

    shell::CHostSubsystems later;
    const char* argv[] = {"sonvara"};
    shell::CKelFrameApp app(1, argv, later);
    ASSERT_TRUE(app.InitInstance());
    shell::CMainFrame* frame = app.Frame();
    frame->showNormal();
    frame->resize(960, 600);
    QCoreApplication::processEvents();
    ASSERT_TRUE(later.Menus());

    // The plug-in is a voice-morphing effect; the Tone module is active, so
    // the frame menu's "&Morph" carries both effect submenus.
    const SvMenuTree& voice = later.Menus()->VoiceMorphingMenu();
    ASSERT_EQ(voice.items.size(), 1u);
    EXPECT_EQ(voice.items[0].text, "Stavo Modulation");
    EXPECT_GE(voice.items[0].id, 30001u);
    EXPECT_EQ(later.Menus()->SpecialEffectsMenu().items.at(0).id, 0xFFFFu);
    const SvMenuTree& frameMenu = later.Menus()->FrameMenu();
    ASSERT_EQ(frameMenu.items.size(), 7u);
    const SvMenuItem* voiceItem = FindText(*frameMenu.items[4].submenu, "&Voice Morphing");
    ASSERT_TRUE(voiceItem);
    EXPECT_EQ(voiceItem->submenu->items.at(0).id, voice.items[0].id);
    // A module makes the effect behind that item through its query interface.
    IEffectManager* manager = frame->Host().QueryInterface()->GetEffectManager();
    ASSERT_TRUE(manager);
    std::unique_ptr<CSimpleEffect> effect(manager->CreateEffect(voice.items[0].id - 30001));
    ASSERT_TRUE(effect);
    EXPECT_EQ(effect->GetEffectType(), kEffectTypeVoiceMorphing);
    effect.reset();

    std::ifstream log(program + "sonvara-debug.log");
    std::stringstream logText;
    logText << log.rdbuf();
    for (const char* line :
         {"Creating Voice Morphing SubMenu...", "Voice Morphing SubMenu created.",
          "Creating Special Effect SubMenu...", "Special Effect SubMenu created."})
        EXPECT_NE(logText.str().find(line), std::string::npos) << line;

    // Each pop-up is answered by the test: it shows, is painted, and a
    // command is chosen.
    std::vector<QString> opened;
    unsigned answer = 0;
    std::string picture;
    CSCMenu::SetTrackHook([&](CSCMenu& menu, const QPoint& at) -> unsigned {
        opened.push_back(menu.title());
        menu.popup(at);
        QCoreApplication::processEvents();
        EXPECT_TRUE(menu.IsOwnerDraw());
        std::vector<QWidget*> shown{&menu};
        if (!picture.empty()) {
            // The first submenu opened beside its item, as a user would.
            for (QAction* a : menu.actions()) {
                if (!a->menu() || !a->isEnabled()) continue;
                const QRect r = menu.actionGeometry(a);
                a->menu()->popup(menu.mapToGlobal(QPoint(r.right(), r.top())));
                QCoreApplication::processEvents();
                shown.push_back(a->menu());
                break;
            }
            EXPECT_TRUE(FrameWithMenus(*frame, shown, 1).save(QString::fromStdString(picture)));
            FrameWithMenus(*frame, shown, 2)
                .save(QString::fromStdString(picture).replace(".png", "@2x.png"));
            picture.clear();
        }
        // The current skin shows as the selected radio item when its list
        // opens.
        if (QAction* current =
                menu.FindCommand(static_cast<unsigned>(366 + frame->Skins().CurrentIndex()))) {
            auto* list = qobject_cast<QMenu*>(current->parent());
            EXPECT_TRUE(list);
            if (list) Q_EMIT list->aboutToShow();
            EXPECT_TRUE(current->isChecked());
            EXPECT_TRUE(current->actionGroup());
        }
        for (QWidget* w : shown)
            w->hide();
        return answer;
    });

    // Morph's pop-up under its button, on both skins; the View pop-up's
    // skin list changes the skin.
    for (int round = 0; round < 2; ++round) {
        const std::string skin = frame->Skins().Current()->name;
        picture = std::string(SCREENSHOT_DIR) + "/menu-" + skin + ".png";
        answer = 0;
        EXPECT_TRUE(frame->OnCommand(15040));
        const int other = 1 - frame->Skins().CurrentIndex();
        answer = static_cast<unsigned>(366 + other);
        picture = std::string(SCREENSHOT_DIR) + "/menu-view-" + skin + ".png";
        EXPECT_TRUE(frame->OnCommand(15020));
        EXPECT_EQ(frame->Skins().CurrentIndex(), other);
    }

    // Help's About item opens the About box.
    answer = 230;
    EXPECT_TRUE(frame->OnCommand(15060));
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_NE(boxes[0].find("Sonvara"), std::string::npos);
    EXPECT_EQ(opened.size(), 5u);

    // View's player bar hides the player panel and shows its check.
    const bool shown = frame->Panels().PlayerShown();
    answer = 227;
    EXPECT_TRUE(frame->OnCommand(15020));
    EXPECT_NE(frame->Panels().PlayerShown(), shown);

    // View's Surround Settings leads to the surround dialog.
    CSCMenu::SCommandUI surround;
    surround.enabled = false;
    later.Menus()->UpdateCommand(16135, surround);
    EXPECT_TRUE(surround.enabled);

    CSCMenu::SetTrackHook(nullptr);
    frame->close();
    app.ExitInstance(0);
    trestle::SetMessageBoxHook(nullptr);
    lacquer::UnloadSkin();
    platform::SetProgramDirectory("");
    platform::SetSettingsDirectory("");
}

} // namespace
