#pragma once

// The standard controls: label, button, option, edit, rich edit, progress,
// slider, combo, list with its elements, colour palette.

#include <functional>
#include <string>
#include <vector>

#include "ui/container.h"
#include "ui/control.h"

namespace vextar::ui {

class CLabelUI : public CControlUI {
  public:
    [[nodiscard]] std::string_view GetClass() const override { return "Label"; }
    void PaintText(IRenderTarget& target) override;
    void SetAttribute(std::string_view name, std::string_view value) override;

  protected:
    // Text colour for the current state.
    [[nodiscard]] virtual UiColor CurrentTextColor() const;
};

// A label that does not take the mouse.
class CTextUI : public CLabelUI {
  public:
    CTextUI() { m_bMouseEnabled = false; }
    [[nodiscard]] std::string_view GetClass() const override { return "Text"; }
};

class CButtonUI : public CLabelUI {
  public:
    CButtonUI() { m_uTextStyle = kTextCenter | kTextVCenter | kTextSingleLine; }
    [[nodiscard]] std::string_view GetClass() const override { return "Button"; }

    [[nodiscard]] unsigned GetButtonState() const { return m_uButtonState; }
    // Sends "click", then shows the bound tab layout's page, if any.
    bool Activate() override;
    void DoEvent(TEventUI& event) override;
    void SetAttribute(std::string_view name, std::string_view value) override;
    void PaintStatusImage(IRenderTarget& target) override;
    void SetEnabled(bool enabled) override;

    void SetNormalImage(std::string_view image);
    void SetHotImage(std::string_view image);
    void SetPushedImage(std::string_view image);
    [[nodiscard]] const CDuiString& GetNormalImage() const { return m_sNormalImage; }
    // The tab layout (by name) and page this button shows when clicked.
    void BindTabLayoutName(std::string_view name) { m_sBindTabLayoutName = name; }
    void BindTabIndex(int index) { m_iBindTabIndex = index; }
    [[nodiscard]] const CDuiString& GetBindTabLayoutName() const { return m_sBindTabLayoutName; }
    [[nodiscard]] int GetBindTabLayoutIndex() const { return m_iBindTabIndex; }

  protected:
    [[nodiscard]] UiColor CurrentTextColor() const override;
    void BindTriggerTabSel();

    unsigned m_uButtonState = 0;
    CDuiString m_sNormalImage;
    CDuiString m_sHotImage;
    CDuiString m_sPushedImage;
    CDuiString m_sFocusedImage;
    CDuiString m_sDisabledImage;
    UiColor m_dwHotTextColor = 0;
    UiColor m_dwPushedTextColor = 0;
    UiColor m_dwHotBkColor = 0;
    CDuiString m_sBindTabLayoutName;
    int m_iBindTabIndex = -1;
};

class COptionUI : public CButtonUI {
  public:
    ~COptionUI() override;
    [[nodiscard]] std::string_view GetClass() const override { return "Option"; }

    [[nodiscard]] bool IsSelected() const { return m_bSelected; }
    // Selecting an option of a group clears the others silently; only the
    // option whose state was set sends "selectchanged" (wParam 1 or 0).
    virtual void Selected(bool selected, bool triggerEvent = true);
    [[nodiscard]] const CDuiString& GetGroup() const { return m_sGroupName; }
    void SetGroup(std::string_view group);
    // "click", then selection: a grouped option becomes selected, a lone
    // one toggles.
    bool Activate() override;
    void SetManager(CPaintManagerUI* manager, CControlUI* parent, bool init = true) override;
    void SetAttribute(std::string_view name, std::string_view value) override;
    void PaintStatusImage(IRenderTarget& target) override;
    void PaintBkColor(IRenderTarget& target) override;

  protected:
    [[nodiscard]] UiColor CurrentTextColor() const override;

    bool m_bSelected = false;
    CDuiString m_sGroupName;
    CDuiString m_sSelectedImage;
    CDuiString m_sSelectedHotImage;
    UiColor m_dwSelectedTextColor = 0;
    UiColor m_dwSelectedBkColor = 0;
};

class CEditUI : public CLabelUI {
  public:
    CEditUI();
    [[nodiscard]] std::string_view GetClass() const override { return "Edit"; }

    [[nodiscard]] bool IsNumberOnly() const { return m_bNumberOnly; }
    void SetNumberOnly(bool numberOnly) { m_bNumberOnly = numberOnly; }
    [[nodiscard]] int GetMaxChar() const { return m_iMaxChar; }
    void SetMaxChar(int maxChar) { m_iMaxChar = maxChar; }
    [[nodiscard]] bool IsReadOnly() const { return m_bReadOnly; }
    void SetReadOnly(bool readOnly) { m_bReadOnly = readOnly; }
    [[nodiscard]] bool IsPassword() const { return m_bPassword; }
    // Range of a number-only edit, applied when the text is committed.
    void SetRange(int minimum, int maximum);
    [[nodiscard]] bool HasRange() const { return m_bHasRange; }
    [[nodiscard]] int GetMinValue() const { return m_iMinValue; }
    [[nodiscard]] int GetMaxValue() const { return m_iMaxValue; }

