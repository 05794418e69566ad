// The menu resources: 134, the "Select" button's choice of the newer or the older file.
#include "res/MenuTemplate.h"

#include <array>

#include "res/ResourceIds.h"

namespace {

constexpr std::array kSelectItems{
    MenuItemTemplate{ID_SELECT_NEWER, u"Newer"},
    MenuItemTemplate{ID_SELECT_OLDER, u"Older"},
};

constexpr std::array kMenus{
    MenuTemplate{IDR_MENU_SELECT, u"SELECT", kSelectItems},
};

}  // namespace

const MenuTemplate* FindMenuTemplate(int id)
{
    for (const MenuTemplate& menu : kMenus) {
        if (menu.id == id)
            return &menu;
    }
    return nullptr;
}
