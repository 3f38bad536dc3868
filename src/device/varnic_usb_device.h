#pragma once

// CVarnicUSBDevice: every device is at once its settings page (a container
// of named controls) and its protocol endpoint (the command link, the
// notification link, the zone frame its lighting is computed into). The
// virtual operations are in the order the device classes override them.

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <vector>

#include "device/device_link.h"
#include "device/device_thread.h"
#include "device/light_effects.h"
#include "devicelink/device_tables.h"
#include "platform/clock.h"
#include "profile/profile_records.h"
#include "ui/container.h"
#include "ui/dialog_builder.h"
#include "ui/notify.h"

namespace vextar {

namespace ui {
class CDeviceKeyButtonUI;
}

// What a power indicator is told by its device.
class IPowerIndicator {
  public:
    virtual ~IPowerIndicator() = default;
    virtual void SetPowerReporting(bool reporting) = 0;
    // The 6-byte power record; byte 3 is 1 through the receiver.
    virtual void SetPowerRecord(std::span<const uint8_t, 6> record) = 0;
};

// The message that carries a device's battery level to the main window.
inline constexpr uint32_t kMsgPowerLevel = 0x0D01;

class CVarnicUSBDevice : public ui::CHorizontalLayoutUI,
                         public ui::CNotifyPump,
                         public ui::INotifyUI {
  public:
    static constexpr std::size_t kMaxZones = 170;

    explicit CVarnicUSBDevice(std::shared_ptr<platform::IHidBackend> backend = nullptr);
    ~CVarnicUSBDevice() override;

    [[nodiscard]] std::string_view GetClass() const override { return "VarnicUSBDevice"; }

    // Builds the page from its skin (with the window's builder callback) and
    // binds it. False with a reason when the skin cannot be built.
    bool BuildControls(ui::IDialogBuilderCallback* callback, std::string* error = nullptr);

    // ---- virtual operations, in slot order ----
    virtual void BindPage();                                                      // 1
    virtual int32_t ApplyLighting();                                              // 2
    virtual void StepBreathing();                                                 // 3
    virtual void StepBreathingFourColour();                                       // 4
    virtual void StepStatic();                                                    // 5
    virtual void StepSpectrum();                                                  // 6
    virtual void StepFlash();                                                     // 7
    virtual void StepFlashFourColour();                                           // 8
    virtual void StepOff();                                                       // 9
    virtual void PushFrame();                                                     // 10
    virtual void SetZoneColour(int zone, uint32_t colour);                        // 11
    [[nodiscard]] virtual uint32_t GetZoneColour(int zone) const;                 // 12
    virtual void OnConnected();                                                   // 13
    virtual void OnResyncRequest();                                               // 14
    virtual void OnDeferred1();                                                   // 15
    virtual void OnDeferred2();                                                   // 16
    virtual void ReadPowerStatus();                                               // 17
    virtual int32_t IsDeviceReachable();                                          // 18
    virtual int32_t LoadProfile();                                                // 19
    virtual int32_t Reserved();                                                   // 20
    virtual void RefreshPage();                                                   // 21
    virtual void Reserved2();                                                     // 22
    virtual void Reserved3();                                                     // 23
    virtual void RepairMacroReferences();                                         // 24
    virtual void ResetToDefaults();                                               // 25
    virtual std::vector<int> CollectMacros();                                     // 26
    virtual int32_t WriteKeysFrom(int bank, std::span<const KeyListEntry> keys);  // 27
    virtual int32_t WriteKeyAssignments(int bank);                                // 28
    virtual int32_t KeyboardOperation29();                                        // 29
    virtual int32_t KeyboardOperation30();                                        // 30
    virtual int32_t WriteMacros(std::span<const int> macros);                     // 31
    virtual int32_t WriteSettings(int profileNumber, int recordNumber, int flag, int screenWidth,
                                  int screenHeight);                                      // 32
    virtual void LoadNameLists();                                                         // 33
    virtual void SetAuxMap(std::span<const uint8_t> map);                                 // 34
    virtual void FadeZone(int zone, int mode);                                            // 35
    virtual void ArmFirstZones();                                                         // 36
    virtual void RotateRing(int direction);                                               // 37
    virtual void ResetEffectBuffers();                                                    // 38
    virtual void ShowFunctionTab(int type);                                               // 39
    [[nodiscard]] virtual int GetFunctionTab() const;                                     // 40
    virtual void SetProfileFiles();                                                       // 41
    [[nodiscard]] virtual std::string GetProfilePath() const;                             // 42
    virtual void SaveProfile();                                                           // 43
    virtual void SetDefaultLightIndex(int index);                                         // 44
    [[nodiscard]] virtual int GetDefaultLightIndex() const;                               // 45
    virtual void SetLightParameters(uint32_t w0, uint32_t w1, uint32_t w2, uint32_t w3);  // 46
    virtual void SetMusicLightInfo(uint32_t w0, uint32_t w1, uint32_t w2);                // 47
    virtual std::array<uint32_t, 3> GetMusicLightInfo();                                  // 48
    virtual void SetOptionA(int value);                                                   // 49
    virtual void SetOptionB(int value);                                                   // 50
    virtual void KeyboardOperation51();                                                   // 51
    virtual void KeyboardOperation52();                                                   // 52

    // ---- set up by the main window ----
    void SetPageSkin(std::string path) { pageSkin_ = std::move(path); }
    [[nodiscard]] const std::string& GetPageSkin() const { return pageSkin_; }
    void SetProfileId(std::string id) { profileId_ = std::move(id); }
    [[nodiscard]] const std::string& GetProfileId() const { return profileId_; }
    void SetLightFileBase(std::string base) { lightFileBase_ = std::move(base); }
    [[nodiscard]] const std::string& GetLightFileBase() const { return lightFileBase_; }
    void SetTypeName(std::string name) { typeName_ = std::move(name); }
    [[nodiscard]] const std::string& GetTypeName() const { return typeName_; }
    void SetKeyCount(int count);
    [[nodiscard]] int GetKeyCount() const { return keyCount_; }
    // Sizes the zone frame, zone records and zone controls (at most 170).
    void SetZoneCount(int count);
    [[nodiscard]] int GetZoneCount() const { return zoneCount_; }
    void SetIdentity(const HidInterfaceRow& row);
    [[nodiscard]] const HidInterfaceRow& GetIdentity() const { return identity_; }
    [[nodiscard]] int GetKind() const { return kind_; }
    [[nodiscard]] int GetChannel() const { return channel_; }
    void SetSoftwareLighting(bool on) { softwareLighting_.store(on); }
    [[nodiscard]] bool IsSoftwareLighting() const { return softwareLighting_.load(); }
    void SetPreview(bool on) { preview_.store(on); }
    [[nodiscard]] bool IsPreview() const { return preview_.load(); }
    void SetSelectorEntry(ui::CControlUI* entry) { selectorEntry_ = entry; }
    [[nodiscard]] ui::CControlUI* GetSelectorEntry() const { return selectorEntry_; }
    void SetPowerIndicator(IPowerIndicator* indicator);
    void SetPowerReporting(bool reporting);
    [[nodiscard]] bool IsPowerReporting() const { return powerReporting_; }
    // Only while the device reports its power.
    void SuppressPowerInfo(int value);
    [[nodiscard]] int PowerInfoSuppressed() const { return powerSuppressed_.load(); }
    void SetLightingEditor(ui::CControlUI* editor) { lightingEditor_ = editor; }
    // The per-user folder of this device type (created when missing; empty
    // when it cannot be) and the factory profile.
    [[nodiscard]] std::string GetProfileFolder() const;
    [[nodiscard]] std::string GetDefaultProfilePath() const;

    // ---- state the device classes and threads share ----
    [[nodiscard]] CDeviceLink& CommandLink() { return commandLink_; }
    [[nodiscard]] CDeviceLink& NotifyLink() { return notifyLink_; }
    [[nodiscard]] const std::array<uint8_t, kInfoBlockSize>& Info() const { return info_; }
    [[nodiscard]] ui::CDeviceKeyButtonUI* KeyControl(int key) const;
    [[nodiscard]] ui::CDeviceKeyButtonUI* ZoneControl(int zone) const;
    // Colours of the last PushFrame, 3 bytes a zone (zone 170 left out), each
    // scaled by its alpha.
    [[nodiscard]] const std::vector<uint8_t>& ReducedFrame() const { return reducedFrame_; }
    // A copy of the effect parameters (the effect thread steps with them while
    // the UI thread changes them).
    [[nodiscard]] LightSetting EffectParameters() const;
    [[nodiscard]] light::EffectState& Effects() { return effectState_; }
    // The zone frame as the light effects write it.
    [[nodiscard]] light::FrameView Frame() const;
    // The clock of the flash steps and the effect engine.
    void SetClock(platform::IClock& clock) { clock_ = &clock; }
    [[nodiscard]] platform::IClock& Clock() const { return *clock_; }
    [[nodiscard]] std::span<const uint8_t> AuxMap() const { return auxMap_; }
    [[nodiscard]] int OptionA() const { return optionA_; }
    [[nodiscard]] int OptionB() const { return optionB_; }

    // Notifications of this page's controls go to its pump.
    void Notify(ui::TNotifyUI& msg) override;

  protected:
    // The power record as mouse and keyboard read it: only while the link is
    // open, power info is not suppressed and the receiver reaches the device.
    // `checks` false: the mouse pad's and headset's shorter form.
    void ReadPowerRecord(bool checks);

    CDeviceLink commandLink_;
    CDeviceLink notifyLink_;
    std::array<uint8_t, kInfoBlockSize> info_{};
    std::string pageSkin_;
    std::string profileId_;
    std::string lightFileBase_;
    std::string typeName_;
    HidInterfaceRow identity_;
    int kind_ = 0;
    int channel_ = 0;
    int keyCount_ = 0;
    int zoneCount_ = 0;
    std::vector<ui::CDeviceKeyButtonUI*> keyControls_;
    std::vector<ui::CDeviceKeyButtonUI*> zoneControls_;
    // One entry per zone: red | green << 8 | blue << 16 | alpha << 24. Written
    // by the effect thread, read by the frame tick.
    std::unique_ptr<std::atomic<uint32_t>[]> zoneFrame_;
    std::vector<LightSetting> zoneRecords_;
    std::vector<uint8_t> reducedFrame_;
    // Guards the effect parameters and state between the UI thread, the
    // effect thread and the notification reader.
    mutable std::mutex effectMutex_;
    LightSetting effect_{};
    light::EffectState effectState_;
    platform::IClock* clock_ = &platform::SystemClock();
    std::atomic<bool> softwareLighting_{true};
    std::atomic<bool> preview_{true};
    int functionTab_ = 1;
    int defaultLightIndex_ = 0;
    bool powerReporting_ = false;
    std::atomic<int> powerSuppressed_{0};
    AudioLightSetting music_{};
    std::array<uint32_t, 3> musicWords_{};
    ui::CControlUI* selectorEntry_ = nullptr;
    IPowerIndicator* powerIndicator_ = nullptr;
    ui::CControlUI* lightingEditor_ = nullptr;
    std::vector<uint8_t> auxMap_;
    int optionA_ = 0;
    int optionB_ = 0;
    CDeviceThread effectThread_;
    CDeviceThread notifyThread_;
};

}  // namespace vextar
