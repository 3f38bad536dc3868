#pragma once

// The routes of the mouse page's own controls: DPI stages, polling rate,
// the settings tabs, the pointer-speed pair, zone selection and the
// shortcuts that leave the page.

#include <cstdint>
#include <functional>
#include <optional>

#include "ui/route_table.h"

namespace vextar {

class CVarnicMouseDevice;

struct MouseRouteHooks {
    // The primary screen's size, read once when the main window starts; it
    // goes with every settings write.
    int screenWidth = 0;
    int screenHeight = 0;
    // "windowdeviceset_" 0 and 1: the system's own mouse settings (0 the
    // buttons, 1 the pointer). Not called for other indexes.
    std::function<void(int which)> openSystemMouseSettings;
    // "DPI_color_option_": a modal colour choice starting from the stage's
    // colour (0xAARRGGBB); nothing when cancelled or when one is open.
    std::function<std::optional<uint32_t>(uint32_t initial)> pickColour;
};

// Registers the routes; `currentPage` gives the mouse page shown, or null.
void RegisterMouseRoutes(ui::CRouteTable& table, std::function<CVarnicMouseDevice*()> currentPage,
                         MouseRouteHooks hooks);

}  // namespace vextar
