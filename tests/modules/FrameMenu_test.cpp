// The frame menu composed from the base menu, module menus and the effect
// submenus, as plain data.
#include "modules/FrameMenu.h"

#include <gtest/gtest.h>

namespace {

using namespace modules;

std::vector<std::string> Texts(const SvMenuTree& menu) {
    std::vector<std::string> texts;
    for (const SvMenuItem& item : menu.items)
        texts.push_back(item.type == SvMenuItem::Separator ? "-" : item.text);
    return texts;
}

const SvMenuTree& Sub(const SvMenuTree& menu, std::size_t i) {
    return *menu.items.at(i).submenu;
}

class FrameMenuTest : public ::testing::Test {
protected:
    SMenuTexts texts;
    SvMenuTree base = BaseMenu(texts);
    SvMenuTree voice = EffectMenu({{3, "Stavo Modulation"}}, texts);
    SvMenuTree special = EffectMenu({}, texts);

    SvMenuTree Compose(const SvMenuTree* active, std::vector<const SvMenuTree*> all = {}) {
        SFrameMenuSources s;
        s.base = &base;
        s.activeMenu = active;
        s.moduleMenus = all.empty() && active ? std::vector<const SvMenuTree*>{active} : all;
        s.voiceMorphing = &voice;
        s.specialEffects = &special;
        return RebuildFrameMenu(s, texts);
    }
};

// Without a module the frame menu must be the base menu, with no effect
// submenus and the About item untouched; a pop-up holding only "none" is
// shown disabled, others are not.
TEST_F(FrameMenuTest, NoActiveModuleGivesTheBaseMenuWithNonePopupsDisabled) {
    base.items[1].submenu->items = {{SvMenuItem::Command, "&none", 0, 0, nullptr}};
    SvMenuTree m = Compose(nullptr);
    EXPECT_EQ(Texts(m), (std::vector<std::string>{"&File", "&Edit", "&View", "&Play", "&Morph",
                                                  "&Window", "&Help"}));
    EXPECT_TRUE(m.items[1].state & SvMenuItem::Disabled);
    EXPECT_FALSE(m.items[0].state & SvMenuItem::Disabled);
    EXPECT_EQ(Texts(Sub(m, 4)), (std::vector<std::string>{"&Morph Selected Files", "-"}));
    EXPECT_EQ(Texts(Sub(m, 6)).back(), "&About...");
    // A copy: changing it leaves the base alone.
    m.items[0].submenu->items.clear();
    EXPECT_EQ(base.items[0].submenu->items.size(), 1u);
    EXPECT_NE(base.items[0].submenu.get(), m.items[0].submenu.get());
}

// Only the leading pop-ups that match in step are merged (n = 1 here); the
// module's pop-ups from position n + 2 up to the one before its Help go in
// from position 6; Help is merged with the module's items first.
TEST_F(FrameMenuTest, ModuleWithFileButNoEditMergesFileAndInsertsTheRest) {
    SvMenuTree module;
    SvMenuTree& file = module.AddPopup("&file");
    file.AddCommand("&Open...", 1000);
    file.AddCommand("E&xit", 1001); // same text: replaces the host's in place
    module.AddPopup("&Tools").AddCommand("Tune", 1002);
    module.AddPopup("&Extra").AddCommand("X", 1003);
    module.AddPopup("&Library").AddCommand("Scan", 1004);
    module.AddPopup("&Batch").AddCommand("Run", 1005);
    module.AddPopup("&HELP").AddCommand("Module &Help", 1006);

    const SvMenuTree m = Compose(&module);
    EXPECT_EQ(Texts(m), (std::vector<std::string>{"&File", "&Edit", "&View", "&Play", "&Morph",
                                                  "&Window", "&Library", "&Batch", "&Help"}));
    // "E&xit" was taken over, so no separator: nothing was inserted before it.
    EXPECT_EQ(Texts(Sub(m, 0)), (std::vector<std::string>{"&Open...", "-", "E&xit"}));
    EXPECT_EQ(Sub(m, 0).items[2].id, 1001u);
    EXPECT_EQ(Texts(Sub(m, 8)),
              (std::vector<std::string>{"Module &Help", "-", "&Help Topics", "&Online Tutorials...",
                                        "&Community", "Smart Updates", "&About Sonvara"}));
    // The morph pop-up carries both effect submenus; an empty one says none.
    const SvMenuTree& morph = Sub(m, 4);
    EXPECT_EQ(Texts(morph), (std::vector<std::string>{"&Morph Selected Files", "-",
                                                      "&Voice Morphing", "&Special Effects"}));
    EXPECT_EQ(morph.items[2].submenu->items.at(0).id, ID_EFFECT_FIRST + 3);
    EXPECT_EQ(morph.items[3].submenu->items.at(0).id, ID_MENU_NONE);
    EXPECT_EQ(morph.items[3].submenu->items.at(0).text, "none");
    // The module's own tree is unchanged.
    EXPECT_EQ(module.items[0].submenu->items.size(), 2u);
}

TEST_F(FrameMenuTest, MergeKeepsSourceOrderAndPutsTheSeparatorBetweenOwnAndInserted) {
    SvMenuTree source;
    source.AddCommand("A", 1);
    source.AddCommand("B", 2);
    SvMenuTree front;
    front.AddCommand("Own", 9);
    MergeMenu(front, source, true, true);
    EXPECT_EQ(Texts(front), (std::vector<std::string>{"A", "B", "-", "Own"}));

    SvMenuTree back;
    back.AddCommand("Own", 9);
    MergeMenu(back, source, false, true);
    EXPECT_EQ(Texts(back), (std::vector<std::string>{"Own", "-", "A", "B"}));

    // A placeholder separator goes; a source ending with a separator brings
    // no second one.
    SvMenuTree placeholder;
    placeholder.AddSeparator();
    MergeMenu(placeholder, source, true, true);
    EXPECT_EQ(Texts(placeholder), (std::vector<std::string>{"A", "B"}));
    source.AddSeparator();
    SvMenuTree own;
    own.AddCommand("Own", 9);
    MergeMenu(own, source, true, true);
    EXPECT_EQ(Texts(own), (std::vector<std::string>{"A", "B", "-", "Own"}));
}

// Every module's "&Morph" pop-up that starts with "Single Effects" adds its
// items after the voice effects; the active module's "&Window" with more
// than one item replaces the host's.
TEST_F(FrameMenuTest, MorphSingleEffectsOfEveryModuleAndWindowReplacement) {
    SvMenuTree active;
    active.AddPopup("&File").AddCommand("New", 1);
    SvMenuTree& window = active.AddPopup("&Window");
    window.AddCommand("Mixer", 2);
    window.AddCommand("Scope", 3);

    SvMenuTree other;
    SvMenuTree& morph = other.AddPopup("&morph");
    morph.AddPopup("Single Effects").AddCommand("Echo", 4);
    morph.AddCommand("Batch", 5);

    SvMenuTree notSingle;
    notSingle.AddPopup("&Morph").AddCommand("Ignored", 6);

    const SvMenuTree m = Compose(&active, {&active, &notSingle, &other});
    EXPECT_EQ(Texts(Sub(m, 4)),
              (std::vector<std::string>{"&Morph Selected Files", "-", "&Voice Morphing",
                                        "Single Effects", "Batch", "&Special Effects"}));
    EXPECT_EQ(Texts(Sub(m, 5)), (std::vector<std::string>{"Mixer", "Scope"}));
    // The active module has no Help: About still names the product.
    EXPECT_EQ(Texts(Sub(m, 6)).back(), "&About Sonvara");
}

TEST_F(FrameMenuTest, ListPopupsHeadTheViewPopupWithTheCurrentOneAsRadio) {
    const SvMenuTree skins = ListMenu({"Daylight", "Nocturne"}, ID_SKIN_FIRST, 1, kMaxSkinItems);
    std::vector<std::string> many(60, "x");
    EXPECT_EQ(ListMenu(many, ID_SKIN_FIRST, 0, kMaxSkinItems).items.size(), 51u);
    SFrameMenuSources s;
    s.base = &base;
    s.skins = &skins;
    const SvMenuTree m = RebuildFrameMenu(s, texts);
    const SvMenuTree& view = Sub(m, 2);
    EXPECT_EQ(Texts(view).at(0), "S&kins");
    EXPECT_EQ(Texts(view).at(1), "-");
    const SvMenuItem& nocturne = view.items[0].submenu->items.at(1);
    EXPECT_EQ(nocturne.id, ID_SKIN_FIRST + 1);
    EXPECT_EQ(nocturne.state, SvMenuItem::RadioCheck | SvMenuItem::Checked);
    EXPECT_TRUE(RebuildFrameMenu({}, texts).items.empty()); // no base, no menu
}

} // namespace
