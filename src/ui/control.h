#pragma once

// The base control: name, text, state, look, place in the layout, and the
// events it receives from the window (or from a test acting as the user).

#include <cstdint>
#include <string>
#include <string_view>

#include "ui/render.h"
#include "ui/ui_types.h"

namespace vextar::ui {

class CPaintManagerUI;
class CContainerUI;

enum class UiEvent : uint8_t {
    MouseEnter,
    MouseLeave,
    MouseMove,
    ButtonDown,
    ButtonUp,
    DblClick,
    RButtonDown,
    ContextMenu,
    ScrollWheel,
    KeyDown,
    Char,
    SetFocus,
    KillFocus,
    Timer,
};

// Modifier keys held during an event.
enum KeyState : uint16_t { kKeyNone = 0, kKeyShift = 1, kKeyControl = 2, kKeyAlt = 4 };

// Key codes the controls understand in KeyDown.
enum KeyCode : uint32_t {
    kKeyReturn = 0x0D,
    kKeyEscape = 0x1B,
    kKeyLeft = 0x25,
    kKeyUp = 0x26,
    kKeyRight = 0x27,
    kKeyDown = 0x28,
    kKeyBack = 0x08,
    kKeyDelete = 0x2E,
};

struct TEventUI {
    UiEvent Type = UiEvent::MouseMove;
    class CControlUI* pSender = nullptr;
    int64_t dwTimestamp = 0;
    UiPoint ptMouse{};
    uint32_t chKey = 0;
    uint16_t wKeyState = kKeyNone;
    uintptr_t wParam = 0;
    intptr_t lParam = 0;
};

// Button states, for images and painting.
enum ButtonState : unsigned {
    kStateFocused = 0x01,
    kStateSelected = 0x02,
    kStateDisabled = 0x04,
    kStateHot = 0x08,
    kStatePushed = 0x10,
    kStateCaptured = 0x40,
};

class CControlUI {
  public:
    CControlUI();
    virtual ~CControlUI();
    CControlUI(const CControlUI&) = delete;
    CControlUI& operator=(const CControlUI&) = delete;

    [[nodiscard]] virtual std::string_view GetClass() const { return "Control"; }

    // Identity and content.
    [[nodiscard]] const CDuiString& GetName() const { return m_sName; }
    void SetName(std::string_view name) { m_sName = name; }
    [[nodiscard]] virtual CDuiString GetText() const { return m_sText; }
    virtual void SetText(std::string_view text);
    // The language id the text comes from ("%{id}" in a layout), or empty.
    [[nodiscard]] const CDuiString& GetTextId() const { return m_sTextId; }
    void SetTextId(std::string_view id) { m_sTextId = id; }
    [[nodiscard]] const CDuiString& GetToolTip() const { return m_sToolTip; }
    void SetToolTip(std::string_view text) { m_sToolTip = text; }
    // The language text id of a "%{id}" tooltip; empty otherwise.
    [[nodiscard]] const CDuiString& GetToolTipId() const { return m_sToolTipId; }
    [[nodiscard]] const CDuiString& GetUserData() const { return m_sUserData; }
    void SetUserData(std::string_view data) { m_sUserData = data; }
    [[nodiscard]] uintptr_t GetTag() const { return m_pTag; }
    void SetTag(uintptr_t tag) { m_pTag = tag; }

    // State.
    [[nodiscard]] bool IsVisible() const { return m_bVisible; }
    virtual void SetVisible(bool visible);
    [[nodiscard]] bool IsEnabled() const { return m_bEnabled; }
    virtual void SetEnabled(bool enabled);
    [[nodiscard]] bool IsMouseEnabled() const { return m_bMouseEnabled; }
    void SetMouseEnabled(bool enabled) { m_bMouseEnabled = enabled; }
    [[nodiscard]] bool IsKeyboardEnabled() const { return m_bKeyboardEnabled; }
    [[nodiscard]] bool IsFocused() const { return m_bFocused; }
    void SetFocus();
    [[nodiscard]] bool IsContextMenuUsed() const { return m_bMenuUsed; }

    // Look.
    [[nodiscard]] UiColor GetBkColor() const { return m_dwBackColor; }
    void SetBkColor(UiColor color);
    [[nodiscard]] UiColor GetTextColor() const { return m_dwTextColor; }
    void SetTextColor(UiColor color);
    [[nodiscard]] UiColor GetDisabledTextColor() const { return m_dwDisabledTextColor; }
    [[nodiscard]] UiColor GetBorderColor() const { return m_dwBorderColor; }
    void SetBorderColor(UiColor color);
    [[nodiscard]] int GetBorderSize() const { return m_nBorderSize; }
    [[nodiscard]] const CDuiString& GetBkImage() const { return m_sBkImage; }
    void SetBkImage(std::string_view image);
    [[nodiscard]] int GetFont() const { return m_iFont; }
    void SetFont(int index);
    [[nodiscard]] unsigned GetTextStyle() const { return m_uTextStyle; }
    void SetTextStyle(unsigned style);
    [[nodiscard]] const UiRect& GetTextPadding() const { return m_rcTextPadding; }

