#include "device/mouse/mouse_routes.h"

#include <algorithm>
#include <charconv>
#include <fstream>
#include <limits>
#include <memory>
#include <string>

#include "device/mouse/varnic_mouse_device.h"
#include "devicelink/device_tables.h"
#include "profile/text.h"
#include "ui/controls.h"
#include "ui/paint_manager.h"
#include "ui/widgets/widgets.h"

namespace vextar {

namespace {

using Match = ui::CRouteTable::Match;

// The pointer-speed pair's range.
constexpr int kPointerDpiMin = 200;
constexpr int kPointerDpiMax = 6500;

// A typed number: its leading decimal digits; 0 when it starts otherwise,
// the largest int when it is too long.
int LeadingNumber(std::string_view text) {
    int value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    (void)end;
    if (ec == std::errc::result_out_of_range) {
        return text.starts_with('-') ? std::numeric_limits<int>::min()
                                     : std::numeric_limits<int>::max();
    }
    return ec == std::errc() ? value : 0;
}

template <typename T>
T* Sibling(const ui::TNotifyUI& msg, const std::string& name) {
    ui::CPaintManagerUI* manager = msg.pSender != nullptr ? msg.pSender->GetManager() : nullptr;
    return manager == nullptr ? nullptr : dynamic_cast<T*>(manager->FindControl(name));
}

// A radio-like option that lost its selection asks for nothing.
bool Deselected(const ui::TNotifyUI& msg) {
    const auto* option = dynamic_cast<const ui::COptionUI*>(msg.pSender);
    return option != nullptr && !option->IsSelected();
}

void ForEachKeyButton(ui::CControlUI* root,
                      const std::function<void(ui::CDeviceKeyButtonUI&)>& fn) {
    auto* container = dynamic_cast<ui::CContainerUI*>(root);
    if (container == nullptr) {
        return;
    }
    for (int i = 0; i < container->GetCount(); ++i) {
        ui::CControlUI* child = container->GetItemAt(i);
        if (auto* button = dynamic_cast<ui::CDeviceKeyButtonUI*>(child)) {
            fn(*button);
        }
        ForEachKeyButton(child, fn);
    }
}

bool IsZoneButton(const ui::CDeviceKeyButtonUI& button) {
    const IndexedName byName = SplitIndexedName(button.GetName());
    const IndexedName byData = SplitIndexedName(button.GetUserData());
    return (byName.found && EqualsNoCase(byName.prefix, "light_")) ||
           (byData.found && EqualsNoCase(byData.prefix, "light_"));
}

class MouseRoutes {
  public:
    MouseRoutes(std::function<CVarnicMouseDevice*()> page, MouseRouteHooks hooks)
        : page_(std::move(page)), hooks_(std::move(hooks)) {}

    void SettingsWrite(CVarnicMouseDevice& m) const {
        m.WriteSettings(0, 0, 1, hooks_.screenWidth, hooks_.screenHeight);
    }

    // Stage i's DPI X follows its slider; stored and sent.
    void StoreStagePosition(CVarnicMouseDevice& m, int i) const {
        std::vector<DpiStage> stages = m.GetDpiStages();
        if (i >= 0 && static_cast<std::size_t>(i) < stages.size()) {
            stages[static_cast<std::size_t>(i)].dpiX.Set(
                static_cast<uint16_t>(m.GetStageSlider(i)));
        }
        m.SetDpiStages(stages);
        m.SaveProfile();
        SettingsWrite(m);
    }

    void EnableCheck(ui::TNotifyUI& msg, int i) const {
        CVarnicMouseDevice* m = page_();
        auto* check = dynamic_cast<ui::COptionUI*>(msg.pSender);
        if (m == nullptr || check == nullptr) {
            return;
        }
        const bool on = check->IsSelected();
        if (!m->SetStageEnabled(i, on)) {
            // The last enabled stage and the active one stay on.
            check->Selected(m->IsStageEnabled(i), false);
            return;
        }
        std::vector<DpiStage> stages = m->GetDpiStages();
        stages[static_cast<std::size_t>(i)].active = on ? 1 : 0;
        m->SetDpiStages(stages);
        m->SaveProfile();
        SettingsWrite(*m);
    }

    void SelectCheck(ui::TNotifyUI& msg, int i) const {
        CVarnicMouseDevice* m = page_();
        if (m == nullptr || Deselected(msg)) {
            return;
        }
        m->SelectDpiStage(i);
        std::vector<DpiStage> stages = m->GetDpiStages();
        for (std::size_t s = 0; s < stages.size(); ++s) {
            const uint32_t p = m->GetStageSlider(static_cast<int>(s));
            m->SetStageSlider(static_cast<int>(s), p);
            stages[s].dpiX.Set(static_cast<uint16_t>(m->GetStageSlider(static_cast<int>(s))));
        }
        m->SetDpiStages(stages);
        m->SaveProfile();
        SettingsWrite(*m);
    }

