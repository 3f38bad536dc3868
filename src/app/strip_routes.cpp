#include "app/strip_routes.h"

#include "app/device_option.h"
#include "app/main_wnd.h"
#include "device/varnic_usb_device.h"
#include "ui/controls.h"

namespace vextar::app {

namespace {

using Match = ui::CRouteTable::Match;

CDeviceOptionUI* EntryOf(ui::CControlUI* control) {
    for (ui::CControlUI* c = control; c != nullptr; c = c->GetParent()) {
        if (auto* entry = dynamic_cast<CDeviceOptionUI*>(c)) {
            return entry;
        }
    }
    return nullptr;
}

// The page's function tabs, numbered from 1 in this order.
constexpr const char* kFunctionTabs[] = {"deng_Op_tab",   "key_Op_tab",       "macro_Op_tab",
                                         "system_Op_tab", "cursor_Op_tab",    "6533_voice_Op_tab",
                                         "magic_Op_tab",  "Virtual7.1_Op_tab"};

}  // namespace

void RegisterStripRoutes(ui::CRouteTable& table, CMainWnd& window) {
    auto add = [&table](std::string_view type, std::string_view name, bool withoutPage,
                        ui::CRouteTable::Handler handler) {
        ui::CRouteTable::Route route;
        route.type = std::string(type);
        route.match = Match::AnyCase;
        route.name = std::string(name);
        route.withoutPage = withoutPage;
        route.handler = std::move(handler);
        table.Add(std::move(route));
    };
    add(ui::notify::kWindowInit, "root", true,
        [&window](ui::TNotifyUI&, int) { window.OnWindowInit(); });
    add(ui::notify::kWindowSize, "root", true,
        [&window](ui::TNotifyUI&, int) { window.OnWindowSized(); });
    add(ui::notify::kSelectChanged, "device_select", true, [&window](ui::TNotifyUI& msg, int) {
        const auto* option = dynamic_cast<const ui::COptionUI*>(msg.pSender);
        CDeviceOptionUI* entry = EntryOf(msg.pSender);
        if (option != nullptr && option->IsSelected() && entry != nullptr) {
            window.OnEntrySelected(*entry);
        }
    });
    // Ticking an entry for synchronised lighting only changes its look.
    add(ui::notify::kSelectChanged, "synchro_device_select", true, [](ui::TNotifyUI& msg, int) {
        const auto* option = dynamic_cast<const ui::COptionUI*>(msg.pSender);
        if (CDeviceOptionUI* entry = EntryOf(msg.pSender); entry != nullptr && option != nullptr) {
            entry->SetSynchronise(option->IsSelected());
        }
    });
    add(ui::notify::kClick, "device_select_prev", true,
        [&window](ui::TNotifyUI&, int) { window.SelectNeighbour(-1); });
    add(ui::notify::kClick, "device_select_next", true,
        [&window](ui::TNotifyUI&, int) { window.SelectNeighbour(1); });
    for (int n = 1; n <= static_cast<int>(std::size(kFunctionTabs)); ++n) {
        add(ui::notify::kSelectChanged, kFunctionTabs[n - 1], false,
            [&window, n](ui::TNotifyUI& msg, int) {
                const auto* option = dynamic_cast<const ui::COptionUI*>(msg.pSender);
                if (option != nullptr && !option->IsSelected()) {
                    return;
                }
                if (CVarnicUSBDevice* page = window.CurrentPage()) {
                    page->ShowFunctionTab(n);
                }
            });
    }
}

}  // namespace vextar::app
