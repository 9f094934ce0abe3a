#include "modules/FrameMenu.h"

#include "platform/AsciiCase.h"

#include <algorithm>

namespace modules {

namespace {

bool SameText(const std::string& a, const std::string& b) {
    return platform::EqualNoCase(a, b);
}

SvMenuItem Placeholder() {
    return {SvMenuItem::Separator, {}, 0, 0, nullptr};
}

// The item at position i when it is a pop-up with a submenu; else null.
const SvMenuItem* PopupAt(const SvMenuTree* menu, std::size_t i) {
    if (!menu || i >= menu->items.size()) return nullptr;
    const SvMenuItem& item = menu->items[i];
    return item.submenu ? &item : nullptr;
}

SvMenuItem CopyItem(const SvMenuItem& item) {
    SvMenuItem copy = item;
    if (item.submenu) copy.submenu = std::make_shared<SvMenuTree>(CopyMenu(*item.submenu));
    return copy;
}

SvMenuItem PopupItem(const std::string& text, const SvMenuTree& submenu) {
    return {SvMenuItem::Popup, text, 0, 0, std::make_shared<SvMenuTree>(CopyMenu(submenu))};
}

// The module's "&Morph" pop-up that offers single effects: not empty, and
// its first item is a pop-up titled "Single Effects".
const SvMenuTree* MorphPopupWithSingleEffects(const SvMenuTree* menu, const SMenuTexts& texts) {
    if (!menu) return nullptr;
    for (const SvMenuItem& item : menu->items) {
        if (!item.submenu || !SameText(item.text, texts.morph)) continue;
        const SvMenuTree& morph = *item.submenu;
        if (morph.items.empty()) return nullptr;
        const SvMenuItem& first = morph.items.front();
        if (first.type == SvMenuItem::Separator || !first.submenu ||
            !SameText(first.text, texts.singleEffects))
            return nullptr;
        return &morph;
    }
    return nullptr;
}

SvMenuItem* FindPopupByText(SvMenuTree& menu, const std::string& text) {
    for (SvMenuItem& item : menu.items)
        if (item.submenu && SameText(item.text, text)) return &item;
    return nullptr;
}

// The transport items of the frame's and the tray's "&Play" pop-ups; the
// tray's also winds backward and forward.
void AddPlayItems(SvMenuTree& play, bool withWinding) {
    play.AddCommand("&Play", 33010);
    play.AddCommand("&Stop", 33020);
    play.AddCommand("Pa&use", 33015);
    play.AddSeparator();
    play.AddCommand("Pre&vious", 33000);
    play.AddCommand("&Next", 33030);
    if (withWinding) {
        play.AddCommand("&Backward", 33005);
        play.AddCommand("&Forward", 33025);
    }
    play.AddSeparator();
    play.AddCommand("S&huffle", 33035);
    play.AddCommand("R&epeat", 33040);
    play.AddSeparator();
    play.AddCommand("&Record", 33090);
}

} // namespace

SvMenuTree BaseMenu(const SMenuTexts& texts) {
    SvMenuTree menu;
    menu.AddPopup("&File").AddCommand("E&xit", ID_MENU_APP_EXIT);

    menu.AddPopup("&Edit").items.push_back(Placeholder());

    SvMenuTree& view = menu.AddPopup("&View");
    view.items.push_back(Placeholder());
    view.AddCommand("&Surround Settings", ID_VIEW_SURROUND);
    view.AddSeparator();
    view.AddCommand("&Player Bar", ID_VIEW_PLAYER_BAR);
    view.AddCommand("&Sonvara Bar", 0, SvMenuItem::Disabled);
    view.AddCommand("&Effect Library", 0, SvMenuItem::Disabled);

    AddPlayItems(menu.AddPopup("&Play"), false);

    SvMenuTree& morph = menu.AddPopup(texts.morph);
    morph.AddCommand("&Morph Selected Files", ID_MORPH_SELECTED_FILES);
    morph.items.push_back(Placeholder());

    SvMenuTree& window = menu.AddPopup(texts.window);
    window.AddCommand("&Cascade", ID_WINDOW_CASCADE);
    window.AddCommand("Tile &Horizontally", ID_WINDOW_TILE_HORZ);
    window.AddCommand("&Tile Vertically", ID_WINDOW_TILE_VERT);

    SvMenuTree& help = menu.AddPopup(texts.help);
    help.AddCommand("&Help Topics", ID_HELP_TOPICS);
    help.AddCommand("&Online Tutorials...", ID_HELP_TUTORIALS);
    help.AddCommand("&Community", ID_HELP_COMMUNITY);
    help.AddCommand(texts.smartUpdates, ID_HELP_SMART_UPDATES);
    help.AddCommand("&About...", ID_APP_ABOUT);
    return menu;
}

SvMenuTree CopyMenu(const SvMenuTree& menu) {
    SvMenuTree copy;
    copy.items.reserve(menu.items.size());
    for (const SvMenuItem& item : menu.items)
        copy.items.push_back(CopyItem(item));
    return copy;
}

void MergeMenu(SvMenuTree& destination, const SvMenuTree& source, bool front, bool separator) {
    // A placeholder is no item of the destination's own.
    if (destination.items.size() == 1 && destination.items[0].type == SvMenuItem::Separator)
        destination.items.clear();

    std::size_t at = front ? 0 : destination.items.size();
    const bool sourceEndsWithSeparator =
        !source.items.empty() && source.items.back().type == SvMenuItem::Separator;
    bool separatorDone = !separator || sourceEndsWithSeparator;

    for (const SvMenuItem& item : source.items) {
        if (!item.text.empty()) {
            auto same =
                std::find_if(destination.items.begin(), destination.items.end(),
                             [&](const SvMenuItem& d) { return SameText(d.text, item.text); });
            if (same != destination.items.end()) {
                *same = CopyItem(item);
                continue;
            }
            if (!separatorDone) {
                separatorDone = true;
                if (!destination.items.empty()) {
                    // Front: the inserted items go before the separator and
                    // the destination's own items stay after it.
                    destination.items.insert(destination.items.begin() + static_cast<long>(at),
                                             Placeholder());
                    if (!front) ++at;
                }
            }
        }
        destination.items.insert(destination.items.begin() + static_cast<long>(at), CopyItem(item));
        ++at;
    }
}

SvMenuTree EffectMenu(const std::vector<SEffectMenuItem>& effects, const SMenuTexts& texts) {
    SvMenuTree menu;
    for (const SEffectMenuItem& e : effects)
        menu.AddCommand(e.displayName, ID_EFFECT_FIRST + e.identifier);
    if (menu.items.empty()) menu.AddCommand(texts.none, ID_MENU_NONE);
    return menu;
}

SvMenuTree ListMenu(const std::vector<std::string>& names, unsigned first, int checked,
                    std::size_t maxItems) {
    SvMenuTree menu;
    for (std::size_t i = 0; i < names.size() && i < maxItems; ++i) {
        const bool on = static_cast<int>(i) == checked;
        menu.AddCommand(names[i], first + static_cast<unsigned>(i),
                        SvMenuItem::RadioCheck | (on ? SvMenuItem::Checked : 0u));
    }
    return menu;
}

SvMenuTree RebuildFrameMenu(const SFrameMenuSources& sources, const SMenuTexts& texts) {
    // 1. A copy of the base menu; the list pop-ups take the place of the
    // view pop-up's placeholder.
    if (!sources.base) return {};
    SvMenuTree m = CopyMenu(*sources.base);
    if (m.items.size() > 2 && m.items[2].submenu) {
        SvMenuTree& view = *m.items[2].submenu;
        std::vector<SvMenuItem> lists;
        if (sources.goTo) lists.push_back(PopupItem(texts.goTo, *sources.goTo));
        if (sources.skins) lists.push_back(PopupItem(texts.skins, *sources.skins));
        if (sources.languages) lists.push_back(PopupItem(texts.languages, *sources.languages));
        if (!lists.empty()) {
            if (!view.items.empty() && view.items.front().type == SvMenuItem::Separator)
                view.items.erase(view.items.begin());
            lists.push_back(Placeholder());
            view.items.insert(view.items.begin(), lists.begin(), lists.end());
        }
    }

    const SvMenuTree* active = sources.activeMenu;
    if (active) {
        // 3. The leading pop-ups the module shares with the base, in step.
        std::size_t n = 0;
        for (; n < 4; ++n) {
            const SvMenuItem* mine = PopupAt(&m, n);
            const SvMenuItem* theirs = PopupAt(active, n);
            if (!mine || !theirs || !SameText(mine->text, theirs->text)) break;
            MergeMenu(*m.items[n].submenu, *theirs->submenu, true, true);
        }

        // 4. - 6. "&Morph": voice morphing, the modules' single effects, then
        // the special effects.
        if (m.items.size() > 4 && m.items[4].submenu) {
            SvMenuTree& morph = *m.items[4].submenu;
            if (sources.voiceMorphing)
                morph.items.push_back(PopupItem(texts.voiceMorphing, *sources.voiceMorphing));
            for (const SvMenuTree* menu : sources.moduleMenus)
                if (const SvMenuTree* single = MorphPopupWithSingleEffects(menu, texts))
                    MergeMenu(morph, *single, false, false);
            if (sources.specialEffects)
                morph.items.push_back(PopupItem(texts.specialEffects, *sources.specialEffects));
        }

        // 7. The module's own window pop-up replaces the host's.
        for (const SvMenuItem& item : active->items) {
            if (!item.submenu || !SameText(item.text, texts.window)) continue;
            if (item.submenu->items.size() > 1)
                if (SvMenuItem* window = FindPopupByText(m, texts.window)) *window = CopyItem(item);
            break;
        }

        // 8. Help: the module's items first, then the host's; About names the
        // product.
        std::size_t e = m.items.size() - 1;
        const SvMenuItem* theirHelp =
            active->items.empty() ? nullptr : PopupAt(active, active->items.size() - 1);
        SvMenuItem& myHelp = m.items.back();
        if (myHelp.submenu && theirHelp && SameText(myHelp.text, texts.help) &&
            SameText(theirHelp->text, texts.help)) {
            MergeMenu(*myHelp.submenu, *theirHelp->submenu, true, true);
            e = active->items.size() - 2;
        }
        if (myHelp.submenu)
            for (SvMenuItem& item : myHelp.submenu->items)
                if (item.type != SvMenuItem::Separator && !item.submenu && item.id == ID_APP_ABOUT)
                    item.text = "&About " + texts.productName;

        // 9. The module's further pop-ups go in from position 6 on.
        std::size_t at = 6;
        for (std::size_t k = n + 2; k <= e && k < active->items.size(); ++k) {
            const SvMenuItem* popup = PopupAt(active, k);
            if (!popup) break;
            m.items.insert(m.items.begin() + static_cast<long>(std::min(at, m.items.size())),
                           CopyItem(*popup));
            ++at;
        }
    }

    // 10. A pop-up that offers only "none" is shown disabled.
    for (SvMenuItem& item : m.items) {
        if (!item.submenu || item.submenu->items.size() != 1) continue;
        const std::string& only = item.submenu->items.front().text;
        if (only == texts.noneAccel || only == texts.none) item.state |= SvMenuItem::Disabled;
    }
    return m;
}

SvMenuTree TrayMenu() {
    SvMenuTree resource;
    SvMenuTree& menu = resource.AddPopup("Tray");
    AddPlayItems(menu.AddPopup("&Play"), true);
    SvMenuTree& help = menu.AddPopup("&Help");
    help.AddCommand("&Help Topics", ID_HELP_TOPICS);
    help.AddCommand("&Online Tutorials...", ID_HELP_TUTORIALS);
    help.AddCommand("&About...", ID_APP_ABOUT);
    menu.AddSeparator();
    menu.AddCommand("Restore/Zoom", 34080);
    menu.AddCommand("Minimize", 34070);
    menu.AddSeparator();
    menu.AddCommand("E&xit", ID_MENU_APP_EXIT);
    return resource;
}

SvMenuItem* FindCommand(SvMenuTree& menu, unsigned id) {
    for (SvMenuItem& item : menu.items) {
        if (item.submenu) {
            if (SvMenuItem* found = FindCommand(*item.submenu, id)) return found;
        } else if (item.type == SvMenuItem::Command && item.id == id) {
            return &item;
        }
    }
    return nullptr;
}

} // namespace modules
