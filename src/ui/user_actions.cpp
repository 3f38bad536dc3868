#include "ui/user_actions.h"

#include <cstdint>

namespace vextar::ui {

bool CUserActions::Reachable(CControlUI* control, UiPoint& pt) {
    if (control == nullptr) {
        return false;
    }
    pm_.UpdateLayout();
    for (CControlUI* c = control; c != nullptr; c = c->GetParent()) {
        if (!c->IsVisible()) {
            return false;
        }
    }
    if (!control->IsEnabled() || control->GetPos().IsEmpty()) {
        return false;
    }
    pt = control->GetPos().Center();
    // The pointer reaches the control or something inside it.
    for (CControlUI* hit = pm_.FindControl(pt); hit != nullptr; hit = hit->GetParent()) {
        if (hit == control) {
            return true;
        }
    }
    return false;
}

bool CUserActions::ClickAt(UiPoint pt, uint16_t keyState) {
    pm_.OnMouseMove(pt, keyState);
    pm_.OnButtonDown(pt, keyState);
    pm_.OnButtonUp(pt, keyState);
    return true;
}

bool CUserActions::Click(CControlUI* control) {
    UiPoint pt;
    if (!Reachable(control, pt)) {
        return false;
    }
    return ClickAt(pt);
}

bool CUserActions::DoubleClick(CControlUI* control) {
    UiPoint pt;
    if (!Reachable(control, pt)) {
        return false;
    }
    pm_.OnMouseMove(pt);
    pm_.OnButtonDown(pt);
    pm_.OnButtonUp(pt);
    pm_.OnDoubleClick(pt);
    pm_.OnButtonUp(pt);
    return true;
}

bool CUserActions::RightClick(CControlUI* control) {
    UiPoint pt;
    if (!Reachable(control, pt)) {
        return false;
    }
    pm_.OnMouseMove(pt);
    pm_.OnRightButtonDown(pt);
    pm_.OnContextMenu(pt);
    return true;
}

bool CUserActions::DragSlider(CSliderUI* slider, int value) {
    UiPoint pt;
    if (!Reachable(slider, pt)) {
        return false;
    }
    const UiPoint from = slider->PointOf(slider->GetValue());
    const UiPoint to = slider->PointOf(value);
    return Drag(from, to);
}

bool CUserActions::Drag(UiPoint from, UiPoint to, int steps) {
    steps = std::max(steps, 1);
    pm_.OnMouseMove(from);
    pm_.OnButtonDown(from);
    for (int i = 1; i <= steps; ++i) {
        const UiPoint p{from.x + (to.x - from.x) * i / steps, from.y + (to.y - from.y) * i / steps};
        pm_.OnMouseMove(p);
    }
    pm_.OnButtonUp(to);
    return true;
}

bool CUserActions::TypeText(CEditUI* edit, std::string_view text) {
    if (pm_.GetFocus() != edit && !Click(edit)) {
        return false;
    }
    // One code point at a time, from UTF-8.
    for (std::size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        uint32_t cp = lead;
        std::size_t len = 1;
        if (lead >= 0xF0) {
            cp = lead & 0x07U;
            len = 4;
        } else if (lead >= 0xE0) {
            cp = lead & 0x0FU;
            len = 3;
        } else if (lead >= 0xC0) {
            cp = lead & 0x1FU;
            len = 2;
        }
        for (std::size_t k = 1; k < len && i + k < text.size(); ++k) {
            cp = (cp << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3FU);
        }
        i += len;
        if (cp == '\n') {
            pm_.OnKeyDown(kKeyReturn);
        } else {
            pm_.OnChar(cp);
        }
    }
    return true;
}

bool CUserActions::ReplaceText(CEditUI* edit, std::string_view text) {
    if (pm_.GetFocus() != edit && !Click(edit)) {
        return false;
    }
    while (!edit->GetText().empty()) {
        const std::size_t before = edit->GetText().size();
        pm_.OnKeyDown(kKeyBack);
        if (edit->GetText().size() == before) {
            return false;  // read-only
        }
    }
    return TypeText(edit, text);
}

bool CUserActions::PressKey(uint32_t key, uint16_t keyState) {
    if (pm_.GetFocus() == nullptr) {
        return false;
    }
    pm_.OnKeyDown(key, keyState);
    return true;
}

void CUserActions::KillFocus() {
    pm_.SetFocus(nullptr);
}

bool CUserActions::PickComboItem(CComboUI* combo, int index) {
    if (index < 0 || index >= combo->GetCount() || !Click(combo)) {
        return false;
    }
    // The drop-down's choice selects the element, as the window's list does.
    return combo->SelectItem(index, false, true);
}

bool CUserActions::Hover(CControlUI* control) {
    UiPoint pt;
    if (!Reachable(control, pt)) {
        return false;
    }
    pm_.OnMouseMove(pt);
    return true;
}

void CUserActions::LeaveWindow() {
    pm_.OnMouseLeaveWindow();
}

}  // namespace vextar::ui
