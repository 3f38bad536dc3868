#include "ui/container.h"

#include <algorithm>

#include "ui/paint_manager.h"

namespace vextar::ui {

CControlUI* CContainerUI::GetItemAt(int index) const {
    if (index < 0 || index >= GetCount()) {
        return nullptr;
    }
    return m_items[static_cast<std::size_t>(index)].get();
}

int CContainerUI::GetItemIndex(const CControlUI* control) const {
    for (std::size_t i = 0; i < m_items.size(); ++i) {
        if (m_items[i].get() == control) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

CControlUI* CContainerUI::Add(std::unique_ptr<CControlUI> control) {
    return AddAt(std::move(control), GetCount());
}

CControlUI* CContainerUI::AddAt(std::unique_ptr<CControlUI> control, int index) {
    if (!control || index < 0 || index > GetCount()) {
        return nullptr;
    }
    CControlUI* raw = control.get();
    m_items.insert(m_items.begin() + index, std::move(control));
    raw->SetManager(m_pManager, this, m_pManager != nullptr);
    NeedUpdate();
    return raw;
}

bool CContainerUI::Remove(CControlUI* control) {
    return Detach(control) != nullptr;
}

std::unique_ptr<CControlUI> CContainerUI::Detach(CControlUI* control) {
    const int index = GetItemIndex(control);
    if (index < 0) {
        return nullptr;
    }
    std::unique_ptr<CControlUI> owned = std::move(m_items[static_cast<std::size_t>(index)]);
    m_items.erase(m_items.begin() + index);
    if (m_pManager != nullptr) {
        m_pManager->ReapObjects(owned.get());
    }
    NeedUpdate();
    return owned;
}

void CContainerUI::RemoveAll() {
    m_items.clear();
    NeedUpdate();
}

void CContainerUI::SetInset(const UiRect& inset) {
    m_rcInset = inset;
    NeedUpdate();
}

void CContainerUI::SetChildPadding(int padding) {
    m_iChildPadding = padding;
    NeedUpdate();
}

void CContainerUI::SetManager(CPaintManagerUI* manager, CControlUI* parent, bool init) {
    for (auto& item : m_items) {
        item->SetManager(manager, this, init);
    }
    CControlUI::SetManager(manager, parent, init);
}

CControlUI* CContainerUI::FindByName(std::string_view name) {
    if (CControlUI* self = CControlUI::FindByName(name)) {
        return self;
    }
    for (auto& item : m_items) {
        if (CControlUI* found = item->FindByName(name)) {
            return found;
        }
    }
    return nullptr;
}

CControlUI* CContainerUI::FindAt(UiPoint pt) {
    if (!m_bVisible || !m_rcItem.Contains(pt)) {
        return nullptr;
    }
    // Later children paint over earlier ones, so they are hit first.
    for (auto it = m_items.rbegin(); it != m_items.rend(); ++it) {
        if ((*it)->IsFloat()) {
            if (CControlUI* found = (*it)->FindAt(pt)) {
                return found;
            }
        }
    }
    for (auto it = m_items.rbegin(); it != m_items.rend(); ++it) {
        if (!(*it)->IsFloat()) {
            if (CControlUI* found = (*it)->FindAt(pt)) {
                return found;
            }
        }
    }
    return m_bMouseEnabled ? this : nullptr;
}

void CContainerUI::SetAttribute(std::string_view name, std::string_view value) {
    if (name == "inset") {
        m_rcInset = ParseRect(value).value_or(UiRect{});
    } else if (name == "childpadding") {
        m_iChildPadding = ParseInt(value).value_or(0);
    } else {
        CControlUI::SetAttribute(name, value);
    }
}

UiRect CContainerUI::ContentRect(const UiRect& rc) const {
    UiRect content = rc.Deflate({Scale(m_rcInset.left), Scale(m_rcInset.top),
                                 Scale(m_rcInset.right), Scale(m_rcInset.bottom)});
    content.right = std::max(content.right, content.left);
    content.bottom = std::max(content.bottom, content.top);
    return content;
}

void CContainerUI::PlaceFloat(CControlUI* child, const UiRect& content) {
    const UiRect& f = child->GetFloatPos();
    const UiSize size = child->EstimateSize({content.Width(), content.Height()});
    const int left = content.left + Scale(f.left);
    const int top = content.top + Scale(f.top);
    const int width = size.cx > 0 ? size.cx : Scale(f.Width());
    const int height = size.cy > 0 ? size.cy : Scale(f.Height());
    child->SetPos({left, top, left + width, top + height});
}

void CContainerUI::SetPos(const UiRect& rc) {
    CControlUI::SetPos(rc);
    const UiRect content = ContentRect(rc);
    for (auto& item : m_items) {
        if (!item->IsVisible()) {
            continue;
        }
        if (item->IsFloat()) {
            PlaceFloat(item.get(), content);
            continue;
        }
        // A plain container stacks its children, each at its fixed size (or
        // the whole width or height) inside the padding.
        const UiRect& pad = item->GetPadding();
        const UiRect area =
            content.Deflate({Scale(pad.left), Scale(pad.top), Scale(pad.right), Scale(pad.bottom)});
        const UiSize size = item->EstimateSize({area.Width(), area.Height()});
        item->SetPos({area.left, area.top, area.left + (size.cx > 0 ? size.cx : area.Width()),
                      area.top + (size.cy > 0 ? size.cy : area.Height())});
    }
}

void CContainerUI::DoPaint(IRenderTarget& target, const UiRect& dirty) {
    if (!m_rcItem.Intersects(dirty)) {
        return;
    }
    CControlUI::DoPaint(target, dirty);
    target.PushClip(m_rcItem);
    for (auto& item : m_items) {
        if (item->IsVisible() && !item->IsFloat()) {
            item->DoPaint(target, dirty);
        }
    }
    for (auto& item : m_items) {
        if (item->IsVisible() && item->IsFloat()) {
            item->DoPaint(target, dirty);
        }
    }
    target.PopClip();
}

void CContainerUI::SetVisible(bool visible) {
    if (!visible && m_pManager != nullptr) {
        // Focus does not stay inside a hidden subtree.
        for (CControlUI* c = m_pManager->GetFocus(); c != nullptr; c = c->GetParent()) {
            if (c == this) {
                m_pManager->SetFocus(nullptr);
                break;
            }
        }
    }
    CControlUI::SetVisible(visible);
}

namespace {

// Lays children out along one axis: fixed sizes first, the rest shared.
template <bool Vertical>
void LayoutLine(std::vector<std::unique_ptr<CControlUI>>& items, const UiRect& content,
                int childPadding, CPaintManagerUI* manager) {
    auto scale = [manager](int v) { return manager != nullptr ? manager->Scale(v) : v; };
    const int length = Vertical ? content.Height() : content.Width();
    int fixedTotal = 0;
    int flexible = 0;
    int visible = 0;
    std::vector<UiSize> sizes(items.size());
    for (std::size_t i = 0; i < items.size(); ++i) {
        CControlUI* item = items[i].get();
        if (!item->IsVisible() || item->IsFloat()) {
            continue;
        }
        ++visible;
        sizes[i] = item->EstimateSize({content.Width(), content.Height()});
        const UiRect& pad = item->GetPadding();
        const int along = Vertical ? sizes[i].cy : sizes[i].cx;
        const int padAlong =
            Vertical ? scale(pad.top) + scale(pad.bottom) : scale(pad.left) + scale(pad.right);
        if (along > 0) {
            fixedTotal += along;
        } else {
            ++flexible;
        }
        fixedTotal += padAlong;
    }
    fixedTotal += std::max(visible - 1, 0) * scale(childPadding);
    const int share = flexible > 0 ? std::max(length - fixedTotal, 0) / flexible : 0;
    int remainder = flexible > 0 ? std::max(length - fixedTotal, 0) % flexible : 0;

    int pos = Vertical ? content.top : content.left;
    for (std::size_t i = 0; i < items.size(); ++i) {
        CControlUI* item = items[i].get();
        if (!item->IsVisible()) {
            continue;
        }
        if (item->IsFloat()) {
            continue;
        }
        const UiRect& pad = item->GetPadding();
        int along = Vertical ? sizes[i].cy : sizes[i].cx;
        if (along <= 0) {
            along = share + (remainder > 0 ? 1 : 0);
            remainder = std::max(remainder - 1, 0);
        }
        if constexpr (Vertical) {
            pos += scale(pad.top);
            const int left = content.left + scale(pad.left);
            const int width =
                sizes[i].cx > 0 ? sizes[i].cx : content.right - scale(pad.right) - left;
            item->SetPos({left, pos, left + std::max(width, 0), pos + along});
            pos += along + scale(pad.bottom) + scale(childPadding);
        } else {
            pos += scale(pad.left);
            const int top = content.top + scale(pad.top);
            const int height =
                sizes[i].cy > 0 ? sizes[i].cy : content.bottom - scale(pad.bottom) - top;
            item->SetPos({pos, top, pos + along, top + std::max(height, 0)});
            pos += along + scale(pad.right) + scale(childPadding);
        }
    }
}

}  // namespace

void CVerticalLayoutUI::SetPos(const UiRect& rc) {
    CControlUI::SetPos(rc);
    const UiRect content = ContentRect(rc);
    LayoutLine<true>(m_items, content, m_iChildPadding, m_pManager);
    for (auto& item : m_items) {
        if (item->IsVisible() && item->IsFloat()) {
            PlaceFloat(item.get(), content);
        }
    }
}

void CHorizontalLayoutUI::SetPos(const UiRect& rc) {
    CControlUI::SetPos(rc);
    const UiRect content = ContentRect(rc);
    LayoutLine<false>(m_items, content, m_iChildPadding, m_pManager);
    for (auto& item : m_items) {
        if (item->IsVisible() && item->IsFloat()) {
            PlaceFloat(item.get(), content);
        }
    }
}

bool CTabLayoutUI::SelectItem(int index) {
    if (index < 0 || index >= GetCount()) {
        return false;
    }
    m_iCurSel = index;
    for (int i = 0; i < GetCount(); ++i) {
        GetItemAt(i)->SetVisible(i == index);
    }
    NeedUpdate();
    return true;
}

bool CTabLayoutUI::SelectItem(CControlUI* control) {
    return SelectItem(GetItemIndex(control));
}

void CTabLayoutUI::SetAttribute(std::string_view name, std::string_view value) {
    if (name == "selectedid") {
        m_iCurSel = std::max(ParseInt(value).value_or(0), 0);
    } else {
        CContainerUI::SetAttribute(name, value);
    }
}

void CTabLayoutUI::DoInit() {
    if (GetCount() > 0) {
        SelectItem(std::min(m_iCurSel, GetCount() - 1));
    }
}

void CTabLayoutUI::SetPos(const UiRect& rc) {
    CControlUI::SetPos(rc);
    const UiRect content = ContentRect(rc);
    for (auto& item : m_items) {
        if (item->IsVisible()) {
            const UiRect& pad = item->GetPadding();
            item->SetPos(content.Deflate(
                {Scale(pad.left), Scale(pad.top), Scale(pad.right), Scale(pad.bottom)}));
        }
    }
}

}  // namespace vextar::ui
