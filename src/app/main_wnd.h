#pragma once

// CMainWnd: the program's one main window and its controller. It owns the
// device pages, the worker slots and the child windows, handles the
// messages of the workers and of other programs, and routes the
// notifications of its tree to the page shown.

#include <array>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/app_window.h"
#include "app/aux_windows.h"
#include "app/language.h"
#include "app/window_messages.h"
#include "app/worker_slots.h"
#include "devicelink/device_tables.h"
#include "platform/hid_backend.h"
#include "platform/message_bus.h"
#include "profile/settings_store.h"
#include "ui/route_table.h"

namespace vextar {
class CVarnicUSBDevice;
class CVarnicMouseDevice;
}  // namespace vextar

namespace vextar::app {

class CDeviceOptionUI;
class CMpDevicePowerUI;
class CDiscovery;

// What the main window is given by the program.
struct MainWndParts {
    IWindowSystem* windows = nullptr;
    // Discovery runs on its own thread unless a test drives it.
    bool discoveryThread = true;
    // Other programs; none in tests that do not need them.
    platform::IMessageBus* bus = nullptr;
    ISettingsStore* settings = nullptr;
    std::shared_ptr<platform::IHidBackend> backend;
    std::string skinFolder;      // ends with "/"
    std::string languageConfig;  // "Language.config"
    std::string skinIni;         // "main.ini"
    platform::IClock* clock = nullptr;
    // The process id other programs see as our window's handle.
    int64_t windowHandle = 0;
};

// The answer to a tool's query: the version 2.3.0.2, the number of device
// types, then each type's vendor id, product id and kind (32-bit values,
// little-endian, the rest zero).
std::array<uint8_t, kToolAnswerBytes> ToolQueryPayload();
// The DPI the window takes on a monitor of this size.
int DpiForMonitor(int width, int height);
// A language text with its first "%d" replaced by the number.
std::string FormatNumberText(std::string_view format, long number);

class CMainWnd final : public CAppWindow {
  public:
    static constexpr int kLogicalWidth = 1000;
    static constexpr int kLogicalHeight = 640;
    static constexpr uint32_t kTimerDpiStep = 1011;
    static constexpr uint32_t kTimerTrayMenu = 1032;
    static constexpr uint32_t kTimerProfileSwitch = 1055;
    static constexpr uint32_t kTimerGameLight = 1066;
    static constexpr int kTrayIconId = 107;

    explicit CMainWnd(MainWndParts parts);
    ~CMainWnd() override;

    // Builds "XML_MAIN", makes the window's view (800 × 572 until the DPI
    // step) and its tray icon, and runs the window start. False with a
    // reason when the layout cannot be built.
    bool Create(std::string* error);
    // The bus to other programs, when it starts after the window object.
    void SetBus(platform::IMessageBus* bus) { parts_.bus = bus; }

    // ---- state ----
    [[nodiscard]] bool IsAwake() const { return awake_; }
    [[nodiscard]] int LightControl() const { return lightControl_; }
    [[nodiscard]] bool IsActive() const { return active_ != 0; }
    [[nodiscard]] bool HasAttention() const { return attention_ != 0; }
    [[nodiscard]] int WindowDpi() const { return windowDpi_; }
    [[nodiscard]] bool Initialised() const { return initialised_; }
    [[nodiscard]] int CurrentLanguage() const { return language_.CurrentIndex(); }
    [[nodiscard]] const std::vector<CVarnicMouseDevice*>& MousePages() const { return mousePages_; }
    [[nodiscard]] ui::UiSize ScreenSize() const { return screen_; }
    [[nodiscard]] InterfaceWorkingCopy& Interfaces() { return interfaces_; }
    [[nodiscard]] CWorkerSlots& Workers() { return workers_; }
    [[nodiscard]] ui::CRouteTable& Routes() { return routes_; }

    [[nodiscard]] CDeviceOptionUI* Entry(int type) const {
        return entries_.at(static_cast<std::size_t>(type));
    }
    [[nodiscard]] CVarnicUSBDevice* Page(int type) const {
        return pages_.at(static_cast<std::size_t>(type));
    }
    [[nodiscard]] CDiscovery* Discovery() const { return discovery_.get(); }
    // One line per device type: "TYPE connected|absent cable|receiver
    // selected|- battery=N|-".
    [[nodiscard]] std::vector<std::string> StatusLines() const;
    // The device type of an interface row (a receiver row counts as its
    // cable's), or -1.
    static int TypeOfRow(int row);

