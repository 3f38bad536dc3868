#include "ui/route_table.h"

#include <algorithm>

#include "profile/text.h"
#include "ui/control.h"

namespace vextar::ui {

void CRouteTable::Add(Route route) {
    routes_.push_back(std::move(route));
}

bool CRouteTable::Serves(const Route& route, int currentPageKind) {
    if (currentPageKind == 0) {
        return route.withoutPage;
    }
    return route.kinds.empty() ||
           std::find(route.kinds.begin(), route.kinds.end(), currentPageKind) != route.kinds.end();
}

int CRouteTable::Dispatch(TNotifyUI& msg, int currentPageKind) const {
    const std::string name = msg.pSender != nullptr ? msg.pSender->GetName() : std::string();
    const IndexedName split = SplitIndexedName(name);
    // Handlers may add routes or change the tree; the routes to run are
    // chosen before any of them runs.
    std::vector<std::pair<std::size_t, int>> chosen;
    for (std::size_t r = 0; r < routes_.size(); ++r) {
        const Route& route = routes_[r];
        if (route.match == Match::Prefix && split.found && EqualsNoCase(route.type, msg.sType) &&
            EqualsNoCase(route.name, split.prefix)) {
            chosen.emplace_back(r, split.number);
        }
    }
    for (std::size_t r = 0; r < routes_.size(); ++r) {
        const Route& route = routes_[r];
        if (route.match == Match::Prefix || !EqualsNoCase(route.type, msg.sType)) {
            continue;
        }
        if (route.match == Match::Exact ? route.name == name : EqualsNoCase(route.name, name)) {
            chosen.emplace_back(r, 0);
        }
    }
    int ran = 0;
    for (const auto& [r, index] : chosen) {
        // Copied: a handler may add routes while it runs.
        const Route route = routes_[r];
        if (Serves(route, currentPageKind) && route.handler) {
            route.handler(msg, index);
            ++ran;
        }
    }
    return ran;
}

}  // namespace vextar::ui
