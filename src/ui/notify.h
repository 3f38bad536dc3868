#pragma once

// Notifications: what a control tells its window when the user (or the
// program) changed it, and the pump that dispatches them by control name.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "ui/ui_types.h"

namespace vextar::ui {

class CControlUI;

struct TNotifyUI {
    CDuiString sType;
    CControlUI* pSender = nullptr;
    int64_t dwTimestamp = 0;
    UiPoint ptMouse{};
    uintptr_t wParam = 0;
    intptr_t lParam = 0;
};

class INotifyUI {
  public:
    virtual ~INotifyUI() = default;
    virtual void Notify(TNotifyUI& msg) = 0;
};

// Handlers by notification type and control name (case ignored); an empty
// name matches every control, an empty type every type.
class CNotifyPump {
  public:
    using Handler = std::function<void(TNotifyUI& msg)>;

    void Bind(std::string_view type, std::string_view controlName, Handler handler);
    // Calls every matching handler in the order they were bound; true when
    // at least one matched.
    bool NotifyPump(TNotifyUI& msg);

  private:
    struct Entry {
        std::string type;
        std::string name;
        Handler handler;
    };
    std::vector<Entry> entries_;
};

// The notification types the controls send.
namespace notify {
inline constexpr std::string_view kClick = "click";
inline constexpr std::string_view kSelectChanged = "selectchanged";
inline constexpr std::string_view kItemSelect = "itemselect";
inline constexpr std::string_view kItemClick = "itemclick";
inline constexpr std::string_view kItemActivate = "itemactivate";
inline constexpr std::string_view kValueChanged = "valuechanged";
inline constexpr std::string_view kMoveValueChanged = "movevaluechanged";
inline constexpr std::string_view kTextChanged = "textchanged";
inline constexpr std::string_view kKillFocus = "killfocus";
inline constexpr std::string_view kSetFocus = "setfocus";
inline constexpr std::string_view kWindowInit = "windowinit";
inline constexpr std::string_view kWindowSize = "windowsize";
inline constexpr std::string_view kTimer = "timer";
inline constexpr std::string_view kReturn = "return";
inline constexpr std::string_view kMenu = "menu";
inline constexpr std::string_view kDbClick = "dbclick";
inline constexpr std::string_view kColorChanged = "colorchanged";
inline constexpr std::string_view kMouseEnter = "msenter";
inline constexpr std::string_view kMouseLeave = "msleave";
inline constexpr std::string_view kCheckClick = "checkclick";
inline constexpr std::string_view kClickSelectEnd = "click_select_end";
inline constexpr std::string_view kClickHandDelete = "click_handdelete";
}  // namespace notify

}  // namespace vextar::ui
