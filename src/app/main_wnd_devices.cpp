// The main window's devices: pages created per device type, the arrival and
// removal of the rows discovery binds, the move between cable and receiver,
// and the selector strip's show, hide and select.

#include <algorithm>

#include "app/device_option.h"
#include "app/main_wnd.h"
#include "app/window_messages.h"
#include "device/mouse/varnic_mouse_device.h"
#include "platform/log.h"
#include "ui/container.h"

namespace vextar::app {

namespace {

bool IsMouseOrKeyboard(int kind) {
    return kind == kKindMouse || kind == kKindMouseReceiver || kind == kKindKeyboard ||
           kind == kKindKeyboardReceiver;
}

// The cable row that stands for a row: a receiver row's partner.
const HidInterfaceRow& CableIdentity(int row) {
    const HidInterfaceRow& r = InterfaceTable()[static_cast<std::size_t>(row)];
    if (IsReceiverKind(r.kind) && r.hasPartner != 0) {
        return InterfaceTable()[r.partnerRow];
    }
    return r;
}

ui::CTabLayoutUI* Tabs(const ui::CPaintManagerUI& manager, std::string_view name) {
    return dynamic_cast<ui::CTabLayoutUI*>(manager.FindControl(name));
}

}  // namespace

int CMainWnd::TypeOfRow(int row) {
    if (row < 0 || static_cast<std::size_t>(row) >= kInterfaceRowCount) {
        return -1;
    }
    const HidInterfaceRow& cable = CableIdentity(row);
    return FindTypeRow(cable.vendorId, cable.productId, cable.kind, 0);
}

CVarnicUSBDevice* CMainWnd::CreatePage(int type) {
    if (type < 0 || static_cast<std::size_t>(type) >= kDeviceTypeCount) {
        return nullptr;
    }
    if (pages_[static_cast<std::size_t>(type)] != nullptr) {
        return pages_[static_cast<std::size_t>(type)];
    }
    const DeviceTypeRow& typeRow = kDeviceTypeTable[static_cast<std::size_t>(type)];
    const DevicePageRow& pageRow = kDevicePageTable[static_cast<std::size_t>(type)];
    auto* pages = dynamic_cast<ui::CContainerUI*>(Find("device_switch"));
    auto* strip = dynamic_cast<ui::CContainerUI*>(Find("device_select_layout"));
    auto* powers = dynamic_cast<ui::CContainerUI*>(Find(typeRow.powerSwitchName));
    if (pages == nullptr || strip == nullptr || powers == nullptr) {
        VEXTAR_LOG_ERROR("the main layout lacks the strip, its pages or its power indicators");
        return nullptr;
    }
    // The entry and the indicator build their content from their own
    // layouts when they join the tree.
    std::string error;
    auto power = std::make_unique<CMpDevicePowerUI>();
    auto entry = std::make_unique<CDeviceOptionUI>();
    CMpDevicePowerUI* powerRaw = power.get();
    CDeviceOptionUI* entryRaw = entry.get();
    const int rowIndex = FindInterfaceRow(static_cast<uint16_t>(typeRow.vendorId),
                                          static_cast<uint16_t>(typeRow.productId),
                                          static_cast<uint16_t>(typeRow.kind), kChannelCommand);
    std::unique_ptr<CVarnicUSBDevice> page;
    if (typeRow.kind == kKindMouse) {
        page = std::make_unique<CVarnicMouseDevice>(parts_.backend);
    } else {
        // The keyboard, mouse pad and headset connect and report their power
        // through the shared page; their own settings pages come with their
        // support.
        page = std::make_unique<CVarnicUSBDevice>(parts_.backend);
    }
    CVarnicUSBDevice* raw = page.get();
    raw->SetPageSkin(pageRow.pageSkin);
    raw->SetZoneCount(pageRow.zoneCount);
    raw->SetKeyCount(pageRow.keyCount);
    raw->SetTypeName(typeRow.typeName);
    raw->SetDefaultLightIndex(typeRow.defaultLightIndex);
    raw->SetLightFileBase(pageRow.lightFileBaseName);
    if (rowIndex >= 0) {
        raw->SetIdentity(InterfaceTable()[static_cast<std::size_t>(rowIndex)]);
    }
    raw->SetClock(manager_.Clock());

    powerRaw->SetKindAndVariant(typeRow.kind, 0);
    powers->Add(std::move(power));
    const int powerIndex = powers->GetItemIndex(powerRaw);
    raw->SetPowerIndicator(powerRaw);
    raw->SetPowerReporting(pageRow.powerReporting != 0);

    const int pageIndex = pages->GetCount();
    pages->Add(std::move(page));
    if (!raw->BuildControls(this, &error)) {
        VEXTAR_LOG_ERROR("the %s page cannot be built: %s", typeRow.typeName, error.c_str());
        pages->Remove(raw);
        powers->Remove(powerRaw);
        return nullptr;
    }
    strip->Add(std::move(entry));
    entryRaw->SetPage(raw);
    entryRaw->SetStripIndex(type);
    entryRaw->SetSynchronise(false);
    entryRaw->SetGroup(typeRow.tabName);
    entryRaw->BindTab("device_switch", pageIndex);
    entryRaw->SetPowerPage(typeRow.powerSwitchName, powerIndex);
    entryRaw->SetKindAndVariant(typeRow.kind, 0);
    entryRaw->SetVisible(false);
    if (auto* mouse = dynamic_cast<CVarnicMouseDevice*>(raw)) {
        mousePages_.push_back(mouse);
        mouse->SetResyncRequest([this, entryRaw] { manager_.SetTimer(entryRaw, 1002, 10); });
    }
    pages_[static_cast<std::size_t>(type)] = raw;
    entries_[static_cast<std::size_t>(type)] = entryRaw;
    powers_[static_cast<std::size_t>(type)] = powerRaw;
    allPages_.push_back(raw);
    return raw;
}

bool CMainWnd::OpenCommandLink(CVarnicUSBDevice& page, int row) {
    const HidInterfaceRow r = interfaces_.Row(static_cast<std::size_t>(row));
    if (r.connected == 0 || r.path.empty()) {
        return false;
    }
    CDeviceLink& link = page.CommandLink();
    const bool receiver = IsReceiverKind(r.kind);
    CHidInterface& hid = receiver ? link.receiverInterface : link.cableInterface;
    if (!hid.Open(r.path, true, true, true, false)) {
        VEXTAR_LOG_ERROR("cannot open %s: %s", r.path.c_str(), hid.LastError().c_str());
        return false;
    }
    if (IsMouseOrKeyboard(r.kind)) {
        link.SetMode(receiver ? CDeviceLink::kModeReceiver : CDeviceLink::kModeCable);
    }
    link.open = true;
    HidInterfaceRow identity = CableIdentity(row);
    identity.path = r.path;
    page.SetIdentity(identity);
    return true;
}

void CMainWnd::CloseCommandLink(CVarnicUSBDevice& page) {
    CDeviceLink& link = page.CommandLink();
    link.open = false;
    if (auto* engine = dynamic_cast<CMouseClassDevice*>(&page)) {
        engine->StopEffectThread();
    }
    link.cableInterface.Close();
    link.receiverInterface.Close();
}

void CMainWnd::OnDeviceArrived(int row) {
    if (row < 0 || static_cast<std::size_t>(row) >= interfaces_.Size()) {
        return;
    }
    const HidInterfaceRow r = interfaces_.Row(static_cast<std::size_t>(row));
    if (r.connected == 0) {
        return;  // gone again before we got here
    }
    const int type = TypeOfRow(row);
    CVarnicUSBDevice* page = CreatePage(type);
    if (page == nullptr) {
        return;
    }
    switch (r.kind) {
        case kKindKeyboard:
        case kKindKeyboardReceiver:
            VEXTAR_LOG_DEBUG("添加一个键盘设备");
            break;
        case kKindMouse:
        case kKindMouseReceiver:
            VEXTAR_LOG_DEBUG("添加一个鼠标设备");
            break;
        case kKindMousePad:
            VEXTAR_LOG_DEBUG("添加一个鼠标垫设备");
            break;
        default:
            break;
    }
    CDeviceOptionUI* entry = entries_[static_cast<std::size_t>(type)];
    if (r.channel == kChannelNotify) {
        if (auto* mouse = dynamic_cast<CVarnicMouseDevice*>(page)) {
            mouse->OpenNotifyInterface(r.path, r.kind);
        }
    } else if (IsMouseOrKeyboard(r.kind)) {
        const bool receiver = IsReceiverKind(r.kind);
        if (interfaces_.PartnerConnected(row)) {
            // Both connections are there: the cable has priority.
            if (!receiver) {
                SwitchCommandLink(*page, row, r.partnerRow);
            }
        } else if (!page->CommandLink().open && OpenCommandLink(*page, row)) {
            if (!receiver) {
                ShowEntry(type);
            }
            // Through the receiver the entry shows once the device answers.
            entry->StartConnectTimer();
        }
    } else if (!page->CommandLink().open && OpenCommandLink(*page, row)) {
        ShowEntry(type);
        entry->StartConnectTimer();
    }
    BringToFront();
}

void CMainWnd::SwitchCommandLink(CVarnicUSBDevice& page, int target, int fallback) {
    CloseCommandLink(page);
    const int type = TypeOfRow(target);
    CDeviceOptionUI* entry = type >= 0 ? entries_[static_cast<std::size_t>(type)] : nullptr;
    for (const int row : {target, fallback}) {
        if (row < 0 || !OpenCommandLink(page, row)) {
            continue;
        }
        if (entry == nullptr) {
            return;
        }
        if (IsReceiverKind(InterfaceTable()[static_cast<std::size_t>(row)].kind)) {
            // On the receiver: the connect step reads the device again once
            // it answers, and the wireless check follows its reach.
            entry->StartConnectTimer();
            entry->StartWirelessCheck(2000);
        } else {
            entry->StartConnectTimer();
            manager_.PostMessage(MSG_SHOW_DEVICE_OPTION, static_cast<uintptr_t>(type), 1);
        }
        CloseSettingsWindow();
        return;
    }
    // Neither connection opens: the device is gone for us.
    if (type >= 0) {
        HideEntry(type);
    }
}

void CMainWnd::OnDeviceRemoved(int row) {
    if (row < 0 || static_cast<std::size_t>(row) >= interfaces_.Size()) {
        return;
    }
    const HidInterfaceRow& r = InterfaceTable()[static_cast<std::size_t>(row)];
    const int type = TypeOfRow(row);
    if (type < 0 || pages_[static_cast<std::size_t>(type)] == nullptr) {
        return;
    }
    CVarnicUSBDevice& page = *pages_[static_cast<std::size_t>(type)];
    if (r.channel == kChannelNotify) {
        if (auto* mouse = dynamic_cast<CVarnicMouseDevice*>(&page)) {
            mouse->CloseNotifyInterface(r.kind);
        }
        return;
    }
    if (IsMouseOrKeyboard(r.kind)) {
        VEXTAR_LOG_DEBUG("%s", r.kind == kKindMouse || r.kind == kKindMouseReceiver
                                   ? "鼠标设备丢失"
                                   : "键盘设备丢失");
        const bool receiver = IsReceiverKind(r.kind);
        if (interfaces_.PartnerConnected(row)) {
            const bool onLostSide = page.CommandLink().IsReceiverMode() == receiver;
            if (onLostSide) {
                // The device moves to the connection that is left.
                SwitchCommandLink(page, r.partnerRow, -1);
            } else if (receiver) {
                page.CommandLink().receiverInterface.Close();
            } else {
                page.CommandLink().cableInterface.Close();
            }
            return;
        }
    }
    CloseCommandLink(page);
    HideEntry(type);
}

void CMainWnd::CloseSettingsWindow() {
    if (children_[0] != nullptr && children_[0]->View() != nullptr) {
        children_[0]->View()->Close();
    }
}

// ---- the strip ----

void CMainWnd::ShowEntry(int index) {
    const bool anotherShown = std::any_of(entries_.begin(), entries_.end(), [&](auto* e) {
        return e != nullptr && e != entries_[static_cast<std::size_t>(index)] && e->IsVisible();
    });
    SelectEntry(index, true, !anotherShown);
}

void CMainWnd::SelectEntry(int index, bool visible, bool select) {
    if (index < 0 || static_cast<std::size_t>(index) >= entries_.size() ||
        entries_[static_cast<std::size_t>(index)] == nullptr) {
        return;
    }
    CDeviceOptionUI* entry = entries_[static_cast<std::size_t>(index)];
    entry->SetVisible(visible);
    if (select) {
        if (ui::CTabLayoutUI* tabs = Tabs(manager_, entry->BoundTabName())) {
            tabs->SelectItem(entry->BoundTabIndex());
        }
        ShowPowerOf(*entry);
        entry->Select(true);
    }
    int shown = 0;
    int ticked = 0;
    for (CDeviceOptionUI* e : entries_) {
        if (e != nullptr && e->IsVisible()) {
            ++shown;
            ticked += e->IsSynchronised() ? 1 : 0;
        }
    }
    if (shown == 0) {
        for (const char* name : {"device_power_switch", "device_switch"}) {
            if (ui::CTabLayoutUI* tabs = Tabs(manager_, name)) {
                tabs->SelectItem(0);
            }
        }
    }
    UpdateNoDeviceLink();
    if (ticked <= 1) {
        for (CDeviceOptionUI* e : entries_) {
            if (e != nullptr) {
                e->SetSynchronise(false);
            }
        }
    }
}

void CMainWnd::ShowPowerOf(CDeviceOptionUI& entry) {
    ui::CTabLayoutUI* tabs = Tabs(manager_, "device_power_switch");
    if (tabs == nullptr) {
        return;
    }
    if (entry.PowerPageIndex() < 0) {
        tabs->SetVisible(false);
        return;
    }
    tabs->SetVisible(true);
    tabs->SelectItem(entry.PowerPageIndex());
}

void CMainWnd::HideEntry(int index) {
    if (index < 0 || static_cast<std::size_t>(index) >= entries_.size() ||
        entries_[static_cast<std::size_t>(index)] == nullptr) {
        return;
    }
    CDeviceOptionUI* entry = entries_[static_cast<std::size_t>(index)];
    int next = -1;
    if (entry->IsVisible() && entry->IsSelected()) {
        CloseChildWindows();
        // A key capture or macro recording on this page ends with it.
        if (inputHookRemover_) {
            inputHookRemover_();
        }
        for (std::size_t i = 0; i < entries_.size(); ++i) {
            if (static_cast<int>(i) != index && entries_[i] != nullptr &&
                entries_[i]->IsVisible()) {
                next = static_cast<int>(i);
                break;
            }
        }
    }
    SelectEntry(index, false, false);
    if (next >= 0) {
        SelectEntry(next, true, true);
    }
}

void CMainWnd::SelectNeighbour(int step) {
    std::vector<int> shown;
    int selected = -1;
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        if (entries_[i] != nullptr && entries_[i]->IsVisible()) {
            if (entries_[i]->IsSelected()) {
                selected = static_cast<int>(shown.size());
            }
            shown.push_back(static_cast<int>(i));
        }
    }
    if (shown.empty() || selected < 0) {
        return;
    }
    const int to = selected + step;
    if (to < 0 || to >= static_cast<int>(shown.size())) {
        return;
    }
    SelectEntry(shown[static_cast<std::size_t>(to)], true, true);
}

