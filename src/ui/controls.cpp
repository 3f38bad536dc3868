#include "ui/controls.h"

#include <algorithm>
#include <cctype>

#include "ui/paint_manager.h"

namespace vextar::ui {

// ---- label ----

UiColor CLabelUI::CurrentTextColor() const {
    return m_bEnabled ? m_dwTextColor : m_dwDisabledTextColor;
}

void CLabelUI::PaintText(IRenderTarget& target) {
    const CDuiString text = GetText();
    if (text.empty()) {
        return;
    }
    const UiRect rc =
        m_rcItem.Deflate({Scale(m_rcTextPadding.left), Scale(m_rcTextPadding.top),
                          Scale(m_rcTextPadding.right), Scale(m_rcTextPadding.bottom)});
    target.DrawText(rc, text, CurrentTextColor(), Font(), m_uTextStyle);
}

void CLabelUI::SetAttribute(std::string_view name, std::string_view value) {
    CControlUI::SetAttribute(name, value);
}

// ---- button ----

bool CButtonUI::Activate() {
    if (!CControlUI::Activate()) {
        return false;
    }
    SendNotify(notify::kClick);
    BindTriggerTabSel();
    return true;
}

void CButtonUI::BindTriggerTabSel() {
    if (m_pManager == nullptr || m_sBindTabLayoutName.empty() || m_iBindTabIndex < 0) {
        return;
    }
    if (auto* tab = dynamic_cast<CTabLayoutUI*>(m_pManager->FindControl(m_sBindTabLayoutName))) {
        tab->SelectItem(m_iBindTabIndex);
    }
}

void CButtonUI::SetEnabled(bool enabled) {
    CControlUI::SetEnabled(enabled);
    if (!enabled) {
        m_uButtonState = 0;
    }
}

void CButtonUI::DoEvent(TEventUI& event) {
    switch (event.Type) {
        case UiEvent::ButtonDown:
        case UiEvent::DblClick:
            if (m_rcItem.Contains(event.ptMouse) && IsEnabled()) {
                m_uButtonState |= kStatePushed | kStateCaptured;
                Invalidate();
            }
            return;
        case UiEvent::MouseMove:
            if ((m_uButtonState & kStateCaptured) != 0) {
                const bool inside = m_rcItem.Contains(event.ptMouse);
                const unsigned pushed = inside ? static_cast<unsigned>(kStatePushed) : 0U;
                if ((m_uButtonState & kStatePushed) != pushed) {
                    m_uButtonState = (m_uButtonState & ~kStatePushed) | pushed;
                    Invalidate();
                }
            }
            return;
        case UiEvent::ButtonUp:
            if ((m_uButtonState & kStateCaptured) != 0) {
                m_uButtonState &= ~(kStatePushed | kStateCaptured);
                Invalidate();
                if (m_rcItem.Contains(event.ptMouse)) {
                    Activate();
                }
            }
            return;
        case UiEvent::MouseEnter:
            if (IsEnabled()) {
                m_uButtonState |= kStateHot;
                Invalidate();
            }
            return;
        case UiEvent::MouseLeave:
            m_uButtonState &= ~kStateHot;
            Invalidate();
            return;
        case UiEvent::KeyDown:
            if (event.chKey == kKeyReturn || event.chKey == ' ') {
                Activate();
                return;
            }
            break;
        default:
            break;
    }
    CLabelUI::DoEvent(event);
}

void CButtonUI::SetNormalImage(std::string_view image) {
    m_sNormalImage = image;
    Invalidate();
}
void CButtonUI::SetHotImage(std::string_view image) {
    m_sHotImage = image;
    Invalidate();
}
void CButtonUI::SetPushedImage(std::string_view image) {
    m_sPushedImage = image;
    Invalidate();
}

void CButtonUI::SetAttribute(std::string_view name, std::string_view value) {
    if (name == "normalimage") {
        m_sNormalImage = value;
    } else if (name == "hotimage") {
        m_sHotImage = value;
    } else if (name == "pushedimage") {
        m_sPushedImage = value;
    } else if (name == "focusedimage") {
        m_sFocusedImage = value;
    } else if (name == "disabledimage") {
        m_sDisabledImage = value;
    } else if (name == "hottextcolor") {
        m_dwHotTextColor = ParseColor(value).value_or(0);
    } else if (name == "pushedtextcolor") {
        m_dwPushedTextColor = ParseColor(value).value_or(0);
    } else if (name == "hotbkcolor") {
        m_dwHotBkColor = ParseColor(value).value_or(0);
    } else if (name == "bindtablayoutname") {
        m_sBindTabLayoutName = value;
    } else if (name == "bindtabindex") {
        m_iBindTabIndex = ParseInt(value).value_or(-1);
    } else {
        CLabelUI::SetAttribute(name, value);
    }
}

UiColor CButtonUI::CurrentTextColor() const {
    if (!IsEnabled()) {
        return m_dwDisabledTextColor;
    }
    if ((m_uButtonState & kStatePushed) != 0 && m_dwPushedTextColor != 0) {
        return m_dwPushedTextColor;
    }
    if ((m_uButtonState & kStateHot) != 0 && m_dwHotTextColor != 0) {
        return m_dwHotTextColor;
    }
    return m_dwTextColor;
}

void CButtonUI::PaintStatusImage(IRenderTarget& target) {
    if (!IsEnabled() && DrawImage(target, m_sDisabledImage)) {
        return;
    }
    if ((m_uButtonState & kStatePushed) != 0 && DrawImage(target, m_sPushedImage)) {
        return;
    }
    if ((m_uButtonState & kStateHot) != 0) {
        if (ColorA(m_dwHotBkColor) != 0) {
            target.FillRect(m_rcItem, m_dwHotBkColor);
        }
        if (DrawImage(target, m_sHotImage)) {
            return;
        }
    }
    if (m_bFocused && DrawImage(target, m_sFocusedImage)) {
        return;
    }
    DrawImage(target, m_sNormalImage);
}

// ---- option ----

COptionUI::~COptionUI() {
    if (m_pManager != nullptr && !m_sGroupName.empty()) {
        m_pManager->RemoveOptionGroup(m_sGroupName, this);
    }
}

void COptionUI::SetGroup(std::string_view group) {
    if (m_pManager != nullptr && !m_sGroupName.empty()) {
        m_pManager->RemoveOptionGroup(m_sGroupName, this);
    }
    m_sGroupName = group;
    if (m_pManager != nullptr && !m_sGroupName.empty()) {
        m_pManager->AddOptionGroup(m_sGroupName, this);
    }
    Selected(m_bSelected, false);
}

void COptionUI::SetManager(CPaintManagerUI* manager, CControlUI* parent, bool init) {
    CButtonUI::SetManager(manager, parent, init);
    if (init && manager != nullptr && !m_sGroupName.empty()) {
        manager->AddOptionGroup(m_sGroupName, this);
    }
}

void COptionUI::Selected(bool selected, bool triggerEvent) {
    if (m_bSelected == selected) {
        return;
    }
    m_bSelected = selected;
    if (selected) {
        m_uButtonState |= kStateSelected;
    } else {
        m_uButtonState &= ~kStateSelected;
    }
    if (m_pManager != nullptr) {
        if (!m_sGroupName.empty()) {
            if (selected) {
                for (CControlUI* c : m_pManager->GetOptionGroup(m_sGroupName)) {
                    if (c != this) {
                        static_cast<COptionUI*>(c)->Selected(false, triggerEvent);
                    }
                }
                if (triggerEvent) {
                    SendNotify(notify::kSelectChanged, 1);
                }
            }
        } else if (triggerEvent) {
            SendNotify(notify::kSelectChanged, selected ? 1 : 0);
        }
    }
    Invalidate();
}

bool COptionUI::Activate() {
    if (!CButtonUI::Activate()) {
        return false;
    }
    if (!m_sGroupName.empty()) {
        Selected(true);
    } else {
        Selected(!m_bSelected);
    }
    return true;
}

void COptionUI::SetAttribute(std::string_view name, std::string_view value) {
    if (name == "group") {
        m_sGroupName = value;
    } else if (name == "selected") {
        m_bSelected = ParseBool(value).value_or(false);
        if (m_bSelected) {
            m_uButtonState |= kStateSelected;
        }
    } else if (name == "selectedimage") {
        m_sSelectedImage = value;
    } else if (name == "selectedhotimage") {
        m_sSelectedHotImage = value;
    } else if (name == "selectedtextcolor") {
        m_dwSelectedTextColor = ParseColor(value).value_or(0);
    } else if (name == "selectedbkcolor") {
        m_dwSelectedBkColor = ParseColor(value).value_or(0);
    } else {
        CButtonUI::SetAttribute(name, value);
    }
}

UiColor COptionUI::CurrentTextColor() const {
    if (m_bSelected && IsEnabled() && m_dwSelectedTextColor != 0) {
        return m_dwSelectedTextColor;
    }
    return CButtonUI::CurrentTextColor();
}

void COptionUI::PaintBkColor(IRenderTarget& target) {
    if (m_bSelected && ColorA(m_dwSelectedBkColor) != 0) {
        target.FillRect(m_rcItem, m_dwSelectedBkColor);
        return;
    }
    CButtonUI::PaintBkColor(target);
}

void COptionUI::PaintStatusImage(IRenderTarget& target) {
    if (m_bSelected) {
        if ((m_uButtonState & kStateHot) != 0 && DrawImage(target, m_sSelectedHotImage)) {
            return;
        }
        if (DrawImage(target, m_sSelectedImage)) {
            return;
        }
    }
    CButtonUI::PaintStatusImage(target);
}

// ---- edit ----

CEditUI::CEditUI() {
    m_bKeyboardEnabled = true;
    m_rcTextPadding = {4, 0, 4, 0};
}

void CEditUI::SetRange(int minimum, int maximum) {
    m_bHasRange = true;
    m_iMinValue = std::min(minimum, maximum);
    m_iMaxValue = std::max(minimum, maximum);
}

bool CEditUI::Accepts(std::string_view text) const {
    if (m_iMaxChar > 0 && static_cast<int>(text.size()) > m_iMaxChar) {
        return false;
    }
    if (m_bNumberOnly) {
        return std::all_of(text.begin(), text.end(),
                           [](char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; });
    }
    return true;
}

CDuiString CEditUI::SetTextFromUser(std::string_view text) {
    if (m_bReadOnly || !IsEnabled()) {
        return m_sText;
    }
    CDuiString kept;
    for (char c : text) {
        if (m_bNumberOnly && std::isdigit(static_cast<unsigned char>(c)) == 0) {
            continue;
        }
        if (m_iMaxChar > 0 && static_cast<int>(kept.size()) >= m_iMaxChar) {
            break;
        }
        kept.push_back(c);
    }
    if (kept != m_sText) {
        m_sText = kept;
        Invalidate();
        SendNotify(notify::kTextChanged);
    }
    return m_sText;
}

void CEditUI::Commit() {
    if (!m_bNumberOnly || !m_bHasRange) {
        return;
    }
    const std::optional<int> value = ParseInt(m_sText);
    const int clamped = std::clamp(value.value_or(m_iMinValue), m_iMinValue, m_iMaxValue);
    const CDuiString text = std::to_string(clamped);
    if (text != m_sText) {
        m_sText = text;
        Invalidate();
        SendNotify(notify::kTextChanged);
    }
}

void CEditUI::OnReturn() {
    Commit();
    SendNotify(notify::kReturn);
}

void CEditUI::DoEvent(TEventUI& event) {
    switch (event.Type) {
        case UiEvent::SetFocus:
            CLabelUI::DoEvent(event);
            SendNotify(notify::kSetFocus);
            return;
        case UiEvent::KillFocus:
            Commit();
            CLabelUI::DoEvent(event);
            SendNotify(notify::kKillFocus);
            return;
        case UiEvent::Char:
            if (event.chKey >= 0x20 && event.chKey != 0x7F) {
                std::string text = m_sText;
                if (event.chKey < 0x80) {
                    text.push_back(static_cast<char>(event.chKey));
                } else if (event.chKey < 0x800) {
                    text.push_back(static_cast<char>(0xC0 | (event.chKey >> 6)));
                    text.push_back(static_cast<char>(0x80 | (event.chKey & 0x3F)));
                } else if (event.chKey < 0x10000) {
                    text.push_back(static_cast<char>(0xE0 | (event.chKey >> 12)));
                    text.push_back(static_cast<char>(0x80 | ((event.chKey >> 6) & 0x3F)));
                    text.push_back(static_cast<char>(0x80 | (event.chKey & 0x3F)));
                } else {
                    return;
                }
                if (Accepts(text)) {
                    SetTextFromUser(text);
                }
            }
            return;
        case UiEvent::KeyDown:
            if (event.chKey == kKeyReturn) {
                OnReturn();
            } else if (event.chKey == kKeyBack && !m_sText.empty()) {
                // Remove one UTF-8 character: its continuation bytes, then its lead.
                std::string text = m_sText;
                while (!text.empty() && (static_cast<unsigned char>(text.back()) & 0xC0) == 0x80) {
                    text.pop_back();
                }
                if (!text.empty()) {
                    text.pop_back();
                }
                SetTextFromUser(text);
            }
            return;
        case UiEvent::ButtonDown:
            return;  // focus was set by the window
        default:
            break;
    }
    CLabelUI::DoEvent(event);
}

void CEditUI::SetAttribute(std::string_view name, std::string_view value) {
    if (name == "numberonly") {
        m_bNumberOnly = ParseBool(value).value_or(false);
    } else if (name == "maxchar") {
        m_iMaxChar = std::max(ParseInt(value).value_or(255), 0);
    } else if (name == "readonly") {
        m_bReadOnly = ParseBool(value).value_or(false);
    } else if (name == "password") {
        m_bPassword = ParseBool(value).value_or(false);
    } else if (name == "minvalue") {
        m_bHasRange = true;
        m_iMinValue = ParseInt(value).value_or(0);
    } else if (name == "maxvalue") {
        m_bHasRange = true;
        m_iMaxValue = ParseInt(value).value_or(0);
    } else if (name == "nativebkcolor") {
        m_dwEditBkColor = ParseColor(value).value_or(m_dwEditBkColor);
    } else {
        CLabelUI::SetAttribute(name, value);
    }
}

void CEditUI::PaintText(IRenderTarget& target) {
    if (m_bPassword) {
        const std::string masked(m_sText.size(), '*');
        const UiRect rc =
            m_rcItem.Deflate({Scale(m_rcTextPadding.left), 0, Scale(m_rcTextPadding.right), 0});
        target.DrawText(rc, masked, CurrentTextColor(), Font(), m_uTextStyle);
        return;
    }
    CLabelUI::PaintText(target);
}

CRichEditUI::CRichEditUI() {
    m_uTextStyle = kTextLeft | kTextTop | kTextWordBreak;
    m_iMaxChar = 0;  // no limit
}

void CRichEditUI::SetAttribute(std::string_view name, std::string_view value) {
    if (name == "wantreturn") {
        m_bWantReturn = ParseBool(value).value_or(false);
    } else {
        CEditUI::SetAttribute(name, value);
    }
}

void CRichEditUI::OnReturn() {
    if (m_bWantReturn) {
        SetTextFromUser(m_sText + "\n");
        return;
    }
    CEditUI::OnReturn();
}

// ---- progress and slider ----

void CProgressUI::SetMinValue(int value) {
    m_nMin = value;
    m_nValue = std::clamp(m_nValue, std::min(m_nMin, m_nMax), std::max(m_nMin, m_nMax));
    Invalidate();
}

void CProgressUI::SetMaxValue(int value) {
    m_nMax = value;
    m_nValue = std::clamp(m_nValue, std::min(m_nMin, m_nMax), std::max(m_nMin, m_nMax));
    Invalidate();
}

void CProgressUI::SetValue(int value) {
    value = std::clamp(value, std::min(m_nMin, m_nMax), std::max(m_nMin, m_nMax));
    if (value != m_nValue) {
        m_nValue = value;
        Invalidate();
    }
}

void CProgressUI::SetAttribute(std::string_view name, std::string_view value) {
    if (name == "hor") {
        m_bHorizontal = ParseBool(value).value_or(true);
    } else if (name == "min") {
        m_nMin = ParseInt(value).value_or(0);
    } else if (name == "max") {
        m_nMax = ParseInt(value).value_or(100);
    } else if (name == "value") {
        m_nValue = ParseInt(value).value_or(0);
        m_nValue = std::clamp(m_nValue, std::min(m_nMin, m_nMax), std::max(m_nMin, m_nMax));
    } else if (name == "forecolor") {
        m_dwForeColor = ParseColor(value).value_or(m_dwForeColor);
    } else if (name == "foreimage") {
        m_sForeImage = value;
    } else {
        CLabelUI::SetAttribute(name, value);
    }
}

UiRect CProgressUI::ValueRect(const UiRect& rc) const {
    if (m_nMax <= m_nMin) {
        return {rc.left, rc.top, rc.left, rc.top};
    }
    const long long span = static_cast<long long>(m_nMax) - m_nMin;
    const long long done = static_cast<long long>(m_nValue) - m_nMin;
    if (m_bHorizontal) {
        const int w = static_cast<int>(rc.Width() * done / span);
        return {rc.left, rc.top, rc.left + w, rc.bottom};
    }
    const int h = static_cast<int>(rc.Height() * done / span);
    return {rc.left, rc.bottom - h, rc.right, rc.bottom};
}

void CProgressUI::PaintStatusImage(IRenderTarget& target) {
    const UiRect done = ValueRect(m_rcItem);
    if (done.IsEmpty()) {
        return;
    }
    if (!m_sForeImage.empty()) {
        target.PushClip(done);
        DrawImage(target, m_sForeImage);
        target.PopClip();
    } else if (ColorA(m_dwForeColor) != 0) {
        target.FillRect(done, m_dwForeColor);
    }
}

UiRect CSliderUI::GetThumbRect() const {
    const int tw = Scale(m_szThumb.cx);
    const int th = Scale(m_szThumb.cy);
    const long long span = std::max(static_cast<long long>(m_nMax) - m_nMin, 1LL);
    const long long done = static_cast<long long>(m_nValue) - m_nMin;
    if (m_bHorizontal) {
        const int travel = std::max(m_rcItem.Width() - tw, 0);
        const int left = m_rcItem.left + static_cast<int>(travel * done / span);
        const int top = (m_rcItem.top + m_rcItem.bottom - th) / 2;
        return {left, top, left + tw, top + th};
    }
    const int travel = std::max(m_rcItem.Height() - th, 0);
    const int top = m_rcItem.bottom - th - static_cast<int>(travel * done / span);
    const int left = (m_rcItem.left + m_rcItem.right - tw) / 2;
    return {left, top, left + tw, top + th};
}

int CSliderUI::ValueAt(UiPoint pt) const {
    const long long span = static_cast<long long>(m_nMax) - m_nMin;
    if (span <= 0) {
        return m_nMin;
    }
    long long value = m_nMin;
    if (m_bHorizontal) {
        const int tw = Scale(m_szThumb.cx);
        const int travel = std::max(m_rcItem.Width() - tw, 1);
        const int x = std::clamp(pt.x - m_rcItem.left - tw / 2, 0, travel);
        value = m_nMin + (span * x + travel / 2) / travel;
    } else {
        const int th = Scale(m_szThumb.cy);
        const int travel = std::max(m_rcItem.Height() - th, 1);
        const int y = std::clamp(m_rcItem.bottom - th / 2 - pt.y, 0, travel);
        value = m_nMin + (span * y + travel / 2) / travel;
    }
    if (m_nStep > 1) {
        value = m_nMin + ((value - m_nMin + m_nStep / 2) / m_nStep) * m_nStep;
    }
    return static_cast<int>(std::clamp<long long>(value, m_nMin, m_nMax));
}

UiPoint CSliderUI::PointOf(int value) const {
    const long long span = std::max(static_cast<long long>(m_nMax) - m_nMin, 1LL);
    const long long done = std::clamp<long long>(value, m_nMin, m_nMax) - m_nMin;
    if (m_bHorizontal) {
        const int tw = Scale(m_szThumb.cx);
        const int travel = std::max(m_rcItem.Width() - tw, 1);
        return {m_rcItem.left + tw / 2 + static_cast<int>(travel * done / span),
                (m_rcItem.top + m_rcItem.bottom) / 2};
    }
    const int th = Scale(m_szThumb.cy);
    const int travel = std::max(m_rcItem.Height() - th, 1);
    return {(m_rcItem.left + m_rcItem.right) / 2,
            m_rcItem.bottom - th / 2 - static_cast<int>(travel * done / span)};
}

void CSliderUI::DoEvent(TEventUI& event) {
    switch (event.Type) {
        case UiEvent::ButtonDown:
        case UiEvent::DblClick:
            if (IsEnabled() && m_rcItem.Contains(event.ptMouse)) {
                m_bDragging = true;
                const int value = ValueAt(event.ptMouse);
                if (value != m_nValue) {
                    SetValue(value);
                    if (m_bSendMove) {
                        SendNotify(notify::kMoveValueChanged);
                    }
                }
            }
            return;
        case UiEvent::MouseMove:
            if (m_bDragging) {
                const int value = ValueAt(event.ptMouse);
                if (value != m_nValue) {
                    SetValue(value);
                    if (m_bSendMove) {
                        SendNotify(notify::kMoveValueChanged);
                    }
                }
            }
            return;
        case UiEvent::ButtonUp:
            if (m_bDragging) {
                m_bDragging = false;
                SetValue(ValueAt(event.ptMouse));
                SendNotify(notify::kValueChanged);
            }
            return;
        case UiEvent::KeyDown: {
            int value = m_nValue;
            if (event.chKey == kKeyLeft || event.chKey == kKeyDown) {
                value -= m_nStep;
            } else if (event.chKey == kKeyRight || event.chKey == kKeyUp) {
                value += m_nStep;
            } else {
                break;
            }
            const int before = m_nValue;
            SetValue(value);
            if (m_nValue != before) {
                SendNotify(notify::kValueChanged);
            }
            return;
        }
        case UiEvent::ScrollWheel: {
            const int before = m_nValue;
            const int delta = static_cast<int>(static_cast<intptr_t>(event.wParam));
            SetValue(m_nValue + (delta > 0 ? m_nStep : -m_nStep));
            if (m_nValue != before) {
                SendNotify(notify::kValueChanged);
            }
            return;
        }
        default:
            break;
    }
    CProgressUI::DoEvent(event);
}

void CSliderUI::SetAttribute(std::string_view name, std::string_view value) {
    if (name == "thumbsize") {
        m_szThumb = ParseSize(value).value_or(m_szThumb);
    } else if (name == "step") {
        m_nStep = std::max(ParseInt(value).value_or(1), 1);
    } else if (name == "sendmove") {
        m_bSendMove = ParseBool(value).value_or(true);
    } else if (name == "thumbimage") {
        m_sThumbImage = value;
    } else {
        CProgressUI::SetAttribute(name, value);
    }
}

void CSliderUI::PaintStatusImage(IRenderTarget& target) {
    CProgressUI::PaintStatusImage(target);
    const UiRect thumb = GetThumbRect();
    if (!m_sThumbImage.empty()) {
        ImageDescription image = ParseImageDescription(m_sThumbImage);
        target.DrawImage(thumb, image);
    } else {
        target.FillEllipse(thumb, IsEnabled() ? 0xFFFFFFFF : 0xFFC0C0C0);
        target.DrawRect(thumb, 1, 0xFF808080);
    }
}

// ---- list ----

bool IListItemUI::Select(bool select, bool triggerEvent) {
    if (!ItemControl().IsEnabled() || m_pOwner == nullptr) {
        return false;
    }
    if (select) {
        return m_pOwner->SelectItem(m_iIndex, false, triggerEvent);
    }
    SetSelectedState(false);
    return true;
}

void IListItemUI::SetSelectedState(bool selected) {
    if (m_bSelected != selected) {
        m_bSelected = selected;
        ItemControl().Invalidate();
    }
}

bool IListItemUI::ActivateItem() {
    CControlUI& self = ItemControl();
    if (!self.CControlUI::Activate()) {
        return false;
    }
    if (self.GetManager() != nullptr) {
        self.GetManager()->SendNotify(&self, notify::kItemActivate);
    }
    return true;
}

bool IListItemUI::HandleItemEvent(TEventUI& event) {
    CControlUI& self = ItemControl();
    switch (event.Type) {
        case UiEvent::ButtonDown:
        case UiEvent::RButtonDown:
            if (self.IsEnabled() && m_pOwner != nullptr) {
                if ((event.wKeyState & kKeyControl) != 0 && m_pOwner->IsMultiSelect()) {
                    m_pOwner->ToggleItem(m_iIndex);
                } else {
                    Select();
                }
            }
            return true;
        case UiEvent::ButtonUp:
            if (self.IsEnabled() && self.GetManager() != nullptr) {
                self.GetManager()->SendNotify(&self, notify::kItemClick);
            }
            return true;
        case UiEvent::DblClick:
            if (self.IsEnabled()) {
                self.Activate();
            }
            return true;
        case UiEvent::KeyDown:
            if (event.chKey == kKeyReturn && self.IsEnabled()) {
                self.Activate();
                if (self.GetManager() != nullptr) {
                    self.GetManager()->SendNotify(&self, notify::kReturn);
                }
                return true;
            }
            return false;
        case UiEvent::MouseEnter:
        case UiEvent::MouseLeave:
            m_bHot = event.Type == UiEvent::MouseEnter;
            self.Invalidate();
            return true;
        default:
            return false;
    }
}

void IListItemUI::PaintItemBk(IRenderTarget& target, UiColor own) {
    const UiRect& rc = ItemControl().GetPos();
    if (m_pOwner != nullptr && m_bSelected && ColorA(m_pOwner->GetSelectedBkColor()) != 0) {
        target.FillRect(rc, m_pOwner->GetSelectedBkColor());
    } else if (m_pOwner != nullptr && m_bHot && ColorA(m_pOwner->GetHotBkColor()) != 0) {
        target.FillRect(rc, m_pOwner->GetHotBkColor());
    } else if (ColorA(own) != 0) {
        target.FillRect(rc, own);
    }
}

void CListElementUI::DoEvent(TEventUI& event) {
    if (!HandleItemEvent(event)) {
        CControlUI::DoEvent(event);
    }
}

void CListLabelElementUI::PaintText(IRenderTarget& target) {
    if (m_sText.empty()) {
        return;
    }
    const UiRect rc =
        m_rcItem.Deflate({Scale(m_rcTextPadding.left), Scale(m_rcTextPadding.top),
                          Scale(m_rcTextPadding.right), Scale(m_rcTextPadding.bottom)});
    target.DrawText(rc, m_sText, IsEnabled() ? m_dwTextColor : m_dwDisabledTextColor, Font(),
                    m_uTextStyle);
}

CDuiString CListTextElementUI::GetText(int column) const {
    if (column < 0 || column >= static_cast<int>(m_aTexts.size())) {
        return {};
    }
    return m_aTexts[static_cast<std::size_t>(column)];
}

void CListTextElementUI::SetText(int column, std::string_view text) {
    if (column < 0 || column > 255) {
        return;
    }
    if (column >= static_cast<int>(m_aTexts.size())) {
        m_aTexts.resize(static_cast<std::size_t>(column) + 1);
    }
    m_aTexts[static_cast<std::size_t>(column)] = text;
    Invalidate();
}

void CListTextElementUI::PaintText(IRenderTarget& target) {
    if (m_aTexts.empty()) {
        CListLabelElementUI::PaintText(target);
        return;
    }
    const int n = static_cast<int>(m_aTexts.size());
    const int width = m_rcItem.Width() / n;
    for (int i = 0; i < n; ++i) {
        const UiRect rc{m_rcItem.left + i * width, m_rcItem.top, m_rcItem.left + (i + 1) * width,
                        m_rcItem.bottom};
        target.DrawText(rc.Deflate({Scale(4), 0, Scale(4), 0}),
                        m_aTexts[static_cast<std::size_t>(i)], m_dwTextColor, Font(), m_uTextStyle);
    }
}

void CListContainerElementUI::DoEvent(TEventUI& event) {
    if (!HandleItemEvent(event)) {
        CHorizontalLayoutUI::DoEvent(event);
    }
}

void CListUI::Reindex() {
    int index = 0;
    for (auto& item : m_items) {
        if (auto* row = dynamic_cast<IListItemUI*>(item.get())) {
            row->SetOwner(this);
            row->SetIndex(index);
        }
        ++index;
    }
}

void CListUI::DoInit() {
    Reindex();
    if (m_iInitialSel >= 0 && m_iInitialSel < GetCount()) {
        SelectItem(m_iInitialSel, false, false);
    }
}

namespace {

void MarkSelected(CControlUI* item, bool selected) {
    if (auto* row = dynamic_cast<IListItemUI*>(item)) {
        row->SetSelectedState(selected);
    }
}

bool IsMarked(CControlUI* item) {
    const auto* row = dynamic_cast<const IListItemUI*>(item);
    return row != nullptr && row->IsSelected();
}

}  // namespace

bool CListUI::SelectItem(int index, bool takeFocus, bool triggerEvent) {
    Reindex();
    if (index < -1 || index >= GetCount()) {
        return false;
    }
    const int old = m_iCurSel;
    for (int i = 0; i < GetCount(); ++i) {
        MarkSelected(GetItemAt(i), i == index);
    }
    m_iCurSel = index;
    if (takeFocus && index >= 0) {
        GetItemAt(index)->SetFocus();
    }
    if (triggerEvent && old != index) {
        SendNotify(notify::kItemSelect, static_cast<uintptr_t>(index), old);
    }
    Invalidate();
    return true;
}

bool CListUI::ToggleItem(int index) {
    Reindex();
    CControlUI* item = GetItemAt(index);
    if (item == nullptr) {
        return false;
    }
    MarkSelected(item, !IsMarked(item));
    m_iCurSel = IsMarked(item) ? index : m_iCurSel;
    SendNotify(notify::kItemSelect, static_cast<uintptr_t>(index), m_iCurSel);
    return true;
}

std::vector<int> CListUI::GetSelectedItems() const {
    std::vector<int> selected;
    for (int i = 0; i < GetCount(); ++i) {
        if (IsMarked(GetItemAt(i))) {
            selected.push_back(i);
        }
    }
    return selected;
}

void CListUI::SetAttribute(std::string_view name, std::string_view value) {
    if (name == "multiselect") {
        m_bMultiSelect = ParseBool(value).value_or(false);
    } else if (name == "cursel") {
        m_iInitialSel = ParseInt(value).value_or(-1);
    } else if (name == "itemhotbordercolor" || name == "hotbordercolor") {
        m_dwHotBorderColor = ParseColor(value).value_or(0);
    } else if (name == "itemselectedbkcolor") {
        m_dwSelectedBkColor = ParseColor(value).value_or(m_dwSelectedBkColor);
    } else if (name == "itemhotbkcolor") {
        m_dwHotBkColor = ParseColor(value).value_or(m_dwHotBkColor);
    } else {
        CVerticalLayoutUI::SetAttribute(name, value);
    }
}

// ---- combo ----

namespace {
std::function<void(CComboUI*)>& DropDownHook() {
    static std::function<void(CComboUI*)> hook;
    return hook;
}
}  // namespace

CComboUI::CComboUI() {
    m_uTextStyle = kTextLeft | kTextVCenter | kTextSingleLine;
    m_rcTextPadding = {4, 0, 20, 0};
    m_bKeyboardEnabled = true;
}

void CComboUI::SetDropDownHook(std::function<void(CComboUI*)> hook) {
    DropDownHook() = std::move(hook);
}

CDuiString CComboUI::GetText() const {
    const CControlUI* item = GetItemAt(m_iCurSel);
    return item != nullptr ? item->GetText() : CDuiString{};
}

bool CComboUI::Activate() {
    if (!CControlUI::Activate()) {
        return false;
    }
    if (DropDownHook()) {
        DropDownHook()(this);
    }
    return true;
}

void CComboUI::DoEvent(TEventUI& event) {
    switch (event.Type) {
        case UiEvent::ButtonDown:
            if (IsEnabled() && m_rcItem.Contains(event.ptMouse)) {
                m_uButtonState |= kStatePushed | kStateCaptured;
                Invalidate();
            }
            return;
        case UiEvent::ButtonUp:
            if ((m_uButtonState & kStateCaptured) != 0) {
                m_uButtonState &= ~(kStatePushed | kStateCaptured);
                Invalidate();
                if (m_rcItem.Contains(event.ptMouse)) {
                    Activate();
                }
            }
            return;
        case UiEvent::MouseEnter:
            m_uButtonState |= kStateHot;
            Invalidate();
            return;
        case UiEvent::MouseLeave:
            m_uButtonState &= ~kStateHot;
            Invalidate();
            return;
        case UiEvent::KeyDown:
            if (event.chKey == kKeyUp && m_iCurSel > 0) {
                SelectItem(m_iCurSel - 1);
                return;
            }
            if (event.chKey == kKeyDown && m_iCurSel + 1 < GetCount()) {
                SelectItem(m_iCurSel + 1);
                return;
            }
            break;
        default:
            break;
    }
    CControlUI::DoEvent(event);
}

void CComboUI::SetPos(const UiRect& rc) {
    // The elements live in the drop-down, not inside the combo.
    CControlUI::SetPos(rc);
}

CControlUI* CComboUI::FindAt(UiPoint pt) {
    return CControlUI::FindAt(pt);
}

void CComboUI::DoPaint(IRenderTarget& target, const UiRect& dirty) {
    if (!m_rcItem.Intersects(dirty)) {
        return;
    }
    PaintBkColor(target);
    PaintBkImage(target);
    if ((m_uButtonState & kStateHot) == 0 || !DrawImage(target, m_sHotImage)) {
        DrawImage(target, m_sNormalImage);
    }
    const CDuiString text = GetText();
    if (!text.empty()) {
        const UiRect area =
            m_rcItem.Deflate({Scale(m_rcTextPadding.left), Scale(m_rcTextPadding.top),
                              Scale(m_rcTextPadding.right), Scale(m_rcTextPadding.bottom)});
        target.DrawText(area, text, IsEnabled() ? m_dwTextColor : m_dwDisabledTextColor, Font(),
                        m_uTextStyle);
    }
    // The drop-down arrow.
    const int cx = m_rcItem.right - Scale(10);
    const int cy = (m_rcItem.top + m_rcItem.bottom) / 2;
    target.DrawLine({cx - Scale(4), cy - Scale(2)}, {cx, cy + Scale(2)}, 1, m_dwTextColor);
    target.DrawLine({cx, cy + Scale(2)}, {cx + Scale(4), cy - Scale(2)}, 1, m_dwTextColor);
    PaintBorder(target);
}

void CComboUI::SetAttribute(std::string_view name, std::string_view value) {
    if (name == "normalimage") {
        m_sNormalImage = value;
    } else if (name == "hotimage") {
        m_sHotImage = value;
    } else {
        CListUI::SetAttribute(name, value);
    }
}

// ---- colour palette ----

UiColor HsvToColor(int hue, int saturation, int value) {
    hue = ((hue % 360) + 360) % 360;
    saturation = std::clamp(saturation, 0, 255);
    value = std::clamp(value, 0, 255);
    const int region = hue / 60;
    const int remainder = (hue % 60) * 255 / 60;
    const int p = value * (255 - saturation) / 255;
    const int q = value * (255 - saturation * remainder / 255) / 255;
    const int t = value * (255 - saturation * (255 - remainder) / 255) / 255;
    int r = 0;
    int g = 0;
    int b = 0;
    switch (region) {
        case 0:
            r = value;
            g = t;
            b = p;
            break;
        case 1:
            r = q;
            g = value;
            b = p;
            break;
        case 2:
            r = p;
            g = value;
            b = t;
            break;
        case 3:
            r = p;
            g = q;
            b = value;
            break;
        case 4:
            r = t;
            g = p;
            b = value;
            break;
        default:
            r = value;
            g = p;
            b = q;
            break;
    }
    return MakeColor(0xFF, static_cast<uint8_t>(r), static_cast<uint8_t>(g),
                     static_cast<uint8_t>(b));
}

UiRect CColorPaletteUI::FieldRect() const {
    return {m_rcItem.left, m_rcItem.top, m_rcItem.right,
            m_rcItem.bottom - Scale(m_nBarHeight) - Scale(4)};
}

UiRect CColorPaletteUI::BarRect() const {
    return {m_rcItem.left, m_rcItem.bottom - Scale(m_nBarHeight), m_rcItem.right, m_rcItem.bottom};
}

UiColor CColorPaletteUI::ColorAt(UiPoint pt) const {
    const UiRect field = FieldRect();
    const UiRect bar = BarRect();
    if (bar.Contains(pt)) {
        const int v = std::clamp((pt.x - bar.left) * 255 / std::max(bar.Width() - 1, 1), 0, 255);
        return HsvToColor(m_nHue, m_nSaturation, v);
    }
    const int x = std::clamp(pt.x, field.left, field.right - 1) - field.left;
    const int y = std::clamp(pt.y, field.top, field.bottom - 1) - field.top;
    const int hue = x * 359 / std::max(field.Width() - 1, 1);
    const int sat = 255 - y * 255 / std::max(field.Height() - 1, 1);
    return HsvToColor(hue, sat, m_nBrightness);
}

void CColorPaletteUI::Pick(UiPoint pt) {
    const UiRect field = FieldRect();
    const UiRect bar = BarRect();
    if (bar.Contains(pt)) {
        m_nBrightness = std::clamp((pt.x - bar.left) * 255 / std::max(bar.Width() - 1, 1), 0, 255);
    } else {
        const int x = std::clamp(pt.x, field.left, field.right - 1) - field.left;
        const int y = std::clamp(pt.y, field.top, field.bottom - 1) - field.top;
        m_nHue = x * 359 / std::max(field.Width() - 1, 1);
        m_nSaturation = 255 - y * 255 / std::max(field.Height() - 1, 1);
    }
    const UiColor color = HsvToColor(m_nHue, m_nSaturation, m_nBrightness);
    if (color != m_dwSelectColor) {
        m_dwSelectColor = color;
        Invalidate();
        SendNotify(notify::kColorChanged, color);
    }
}

void CColorPaletteUI::SetSelectColor(UiColor color) {
    // Hue, saturation and value of the colour, so the marks follow it.
    const int r = ColorR(color);
    const int g = ColorG(color);
    const int b = ColorB(color);
    const int maxc = std::max({r, g, b});
    const int minc = std::min({r, g, b});
    const int delta = maxc - minc;
    int hue = 0;
    if (delta != 0) {
        if (maxc == r) {
            hue = 60 * (g - b) / delta;
        } else if (maxc == g) {
            hue = 120 + 60 * (b - r) / delta;
        } else {
            hue = 240 + 60 * (r - g) / delta;
        }
    }
    m_nHue = (hue + 360) % 360;
    m_nSaturation = maxc == 0 ? 0 : delta * 255 / maxc;
    m_nBrightness = maxc;
    m_dwSelectColor = 0xFF000000U | (color & 0x00FFFFFFU);
    Invalidate();
}

void CColorPaletteUI::DoEvent(TEventUI& event) {
    switch (event.Type) {
        case UiEvent::ButtonDown:
            if (IsEnabled()) {
                m_bDragging = true;
                Pick(event.ptMouse);
            }
            return;
        case UiEvent::MouseMove:
            if (m_bDragging) {
                Pick(event.ptMouse);
            }
            return;
        case UiEvent::ButtonUp:
            m_bDragging = false;
            return;
        default:
            break;
    }
    CControlUI::DoEvent(event);
}

void CColorPaletteUI::SetAttribute(std::string_view name, std::string_view value) {
    if (name == "barheight") {
        m_nBarHeight = std::max(ParseInt(value).value_or(12), 4);
    } else if (name == "selectcolor") {
        if (const auto c = ParseColor(value)) {
            SetSelectColor(*c);
        }
    } else {
        CControlUI::SetAttribute(name, value);
    }
}

void CColorPaletteUI::DoPaint(IRenderTarget& target, const UiRect& dirty) {
    if (!m_rcItem.Intersects(dirty)) {
        return;
    }
    const UiRect field = FieldRect();
    // Hue across, saturation down: strips of full colour fading to grey.
    const int strip = std::max(Scale(4), 1);
    for (int x = field.left; x < field.right; x += strip) {
        const int hue = (x - field.left) * 359 / std::max(field.Width() - 1, 1);
        const UiRect rc{x, field.top, std::min(x + strip, field.right), field.bottom};
        target.FillGradient(rc, HsvToColor(hue, 255, m_nBrightness),
                            HsvToColor(hue, 0, m_nBrightness), true);
    }
    const UiRect bar = BarRect();
    target.FillGradient(bar, 0xFF000000, HsvToColor(m_nHue, m_nSaturation, 255), false);
    // Marks of the selected colour.
    const int mx = field.left + m_nHue * std::max(field.Width() - 1, 1) / 359;
    const int my = field.top + (255 - m_nSaturation) * std::max(field.Height() - 1, 1) / 255;
    target.DrawRect({mx - 3, my - 3, mx + 4, my + 4}, 1, 0xFFFFFFFF);
    const int bx = bar.left + m_nBrightness * std::max(bar.Width() - 1, 1) / 255;
    target.DrawRect({bx - 2, bar.top, bx + 3, bar.bottom}, 1, 0xFFFFFFFF);
    PaintBorder(target);
}

}  // namespace vextar::ui