    // The slider's position goes to stage i; `store` at the release only.
    void StageSlider(ui::TNotifyUI& msg, int i, bool store) const {
        CVarnicMouseDevice* m = page_();
        const auto* slider = dynamic_cast<const ui::CSliderUI*>(msg.pSender);
        if (m == nullptr || slider == nullptr) {
            return;
        }
        m->SetStageSlider(i, static_cast<uint32_t>(std::max(slider->GetValue(), 0)));
        if (store) {
            StoreStagePosition(*m, i);
        }
    }

    void StageEdit(ui::TNotifyUI& msg, int i) const {
        CVarnicMouseDevice* m = page_();
        if (m == nullptr || msg.pSender == nullptr) {
            return;
        }
        m->SetStageEditText(i, msg.pSender->GetText());
        StoreStagePosition(*m, i);
    }

    void StageColour(int i) const {
        CVarnicMouseDevice* m = page_();
        if (m == nullptr || !hooks_.pickColour || i < 0 || i >= mouse::kStageCount) {
            return;
        }
        const std::optional<uint32_t> colour = hooks_.pickColour(m->GetStageColour(i));
        if (!colour) {
            return;
        }
        m->SetStageColour(i, *colour);
        std::vector<DpiStage> stages = m->GetDpiStages();
        DpiStage& st = stages[static_cast<std::size_t>(i)];
        st.red = static_cast<uint8_t>(*colour >> 16);
        st.green = static_cast<uint8_t>(*colour >> 8);
        st.blue = static_cast<uint8_t>(*colour);
        m->SetDpiStages(stages);
        m->SaveProfile();
        SettingsWrite(*m);
    }

    void PollingRate(ui::TNotifyUI& msg, int i) const {
        CVarnicMouseDevice* m = page_();
        if (m == nullptr || Deselected(msg)) {
            return;
        }
        m->SetPollingRate(i);
        m->SaveProfile();
        SettingsWrite(*m);
    }

    // The pointer, scroll and double-click settings live in the profile only:
    // the control's value goes into the system settings record.
    enum class Pointer { DoubleClick, Speed, Precision, PageScroll, ScrollSpeed };
    void PointerSetting(ui::TNotifyUI& msg, Pointer which) const {
        CVarnicMouseDevice* m = page_();
        if (m == nullptr) {
            return;
        }
        int value = 0;
        if (const auto* slider = dynamic_cast<const ui::CSliderUI*>(msg.pSender)) {
            value = slider->GetValue();
        } else if (const auto* check = dynamic_cast<const ui::COptionUI*>(msg.pSender)) {
            value = check->IsSelected() ? 1 : 0;
        } else {
            return;
        }
        const auto v = static_cast<uint16_t>(std::clamp(value, 0, 0xFFFF));
        const MouseSystemSettings s = m->GetSystemStages();
        switch (which) {
            case Pointer::DoubleClick:
                m->SetSystemStages(v, s[1], s[2]);
                break;
            case Pointer::Speed:
                m->SetSystemStages(s[0], v, s[2]);
                break;
            case Pointer::Precision:
                m->SetSystemStages(s[0], s[1], v);
                break;
            case Pointer::PageScroll:
                m->SetPageScroll(v, s[4]);
                break;
            case Pointer::ScrollSpeed:
                // Moving the speed switches page scrolling off.
                m->SetPageScroll(0, v);
                if (auto* page =
                        dynamic_cast<ui::COptionUI*>(m->FindByName("scrolls_page_check"))) {
                    page->Selected(false, false);
                }
                break;
        }
        m->SaveProfile();
    }

    void SettingsTab(ui::TNotifyUI& msg, int i) const {
        CVarnicMouseDevice* m = page_();
        if (m != nullptr && !Deselected(msg)) {
            m->SelectSettingsTab(i);
        }
    }

    // Every zone button of the panel marked (selected or disabled), at
    // least one selected, and the profile readable: the page reloads it and
    // the device takes it.
    void ZoneSelectionEnd(ui::TNotifyUI& msg) const {
        CVarnicMouseDevice* m = page_();
        if (m == nullptr) {
            return;
        }
        bool allMarked = true;
        bool anySelected = false;
        ForEachKeyButton(msg.pSender, [&](ui::CDeviceKeyButtonUI& button) {
            if (!IsZoneButton(button)) {
                return;
            }
            anySelected = anySelected || button.IsSelected();
            allMarked = allMarked && (button.IsSelected() || !button.IsEnabled());
        });
        if (!allMarked || !anySelected || !std::ifstream(m->GetProfilePath()).good()) {
            return;
        }
        m->LoadProfile();
        m->RefreshPage();
        SettingsWrite(*m);
        m->ApplyLighting();
    }

    void SystemSettings(int i) const {
        if ((i == 0 || i == 1) && hooks_.openSystemMouseSettings) {
            hooks_.openSystemMouseSettings(i);
        }
    }