void CMainWnd::OnEntrySelected(CDeviceOptionUI& entry) {
    ShowPowerOf(entry);
    if (ui::CTabLayoutUI* tabs = Tabs(manager_, entry.BoundTabName())) {
        tabs->SelectItem(entry.BoundTabIndex());
    }
}

void CMainWnd::OnShowDeviceOption(int index, bool show) {
    if (index < 0 || static_cast<std::size_t>(index) >= entries_.size() ||
        entries_[static_cast<std::size_t>(index)] == nullptr) {
        return;
    }
    if (!show) {
        VEXTAR_LOG_DEBUG("2.4gcesvdfherhue 1");
        HideEntry(index);
        return;
    }
    if (!entries_[static_cast<std::size_t>(index)]->IsVisible()) {
        ShowEntry(index);
    }
}

std::vector<std::string> CMainWnd::StatusLines() const {
    std::vector<std::string> lines;
    for (std::size_t t = 0; t < kDeviceTypeCount; ++t) {
        std::string line = kDeviceTypeTable[t].typeName;
        CVarnicUSBDevice* page = pages_[t];
        const CDeviceOptionUI* entry = entries_[t];
        const bool connected = page != nullptr && page->CommandLink().open.load() &&
                               entry != nullptr && entry->IsVisible();
        line.append(connected ? " connected" : " absent");
        line.append(page != nullptr && page->CommandLink().open.load() &&
                            page->CommandLink().IsReceiverMode()
                        ? " receiver"
                        : " cable");
        line.append(entry != nullptr && entry->IsVisible() && entry->IsSelected() ? " selected"
                                                                                  : " -");
        const CMpDevicePowerUI* power = powers_[t];
        const int battery = power != nullptr ? power->BatteryPercent() : -1;
        line.append(" battery=");
        line.append(connected && battery >= 0 && page->IsPowerReporting() ? std::to_string(battery)
                                                                          : std::string("-"));
        lines.push_back(std::move(line));
    }
    return lines;
}

}  // namespace vextar::app
