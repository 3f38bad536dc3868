#pragma once

// Popup menus described by XML:
//   <Menu>
//     <MenuElement name="profile_export" text="%{menu_export}"/>
//     <MenuSeparator/>
//     <MenuElement name="more" text="More"><MenuElement name="sub" text="Sub"/></MenuElement>
//   </Menu>
// Elements take "name", "text" (a "%{id}" language text), "enabled",
// "visible", "checkable" and "checked".

#include <QPoint>
#include <functional>
#include <string>

namespace vextar::ui {

class CPaintManagerUI;

class CMenuWnd {
  public:
    // Shows the menu of a layout file (relative to the manager's resource
    // path) at a screen position and waits for the choice. Returns the
    // chosen element's name, or empty when the menu was dismissed or could
    // not be read (the reason then goes to `error`).
    static std::string Show(const CPaintManagerUI& manager, std::string_view file, QPoint at,
                            std::string* error = nullptr);
    static std::string ShowFromString(std::string_view xml, QPoint at,
                                      std::string* error = nullptr);
};

}  // namespace vextar::ui
