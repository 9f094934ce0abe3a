// The frame menu as plain data: the base menu, deep copies, merging a
// module's pop-ups into the host's, the list pop-ups (skins, languages,
// "Go to") and the composition of the whole frame menu from the base menu,
// the active module's menu, the other modules' "&Morph" pop-ups and the two
// effect submenus. The frame keeps the result and shows its pop-ups as
// skinned menus; nothing here needs a window.
//
// The host never changes a module's menu tree (it belongs to the module) nor
// the base menu: every function takes them const and builds copies.
#pragma once

#include "sonvara/MenuTree.h"

#include <string>
#include <vector>

namespace modules {

// Command ids of the base menu and the frame's menu commands.
enum EMenuCommand : unsigned {
    ID_MORPH_SELECTED_FILES = 30000,
    ID_EFFECT_FIRST = 30001, // effect items: ID_EFFECT_FIRST + the effect's identifier
    ID_MENU_NONE = 0xFFFF,   // the "none" item of an empty effect submenu
    ID_VIEW_PLAYER_BAR = 227,
    ID_HELP_SMART_UPDATES = 228,
    ID_APP_ABOUT = 230,
    ID_AUDIO_MANAGER_FIRST = 231, // 231, 232: check boxes of the audio manager window
    ID_AUDIO_MANAGER_SECOND = 232,
    ID_HELP_TUTORIALS = 233,
    ID_SOUND_FORMAT = 234,
    ID_HELP_COMMUNITY = 235,
    ID_VIEW_SURROUND = 16135,
    ID_MENU_BUTTON_FIRST = 15000, // skin menu buttons 15000, 15010, ... 15060
    ID_MENU_BUTTON_LAST = 15060,
    ID_FREE_UPGRADE = 15070,
    ID_WINDOW_CASCADE = 57650,
    ID_WINDOW_TILE_HORZ = 57651,
    ID_WINDOW_TILE_VERT = 57652,
    ID_HELP_TOPICS = 57670,
    ID_MENU_APP_EXIT = 57665,
    ID_SKIN_FIRST = 366,          // skin list: 366 + index, for at most kMaxSkinItems skins
    ID_LANGUAGE_ITEM_FIRST = 600, // language list: 600 + index, up to 630
    ID_LANGUAGE_ITEM_LAST = 630,
};

// The skin list offers this many skins (commands 366 to 416), and the skin
// command range covers all of them.
inline constexpr int kMaxSkinItems = 51;

// The texts the menus show, from the host's string table (translated).
struct SMenuTexts {
    std::string voiceMorphing = "&Voice Morphing";   // string 316
    std::string morph = "&Morph";                    // 317
    std::string singleEffects = "Single Effects";    // 318
    std::string specialEffects = "&Special Effects"; // 319
    std::string window = "&Window";                  // 322
    std::string help = "&Help";                      // 323
    std::string smartUpdates = "Smart Updates";      // 325
    std::string noneAccel = "&none";                 // 326
    std::string none = "none";                       // 327
    std::string productName = "Sonvara";             // 305
    std::string goTo = "&Go to";
    std::string skins = "S&kins";
    std::string languages = "&Language";
};

// The base menu: seven top-level pop-ups "&File" ... "&Help" with their
// items. An empty pop-up of the base holds one separator as a placeholder,
// which a merge replaces.
SvMenuTree BaseMenu(const SMenuTexts& texts);

// A deep copy: every item with its state, id and type, submenus copied
// recursively (the copy shares nothing with the original).
SvMenuTree CopyMenu(const SvMenuTree& menu);

// Merges the items of source into destination. An item whose text equals a
// destination item's (letter case ignored) replaces that item in place;
// others are inserted at the front (front) or appended, keeping their order.
// With separator, a separator stands between the destination's own items
// and the inserted ones (unless the destination was empty or the source
// ends with one). A destination holding only a separator (a placeholder) is
// emptied first.
void MergeMenu(SvMenuTree& destination, const SvMenuTree& source, bool front, bool separator);

// One effect for an effect submenu, in the effect manager's table order.
struct SEffectMenuItem {
    unsigned identifier = 0;
    std::string displayName;
};
// The items of an effect submenu: ID_EFFECT_FIRST + identifier with the
// display name, or the single item "none" (ID_MENU_NONE) when there are none.
SvMenuTree EffectMenu(const std::vector<SEffectMenuItem>& effects, const SMenuTexts& texts);

// A list pop-up: one item per name with id first + index, the checked one
// shown as the selected radio item; at most maxItems items.
SvMenuTree ListMenu(const std::vector<std::string>& names, unsigned first, int checked,
                    std::size_t maxItems);

// What the frame menu is composed from.
struct SFrameMenuSources {
    const SvMenuTree* base = nullptr;           // null: there is no frame menu
    const SvMenuTree* activeMenu = nullptr;     // the active module's menu; null when none
    std::vector<const SvMenuTree*> moduleMenus; // every module's menu, table order (null: none)
    const SvMenuTree* voiceMorphing = nullptr;  // the two effect submenus
    const SvMenuTree* specialEffects = nullptr;
    // The list pop-ups, shown at the head of "&View" (null: left out).
    const SvMenuTree* goTo = nullptr;
    const SvMenuTree* skins = nullptr;
    const SvMenuTree* languages = nullptr;
};

// The composed frame menu; empty when there is no base menu.
SvMenuTree RebuildFrameMenu(const SFrameMenuSources& sources, const SMenuTexts& texts);

// The tray icon's menu: one pop-up holding the context menu (play and help
// submenus, restore, minimise, exit).
SvMenuTree TrayMenu();

// The first item with this command id anywhere in the tree, or null.
SvMenuItem* FindCommand(SvMenuTree& menu, unsigned id);

} // namespace modules
