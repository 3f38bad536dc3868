#pragma once

// CVarnicMouseDevice: the mouse's settings page and its protocol. It keeps
// its settings in on-device memory (128-byte profile records, the key table,
// the macro and recoil-pattern areas) and mirrors them in the mouse profile.
//
// Every operation that talks to the mouse first needs the command link open
// and, through the receiver, the mouse reachable; otherwise nothing is sent.
// Transfer failures come back as the link's result codes.

#include <array>
#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "device/mouse/mouse_protocol.h"
#include "device/mouse_class_device.h"
#include "profile/default_light.h"
#include "profile/profile_data.h"

namespace vextar {

// Posted to the page's window when a notification asks for the current
// profile to be read again, and when the page should be redrawn.
inline constexpr uint32_t kMsgMouseResync = 0x0D11;
inline constexpr uint32_t kMsgMouseRedraw = 0x0D12;

class CVarnicMouseDevice : public CMouseClassDevice {
  public:
    explicit CVarnicMouseDevice(std::shared_ptr<platform::IHidBackend> backend = nullptr);
    ~CVarnicMouseDevice() override;

    // ---- replaced operations ----
    void BindPage() override;
    int32_t ApplyLighting() override;
    void PushFrame() override;
    void OnConnected() override;
    void OnResyncRequest() override;
    void ReadPowerStatus() override;
    int32_t IsDeviceReachable() override;
    int32_t LoadProfile() override;
    void RefreshPage() override;
    void RepairMacroReferences() override;
    void ResetToDefaults() override;
    std::vector<int> CollectMacros() override;
    int32_t WriteKeysFrom(int bank, std::span<const KeyListEntry> keys) override;
    int32_t WriteKeyAssignments(int bank) override;
    // 0 sent; > 0 the events too many (nothing sent); < 0 not reachable or
    // the transfer failed.
    int32_t WriteMacros(std::span<const int> macros) override;
    int32_t WriteSettings(int profileNumber, int recordNumber, int flag, int screenWidth,
                          int screenHeight) override;
    void LoadNameLists() override;
    void ShowFunctionTab(int type) override;
    void SetProfileFiles() override;
    [[nodiscard]] std::string GetProfilePath() const override;
    void SaveProfile() override;
    void SetDefaultLightIndex(int index) override;
    void SetLightParameters(uint32_t w0, uint32_t w1, uint32_t w2, uint32_t w3) override;
    void SetOptionA(int value) override { SelectKey(value); }
    virtual void BuildPage();
    [[nodiscard]] virtual std::array<uint32_t, 4> GetLightParameters() const;

    // ---- connect ----
    // START, information block, key table, END; the key-to-slot map and the
    // DPI control ranges. The link's result (kResultBadRequest for a key
    // count the link refuses).
    int32_t ReadDeviceSetup();
    // The device's current profile number and record into the effect
    // parameters and the profile. The link's result.
    int32_t ReadCurrentProfile();

    // ---- DPI stages, polling rate, host pointer settings ----
    void SelectDpiStage(int stage);
    [[nodiscard]] std::vector<DpiStage> GetDpiStages() const { return stages_; }
    void SetDpiStages(std::span<const DpiStage> stages);
    [[nodiscard]] uint32_t GetStageColour(int stage) const;
    void SetStageColour(int stage, uint32_t colour);  // 0xAARRGGBB
    void SetSystemStages(uint16_t w0, uint16_t w1, uint16_t w2);
    [[nodiscard]] MouseSystemSettings GetSystemStages() const { return system_; }
    // False when refused: the last enabled stage stays on.
    bool SetStageEnabled(int stage, bool on);
    [[nodiscard]] bool IsStageEnabled(int stage) const;
    void SetStageSlider(int stage, uint32_t position);
    [[nodiscard]] uint32_t GetStageSlider(int stage) const;
    [[nodiscard]] uint32_t GetStageEditValue(int stage) const;
    // From the stage's DPI edit (the inverse conversion).
    void SetStageEditText(int stage, std::string_view text);
    void SetPollingRate(int index);
    [[nodiscard]] int GetPollingRate() const { return system_[5]; }
    [[nodiscard]] int ActiveStage() const { return activeStage_.load(); }
    [[nodiscard]] mouse::DpiScale Scale() const { return scale_; }
    [[nodiscard]] uint16_t ReadPointerSpeed() const { return system_[1]; }
    [[nodiscard]] uint16_t ReadPointerPrecision() const { return system_[2]; }
    void SetPageScroll(uint16_t value);
    // Page scrolling on or off, and the scroll speed.
    void SetPageScroll(uint16_t pageScroll, uint16_t scrollSpeed);
    [[nodiscard]] uint16_t ReadPageScroll() const { return system_[3]; }
    [[nodiscard]] uint16_t ReadScrollSpeed() const { return system_[4]; }
    [[nodiscard]] uint16_t ReadDoubleClick() const { return system_[0]; }
    [[nodiscard]] static uint16_t ReadDoubleClickMax() { return 900; }
    // The four "ShootData_<n>.Shoot" files; results as WriteMacros.
    int32_t WritePatterns();
    void SelectSettingsTab(int index);
    void RefreshKeyNames();
    void SelectKey(int key);
    [[nodiscard]] int SelectedKey() const { return selectedKey_; }