    // ---- devices and the strip ----
    void OnDeviceArrived(int row);
    void OnDeviceRemoved(int row);
    // Shows the entry, selected when no other entry is shown.
    void ShowEntry(int index);
    void SelectEntry(int index, bool visible, bool select);
    void HideEntry(int index);
    // The visible entry before (-1) or after (1) the selected one.
    void SelectNeighbour(int step);
    void OnEntrySelected(CDeviceOptionUI& entry);
    void OnShowDeviceOption(int index, bool show);
    // Called when an entry that is shown and selected is hidden: a key
    // capture or macro recording of its page ends.
    void SetInputHookRemover(std::function<void()> remover) {
        inputHookRemover_ = std::move(remover);
    }
    void OnWindowInit();
    void OnWindowSized();

    // ---- operations ----
    // The page of the selected visible strip entry; none while no entry is
    // shown.
    [[nodiscard]] CVarnicUSBDevice* CurrentPage() const;
    // Shows "No_device_Link" when no device entry is visible.
    void UpdateNoDeviceLink();
    void BringToFront();
    void DpiStep();
    void CloseChildWindows();
    // A message box owned by the main window (or by none) at its DPI: 1 when
    // confirmed.
    int ShowMessage(std::string_view textId, MsgButtons buttons, bool owned = true);
    // "message_text_16" and its kind: the language text with its one "%d"
    // replaced by the number.
    int ShowFormattedMessage(std::string_view textId, long number, bool owned = true);
    void ShowAbout();
    void OpenSkinPicker();
    // Ends the program (the tray's "exit").
    void Exit();
    // A chosen popup menu item.
    void PostMenuCommand(std::string item);
    // While the machine sleeps most messages are dropped.
    [[nodiscard]] bool IsGatedWhileAsleep(uint32_t msg, uintptr_t wParam) const;

    intptr_t HandleMessage(uint32_t msg, uintptr_t wParam, intptr_t lParam, bool& handled) override;
    void OnViewClosed() override;
    std::unique_ptr<ui::CControlUI> CreateControl(std::string_view className) override;

  protected:
    void OnNotify(ui::TNotifyUI& msg) override;

  private:
    void InitWindow();
    void WindowStart();
    void CreatePages();
    CVarnicUSBDevice* CreatePage(int type);
    bool OpenCommandLink(CVarnicUSBDevice& page, int row);
    void CloseCommandLink(CVarnicUSBDevice& page);
    // Moves the page's command link to `target`, else to `fallback`; hides
    // its entry when neither opens.
    void SwitchCommandLink(CVarnicUSBDevice& page, int target, int fallback);
    void ShowPowerOf(CDeviceOptionUI& entry);
    void CloseSettingsWindow();
    void StartDiscovery();
    void OnDestroy();
    void OnTimer(uint32_t id);
    void OnTray(intptr_t mouseMessage);
    void OnMenuCommand(const std::string& item);
    // "menu.xml" with the languages to choose from; empty when it cannot be
    // read.
    [[nodiscard]] std::string TrayMenuXml() const;
    void OnCopyData(const CopyDataStruct& data);
    void OnToolQuery();
    void OnLightRequest(uintptr_t wParam, intptr_t lParam);
    void SetLightControl(int value, bool broadcast);
    void ApplyLanguage(int index);
    void ApplySkin(const SkinChangedParam& param);
    void HandAttention();
    void SuppressPowerInfo(int value);
    void SetAllDpi(int dpi);
    [[nodiscard]] std::vector<CVarnicUSBDevice*> LightingPages() const;

    MainWndParts parts_;
    IWindowSystem& windows_;
    CLanguageState language_;
    InterfaceWorkingCopy interfaces_;
    CWorkerSlots workers_;
    ui::CRouteTable routes_;
    std::vector<CVarnicMouseDevice*> mousePages_;
    std::vector<CVarnicUSBDevice*> allPages_;
    std::array<CVarnicUSBDevice*, kDeviceTypeCount> pages_{};
    std::array<CDeviceOptionUI*, kDeviceTypeCount> entries_{};
    std::array<CMpDevicePowerUI*, kDeviceTypeCount> powers_{};
    std::unique_ptr<CDiscovery> discovery_;
    std::function<void()> inputHookRemover_;
    bool shownOnce_ = false;
    ui::UiSize screen_{};
    bool awake_ = true;
    int lightControl_ = 1;
    int active_ = 0;
    int attention_ = 0;
    int windowDpi_ = 96;
    bool resolutionChanged_ = false;
    bool initialised_ = false;
    bool sizedOnce_ = false;
    bool destroyed_ = false;
    // Open child windows: settings, about, skin picker, spare.
    std::array<CAppWindow*, 4> children_{};
    std::unique_ptr<CSkinFrame> skinFrame_;
    std::deque<std::string> menuCommands_;
    int skinReceiver_ = 0;
    bool trayShown_ = false;
};

}  // namespace vextar::app
