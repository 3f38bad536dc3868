#pragma once

// The routes of the main window's own controls: its start and size, the
// device selector strip and the function tabs of the page shown.

#include "ui/route_table.h"

namespace vextar::app {

class CMainWnd;

void RegisterStripRoutes(ui::CRouteTable& table, CMainWnd& window);

}  // namespace vextar::app