    // ---- notifications: kind 2 (cable) or 6 (receiver) ----
    bool OpenNotifyInterface(const std::string& path, int kind);
    bool ReopenNotifyInterface(const std::string& path, int kind);
    void CloseNotifyInterface(int kind);
    // What one notification does (the readers call it; tests too).
    void HandleNotification(uint16_t usage, bool receiver);
    // Replaces posting kMsgMouseResync (the selector strip sets its timer).
    void SetResyncRequest(std::function<void()> request) { resyncRequest_ = std::move(request); }
    [[nodiscard]] int CurrentProfileNumber() const { return profileNumber_.load(); }

    // ---- state ----
    [[nodiscard]] CMouseProfiledata& Profile() { return profile_; }
    [[nodiscard]] const std::vector<KeyListEntry>& KeyList() const { return keys_; }
    void SetKeyList(std::vector<KeyListEntry> keys) { keys_ = std::move(keys); }
    [[nodiscard]] const std::vector<uint8_t>& SlotMap() const { return slotMap_; }
    [[nodiscard]] const mouse::Record& DeviceRecord() const { return record_; }
    [[nodiscard]] std::span<const uint8_t> DeviceKeyTable() const { return deviceKeys_; }
    [[nodiscard]] std::vector<int> ModeCodes() const;
    [[nodiscard]] std::string ProfileFolder() const;

  private:
    struct Reader {
        CDeviceThread thread;
        CHidInterface* hid = nullptr;
        std::mutex* lock = nullptr;
    };
    bool Reachable();
    void ResetSlotMap();
    void StoreStages();
    void ShowStages();
    void ShowActiveStage();
    void ReaderLoop(CDeviceThread& self, bool receiver);
    Reader& ReaderOf(int kind);
    int32_t WriteBlob(uint8_t command, std::span<const std::vector<DeviceMacroStep>> entries,
                      std::size_t capacity);

    CMouseProfiledata profile_;
    std::string profilePath_;
    std::vector<KeyListEntry> keys_;
    std::vector<uint8_t> slotMap_;
    std::vector<uint8_t> deviceKeys_ = std::vector<uint8_t>(kMaxBlockSize, 0);
    std::vector<DpiStage> stages_ = std::vector<DpiStage>(mouse::kStageCount);
    MouseSystemSettings system_{};
    std::atomic<int> activeStage_{0};
    std::atomic<int> profileNumber_{0};
    mouse::Record record_{};
    mouse::DpiScale scale_{};
    std::vector<LightModeName> modes_;
    int selectedKey_ = -1;
    int settingsTab_ = 0;
    int customGroups_ = 0;
    ui::CControlUI* selectPanel_ = nullptr;
    ui::CDeviceKeyButtonUI* logoPreview_ = nullptr;
    std::vector<ui::CDeviceKeyButtonUI*> previews_;
    std::function<void()> resyncRequest_;
    Reader cableReader_;
    Reader receiverReader_;
};

}  // namespace vextar
