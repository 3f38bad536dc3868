#include "app/device_option.h"

#include <algorithm>
#include <utility>

#include "app/window_messages.h"
#include "platform/log.h"
#include "ui/dialog_builder.h"
#include "ui/paint_manager.h"
#include "ui/widgets/widgets.h"

namespace vextar::app {

namespace {

constexpr std::string_view kIconFolder = "common/device_ico/";

// The program's own controls inside the strip's layouts.
class WidgetCallback final : public ui::IDialogBuilderCallback {
  public:
    std::unique_ptr<ui::CControlUI> CreateControl(std::string_view className) override {
        return ui::CreateWidget(className);
    }
};

// Builds `layout` into `host` when the host has no content yet (a bare
// control made by a builder callback); one made from a layout that gave it
// children keeps them. The host takes the content's size when it has none.
void BuildContent(ui::CContainerUI& host, const char* layout) {
    ui::CPaintManagerUI* manager = host.GetManager();
    if (manager == nullptr || host.GetCount() > 0) {
        return;
    }
    WidgetCallback callback;
    ui::CDialogBuilder builder;
    std::string error;
    std::unique_ptr<ui::CControlUI> content = builder.Create(layout, &callback, manager, &error);
    if (!content) {
        VEXTAR_LOG_ERROR("%s cannot be built: %s", layout, error.c_str());
        return;
    }
    if (host.GetFixedWidth() == 0) {
        host.SetFixedWidth(content->GetFixedWidth());
    }
    if (host.GetFixedHeight() == 0) {
        host.SetFixedHeight(content->GetFixedHeight());
    }
    host.Add(std::move(content));
}

template <typename T>
T* Part(ui::CControlUI& root, std::string_view name) {
    ui::CPaintManagerUI* manager = root.GetManager();
    if (manager == nullptr) {
        return nullptr;
    }
    return dynamic_cast<T*>(manager->FindSubControlByName(&root, name));
}

std::string TextOfId(std::string_view id) {
    std::string text = "%{";
    text.append(id);
    text.append("}");
    return text;
}

// The layout says where an image goes inside its control ("dest"); the code
// only chooses the file.
std::string PlacedImage(const std::optional<ui::UiRect>& dest, std::string_view file) {
    std::string image = "file='";
    image.append(file);
    image.append("'");
    if (dest) {
        image.append(" dest='");
        image.append(std::to_string(dest->left));
        image.append(",");
        image.append(std::to_string(dest->top));
        image.append(",");
        image.append(std::to_string(dest->right));
        image.append(",");
        image.append(std::to_string(dest->bottom));
        image.append("'");
    }
    return image;
}

std::optional<ui::UiRect> PlacementOf(std::string_view image) {
    return ui::ParseImageDescription(image).dest;
}

}  // namespace

std::optional<std::string_view> DeviceIconSet(int kind, int variant) {
    switch (kind) {
        case 1:
            return "kb_device";
        case 2:
            return "ms_device";
        case 3:
            if (variant == 0) {
                return "hard_mp_device";
            }
            if (variant == 1) {
                return "soft_mp_device";
            }
            return std::nullopt;
        case 4:
        case 7:
            return "hd_device";
        case 5:
            return "hub_device";
        default:
            return CDeviceOptionUI::kUnknownIconSet;
    }
}

DeviceIcons DeviceIconsOf(std::string_view set) {
    auto path = [set](std::string_view suffix) {
        std::string p(kIconFolder);
        p.append(set);
        p.append(suffix);
        return p;
    };
    return {path("_synchro_selected.png"), path("_synchro_normal.png"), path("_selected.png"),
            path("_normal.png")};
}

// ---- the strip's entry ----

CDeviceOptionUI::CDeviceOptionUI()
    : iconSet_(kUnknownIconSet), icons_(DeviceIconsOf(kUnknownIconSet)) {
    m_bVisible = false;
}

CDeviceOptionUI::~CDeviceOptionUI() {
    if (page_ != nullptr && page_->GetSelectorEntry() == this) {
        page_->SetSelectorEntry(nullptr);
    }
}

void CDeviceOptionUI::DoInit() {
    CHorizontalLayoutUI::DoInit();
    BuildContent(*this, kLayout);
    synchro_ = Part<ui::COptionUI>(*this, kSynchroOptionName);
    select_ = Part<ui::COptionUI>(*this, kSelectOptionName);
    nameLabel_ = Part<ui::CControlUI>(*this, kNameLabelName);
    if (select_ != nullptr) {
        iconPlacement_ = PlacementOf(select_->GetNormalImage());
    }
    ApplyIcons();
}

void CDeviceOptionUI::SetVisible(bool visible) {
    shown_ = visible;
    CHorizontalLayoutUI::SetVisible(visible);
}

void CDeviceOptionUI::SetPage(CVarnicUSBDevice* page) {
    if (page_ != nullptr && page_ != page && page_->GetSelectorEntry() == this) {
        page_->SetSelectorEntry(nullptr);
    }
    page_ = page;
    if (page_ != nullptr) {
        page_->SetSelectorEntry(this);
    }
}

void CDeviceOptionUI::SetKindAndVariant(int kind, int variant) {
    kind_ = kind;
    variant_ = variant;
    const std::optional<std::string_view> set = DeviceIconSet(kind, variant);
    if (!set) {
        return;
    }
    iconSet_ = *set;
    icons_ = DeviceIconsOf(*set);
    ApplyIcons();
}

void CDeviceOptionUI::ApplyIcons() {
    if (select_ == nullptr) {
        return;
    }
    const bool synchronised = IsSynchronised();
    select_->SetAttribute(
        "normalimage",
        PlacedImage(iconPlacement_, synchronised ? icons_.synchroNormal : icons_.normal));
    select_->SetAttribute(
        "selectedimage",
        PlacedImage(iconPlacement_, synchronised ? icons_.synchroSelected : icons_.selected));
    std::string nameId = iconSet_;
    nameId.append("_name_text");
    select_->SetAttribute("text", TextOfId(nameId));
    select_->Invalidate();
}

void CDeviceOptionUI::SetSynchronise(bool on) {
    if (synchro_ == nullptr) {
        return;
    }
    synchro_->Selected(on, false);
    ApplyIcons();
}

bool CDeviceOptionUI::IsSynchronised() const {
    return synchro_ != nullptr && synchro_->IsSelected();
}

void CDeviceOptionUI::Select(bool on) {
    if (select_ != nullptr) {
        select_->Selected(on, true);
    }
}

bool CDeviceOptionUI::IsSelected() const {
    return select_ != nullptr && select_->IsSelected();
}

void CDeviceOptionUI::BindTab(std::string_view layoutName, int index) {
    if (select_ != nullptr) {
        select_->BindTabLayoutName(layoutName);
        select_->BindTabIndex(index);
    }
}

std::string CDeviceOptionUI::BoundTabName() const {
    return select_ != nullptr ? select_->GetBindTabLayoutName() : std::string();
}

int CDeviceOptionUI::BoundTabIndex() const {
    return select_ != nullptr ? select_->GetBindTabLayoutIndex() : -1;
}

void CDeviceOptionUI::SetPowerPage(std::string_view name, int index) {
    powerPageName_ = name;
    if (index >= 0) {
        powerPageIndex_ = index;
    }
}

void CDeviceOptionUI::SetGroup(std::string_view group) {
    if (select_ != nullptr) {
        select_->SetGroup(group);
    }
}

void CDeviceOptionUI::SetNameText(std::string_view text) {
    if (nameLabel_ != nullptr) {
        nameLabel_->SetText(text);
    }
}

// ---- timers ----

bool CDeviceOptionUI::Arm(uint32_t id, uint32_t delayMs) {
    if (m_pManager == nullptr) {
        return false;
    }
    // The frame ticks of every device fire together: one wake-up per period
    // instead of one per device.
    if (id == kTimerFrame && delayMs >= kFrameCableMs) {
        return m_pManager->SetAlignedTimer(this, id, delayMs);
    }
    return m_pManager->SetTimer(this, id, delayMs);
}

void CDeviceOptionUI::Post(bool show) {
    if (m_pManager != nullptr) {
        m_pManager->PostMessage(MSG_SHOW_DEVICE_OPTION, static_cast<uintptr_t>(stripIndex_),
                                show ? 1 : 0);
    }
}

bool CDeviceOptionUI::LinkOpen() const {
    return page_ != nullptr && page_->CommandLink().open.load();
}

bool CDeviceOptionUI::ThroughReceiver() const {
    return page_ != nullptr && page_->CommandLink().IsReceiverMode();
}

void CDeviceOptionUI::StartConnectTimer() {
    Arm(kTimerConnect, kConnectDelayMs);
}

bool CDeviceOptionUI::StartWirelessCheck(uint32_t periodMs) {
    return LinkOpen() && Arm(kTimerWirelessCheck, periodMs);
}

void CDeviceOptionUI::DoEvent(ui::TEventUI& event) {
    if (event.Type == ui::UiEvent::Timer && event.pSender == this) {
        const auto id = static_cast<uint32_t>(event.wParam);
        switch (id) {
            case kTimerFrame:
            case kTimerConnect:
            case kTimerResync:
            case kTimerDeferred1:
            case kTimerDeferred2:
            case kTimerPower:
            case kTimerWirelessCheck:
                if (m_pManager != nullptr) {
                    m_pManager->KillTimer(this, id);
                }
                break;
            default:
                CHorizontalLayoutUI::DoEvent(event);
                return;
        }
        if (page_ == nullptr) {
            return;
        }
        switch (id) {
            case kTimerFrame:
                OnFrameTick();
                break;
            case kTimerConnect:
                OnConnect();
                break;
            case kTimerResync:
                page_->OnResyncRequest();
                break;
            case kTimerDeferred1:
                page_->OnDeferred1();
                break;
            case kTimerDeferred2:
                page_->OnDeferred2();
                break;
            case kTimerPower:
                OnPowerPoll();
                break;
            case kTimerWirelessCheck:
                OnWirelessCheck();
                break;
            default:
                break;
        }
        return;
    }
    CHorizontalLayoutUI::DoEvent(event);
}

void CDeviceOptionUI::OnFrameTick() {
    page_->PushFrame();
    if (IsSelected() && page_->IsPreview() && preview_ != nullptr) {
        preview_->Invalidate();
    }
    // A closed link ends the tick; the next connect starts it again.
    if (LinkOpen()) {
        Arm(kTimerFrame, ThroughReceiver() ? kFrameReceiverMs : kFrameCableMs);
    }
}

void CDeviceOptionUI::OnConnect() {
    if (ThroughReceiver() && LinkOpen()) {
        if (page_->IsDeviceReachable() != 1) {
            // The receiver is there but its device is off or out of range:
            // keep the entry hidden and ask again.
            retries_ = (retries_ + 1) % kRetryWrap;
            if (shown_) {
                Post(false);
            }
            Arm(kTimerConnect, kConnectRetryMs);
            return;
        }
        Post(true);
    }
    // The device may have gone while the receiver was asked.
    if (!LinkOpen()) {
        return;
    }
    page_->OnConnected();
    retries_ = 0;
    Arm(kTimerFrame, kFirstFrameMs);
    if (page_->IsPowerReporting() && LinkOpen()) {
        Arm(kTimerPower, kFirstPowerMs);
    }
    if (ThroughReceiver()) {
        Arm(kTimerWirelessCheck, kFirstWirelessCheckMs);
    }
}

void CDeviceOptionUI::OnPowerPoll() {
    page_->ReadPowerStatus();
    if (page_->IsPowerReporting() && LinkOpen()) {
        Arm(kTimerPower, kPowerPollMs);
    }
}

void CDeviceOptionUI::OnWirelessCheck() {
    if (ThroughReceiver()) {
        const bool reachable = page_->IsDeviceReachable() == 1;
        if (reachable && !shown_) {
            Post(true);
            if (page_->IsPowerReporting()) {
                page_->ReadPowerStatus();
            }
        } else if (!reachable && shown_) {
            Post(false);
        }
    }
    if (ThroughReceiver() && LinkOpen()) {
        Arm(kTimerWirelessCheck, kWirelessCheckMs);
    }
}

// ---- the power indicator ----

void CMpDevicePowerUI::DoInit() {
    CHorizontalLayoutUI::DoInit();
    BuildContent(*this, kLayout);
    value_ = Part<ui::CControlUI>(*this, "device_power_value");
    logo_ = Part<ui::CControlUI>(*this, "device_wuxian_logo");
    progress_ = Part<ui::CProgressUI>(*this, "device_Power_progress");
    status_ = Part<ui::CControlUI>(*this, "device_power_status");
    phone_ = Part<ui::CControlUI>(*this, "device_phone_type");
    layout_ = Part<ui::CControlUI>(*this, "device_power_Layout");
    if (status_ != nullptr) {
        statusPlacement_ = PlacementOf(status_->GetBkImage());
    }
    if (phone_ != nullptr) {
        phonePlacement_ = PlacementOf(phone_->GetBkImage());
    }
    SetKindAndVariant(kind_, variant_);
    SetPowerReporting(reporting_);
}

bool CMpDevicePowerUI::HasAllParts() const {
    return value_ != nullptr && logo_ != nullptr && progress_ != nullptr && status_ != nullptr &&
           phone_ != nullptr && layout_ != nullptr;
}

void CMpDevicePowerUI::SetKindAndVariant(int kind, int variant) {
    kind_ = kind;
    variant_ = variant;
    if (HasAllParts()) {
        phone_->SetVisible(kind_ == kKindMousePad);
    }
}

void CMpDevicePowerUI::SetPowerReporting(bool reporting) {
    reporting_ = reporting;
    if (HasAllParts()) {
        layout_->SetVisible(reporting);
    }
}

void CMpDevicePowerUI::SetPowerRecord(std::span<const uint8_t, 6> record) {
    Update(record);
}

void CMpDevicePowerUI::Update(std::span<const uint8_t> record) {
    if (!HasAllParts()) {
        return;
    }
    std::array<uint8_t, kMaxRecord> b{};
    std::copy_n(record.begin(), std::min(record.size(), b.size()), b.begin());

    const int percent = std::min<int>(b[0], 100);
    percent_ = percent;
    progress_->SetValue(100 - percent);
    std::string text = std::to_string(percent);
    text.append("%");
    value_->SetText(text);

    wireless_ = b[3] != 0;
    if (kind_ == kKindKeyboard || kind_ == kKindMouse) {
        logo_->SetVisible(wireless_);
    }
    switch (b[1]) {
        case 0:
            progress_->SetVisible(true);
            status_->SetBkImage(PlacedImage(statusPlacement_, "power/powered.png"));
            break;
        case 1:
            // While charging through the receiver the wireless mark stands in
            // for the battery.
            progress_->SetVisible(!wireless_);
            status_->SetBkImage(PlacedImage(statusPlacement_, "power/powering.png"));
            break;
        case 2:
            progress_->SetVisible(true);
            status_->SetBkImage(PlacedImage(statusPlacement_, "power/power.png"));
            break;
        default:
            break;
    }
    if (kind_ == kKindMousePad) {
        std::string_view phone;
        switch (b[5]) {
            case 1:
                phone = "Phone_type_iphone";
                break;
            case 2:
                phone = "Phone_type_samsung";
                break;
            case 3:
                phone = "Phone_type_other";
                break;
            default:
                phone = "Phone_type_no_device";
                break;
        }
        phone_->SetAttribute("text", TextOfId(phone));
        std::string file = "power/";
        file.append(phone);
        file.append(".png");
        phone_->SetBkImage(PlacedImage(phonePlacement_, file));
    }
}

// ---- classes ----

std::unique_ptr<ui::CControlUI> CreateAppControl(std::string_view className) {
    if (ui::EqualsNoCase(className, "DeviceOption")) {
        return std::make_unique<CDeviceOptionUI>();
    }
    if (ui::EqualsNoCase(className, "MpDevicePower")) {
        return std::make_unique<CMpDevicePowerUI>();
    }
    return nullptr;
}

void RegisterAppControls() {
    ui::CControlFactory& factory = ui::CControlFactory::Instance();
    factory.RegisterControl("CDeviceOptionUI", [] { return std::make_unique<CDeviceOptionUI>(); });
    factory.RegisterControl("CMpDevicePowerUI",
                            [] { return std::make_unique<CMpDevicePowerUI>(); });
}

}  // namespace vextar::app
