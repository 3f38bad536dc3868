#pragma once

// The main window's routes: which handler a notification reaches, by its
// type, the sender's name and the kind of the device page shown. Each
// feature registers its own routes next to the code they call.

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "ui/notify.h"

namespace vextar::ui {

class CRouteTable {
  public:
    // msg, and the index of an indexed name (0 for whole-name routes).
    using Handler = std::function<void(TNotifyUI& msg, int index)>;

    enum class Match {
        AnyCase,  // the whole name, letter case ignored
        Exact,    // the whole name, letter case kept
        Prefix,   // "DPI_slider_" matches "dpi_slider_3" with index 3
    };

    struct Route {
        std::string type;
        Match match = Match::AnyCase;
        std::string name;
        // Page kinds the route serves; empty: every kind.
        std::vector<int> kinds;
        // Runs also when no device page is shown (kind 0).
        bool withoutPage = false;
        Handler handler;
    };

    void Add(Route route);

    // Runs every route the notification matches: prefix routes first, then
    // whole-name routes, each group in the order added. `currentPageKind` is
    // the kind of the page shown, 0 for none. Returns how many ran.
    int Dispatch(TNotifyUI& msg, int currentPageKind) const;

    [[nodiscard]] std::size_t Size() const { return routes_.size(); }

  private:
    [[nodiscard]] static bool Serves(const Route& route, int currentPageKind);

    std::vector<Route> routes_;
};

}  // namespace vextar::ui
