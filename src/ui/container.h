#pragma once

// Containers own their children and lay them out: on top of each other
// (container), in a column, in a row, or one page at a time (tab layout).

#include <memory>
#include <vector>

#include "ui/control.h"

namespace vextar::ui {

class CContainerUI : public CControlUI {
  public:
    [[nodiscard]] std::string_view GetClass() const override { return "Container"; }

    [[nodiscard]] int GetCount() const { return static_cast<int>(m_items.size()); }
    [[nodiscard]] CControlUI* GetItemAt(int index) const;
    [[nodiscard]] int GetItemIndex(const CControlUI* control) const;
    // Takes ownership; returns the control added, or null.
    CControlUI* Add(std::unique_ptr<CControlUI> control);
    CControlUI* AddAt(std::unique_ptr<CControlUI> control, int index);
    // Removes and destroys a child.
    bool Remove(CControlUI* control);
    // Removes a child and hands it back.
    std::unique_ptr<CControlUI> Detach(CControlUI* control);
    void RemoveAll();

    [[nodiscard]] const UiRect& GetInset() const { return m_rcInset; }
    void SetInset(const UiRect& inset);
    [[nodiscard]] int GetChildPadding() const { return m_iChildPadding; }
    void SetChildPadding(int padding);

    void SetManager(CPaintManagerUI* manager, CControlUI* parent, bool init = true) override;
    [[nodiscard]] CControlUI* FindByName(std::string_view name) override;
    [[nodiscard]] CControlUI* FindAt(UiPoint pt) override;
    void SetAttribute(std::string_view name, std::string_view value) override;
    void SetPos(const UiRect& rc) override;
    void DoPaint(IRenderTarget& target, const UiRect& dirty) override;
    void SetVisible(bool visible) override;

  protected:
    // The rectangle children are laid out in.
    [[nodiscard]] UiRect ContentRect(const UiRect& rc) const;
    // Places a floating child relative to this container.
    void PlaceFloat(CControlUI* child, const UiRect& content);

    std::vector<std::unique_ptr<CControlUI>> m_items;
    UiRect m_rcInset{};
    int m_iChildPadding = 0;
};

class CVerticalLayoutUI : public CContainerUI {
  public:
    [[nodiscard]] std::string_view GetClass() const override { return "VerticalLayout"; }
    void SetPos(const UiRect& rc) override;
};

class CHorizontalLayoutUI : public CContainerUI {
  public:
    [[nodiscard]] std::string_view GetClass() const override { return "HorizontalLayout"; }
    void SetPos(const UiRect& rc) override;
};

class CTabLayoutUI : public CContainerUI {
  public:
    [[nodiscard]] std::string_view GetClass() const override { return "TabLayout"; }
    [[nodiscard]] int GetCurSel() const { return m_iCurSel; }
    // Shows the page at `index` and hides the others; false when out of range.
    bool SelectItem(int index);
    bool SelectItem(CControlUI* control);
    void SetAttribute(std::string_view name, std::string_view value) override;
    void SetPos(const UiRect& rc) override;
    void DoInit() override;

  private:
    int m_iCurSel = 0;
};

}  // namespace vextar::ui
