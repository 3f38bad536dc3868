#pragma once

// The device selector strip's entry (CDeviceOptionUI) and the power
// indicator beside the strip (CMpDevicePowerUI).
//
// An entry stands for one device page: it selects the page, shows whether
// the device takes part in synchronised lighting, and drives the device
// with timers on the UI thread (connect, frame tick, power poll, wireless
// check). Both controls build their content from their own layout once they
// are added to a managed tree, and look their parts up by name there; an
// operation whose part is missing does nothing.

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "device/varnic_usb_device.h"
#include "ui/container.h"
#include "ui/controls.h"

namespace vextar::app {

// The four images of an entry's icon, paths relative to the skin.
struct DeviceIcons {
    std::string synchroSelected;
    std::string synchroNormal;
    std::string selected;
    std::string normal;
};

// The icon set of a device kind and variant ("kb_device", "ms_device"...),
// or nothing when this kind and variant leave the current set alone (a
// mouse pad of an unknown variant). Kinds without a set of their own
// (receivers included) are "unknow_device".
std::optional<std::string_view> DeviceIconSet(int kind, int variant);
// "common/device_ico/<set>_normal.png" and the other three.
DeviceIcons DeviceIconsOf(std::string_view set);

class CDeviceOptionUI : public ui::CHorizontalLayoutUI {
  public:
    static constexpr const char* kLayout = "XML\\CustomControlXML\\DeviceOption.xml";
    static constexpr const char* kSynchroOptionName = "synchro_device_select";
    static constexpr const char* kSelectOptionName = "device_select";
    static constexpr const char* kNameLabelName = "device_select_name";
    static constexpr const char* kPowerSwitchName = "device_power_switch";
    static constexpr const char* kUnknownIconSet = "unknow_device";

    // Timers of the entry (control timers through the paint manager).
    static constexpr uint32_t kTimerFrame = 1000;
    static constexpr uint32_t kTimerConnect = 1001;
    static constexpr uint32_t kTimerResync = 1002;
    static constexpr uint32_t kTimerDeferred1 = 1003;
    static constexpr uint32_t kTimerDeferred2 = 1004;
    static constexpr uint32_t kTimerPower = 1005;
    static constexpr uint32_t kTimerWirelessCheck = 1007;

    static constexpr uint32_t kConnectDelayMs = 500;
    static constexpr uint32_t kConnectRetryMs = 3000;
    static constexpr uint32_t kFirstFrameMs = 5;
    static constexpr uint32_t kFrameCableMs = 10;
    static constexpr uint32_t kFrameReceiverMs = 50;
    static constexpr uint32_t kFirstPowerMs = 50;
    static constexpr uint32_t kPowerPollMs = 5000;
    static constexpr uint32_t kFirstWirelessCheckMs = 2000;
    static constexpr uint32_t kWirelessCheckMs = 3000;
    // The retry counter runs 0..kRetryWrap − 1 and wraps.
    static constexpr int kRetryWrap = 20;

    // A new entry is hidden (its device has not connected yet) and shows the
    // "unknow_device" icon.
    CDeviceOptionUI();
    ~CDeviceOptionUI() override;

    [[nodiscard]] std::string_view GetClass() const override { return "DeviceOption"; }
    // Builds the content from kLayout when the entry has none, finds the
    // parts and gives "device_select" the current icon.
    void DoInit() override;
    // The entry's timers; every other event as a layout handles it.
    void DoEvent(ui::TEventUI& event) override;
    // Remembers the choice and applies it.
    void SetVisible(bool visible) override;
    [[nodiscard]] bool IsShown() const { return shown_; }

    // ---- the page ----
    // Links the page and this entry both ways; null unlinks.
    void SetPage(CVarnicUSBDevice* page);
    [[nodiscard]] CVarnicUSBDevice* Page() const { return page_; }
    // The page's preview, repainted on each frame tick while the entry is
    // selected and the page previews; may be null.
    void SetPreviewControl(ui::CControlUI* preview) { preview_ = preview; }
    [[nodiscard]] ui::CControlUI* PreviewControl() const { return preview_; }
    // The page's row in the device type table: the wParam of
    // MSG_SHOW_DEVICE_OPTION.
    void SetStripIndex(int index) { stripIndex_ = index; }
    [[nodiscard]] int StripIndex() const { return stripIndex_; }

    // ---- look ----
    // Chooses the icon set of the kind and variant (see DeviceIconSet):
    // "device_select" takes the set's images (the synchro pair while the
    // entry is synchronised) and the set's name text.
    void SetKindAndVariant(int kind, int variant);
    [[nodiscard]] int Kind() const { return kind_; }
    [[nodiscard]] int Variant() const { return variant_; }
    [[nodiscard]] const DeviceIcons& Icons() const { return icons_; }
    [[nodiscard]] const std::string& IconSet() const { return iconSet_; }
    // "synchro_device_select" selected without a notification, and the
    // synchro images on "device_select" while on.
    void SetSynchronise(bool on);
    [[nodiscard]] bool IsSynchronised() const;
    // Selects "device_select" with its "selectchanged" notification.
    void Select(bool on);
    [[nodiscard]] bool IsSelected() const;
    // The tab layout and page "device_select" shows when clicked.
    void BindTab(std::string_view layoutName, int index);
    [[nodiscard]] std::string BoundTabName() const;
    [[nodiscard]] int BoundTabIndex() const;
    // The tab layout of the power indicator and its page; an index below 0
    // keeps the one before (−1 at first: none).
    void SetPowerPage(std::string_view name, int index);
    [[nodiscard]] const std::string& PowerPageName() const { return powerPageName_; }
    [[nodiscard]] int PowerPageIndex() const { return powerPageIndex_; }
    // The option group of "device_select".
    void SetGroup(std::string_view group);
    // The text of "device_select_name".
    void SetNameText(std::string_view text);