  private:
    std::function<CVarnicMouseDevice*()> page_;
    MouseRouteHooks hooks_;
};

// The pointer-speed slider and its edit only show each other.
void PointerSliderMoved(ui::TNotifyUI& msg, int i) {
    const auto* slider = dynamic_cast<const ui::CSliderUI*>(msg.pSender);
    if (auto* edit = Sibling<ui::CControlUI>(msg, "zentor_DPI_edit_" + std::to_string(i));
        slider != nullptr && edit != nullptr) {
        edit->SetText(std::to_string(slider->GetValue()));
    }
}

void PointerEditLeft(ui::TNotifyUI& msg, int i) {
    if (msg.pSender == nullptr) {
        return;
    }
    const int value =
        std::clamp(LeadingNumber(msg.pSender->GetText()), kPointerDpiMin, kPointerDpiMax);
    msg.pSender->SetText(std::to_string(value));
    if (auto* slider = Sibling<ui::CSliderUI>(msg, "zentor_DPI_slider_" + std::to_string(i))) {
        slider->SetValue(value);
    }
}

}  // namespace

void RegisterMouseRoutes(ui::CRouteTable& table, std::function<CVarnicMouseDevice*()> currentPage,
                         MouseRouteHooks hooks) {
    auto routes = std::make_shared<const MouseRoutes>(std::move(currentPage), std::move(hooks));
    // Through its receiver the mouse page is still the mouse page.
    const std::vector<int> mouse = {kKindMouse, kKindMouseReceiver};
    auto add = [&](std::string_view type, Match match, std::string name, std::vector<int> kinds,
                   bool withoutPage, ui::CRouteTable::Handler handler) {
        table.Add({std::string(type), match, std::move(name), std::move(kinds), withoutPage,
                   std::move(handler)});
    };
    namespace n = ui::notify;
    add(n::kSelectChanged, Match::Prefix, "DPI_enable_check_", mouse, false,
        [routes](ui::TNotifyUI& msg, int i) { routes->EnableCheck(msg, i); });
    add(n::kSelectChanged, Match::Prefix, "DPI_select_check_", mouse, false,
        [routes](ui::TNotifyUI& msg, int i) { routes->SelectCheck(msg, i); });
    add(n::kValueChanged, Match::Prefix, "DPI_slider_", mouse, false,
        [routes](ui::TNotifyUI& msg, int i) { routes->StageSlider(msg, i, true); });
    add(n::kMoveValueChanged, Match::Prefix, "DPI_slider_", mouse, false,
        [routes](ui::TNotifyUI& msg, int i) { routes->StageSlider(msg, i, false); });
    add(n::kKillFocus, Match::Prefix, "DPI_edit_", mouse, false,
        [routes](ui::TNotifyUI& msg, int i) { routes->StageEdit(msg, i); });
    add(n::kClick, Match::Prefix, "DPI_color_option_", mouse, false,
        [routes](ui::TNotifyUI&, int i) { routes->StageColour(i); });
    add(n::kSelectChanged, Match::Prefix, "polling_rate_option_", {kKindMouse, kKindMouseReceiver},
        false, [routes](ui::TNotifyUI& msg, int i) { routes->PollingRate(msg, i); });
    add(n::kSelectChanged, Match::Prefix, "mouse_device_seting_option_", mouse, false,
        [routes](ui::TNotifyUI& msg, int i) { routes->SettingsTab(msg, i); });
    add(n::kClickSelectEnd, Match::AnyCase, "mouse_device_key_light", mouse, false,
        [routes](ui::TNotifyUI& msg, int) { routes->ZoneSelectionEnd(msg); });
    using Pointer = MouseRoutes::Pointer;
    auto pointer = [routes](Pointer which) {
        return [routes, which](ui::TNotifyUI& msg, int) { routes->PointerSetting(msg, which); };
    };
    add(n::kValueChanged, Match::AnyCase, "pointer_speed_slider", mouse, false,
        pointer(Pointer::Speed));
    add(n::kSelectChanged, Match::AnyCase, "pointer_precision_check", mouse, false,
        pointer(Pointer::Precision));
    add(n::kSelectChanged, Match::AnyCase, "scrolls_page_check", mouse, false,
        pointer(Pointer::PageScroll));
    add(n::kValueChanged, Match::AnyCase, "scroll_speed_slider", mouse, false,
        pointer(Pointer::ScrollSpeed));
    add(n::kValueChanged, Match::AnyCase, "double_click_slider", mouse, false,
        pointer(Pointer::DoubleClick));
    add(n::kClick, Match::Prefix, "windowdeviceset_", {}, false,
        [routes](ui::TNotifyUI&, int i) { routes->SystemSettings(i); });
    // The pointer-speed pair needs no page; a click on the track moves the
    // slider without a drag, so its release updates the edit as well.
    add(n::kMoveValueChanged, Match::Prefix, "zentor_DPI_slider_", {}, true, PointerSliderMoved);
    add(n::kValueChanged, Match::Prefix, "zentor_DPI_slider_", {}, true, PointerSliderMoved);
    add(n::kKillFocus, Match::Prefix, "zentor_DPI_edit_", {}, true, PointerEditLeft);
}

}  // namespace vextar