    // What the window's text editor reports as the user's new text: kept
    // within the rules (digits, length), then "textchanged" when it changed.
    // Returns the text as kept.
    CDuiString SetTextFromUser(std::string_view text);
    // Whether a text passes the edit's rules as it is typed.
    [[nodiscard]] bool Accepts(std::string_view text) const;

    void DoEvent(TEventUI& event) override;
    void SetAttribute(std::string_view name, std::string_view value) override;
    void PaintText(IRenderTarget& target) override;

  protected:
    // Applies the range; sends "textchanged" when that changed the text.
    void Commit();
    // Enter: "return" (a rich edit that wants returns inserts a newline).
    virtual void OnReturn();

    bool m_bNumberOnly = false;
    bool m_bReadOnly = false;
    bool m_bPassword = false;
    bool m_bHasRange = false;
    int m_iMaxChar = 255;
    int m_iMinValue = 0;
    int m_iMaxValue = 0;
    UiColor m_dwEditBkColor = 0xFFFFFFFF;
};

class CRichEditUI : public CEditUI {
  public:
    CRichEditUI();
    [[nodiscard]] std::string_view GetClass() const override { return "RichEdit"; }
    void SetAttribute(std::string_view name, std::string_view value) override;

  protected:
    void OnReturn() override;

    bool m_bWantReturn = false;
};

class CProgressUI : public CLabelUI {
  public:
    [[nodiscard]] std::string_view GetClass() const override { return "Progress"; }
    [[nodiscard]] int GetMinValue() const { return m_nMin; }
    [[nodiscard]] int GetMaxValue() const { return m_nMax; }
    [[nodiscard]] int GetValue() const { return m_nValue; }
    void SetMinValue(int value);
    void SetMaxValue(int value);
    // Kept within minimum..maximum.
    virtual void SetValue(int value);
    [[nodiscard]] bool IsHorizontal() const { return m_bHorizontal; }
    void SetAttribute(std::string_view name, std::string_view value) override;
    void PaintStatusImage(IRenderTarget& target) override;

  protected:
    // The part of `rc` that stands for the value.
    [[nodiscard]] UiRect ValueRect(const UiRect& rc) const;

    bool m_bHorizontal = true;
    int m_nMin = 0;
    int m_nMax = 100;
    int m_nValue = 0;
    UiColor m_dwForeColor = 0xFF0099FF;
    CDuiString m_sForeImage;
};

class CSliderUI : public CProgressUI {
  public:
    CSliderUI() { m_bKeyboardEnabled = true; }
    [[nodiscard]] std::string_view GetClass() const override { return "Slider"; }
    [[nodiscard]] int GetChangeStep() const { return m_nStep; }
    // Where the thumb is, in window pixels.
    [[nodiscard]] UiRect GetThumbRect() const;
    // The value a pointer position stands for.
    [[nodiscard]] int ValueAt(UiPoint pt) const;
    // The pointer position that stands for a value (the thumb's centre).
    [[nodiscard]] UiPoint PointOf(int value) const;
    void DoEvent(TEventUI& event) override;
    void SetAttribute(std::string_view name, std::string_view value) override;
    void PaintStatusImage(IRenderTarget& target) override;

  protected:
    UiSize m_szThumb{10, 10};
    int m_nStep = 1;
    bool m_bSendMove = true;
    bool m_bDragging = false;
    CDuiString m_sThumbImage;
};

class CListUI;

// What every row of a list or combo is, whatever control it is built on: its
// place in the list, its selection and hot marks.
class IListItemUI {
  public:
    virtual ~IListItemUI() = default;
    [[nodiscard]] int GetIndex() const { return m_iIndex; }
    void SetIndex(int index) { m_iIndex = index; }
    [[nodiscard]] CListUI* GetOwner() const { return m_pOwner; }
    void SetOwner(CListUI* owner) { m_pOwner = owner; }
    [[nodiscard]] bool IsSelected() const { return m_bSelected; }
    [[nodiscard]] bool IsHot() const { return m_bHot; }
    // Asks the owner to select this row.
    virtual bool Select(bool select = true, bool triggerEvent = true);
    // Sets the selection mark only (the owner's business).
    void SetSelectedState(bool selected);

  protected:
    // The control the row is.
    virtual CControlUI& ItemControl() = 0;
    // Double click, or Enter: "itemactivate".
    bool ActivateItem();
    // The events every kind of row handles alike; false for the others.
    bool HandleItemEvent(TEventUI& event);
    void PaintItemBk(IRenderTarget& target, UiColor own);

    CListUI* m_pOwner = nullptr;
    int m_iIndex = -1;
    bool m_bSelected = false;
    bool m_bHot = false;
};

// An element of a list or combo.
class CListElementUI : public CControlUI, public IListItemUI {
  public:
    [[nodiscard]] std::string_view GetClass() const override { return "ListElement"; }
    bool Activate() override { return ActivateItem(); }
    void DoEvent(TEventUI& event) override;
    void PaintBkColor(IRenderTarget& target) override { PaintItemBk(target, m_dwBackColor); }

