#pragma once
// Menu resources as tables: a menu bar with one popup whose items are command strings. The window
// layer builds the real menu from it. Constant data; any thread may read it.
#include <span>
#include <string_view>

struct MenuItemTemplate {
    int command;
    std::u16string_view text;
};

struct MenuTemplate {
    int id;
    std::u16string_view popupTitle;  // title of the popup in the bar; never shown
    std::span<const MenuItemTemplate> items;
};

// The menu with this id, or nullptr.
const MenuTemplate* FindMenuTemplate(int id);