    // Place in the layout; sizes are at 96 DPI.
    [[nodiscard]] const UiRect& GetPadding() const { return m_rcPadding; }
    void SetPadding(const UiRect& padding);
    [[nodiscard]] int GetFixedWidth() const { return m_cxyFixed.cx; }
    [[nodiscard]] int GetFixedHeight() const { return m_cxyFixed.cy; }
    void SetFixedWidth(int cx);
    void SetFixedHeight(int cy);
    [[nodiscard]] bool IsFloat() const { return m_bFloat; }
    void SetFloat(bool isFloat);
    // For a floating control: its rectangle relative to the parent's.
    [[nodiscard]] const UiRect& GetFloatPos() const { return m_rcFloat; }
    void SetFloatPos(const UiRect& rc);
    // Rectangle in window pixels, after layout.
    [[nodiscard]] const UiRect& GetPos() const { return m_rcItem; }
    virtual void SetPos(const UiRect& rc);
    // Size wanted, in window pixels; 0 in a dimension means "share the rest".
    [[nodiscard]] virtual UiSize EstimateSize(UiSize available) const;

    // Tree.
    [[nodiscard]] CPaintManagerUI* GetManager() const { return m_pManager; }
    [[nodiscard]] CControlUI* GetParent() const { return m_pParent; }
    virtual void SetManager(CPaintManagerUI* manager, CControlUI* parent, bool init = true);
    // First control of this subtree (pre-order, this one included) whose name
    // equals `name`, letter case ignored.
    [[nodiscard]] virtual CControlUI* FindByName(std::string_view name);
    // The visible, enabled, mouse-accepting control at a point, deepest first.
    [[nodiscard]] virtual CControlUI* FindAt(UiPoint pt);

    // Behaviour.
    virtual void SetAttribute(std::string_view name, std::string_view value);
    virtual void DoInit() {}
    virtual void DoEvent(TEventUI& event);
    // What a click does once it is complete; false when the control is not
    // active (hidden or disabled).
    virtual bool Activate();

    // Painting.
    virtual void DoPaint(IRenderTarget& target, const UiRect& dirty);
    virtual void PaintBkColor(IRenderTarget& target);
    virtual void PaintBkImage(IRenderTarget& target);
    virtual void PaintStatusImage(IRenderTarget& target) { (void)target; }
    virtual void PaintText(IRenderTarget& target) { (void)target; }
    virtual void PaintBorder(IRenderTarget& target);
    // Draws an image description into this control; logs nothing when the
    // description is empty.
    bool DrawImage(IRenderTarget& target, std::string_view description);

    // Repaint this control's rectangle.
    void Invalidate();
    // Lay out again (this control changed its size or visibility).
    void NeedParentUpdate();
    void NeedUpdate();

  protected:
    // Scales a 96-DPI length to the manager's DPI.
    [[nodiscard]] int Scale(int value) const;
    void SendNotify(std::string_view type, uintptr_t wParam = 0, intptr_t lParam = 0);
    [[nodiscard]] FontInfo Font() const;

    CPaintManagerUI* m_pManager = nullptr;
    CControlUI* m_pParent = nullptr;
    CDuiString m_sName;
    CDuiString m_sText;
    CDuiString m_sTextId;
    CDuiString m_sToolTip;
    CDuiString m_sToolTipId;
    CDuiString m_sUserData;
    uintptr_t m_pTag = 0;
    bool m_bVisible = true;
    bool m_bInternVisible = true;
    bool m_bEnabled = true;
    bool m_bMouseEnabled = true;
    bool m_bKeyboardEnabled = true;
    bool m_bFocused = false;
    bool m_bFloat = false;
    bool m_bMenuUsed = false;
    UiColor m_dwBackColor = 0;
    UiColor m_dwTextColor = 0xFF000000;
    UiColor m_dwDisabledTextColor = 0xFFA7A6AA;
    UiColor m_dwBorderColor = 0;
    int m_nBorderSize = 0;
    CDuiString m_sBkImage;
    int m_iFont = -1;
    unsigned m_uTextStyle = kTextVCenter | kTextSingleLine;
    UiRect m_rcTextPadding{};
    UiRect m_rcPadding{};
    UiSize m_cxyFixed{};
    UiSize m_cxyMin{};
    UiRect m_rcFloat{};
    UiRect m_rcItem{};

    friend class CPaintManagerUI;
    friend class CContainerUI;
};

}  // namespace vextar::ui
