#include "ui/notify.h"

#include "ui/control.h"

namespace vextar::ui {

void CNotifyPump::Bind(std::string_view type, std::string_view controlName, Handler handler) {
    entries_.push_back({std::string(type), std::string(controlName), std::move(handler)});
}

bool CNotifyPump::NotifyPump(TNotifyUI& msg) {
    bool matched = false;
    const std::string name = msg.pSender != nullptr ? msg.pSender->GetName() : std::string();
    // Handlers may bind more handlers: walk by index over what was there.
    const std::size_t count = entries_.size();
    for (std::size_t i = 0; i < count; ++i) {
        const Entry& e = entries_[i];
        if ((e.type.empty() || e.type == msg.sType) &&
            (e.name.empty() || EqualsNoCase(e.name, name))) {
            matched = true;
            Handler handler = e.handler;
            handler(msg);
        }
    }
    return matched;
}

}  // namespace vextar::ui
