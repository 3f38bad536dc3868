#include "ui/widgets/widgets.h"

#include <algorithm>
#include <cstdio>

#include "ui/dialog_builder.h"
#include "ui/paint_manager.h"

namespace vextar::ui {

// ---- circle progress ----

void CCircleProgressUI::SetBackColor(UiColor color) {
    m_dwCircleBackColor = color;
    Invalidate();
}

void CCircleProgressUI::SetForeColor(UiColor color) {
    m_dwForeColor = color;
    Invalidate();
}

float CCircleProgressUI::SweepDegrees() const {
    if (m_nMax <= m_nMin) {
        return 0.0F;  // an empty ring rather than a division by zero
    }
    const double share =
        (static_cast<double>(m_nValue) - m_nMin) / (static_cast<double>(m_nMax) - m_nMin);
    return static_cast<float>(std::clamp(share, 0.0, 1.0) * 360.0);
}

void CCircleProgressUI::SetAttribute(std::string_view name, std::string_view value) {
    if (name == "backcolor") {
        m_dwCircleBackColor = ParseColor(value).value_or(m_dwCircleBackColor);
    } else {
        CProgressUI::SetAttribute(name, value);
    }
}

void CCircleProgressUI::DoPaint(IRenderTarget& target, const UiRect& dirty) {
    if (!m_rcItem.Intersects(dirty)) {
        return;
    }
    PaintBkColor(target);
    target.FillEllipse(m_rcItem, m_dwCircleBackColor);
    const float sweep = SweepDegrees();
    if (sweep > 0.0F) {
        target.FillPie(m_rcItem, 90.0F, sweep, m_dwForeColor);
    }
    const int inset = Scale(10);
    const UiRect inner = m_rcItem.Deflate({inset, inset, inset, inset});
    if (!inner.IsEmpty()) {
        target.FillEllipse(inner, 0xFFFFFFFF);
    }
    PaintText(target);
}

// ---- device key button ----

void CDeviceKeyButtonUI::SetLightColor(uint8_t r, uint8_t g, uint8_t b, uint8_t alpha, bool show) {
    const UiColor color = MakeColor(alpha, r, g, b);
    if (color == m_dwLightColor && show == m_bShowLight) {
        return;
    }
    m_dwLightColor = color;
    m_bShowLight = show;
    Invalidate();
}

namespace {
void SetFlag(bool& flag, bool value, CControlUI& control) {
    if (flag != value) {
        flag = value;
        control.Invalidate();
    }
}
}  // namespace

void CDeviceKeyButtonUI::SetKeySet(bool set) {
    SetFlag(m_bKeySet, set, *this);
}
void CDeviceKeyButtonUI::SetKeyUnset(bool set) {
    SetFlag(m_bKeyUnset, set, *this);
}
void CDeviceKeyButtonUI::SetThirdFlag(bool set) {
    SetFlag(m_bThirdFlag, set, *this);
}
void CDeviceKeyButtonUI::SetSelected(bool selected) {
    SetFlag(m_bSelected, selected, *this);
}

void CDeviceKeyButtonUI::SetLightImage(std::string_view image) {
    m_sLightImage = image;
    Invalidate();
}
void CDeviceKeyButtonUI::SetKeySetImage(std::string_view image) {
    m_sKeySetImage = image;
    Invalidate();
}
void CDeviceKeyButtonUI::SetKeyUnsetImage(std::string_view image) {
    m_sKeyUnsetImage = image;
    Invalidate();
}

void CDeviceKeyButtonUI::DoEvent(TEventUI& event) {
    if (event.Type == UiEvent::DblClick && IsEnabled() && m_rcItem.Contains(event.ptMouse)) {
        SendNotify(notify::kDbClick);
    }
    CButtonUI::DoEvent(event);
}

void CDeviceKeyButtonUI::SetAttribute(std::string_view name, std::string_view value) {
    if (name == "lightimage") {
        m_sLightImage = value;
    } else if (name == "keysetimage") {
        m_sKeySetImage = value;
    } else if (name == "keyunsetimage") {
        m_sKeyUnsetImage = value;
    } else if (name == "gmnametextcolor") {
        m_dwNameTextColor = ParseColor(value).value_or(0);
    } else {
        CButtonUI::SetAttribute(name, value);
    }
}

UiColor CDeviceKeyButtonUI::CurrentTextColor() const {
    // The key's name takes the name colour while the key has an assignment
    // of its own.
    if (m_bKeySet && m_dwNameTextColor != 0 && IsEnabled()) {
        return m_dwNameTextColor;
    }
    return CButtonUI::CurrentTextColor();
}

void CDeviceKeyButtonUI::PaintStatusImage(IRenderTarget& target) {
    CButtonUI::PaintStatusImage(target);
    if (m_bShowLight && !m_sLightImage.empty()) {
        ImageDescription light = ParseImageDescription(m_sLightImage);
        light.fade = 200;
        light.tint = 0xFF000000U | (m_dwLightColor & 0x00FFFFFFU);
        target.DrawImage(m_rcItem, light);
    }
    if (!m_bKeyUnset) {
        DrawImage(target, m_sKeyUnsetImage);
    }
    if (!m_bKeySet) {
        DrawImage(target, m_sKeySetImage);
    }
}

void CDeviceKeyButtonUI::PaintBorder(IRenderTarget& target) {
    if (m_bSelected) {
        target.DrawRect(m_rcItem, Scale(2), kHighlightColor);
        return;
    }
    CButtonUI::PaintBorder(target);
}

// ---- hand image button ----

void CHandImgButtonUI::SetDeleteAllowed(bool allowed) {
    if (m_bNoDelete == !allowed) {
        return;
    }
    m_bNoDelete = !allowed;
    Invalidate();
}

void CHandImgButtonUI::SetHandImage(std::string_view image) {
    m_sHandImage = image;
    Invalidate();
}

UiRect CHandImgButtonUI::DeleteBox() const {
    const int size = Scale(29);
    return {m_rcItem.right - size, m_rcItem.top, m_rcItem.right, m_rcItem.top + size};
}

void CHandImgButtonUI::DoEvent(TEventUI& event) {
    switch (event.Type) {
        case UiEvent::MouseEnter:
            SendNotify(notify::kMouseEnter);
            break;
        case UiEvent::MouseLeave:
            m_bDeleteHot = false;
            SendNotify(notify::kMouseLeave);
            break;
        case UiEvent::MouseMove: {
            const bool hot = !m_bNoDelete && DeleteBox().Contains(event.ptMouse);
            if (hot != m_bDeleteHot) {
                m_bDeleteHot = hot;
                Invalidate();
            }
            break;
        }
        case UiEvent::ButtonDown:
            m_bPressedInDelete = IsEnabled() && !m_bNoDelete && DeleteBox().Contains(event.ptMouse);
            if (m_bPressedInDelete) {
                return;
            }
            break;
        case UiEvent::ButtonUp:
            if (m_bPressedInDelete) {
                m_bPressedInDelete = false;
                if (DeleteBox().Contains(event.ptMouse)) {
                    SendNotify(notify::kClickHandDelete);
                }
                return;
            }
            break;
        default:
            break;
    }
    CButtonUI::DoEvent(event);
}

void CHandImgButtonUI::SetAttribute(std::string_view name, std::string_view value) {
    if (name == "handimage") {
        m_sHandImage = value;
    } else if (name == "deletenormalimage") {
        m_sDeleteNormalImage = value;
    } else if (name == "deletehotimage") {
        m_sDeleteHotImage = value;
    } else if (name == "nodelete") {
        m_bNoDelete = ParseBool(value).value_or(false);
    } else {
        CButtonUI::SetAttribute(name, value);
    }
}

void CHandImgButtonUI::PaintStatusImage(IRenderTarget& target) {
    CButtonUI::PaintStatusImage(target);
    DrawImage(target, m_sHandImage);
    if (!m_bNoDelete && (m_uButtonState & kStateHot) != 0) {
        const CDuiString& image =
            m_bDeleteHot && !m_sDeleteHotImage.empty() ? m_sDeleteHotImage : m_sDeleteNormalImage;
        if (!image.empty()) {
            target.DrawImage(DeleteBox(), ParseImageDescription(image));
        } else {
            // Without images: a small cross in the box.
            const UiRect box = DeleteBox().Deflate({Scale(9), Scale(9), Scale(9), Scale(9)});
            target.DrawLine({box.left, box.top}, {box.right, box.bottom}, Scale(2), 0xFFE04040);
            target.DrawLine({box.left, box.bottom}, {box.right, box.top}, Scale(2), 0xFFE04040);
        }
    }
}

// ---- hand image select button ----

std::optional<CursorKind> ParseCursorKind(std::string_view name) {
    struct Entry {
        std::string_view name;
        CursorKind kind;
    };
    static constexpr Entry kCursors[] = {
        {"arrow", CursorKind::Arrow},
        {"ibeam", CursorKind::IBeam},
        {"wait", CursorKind::Wait},
        {"cross", CursorKind::Cross},
        {"uparrow", CursorKind::UpArrow},
        {"size", CursorKind::Size},
        {"icon", CursorKind::Icon},
        {"sizenwse", CursorKind::SizeNwse},
        {"sizenesw", CursorKind::SizeNesw},
        {"sizewe", CursorKind::SizeWe},
        {"sizens", CursorKind::SizeNs},
        {"sizeall", CursorKind::SizeAll},
        {"no", CursorKind::No},
        {"hand", CursorKind::Hand},
    };
    for (const Entry& e : kCursors) {
        if (e.name == name) {
            return e.kind;
        }
    }
    return std::nullopt;
}

void CHandImgSelectButtonUI::SetHandImage(std::string_view image) {
    m_sHandImage = ParseImageDescription(image).file;
    m_rcSource = {0, 0, m_rcItem.Width(), m_rcItem.Height()};
    ClampSource();
    Invalidate();
}

CDuiString CHandImgSelectButtonUI::ImageDescriptionText() const {
    char source[80];
    std::snprintf(source, sizeof source, "source='%d,%d,%d,%d'", m_rcSource.left, m_rcSource.top,
                  m_rcSource.right, m_rcSource.bottom);
    return "file='" + m_sHandImage + "' " + source;
}

void CHandImgSelectButtonUI::ClampSource() {
    const int w = m_rcSource.Width();
    const int h = m_rcSource.Height();
    std::optional<UiSize> size;
    if (m_pManager != nullptr && !m_sHandImage.empty()) {
        size = m_pManager->ImageSize(m_sHandImage);
    }
    const int maxLeft = size ? std::max(size->cx - w, 0) : 0;
    const int maxTop = size ? std::max(size->cy - h, 0) : 0;
    const int left = std::clamp(m_rcSource.left, 0, maxLeft);
    const int top = std::clamp(m_rcSource.top, 0, maxTop);
    m_rcSource = {left, top, left + w, top + h};
}

void CHandImgSelectButtonUI::SetPos(const UiRect& rc) {
    const bool resized = rc.Width() != m_rcItem.Width() || rc.Height() != m_rcItem.Height();
    CButtonUI::SetPos(rc);
    if (resized) {
        m_rcSource.right = m_rcSource.left + rc.Width();
        m_rcSource.bottom = m_rcSource.top + rc.Height();
        ClampSource();
    }
}

void CHandImgSelectButtonUI::DoEvent(TEventUI& event) {
    switch (event.Type) {
        case UiEvent::MouseEnter:
            SendNotify(notify::kMouseEnter);
            break;
        case UiEvent::MouseLeave:
            SendNotify(notify::kMouseLeave);
            break;
        case UiEvent::ButtonDown:
            if (IsEnabled()) {
                m_bDragging = true;
                m_ptPress = event.ptMouse;
                m_rcPressSource = m_rcSource;
            }
            break;
        case UiEvent::MouseMove:
            if (m_bDragging) {
                // Dragging the picture moves the window over it the other way.
                const int dx = event.ptMouse.x - m_ptPress.x;
                const int dy = event.ptMouse.y - m_ptPress.y;
                m_rcSource = {m_rcPressSource.left - dx, m_rcPressSource.top - dy,
                              m_rcPressSource.right - dx, m_rcPressSource.bottom - dy};
                ClampSource();
                Invalidate();
            }
            break;
        case UiEvent::ButtonUp:
            m_bDragging = false;
            break;
        default:
            break;
    }
    CButtonUI::DoEvent(event);
}

void CHandImgSelectButtonUI::SetAttribute(std::string_view name, std::string_view value) {
    if (name == "handimage") {
        SetHandImage(value);
    } else if (name == "cursor") {
        m_eCursor = ParseCursorKind(value).value_or(CursorKind::Arrow);
    } else {
        CButtonUI::SetAttribute(name, value);
    }
}

void CHandImgSelectButtonUI::PaintStatusImage(IRenderTarget& target) {
    CButtonUI::PaintStatusImage(target);
    if (!m_sHandImage.empty()) {
        target.DrawImage(m_rcItem, ParseImageDescription(ImageDescriptionText()));
    }
}

// ---- pulsing record button ----

CRedioMacroButtonUI::~CRedioMacroButtonUI() {
    if (m_pManager != nullptr) {
        m_pManager->KillTimer(this, kPulseTimerId);
    }
}

void CRedioMacroButtonUI::Start() {
    if (m_bRunning) {
        return;
    }
    m_bRunning = true;
    m_sIdleImage = m_sNormalImage;
    m_nFade = kFadeHigh;
    m_bFadeUp = false;
    if (m_pManager != nullptr) {
        m_pManager->SetTimer(this, kPulseTimerId, kPulsePeriodMs);
    }
}

void CRedioMacroButtonUI::Stop() {
    if (!m_bRunning) {
        return;
    }
    m_bRunning = false;
    if (m_pManager != nullptr) {
        m_pManager->KillTimer(this, kPulseTimerId);
    }
    SetNormalImage(m_sIdleImage);
}

void CRedioMacroButtonUI::Step() {
    // Down to 80, up to 255, and again; never outside those bounds.
    if (m_bFadeUp) {
        m_nFade = std::min(m_nFade + kFadeStep, kFadeHigh);
        if (m_nFade == kFadeHigh) {
            m_bFadeUp = false;
        }
    } else {
        m_nFade = std::max(m_nFade - kFadeStep, kFadeLow);
        if (m_nFade == kFadeLow) {
            m_bFadeUp = true;
        }
    }
    char image[300];
    std::snprintf(image, sizeof image, "res='%s' fade='%d'", m_sPulseImage.c_str(), m_nFade);
    SetNormalImage(image);
}

void CRedioMacroButtonUI::DoEvent(TEventUI& event) {
    if (event.Type == UiEvent::Timer && event.wParam == kPulseTimerId) {
        if (m_bRunning) {
            Step();
        }
        return;
    }
    CButtonUI::DoEvent(event);
}

void CRedioMacroButtonUI::SetAttribute(std::string_view name, std::string_view value) {
    if (name == "redioimage") {
        m_sPulseImage = ParseImageDescription(value).file;
    } else {
        CButtonUI::SetAttribute(name, value);
    }
}

// ---- select panel ----

UiRect CSelectPanelUI::GetSelectRect() const {
    return UiRect::FromCorners(m_ptPress, m_ptCurrent);
}

CControlUI* CSelectPanelUI::FindAt(UiPoint pt) {
    // The panel takes the pointer itself, over its key buttons, so that a
    // band can start anywhere.
    if (!m_bVisible || !m_rcItem.Contains(pt) || !m_bMouseEnabled) {
        return CVerticalLayoutUI::FindAt(pt);
    }
    return this;
}

void CSelectPanelUI::EndSelection() {
    m_bSelecting = false;
    const UiRect band = GetSelectRect();
    ForEachKeyButton(this, [&](CDeviceKeyButtonUI* key) {
        // A band of no area (a plain click) still selects the key under it.
        const UiRect hit{band.left, band.top, std::max(band.right, band.left + 1),
                         std::max(band.bottom, band.top + 1)};
        key->SetSelected(key->IsVisible() && key->GetPos().Intersects(hit));
    });
    Invalidate();
    SendNotify(notify::kClickSelectEnd);
}

void CSelectPanelUI::DoEvent(TEventUI& event) {
    switch (event.Type) {
        case UiEvent::ButtonDown:
            if (IsEnabled() && m_rcItem.Contains(event.ptMouse)) {
                m_bSelecting = true;
                m_ptPress = event.ptMouse;
                m_ptCurrent = event.ptMouse;
            }
            return;
        case UiEvent::MouseMove:
            if (m_bSelecting) {
                m_ptCurrent = event.ptMouse;
                Invalidate();
            }
            return;
        case UiEvent::ButtonUp:
            if (m_bSelecting) {
                m_ptCurrent = event.ptMouse;
                EndSelection();
            }
            return;
        default:
            break;
    }
    CVerticalLayoutUI::DoEvent(event);
}

void CSelectPanelUI::DoPaint(IRenderTarget& target, const UiRect& dirty) {
    CVerticalLayoutUI::DoPaint(target, dirty);
    if (m_bSelecting) {
        const UiRect band = GetSelectRect().Intersect(m_rcItem);
        if (!band.IsEmpty()) {
            target.FillRect(band, 0x330099FF);
            target.DrawRect(band, 1, CDeviceKeyButtonUI::kHighlightColor);
        }
    }
}

// ---- hosted window ----

void CWndUI::Attach(INativeChild* child) {
    m_pChild = child;
    if (m_pChild != nullptr) {
        m_pChild->SetVisible(IsVisible());
        m_pChild->SetGeometry(m_rcItem);
    }
}

void CWndUI::SetPos(const UiRect& rc) {
    CControlUI::SetPos(rc);
    if (m_pChild != nullptr) {
        m_pChild->SetGeometry(rc);
    }
}

void CWndUI::SetVisible(bool visible) {
    CControlUI::SetVisible(visible);
    if (m_pChild != nullptr) {
        m_pChild->SetVisible(visible);
    }
}

// ---- audio level strip ----

void CAudioRecordUI::SetSamples(const std::vector<int>& samples) {
    m_aSamples.clear();
    for (int s : samples) {
        if (m_aSamples.size() == kMaxSamples) {
            break;
        }
        m_aSamples.push_back(std::clamp(s, 0, kMaxLevel));
    }
    Invalidate();
}

void CAudioRecordUI::AddSample(int level) {
    if (m_aSamples.size() == kMaxSamples) {
        m_aSamples.erase(m_aSamples.begin());
    }
    m_aSamples.push_back(std::clamp(level, 0, kMaxLevel));
    Invalidate();
}

void CAudioRecordUI::DoPaint(IRenderTarget& target, const UiRect& dirty) {
    if (!m_rcItem.Intersects(dirty)) {
        return;
    }
    PaintBkColor(target);
    const int height = m_rcItem.Height();
    for (std::size_t i = 0; i < m_aSamples.size(); ++i) {
        const int x = m_rcItem.left + 2 * static_cast<int>(i);
        if (x >= m_rcItem.right) {
            break;
        }
        const int top = m_rcItem.bottom - m_aSamples[i] * height / kMaxLevel;
        target.FillRect({x, top, x + 1, m_rcItem.bottom}, 0xFF000000);
    }
}

// ---- chart ----

void CChartViewUI::AddItem(std::string_view name, double value) {
    m_aItems.push_back({std::string(name), std::max(value, 0.0)});
    Invalidate();
}

void CChartViewUI::RemoveAll() {
    m_aItems.clear();
    Invalidate();
}

void CChartViewUI::SetAttribute(std::string_view name, std::string_view value) {
    if (name == "view") {
        m_eView = value == "histpgram" ? View::Histogram : View::Pie;
    } else if (name == "shadowimage") {
        m_sShadowImage = value;
    } else if (name == "shadowimageheight") {
        m_nShadowImageHeight = std::max(ParseInt(value).value_or(0), 0);
    } else if (name == "pillarimage") {
        m_sPillarImage = value;
    } else if (name == "pillarimagewidth") {
        m_nPillarImageWidth = std::max(ParseInt(value).value_or(0), 0);
    } else if (name == "showhtml") {
        m_bShowHtml = value == "true";
    } else if (name == "showtext") {
        m_bShowText = value == "true";
    } else if (name == "items") {
        // "name:value;name:value", for layouts that show a chart by themselves.
        m_aItems.clear();
        while (!value.empty()) {
            const std::size_t end = value.find(';');
            const std::string_view item = value.substr(0, end);
            const std::size_t colon = item.rfind(':');
            if (colon != std::string_view::npos) {
                AddItem(item.substr(0, colon), ParseInt(item.substr(colon + 1)).value_or(0));
            }
            value = end == std::string_view::npos ? std::string_view{} : value.substr(end + 1);
        }
    } else {
        CControlUI::SetAttribute(name, value);
    }
}

void CChartViewUI::DoPaint(IRenderTarget& target, const UiRect& dirty) {
    if (!m_rcItem.Intersects(dirty)) {
        return;
    }
    PaintBkColor(target);
    static constexpr UiColor kColors[] = {0xFF0099FF, 0xFFFF6633, 0xFF33CC66, 0xFFFFCC00,
                                          0xFF9966FF, 0xFFFF3399, 0xFF00CCCC, 0xFF999999};
    double total = 0;
    double largest = 0;
    for (const Item& item : m_aItems) {
        total += item.value;
        largest = std::max(largest, item.value);
    }
    if (m_aItems.empty() || total <= 0) {
        return;
    }
    if (m_eView == View::Pie) {
        const int side = std::min(m_rcItem.Width(), m_rcItem.Height());
        const UiRect circle{m_rcItem.left, m_rcItem.top, m_rcItem.left + side, m_rcItem.top + side};
        float start = -90.0F;
        for (std::size_t i = 0; i < m_aItems.size(); ++i) {
            const auto sweep = static_cast<float>(m_aItems[i].value / total * 360.0);
            target.FillPie(circle, start, sweep, kColors[i % std::size(kColors)]);
            start += sweep;
        }
        if (m_bShowText) {
            int y = m_rcItem.top;
            for (const Item& item : m_aItems) {
                target.DrawText({circle.right + Scale(8), y, m_rcItem.right, y + Scale(18)},
                                item.name, m_dwTextColor, Font(), kTextLeft | kTextSingleLine);
                y += Scale(18);
            }
        }
        return;
    }
    // Histogram: one pillar per item along the bottom.
    const int n = static_cast<int>(m_aItems.size());
    const int slot = m_rcItem.Width() / n;
    const int pillar = m_nPillarImageWidth > 0 ? Scale(m_nPillarImageWidth) : slot * 2 / 3;
    const int textHeight = m_bShowText ? Scale(18) : 0;
    const int shadow = Scale(m_nShadowImageHeight);
    const int baseline = m_rcItem.bottom - textHeight - shadow;
    for (int i = 0; i < n; ++i) {
        const Item& item = m_aItems[static_cast<std::size_t>(i)];
        const int h = static_cast<int>((baseline - m_rcItem.top) * (item.value / largest));
        const int left = m_rcItem.left + i * slot + (slot - pillar) / 2;
        const UiRect bar{left, baseline - h, left + pillar, baseline};
        if (!m_sPillarImage.empty()) {
            target.DrawImage(bar, ParseImageDescription(m_sPillarImage));
        } else {
            target.FillRect(bar, kColors[static_cast<std::size_t>(i) % std::size(kColors)]);
        }
        if (shadow > 0 && !m_sShadowImage.empty()) {
            target.DrawImage({left, baseline, left + pillar, baseline + shadow},
                             ParseImageDescription(m_sShadowImage));
        }
        if (m_bShowText) {
            target.DrawText({m_rcItem.left + i * slot, m_rcItem.bottom - textHeight,
                             m_rcItem.left + (i + 1) * slot, m_rcItem.bottom},
                            item.name, m_dwTextColor, Font(), kTextCenter | kTextSingleLine);
        }
    }
}

// ---- list elements ----

void CCloudShareListItemUI::DoEvent(TEventUI& event) {
    if (event.Type == UiEvent::ContextMenu) {
        if (IsContextMenuUsed()) {
            SendNotify(notify::kMenu, static_cast<uintptr_t>(event.ptMouse.x),
                       static_cast<intptr_t>(event.ptMouse.y));
        }
        return;
    }
    CListContainerElementUI::DoEvent(event);
}

void CCloudShareListItemUI::PaintBorder(IRenderTarget& target) {
    if (m_bHot && !m_bSelected && m_pOwner != nullptr &&
        ColorA(m_pOwner->GetHotBorderColor()) != 0) {
        target.DrawRect(m_rcItem, 1, m_pOwner->GetHotBorderColor());
        return;
    }
    CListContainerElementUI::PaintBorder(target);
}

CComboEditContainerElementUI::~CComboEditContainerElementUI() {
    if (m_pListening != nullptr) {
        m_pListening->RemoveNotifier(this);
    }
}

void CComboEditContainerElementUI::DoInit() {
    CListContainerElementUI::DoInit();
    if (m_pManager == nullptr) {
        return;
    }
    if (m_pListening != m_pManager) {
        if (m_pListening != nullptr) {
            m_pListening->RemoveNotifier(this);
        }
        m_pManager->AddNotifier(this);
        m_pListening = m_pManager;
    }
    CDialogBuilder builder;
    std::unique_ptr<CControlUI> content = builder.Create(kItemLayout, nullptr, m_pManager);
    RemoveAll();
    m_pText1 = nullptr;
    m_pText2 = nullptr;
    m_pDelayEdit = nullptr;
    if (!content) {
        return;
    }
    CControlUI* added = Add(std::move(content));
    m_pText1 = m_pManager->FindSubControlByName(added, "text1");
    m_pText2 = m_pManager->FindSubControlByName(added, "text2");
    m_pDelayEdit = dynamic_cast<CEditUI*>(m_pManager->FindSubControlByName(added, "delay_edit"));
}

void CComboEditContainerElementUI::DoEvent(TEventUI& event) {
    if (event.Type == UiEvent::KeyDown && event.chKey == kKeyReturn) {
        if (IsEnabled()) {
            Activate();
            Invalidate();
            SendNotify(notify::kReturn);
        }
        return;
    }
    if (event.Type == UiEvent::ContextMenu) {
        if (IsContextMenuUsed()) {
            SendNotify(notify::kMenu, static_cast<uintptr_t>(event.ptMouse.x),
                       static_cast<intptr_t>(event.ptMouse.y));
        }
        return;
    }
    CListContainerElementUI::DoEvent(event);
}

void CComboEditContainerElementUI::SetAttribute(std::string_view name, std::string_view value) {
    if (name == "normalimage" || name == "hotimage" || name == "selectedimage") {
        return;
    }
    CListContainerElementUI::SetAttribute(name, value);
}

void CComboEditContainerElementUI::Notify(TNotifyUI& msg) {
    bool inside = false;
    for (CControlUI* c = msg.pSender; c != nullptr; c = c->GetParent()) {
        if (c == this) {
            inside = true;
            break;
        }
    }
    if (!inside) {
        return;
    }
    if (msg.sType == notify::kSelectChanged ||
        (msg.sType == notify::kReturn && msg.pSender == m_pDelayEdit && m_pDelayEdit != nullptr)) {
        m_bChanged = true;
    }
}

// ---- tree walks ----

void ForEachKeyButton(CControlUI* root, const std::function<void(CDeviceKeyButtonUI*)>& fn) {
    auto* container = dynamic_cast<CContainerUI*>(root);
    if (container == nullptr) {
        return;
    }
    for (int i = 0; i < container->GetCount(); ++i) {
        CControlUI* child = container->GetItemAt(i);
        if (child->GetClass() == "DeviceKeyButton") {
            if (auto* key = dynamic_cast<CDeviceKeyButtonUI*>(child)) {
                fn(key);
            }
        }
        ForEachKeyButton(child, fn);
    }
}

CControlUI* FindControlByClass(CControlUI* root, std::string_view className) {
    if (root == nullptr || root->GetClass() == className) {
        return root;
    }
    auto* container = dynamic_cast<CContainerUI*>(root);
    if (container == nullptr) {
        return nullptr;
    }
    for (int i = 0; i < container->GetCount(); ++i) {
        if (CControlUI* found = FindControlByClass(container->GetItemAt(i), className)) {
            return found;
        }
    }
    return nullptr;
}

// ---- registration ----

void RegisterWidgetClasses() {
    CControlFactory& f = CControlFactory::Instance();
    f.RegisterControl("CCircleProgressUI", [] { return std::make_unique<CCircleProgressUI>(); });
    f.RegisterControl("CChartViewUI", [] { return std::make_unique<CChartViewUI>(); });
    f.RegisterControl("CWndUI", [] { return std::make_unique<CWndUI>(); });
    f.RegisterControl("CSelectPanelUI", [] { return std::make_unique<CSelectPanelUI>(); });
    f.RegisterControl("CDeviceKeyButtonUI", [] { return std::make_unique<CDeviceKeyButtonUI>(); });
    f.RegisterControl("CCloudShareListItemUI",
                      [] { return std::make_unique<CCloudShareListItemUI>(); });
    f.RegisterControl("CComboEditContainerElementUI",
                      [] { return std::make_unique<CComboEditContainerElementUI>(); });
    f.RegisterControl("CHandImgButtonUI", [] { return std::make_unique<CHandImgButtonUI>(); });
    f.RegisterControl("CHandImgSelectButtonUI",
                      [] { return std::make_unique<CHandImgSelectButtonUI>(); });
    f.RegisterControl("CRedioMacroButtonUI",
                      [] { return std::make_unique<CRedioMacroButtonUI>(); });
    f.RegisterControl("CAudioRecordUI", [] { return std::make_unique<CAudioRecordUI>(); });
}

std::unique_ptr<CControlUI> CreateWidget(std::string_view c) {
    auto is = [c](std::string_view name) { return EqualsNoCase(c, name); };
    if (is("CircleProgress"))
        return std::make_unique<CCircleProgressUI>();
    if (is("SelectPanel"))
        return std::make_unique<CSelectPanelUI>();
    if (is("DeviceKeyButton"))
        return std::make_unique<CDeviceKeyButtonUI>();
    if (is("HandImgButton"))
        return std::make_unique<CHandImgButtonUI>();
    if (is("AudioRecord"))
        return std::make_unique<CAudioRecordUI>();
    if (is("HandImgSelectButton"))
        return std::make_unique<CHandImgSelectButtonUI>();
    if (is("RedioMacroButton"))
        return std::make_unique<CRedioMacroButtonUI>();
    if (is("ComboEditContainerElement"))
        return std::make_unique<CComboEditContainerElementUI>();
    if (is("ChartView"))
        return std::make_unique<CChartViewUI>();
    if (is("Wnd"))
        return std::make_unique<CWndUI>();
    if (is("CloudShareListItemUI"))
        return std::make_unique<CCloudShareListItemUI>();
    return nullptr;
}

}  // namespace vextar::ui