    // ---- timers ----
    // The connect step after 500 ms.
    void StartConnectTimer();
    // The wireless check every `periodMs`, only while the page's command link
    // is open; false when it was not started.
    bool StartWirelessCheck(uint32_t periodMs);
    // Connect attempts that found the device out of reach, modulo 20.
    [[nodiscard]] int RetryCount() const { return retries_; }

    // ---- parts (null until found) ----
    [[nodiscard]] ui::COptionUI* SynchroOption() const { return synchro_; }
    [[nodiscard]] ui::COptionUI* SelectOption() const { return select_; }
    [[nodiscard]] ui::CControlUI* NameLabel() const { return nameLabel_; }

  private:
    bool Arm(uint32_t id, uint32_t delayMs);
    void Post(bool show);
    void ApplyIcons();
    void OnFrameTick();
    void OnConnect();
    void OnPowerPoll();
    void OnWirelessCheck();
    [[nodiscard]] bool LinkOpen() const;
    [[nodiscard]] bool ThroughReceiver() const;

    CVarnicUSBDevice* page_ = nullptr;
    ui::CControlUI* preview_ = nullptr;
    int stripIndex_ = -1;
    int kind_ = 0;
    int variant_ = 0;
    std::string iconSet_;
    DeviceIcons icons_;
    // Where the layout draws the icon inside "device_select".
    std::optional<ui::UiRect> iconPlacement_;
    std::string powerPageName_ = kPowerSwitchName;
    int powerPageIndex_ = -1;
    bool shown_ = false;
    int retries_ = 0;
    ui::COptionUI* synchro_ = nullptr;
    ui::COptionUI* select_ = nullptr;
    ui::CControlUI* nameLabel_ = nullptr;
};

// The power indicator of a device page: battery level, charging state, the
// wireless mark and, on the mouse pad, the phone lying on it.
class CMpDevicePowerUI : public ui::CHorizontalLayoutUI, public IPowerIndicator {
  public:
    static constexpr const char* kLayout = "XML\\CustomControlXML\\MpDevicePower.xml";
    static constexpr std::size_t kMaxRecord = 64;

    CMpDevicePowerUI() = default;

    [[nodiscard]] std::string_view GetClass() const override { return "MpDevicePower"; }
    // Builds the content from kLayout when the indicator has none, finds the
    // parts and applies the kind and the power reporting state.
    void DoInit() override;

    // Only the mouse pad shows the phone row.
    void SetKindAndVariant(int kind, int variant);
    [[nodiscard]] int Kind() const { return kind_; }
    [[nodiscard]] int Variant() const { return variant_; }

    // Shows "device_power_Layout" while the device reports its power; kept
    // until the parts exist.
    void SetPowerReporting(bool reporting) override;
    [[nodiscard]] bool IsPowerReporting() const { return reporting_; }
    void SetPowerRecord(std::span<const uint8_t, 6> record) override;
    // A power record of up to 64 bytes (a shorter one reads as padded with
    // zeros): byte 0 battery percent (above 100 counts as 100), byte 1 the
    // power state (0 powered, 1 charging, 2 on battery; others leave the
    // state shown), byte 3 through the receiver, byte 5 the phone type
    // (mouse pad). Changes nothing until all six parts exist.
    void Update(std::span<const uint8_t> record);
    // Byte 3 of the last record applied.
    [[nodiscard]] bool IsWireless() const { return wireless_; }
    // The battery level shown (0..100), or -1 before the first record.
    [[nodiscard]] int BatteryPercent() const { return percent_; }
    [[nodiscard]] bool HasAllParts() const;

    [[nodiscard]] ui::CControlUI* ValueLabel() const { return value_; }
    [[nodiscard]] ui::CControlUI* WirelessLogo() const { return logo_; }
    [[nodiscard]] ui::CProgressUI* Progress() const { return progress_; }
    [[nodiscard]] ui::CControlUI* StatusImage() const { return status_; }
    [[nodiscard]] ui::CControlUI* PhoneType() const { return phone_; }
    [[nodiscard]] ui::CControlUI* PowerLayout() const { return layout_; }

  private:
    int kind_ = 0;
    int variant_ = 0;
    bool reporting_ = false;
    bool wireless_ = false;
    int percent_ = -1;
    std::optional<ui::UiRect> statusPlacement_;
    std::optional<ui::UiRect> phonePlacement_;
    ui::CControlUI* value_ = nullptr;
    ui::CControlUI* logo_ = nullptr;
    ui::CProgressUI* progress_ = nullptr;
    ui::CControlUI* status_ = nullptr;
    ui::CControlUI* phone_ = nullptr;
    ui::CControlUI* layout_ = nullptr;
};

// The strip's classes by their short names ("DeviceOption",
// "MpDevicePower") for a window's builder callback; null for any other.
std::unique_ptr<ui::CControlUI> CreateAppControl(std::string_view className);
// Registers "CDeviceOptionUI" and "CMpDevicePowerUI" with the control
// factory.
void RegisterAppControls();

}  // namespace vextar::app
