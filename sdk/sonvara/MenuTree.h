// A plain menu tree, free of any toolkit: what KelGetMenu returns and what
// the host composes its frame menu from. The host turns a tree into a real
// menu only to show it.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct SvMenuTree;

struct SvMenuItem {
    enum Type : std::uint8_t { Command = 0, Separator = 1, Popup = 2 };
    enum State : std::uint32_t { Checked = 1, Disabled = 2, Default = 4, RadioCheck = 8 };

    Type type = Command;
    std::string text; // '&' marks the mnemonic
    unsigned id = 0;  // the command id (Command items)
    std::uint32_t state = 0;
    std::shared_ptr<SvMenuTree> submenu; // Popup items
};

struct SvMenuTree {
    std::vector<SvMenuItem> items;

    SvMenuItem& AddCommand(std::string text, unsigned id, std::uint32_t state = 0) {
        items.push_back({SvMenuItem::Command, std::move(text), id, state, nullptr});
        return items.back();
    }
    void AddSeparator() { items.push_back({SvMenuItem::Separator, {}, 0, 0, nullptr}); }
    SvMenuTree& AddPopup(std::string text) {
        items.push_back({SvMenuItem::Popup, std::move(text), 0, 0, std::make_shared<SvMenuTree>()});
        return *items.back().submenu;
    }
};
