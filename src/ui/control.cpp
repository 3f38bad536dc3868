#include "ui/control.h"

#include "ui/paint_manager.h"
#include "ui/resource_manager.h"

namespace vextar::ui {

CControlUI::CControlUI() = default;

CControlUI::~CControlUI() {
    if (m_pManager != nullptr) {
        m_pManager->ReapObjects(this);
    }
}

void CControlUI::SetText(std::string_view text) {
    if (m_sText == text) {
        return;
    }
    m_sText = text;
    Invalidate();
}

void CControlUI::SetVisible(bool visible) {
    if (m_bVisible == visible) {
        return;
    }
    m_bVisible = visible;
    if (!visible && m_bFocused && m_pManager != nullptr) {
        m_pManager->SetFocus(nullptr);
    }
    NeedParentUpdate();
}

void CControlUI::SetEnabled(bool enabled) {
    if (m_bEnabled == enabled) {
        return;
    }
    m_bEnabled = enabled;
    Invalidate();
}

void CControlUI::SetFocus() {
    if (m_pManager != nullptr) {
        m_pManager->SetFocus(this);
    }
}

void CControlUI::SetBkColor(UiColor color) {
    if (m_dwBackColor != color) {
        m_dwBackColor = color;
        Invalidate();
    }
}

void CControlUI::SetTextColor(UiColor color) {
    if (m_dwTextColor != color) {
        m_dwTextColor = color;
        Invalidate();
    }
}

void CControlUI::SetBorderColor(UiColor color) {
    if (m_dwBorderColor != color) {
        m_dwBorderColor = color;
        Invalidate();
    }
}

void CControlUI::SetBkImage(std::string_view image) {
    if (m_sBkImage != image) {
        m_sBkImage = image;
        Invalidate();
    }
}

void CControlUI::SetFont(int index) {
    m_iFont = index;
    Invalidate();
}

void CControlUI::SetTextStyle(unsigned style) {
    m_uTextStyle = style;
    Invalidate();
}

void CControlUI::SetPadding(const UiRect& padding) {
    m_rcPadding = padding;
    NeedParentUpdate();
}

void CControlUI::SetFixedWidth(int cx) {
    m_cxyFixed.cx = std::max(cx, 0);
    NeedParentUpdate();
}

void CControlUI::SetFixedHeight(int cy) {
    m_cxyFixed.cy = std::max(cy, 0);
    NeedParentUpdate();
}

void CControlUI::SetFloat(bool isFloat) {
    m_bFloat = isFloat;
    NeedParentUpdate();
}

void CControlUI::SetFloatPos(const UiRect& rc) {
    m_rcFloat = rc;
    m_bFloat = true;
    NeedParentUpdate();
}

void CControlUI::SetPos(const UiRect& rc) {
    if (m_rcItem == rc) {
        return;
    }
    Invalidate();
    m_rcItem = rc;
    Invalidate();
}

UiSize CControlUI::EstimateSize(UiSize) const {
    return {Scale(m_cxyFixed.cx), Scale(m_cxyFixed.cy)};
}

void CControlUI::SetManager(CPaintManagerUI* manager, CControlUI* parent, bool init) {
    m_pManager = manager;
    m_pParent = parent;
    if (init && manager != nullptr) {
        DoInit();
    }
}

CControlUI* CControlUI::FindByName(std::string_view name) {
    return EqualsNoCase(m_sName, name) ? this : nullptr;
}

CControlUI* CControlUI::FindAt(UiPoint pt) {
    if (!m_bVisible || !m_bMouseEnabled || !m_rcItem.Contains(pt)) {
        return nullptr;
    }
    return this;
}

void CControlUI::SetAttribute(std::string_view name, std::string_view value) {
    if (name == "name") {
        m_sName = value;
    } else if (name == "text") {
        const std::string_view id = CResourceManager::TextId(value);
        m_sTextId = id;
        SetText(id.empty() ? value : std::string_view(CResourceManager::Instance().GetText(id)));
    } else if (name == "tooltip") {
        // "%{id}": the language's text, again after each language change.
        const std::string_view id = CResourceManager::TextId(value);
        m_sToolTipId = id;
        m_sToolTip = id.empty() ? std::string(value) : CResourceManager::Instance().GetText(id);
    } else if (name == "userdata") {
        m_sUserData = value;
    } else if (name == "visible") {
        SetVisible(ParseBool(value).value_or(true));
    } else if (name == "enabled") {
        SetEnabled(ParseBool(value).value_or(true));
    } else if (name == "mouse") {
        m_bMouseEnabled = ParseBool(value).value_or(true);
    } else if (name == "keyboard") {
        m_bKeyboardEnabled = ParseBool(value).value_or(true);
    } else if (name == "menu") {
        m_bMenuUsed = ParseBool(value).value_or(false);
    } else if (name == "bkcolor") {
        m_dwBackColor = ParseColor(value).value_or(0);
    } else if (name == "textcolor") {
        m_dwTextColor = ParseColor(value).value_or(m_dwTextColor);
    } else if (name == "disabledtextcolor") {
        m_dwDisabledTextColor = ParseColor(value).value_or(m_dwDisabledTextColor);
    } else if (name == "bordercolor") {
        m_dwBorderColor = ParseColor(value).value_or(0);
    } else if (name == "bordersize") {
        m_nBorderSize = std::max(ParseInt(value).value_or(0), 0);
    } else if (name == "bkimage") {
        m_sBkImage = value;
    } else if (name == "font") {
        m_iFont = ParseInt(value).value_or(-1);
    } else if (name == "align") {
        unsigned horizontal = kTextLeft;
        if (value.find("center") != std::string_view::npos) {
            horizontal = kTextCenter;
        } else if (value.find("right") != std::string_view::npos) {
            horizontal = kTextRight;
        }
        m_uTextStyle = (m_uTextStyle & ~(kTextCenter | kTextRight)) | horizontal;
    } else if (name == "valign") {
        unsigned vertical = kTextVCenter;
        if (value.find("top") != std::string_view::npos) {
            vertical = kTextTop;
        } else if (value.find("bottom") != std::string_view::npos) {
            vertical = kTextBottom;
        }
        m_uTextStyle = (m_uTextStyle & ~(kTextVCenter | kTextBottom)) | vertical;
    } else if (name == "wordbreak") {
        if (ParseBool(value).value_or(false)) {
            m_uTextStyle = (m_uTextStyle & ~kTextSingleLine) | kTextWordBreak;
        }
    } else if (name == "endellipsis") {
        if (ParseBool(value).value_or(false)) {
            m_uTextStyle |= kTextEndEllipsis;
        }
    } else if (name == "textpadding") {
        m_rcTextPadding = ParseRect(value).value_or(UiRect{});
    } else if (name == "padding") {
        m_rcPadding = ParseRect(value).value_or(UiRect{});
    } else if (name == "width") {
        m_cxyFixed.cx = std::max(ParseInt(value).value_or(0), 0);
    } else if (name == "height") {
        m_cxyFixed.cy = std::max(ParseInt(value).value_or(0), 0);
    } else if (name == "minwidth") {
        m_cxyMin.cx = std::max(ParseInt(value).value_or(0), 0);
    } else if (name == "minheight") {
        m_cxyMin.cy = std::max(ParseInt(value).value_or(0), 0);
    } else if (name == "float") {
        m_bFloat = ParseBool(value).value_or(false);
    } else if (name == "pos") {
        if (const auto rc = ParseRect(value)) {
            m_rcFloat = *rc;
            if (m_cxyFixed.cx == 0) {
                m_cxyFixed.cx = rc->Width();
            }
            if (m_cxyFixed.cy == 0) {
                m_cxyFixed.cy = rc->Height();
            }
        }
    }
}

void CControlUI::DoEvent(TEventUI& event) {
    switch (event.Type) {
        case UiEvent::SetFocus:
            m_bFocused = true;
            Invalidate();
            break;
        case UiEvent::KillFocus:
            m_bFocused = false;
            Invalidate();
            break;
        case UiEvent::Timer:
            SendNotify(notify::kTimer, event.wParam, event.lParam);
            break;
        case UiEvent::ContextMenu:
            if (m_bMenuUsed) {
                SendNotify(notify::kMenu, static_cast<uintptr_t>(event.ptMouse.x),
                           static_cast<intptr_t>(event.ptMouse.y));
                return;
            }
            break;
        default:
            break;
    }
    // Events a control does not use go up to its parent.
    if (m_pParent != nullptr && event.Type != UiEvent::SetFocus &&
        event.Type != UiEvent::KillFocus && event.Type != UiEvent::Timer &&
        event.Type != UiEvent::MouseEnter && event.Type != UiEvent::MouseLeave) {
        m_pParent->DoEvent(event);
    }
}

bool CControlUI::Activate() {
    return m_bVisible && m_bEnabled;
}

void CControlUI::DoPaint(IRenderTarget& target, const UiRect& dirty) {
    if (!m_rcItem.Intersects(dirty)) {
        return;
    }
    PaintBkColor(target);
    PaintBkImage(target);
    PaintStatusImage(target);
    PaintText(target);
    PaintBorder(target);
}

void CControlUI::PaintBkColor(IRenderTarget& target) {
    if (ColorA(m_dwBackColor) != 0) {
        target.FillRect(m_rcItem, m_dwBackColor);
    }
}

void CControlUI::PaintBkImage(IRenderTarget& target) {
    DrawImage(target, m_sBkImage);
}

void CControlUI::PaintBorder(IRenderTarget& target) {
    if (m_nBorderSize > 0 && ColorA(m_dwBorderColor) != 0) {
        target.DrawRect(m_rcItem, Scale(m_nBorderSize), m_dwBorderColor);
    }
}

bool CControlUI::DrawImage(IRenderTarget& target, std::string_view description) {
    if (description.empty()) {
        return false;
    }
    ImageDescription image = ParseImageDescription(description);
    if (image.Empty()) {
        return false;
    }
    if (image.dest) {
        // dest is relative to the control, at 96 DPI.
        image.dest = UiRect{Scale(image.dest->left), Scale(image.dest->top),
                            Scale(image.dest->right), Scale(image.dest->bottom)};
    }
    return target.DrawImage(m_rcItem, image);
}

void CControlUI::Invalidate() {
    if (m_pManager != nullptr && m_bVisible && !m_rcItem.IsEmpty()) {
        m_pManager->Invalidate(m_rcItem);
    }
}

void CControlUI::NeedParentUpdate() {
    if (m_pManager != nullptr) {
        m_pManager->NeedUpdate();
        Invalidate();
        if (m_pParent != nullptr) {
            m_pParent->Invalidate();
        }
    }
}

void CControlUI::NeedUpdate() {
    NeedParentUpdate();
}

int CControlUI::Scale(int value) const {
    return m_pManager != nullptr ? m_pManager->Scale(value) : value;
}

void CControlUI::SendNotify(std::string_view type, uintptr_t wParam, intptr_t lParam) {
    if (m_pManager != nullptr) {
        m_pManager->SendNotify(this, type, wParam, lParam);
    }
}

FontInfo CControlUI::Font() const {
    FontInfo font = m_pManager != nullptr ? m_pManager->GetFont(m_iFont) : FontInfo{};
    font.size = Scale(font.size);
    return font;
}

}  // namespace vextar::ui