  protected:
    CControlUI& ItemControl() override { return *this; }
};

class CListLabelElementUI : public CListElementUI {
  public:
    [[nodiscard]] std::string_view GetClass() const override { return "ListLabelElement"; }
    void PaintText(IRenderTarget& target) override;
};

// A row with one text per column.
class CListTextElementUI : public CListLabelElementUI {
  public:
    [[nodiscard]] std::string_view GetClass() const override { return "ListTextElement"; }
    [[nodiscard]] CDuiString GetText(int column) const;
    void SetText(int column, std::string_view text);
    using CControlUI::GetText;
    using CControlUI::SetText;
    void PaintText(IRenderTarget& target) override;

  private:
    std::vector<CDuiString> m_aTexts;
};

// An element that is a container of other controls.
class CListContainerElementUI : public CHorizontalLayoutUI, public IListItemUI {
  public:
    [[nodiscard]] std::string_view GetClass() const override { return "ListContainerElement"; }
    bool Activate() override { return ActivateItem(); }
    void DoEvent(TEventUI& event) override;
    void PaintBkColor(IRenderTarget& target) override { PaintItemBk(target, m_dwBackColor); }

  protected:
    CControlUI& ItemControl() override { return *this; }
};

// A vertical list of elements with one selection (or several, with
// "multiselect").
class CListUI : public CVerticalLayoutUI {
  public:
    [[nodiscard]] std::string_view GetClass() const override { return "List"; }
    [[nodiscard]] int GetCurSel() const { return m_iCurSel; }
    // Selects an element; sends "itemselect" (wParam new index, lParam old)
    // when the selection changed and triggerEvent is set.
    bool SelectItem(int index, bool takeFocus = false, bool triggerEvent = true);
    // With multiselect: toggles one element's selection.
    bool ToggleItem(int index);
    [[nodiscard]] bool IsMultiSelect() const { return m_bMultiSelect; }
    [[nodiscard]] std::vector<int> GetSelectedItems() const;
    [[nodiscard]] UiColor GetHotBorderColor() const { return m_dwHotBorderColor; }
    [[nodiscard]] UiColor GetSelectedBkColor() const { return m_dwSelectedBkColor; }
    [[nodiscard]] UiColor GetHotBkColor() const { return m_dwHotBkColor; }
    void SetAttribute(std::string_view name, std::string_view value) override;
    void DoInit() override;
    // Keeps element indexes and owners in step as children come and go.
    void Reindex();

  protected:
    int m_iCurSel = -1;
    int m_iInitialSel = -1;  // "cursel": selected when the list is set up
    bool m_bMultiSelect = false;
    UiColor m_dwHotBorderColor = 0;
    UiColor m_dwSelectedBkColor = 0xFFC1E3FF;
    UiColor m_dwHotBkColor = 0xFFE9F5FF;
};

class CComboUI : public CListUI {
  public:
    CComboUI();
    [[nodiscard]] std::string_view GetClass() const override { return "Combo"; }
    // The selected element's text.
    [[nodiscard]] CDuiString GetText() const override;
    // Click: the window opens the drop-down (see SetDropDownHook).
    bool Activate() override;
    void DoEvent(TEventUI& event) override;
    void SetPos(const UiRect& rc) override;
    void DoPaint(IRenderTarget& target, const UiRect& dirty) override;
    [[nodiscard]] CControlUI* FindAt(UiPoint pt) override;
    void SetAttribute(std::string_view name, std::string_view value) override;
    // Set by the window host: shows the elements and reports the one picked.
    static void SetDropDownHook(std::function<void(CComboUI*)> hook);

  private:
    unsigned m_uButtonState = 0;
    CDuiString m_sNormalImage;
    CDuiString m_sHotImage;
};

// A hue and saturation field with a brightness bar below it.
class CColorPaletteUI : public CControlUI {
  public:
    [[nodiscard]] std::string_view GetClass() const override { return "ColorPalette"; }
    [[nodiscard]] UiColor GetSelectColor() const { return m_dwSelectColor; }
    void SetSelectColor(UiColor color);
    // The colour under a point of the control.
    [[nodiscard]] UiColor ColorAt(UiPoint pt) const;
    void DoEvent(TEventUI& event) override;
    void SetAttribute(std::string_view name, std::string_view value) override;
    void DoPaint(IRenderTarget& target, const UiRect& dirty) override;

  private:
    void Pick(UiPoint pt);
    [[nodiscard]] UiRect FieldRect() const;
    [[nodiscard]] UiRect BarRect() const;

    UiColor m_dwSelectColor = 0xFFFF0000;
    int m_nHue = 0;           // 0..359
    int m_nSaturation = 255;  // 0..255
    int m_nBrightness = 255;  // 0..255
    int m_nBarHeight = 12;
    bool m_bDragging = false;
};

// Hue, saturation and value to an opaque colour.
UiColor HsvToColor(int hue, int saturation, int value);

}  // namespace vextar::ui
