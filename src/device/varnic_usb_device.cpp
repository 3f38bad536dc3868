#include "device/varnic_usb_device.h"

#include <algorithm>
#include <cctype>
#include <cstring>

#include "platform/log.h"
#include "profile/paths.h"
#include "profile/text.h"
#include "ui/controls.h"
#include "ui/paint_manager.h"
#include "ui/widgets/widgets.h"

namespace vextar {

namespace {

// "key_12" → ("key_", 12); only a name that ends in decimal digits counts.
bool SplitStrict(std::string_view name, std::string& prefix, int& number) {
    const std::size_t at = name.rfind('_');
    if (at == std::string_view::npos || at + 1 >= name.size() || name.size() - at > 6) {
        return false;
    }
    const std::string_view digits = name.substr(at + 1);
    if (!std::all_of(digits.begin(), digits.end(),
                     [](char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; })) {
        return false;
    }
    const IndexedName split = SplitIndexedName(name);
    prefix = split.prefix;
    number = split.number;
    return split.found;
}

}  // namespace

CVarnicUSBDevice::CVarnicUSBDevice(std::shared_ptr<platform::IHidBackend> backend)
    : commandLink_(backend), notifyLink_(backend) {}

CVarnicUSBDevice::~CVarnicUSBDevice() {
    // Threads first: they use the links and the frame.
    effectThread_.Stop(CDeviceThread::kEffectStopBound);
    notifyThread_.Stop(CDeviceThread::kReaderStopBound);
    if (m_pManager != nullptr) {
        m_pManager->RemoveNotifier(this);
    }
}

bool CVarnicUSBDevice::BuildControls(ui::IDialogBuilderCallback* callback, std::string* error) {
    if (!pageSkin_.empty()) {
        ui::CDialogBuilder builder;
        std::unique_ptr<ui::CControlUI> page =
            builder.Create(pageSkin_, callback, m_pManager, error);
        if (!page) {
            return false;
        }
        Add(std::move(page));
    }
    if (m_pManager != nullptr) {
        m_pManager->AddNotifier(this);
    }
    BindPage();
    return true;
}

void CVarnicUSBDevice::SetKeyCount(int count) {
    keyCount_ = std::clamp(count, 0, 255);
    keyControls_.assign(static_cast<std::size_t>(keyCount_), nullptr);
}

void CVarnicUSBDevice::SetZoneCount(int count) {
    zoneCount_ = std::clamp(count, 0, static_cast<int>(kMaxZones));
    zoneControls_.assign(static_cast<std::size_t>(zoneCount_), nullptr);
    zoneFrame_ = std::make_unique<std::atomic<uint32_t>[]>(static_cast<std::size_t>(zoneCount_));
    for (int z = 0; z < zoneCount_; ++z) {
        zoneFrame_[static_cast<std::size_t>(z)].store(0);
    }
    zoneRecords_.assign(static_cast<std::size_t>(zoneCount_), LightSetting{});
}

void CVarnicUSBDevice::SetIdentity(const HidInterfaceRow& row) {
    identity_ = row;
    kind_ = row.kind;
    channel_ = row.channel;
}

void CVarnicUSBDevice::SetPowerIndicator(IPowerIndicator* indicator) {
    powerIndicator_ = indicator;
    if (powerIndicator_ != nullptr) {
        powerIndicator_->SetPowerReporting(powerReporting_);
    }
}

void CVarnicUSBDevice::SetPowerReporting(bool reporting) {
    powerReporting_ = reporting;
    if (powerIndicator_ != nullptr) {
        powerIndicator_->SetPowerReporting(reporting);
    }
}

void CVarnicUSBDevice::SuppressPowerInfo(int value) {
    if (powerReporting_) {
        powerSuppressed_.store(value);
    }
}

std::string CVarnicUSBDevice::GetProfileFolder() const {
    std::error_code ec;
    std::string folder = paths::DeviceFolder(typeName_, ec);
    if (ec) {
        VEXTAR_LOG_ERROR("no profile folder for %s: %s", typeName_.c_str(), ec.message().c_str());
    }
    return folder;
}

std::string CVarnicUSBDevice::GetDefaultProfilePath() const {
    return paths::FactoryProfilePath(typeName_);
}

ui::CDeviceKeyButtonUI* CVarnicUSBDevice::KeyControl(int key) const {
    return key >= 0 && key < static_cast<int>(keyControls_.size())
               ? keyControls_[static_cast<std::size_t>(key)]
               : nullptr;
}

ui::CDeviceKeyButtonUI* CVarnicUSBDevice::ZoneControl(int zone) const {
    return zone >= 0 && zone < static_cast<int>(zoneControls_.size())
               ? zoneControls_[static_cast<std::size_t>(zone)]
               : nullptr;
}

void CVarnicUSBDevice::Notify(ui::TNotifyUI& msg) {
    if (msg.pSender == nullptr || msg.pSender->GetName().empty()) {
        return;
    }
    if (FindByName(msg.pSender->GetName()) != nullptr) {
        NotifyPump(msg);
    }
}

// ---- virtual operations: the base behaviour ----

void CVarnicUSBDevice::BindPage() {
    if (pageSkin_.empty()) {
        keyCount_ = 0;
        zoneCount_ = 0;
        keyControls_.clear();
        zoneControls_.clear();
        zoneFrame_.reset();
        zoneRecords_.clear();
        return;
    }
    ui::CControlUI* panel = ui::FindControlByClass(this, "SelectPanel");
    if (panel == nullptr) {
        return;
    }
    ui::ForEachKeyButton(panel, [&](ui::CDeviceKeyButtonUI* button) {
        std::string prefix;
        int n = 0;
        if (SplitStrict(button->GetName(), prefix, n) && EqualsNoCase(prefix, "key_") &&
            n < keyCount_) {
            keyControls_[static_cast<std::size_t>(n)] = button;
        }
        if (SplitStrict(button->GetUserData(), prefix, n) && EqualsNoCase(prefix, "light_") &&
            n < zoneCount_) {
            zoneControls_[static_cast<std::size_t>(n)] = button;
            button->SetLightColor(0xFF, 0xFF, 0xFF, 0xFF, true);
        }
    });
}

int32_t CVarnicUSBDevice::ApplyLighting() {
    return 0;
}

light::FrameView CVarnicUSBDevice::Frame() const {
    return {zoneFrame_.get(), zoneFrame_ ? zoneCount_ : 0};
}

LightSetting CVarnicUSBDevice::EffectParameters() const {
    std::lock_guard lock(effectMutex_);
    return effect_;
}

void CVarnicUSBDevice::StepBreathing() {
    std::lock_guard lock(effectMutex_);
    light::StepBreathing(effect_, effectState_, Frame());
}
void CVarnicUSBDevice::StepBreathingFourColour() {
    std::lock_guard lock(effectMutex_);
    light::StepBreathingFourColour(effect_, effectState_, Frame());
}
void CVarnicUSBDevice::StepStatic() {
    std::lock_guard lock(effectMutex_);
    light::StepStatic(effect_, Frame());
}
void CVarnicUSBDevice::StepSpectrum() {
    std::lock_guard lock(effectMutex_);
    light::StepSpectrum(effect_, effectState_, Frame());
}
void CVarnicUSBDevice::StepFlash() {
    std::lock_guard lock(effectMutex_);
    light::StepFlash(effect_, effectState_, Frame(), clock_->NowMs());
}
void CVarnicUSBDevice::StepFlashFourColour() {
    std::lock_guard lock(effectMutex_);
    light::StepFlashFourColour(effect_, effectState_, Frame(), clock_->NowMs());
}
void CVarnicUSBDevice::StepOff() {
    light::StepOff(Frame());
}

void CVarnicUSBDevice::PushFrame() {
    if (!softwareLighting_.load() || !zoneFrame_) {
        return;
    }
    reducedFrame_.clear();
    reducedFrame_.reserve(static_cast<std::size_t>(zoneCount_) * 3);
    for (int z = 0; z < zoneCount_; ++z) {
        const uint32_t entry =
            zoneFrame_[static_cast<std::size_t>(z)].load(std::memory_order_relaxed);
        const auto r = static_cast<uint8_t>(entry & 0xFFU);
        const auto g = static_cast<uint8_t>((entry >> 8) & 0xFFU);
        const auto b = static_cast<uint8_t>((entry >> 16) & 0xFFU);
        const auto a = static_cast<uint8_t>(entry >> 24);
        if (ui::CDeviceKeyButtonUI* control = zoneControls_[static_cast<std::size_t>(z)];
            control != nullptr && control->IsVisible()) {
            control->SetLightColor(r, g, b, a, true);
        }
        if (z == 170) {
            continue;
        }
        reducedFrame_.push_back(static_cast<uint8_t>(r * a / 256));
        reducedFrame_.push_back(static_cast<uint8_t>(g * a / 256));
        reducedFrame_.push_back(static_cast<uint8_t>(b * a / 256));
    }
}

void CVarnicUSBDevice::SetZoneColour(int zone, uint32_t colour) {
    if (zone >= 0 && zone < zoneCount_ && zoneFrame_) {
        zoneFrame_[static_cast<std::size_t>(zone)].store(colour, std::memory_order_relaxed);
    }
}

uint32_t CVarnicUSBDevice::GetZoneColour(int zone) const {
    if (zone >= 0 && zone < zoneCount_ && zoneFrame_) {
        return zoneFrame_[static_cast<std::size_t>(zone)].load(std::memory_order_relaxed);
    }
    return 0;
}

void CVarnicUSBDevice::OnConnected() {}
void CVarnicUSBDevice::OnResyncRequest() {}
void CVarnicUSBDevice::OnDeferred1() {}
void CVarnicUSBDevice::OnDeferred2() {}
void CVarnicUSBDevice::ReadPowerStatus() {}
int32_t CVarnicUSBDevice::IsDeviceReachable() {
    return 1;
}
int32_t CVarnicUSBDevice::LoadProfile() {
    return 0;
}
int32_t CVarnicUSBDevice::Reserved() {
    return 0;
}
void CVarnicUSBDevice::RefreshPage() {}
void CVarnicUSBDevice::Reserved2() {}
void CVarnicUSBDevice::Reserved3() {}
void CVarnicUSBDevice::RepairMacroReferences() {}
void CVarnicUSBDevice::ResetToDefaults() {}
std::vector<int> CVarnicUSBDevice::CollectMacros() {
    return {};
}
int32_t CVarnicUSBDevice::WriteKeysFrom(int, std::span<const KeyListEntry>) {
    return 0;
}
int32_t CVarnicUSBDevice::WriteKeyAssignments(int) {
    return 0;
}
int32_t CVarnicUSBDevice::KeyboardOperation29() {
    return 0;
}
int32_t CVarnicUSBDevice::KeyboardOperation30() {
    return 0;
}
int32_t CVarnicUSBDevice::WriteMacros(std::span<const int>) {
    return 0;
}
int32_t CVarnicUSBDevice::WriteSettings(int, int, int, int, int) {
    return 0;
}
void CVarnicUSBDevice::LoadNameLists() {}

void CVarnicUSBDevice::SetAuxMap(std::span<const uint8_t> map) {
    auxMap_.assign(map.begin(), map.end());
}

void CVarnicUSBDevice::FadeZone(int zone, int mode) {
    std::lock_guard lock(effectMutex_);
    light::FadeZone(effectState_, zone, mode);
}
void CVarnicUSBDevice::ArmFirstZones() {
    std::lock_guard lock(effectMutex_);
    light::ArmFirstZones(effectState_);
}
void CVarnicUSBDevice::RotateRing(int direction) {
    std::lock_guard lock(effectMutex_);
    light::RotateRing(effectState_, direction);
}
void CVarnicUSBDevice::ResetEffectBuffers() {
    std::lock_guard lock(effectMutex_);
    light::ResetEffectBuffers(effectState_);
}

void CVarnicUSBDevice::ShowFunctionTab(int type) {
    functionTab_ = type;
    auto* functions = dynamic_cast<ui::CTabLayoutUI*>(FindByName("device_function_switch"));
    auto* keyFunctions = dynamic_cast<ui::CTabLayoutUI*>(FindByName("device_key_function_switch"));
    auto select = [](ui::CTabLayoutUI* tab, int page) {
        if (tab != nullptr) {
            tab->SelectItem(page);
        }
    };
    if (type == 3 || type == 8) {
        select(functions, 1);
        return;
    }
    if (type == 5) {
        select(functions, 2);
        return;
    }
    if (type == 4) {
        if (kind_ == kKindKeyboard || kind_ == kKindMouse) {
            select(functions, 3);
            return;
        }
        type = 7;
    }
    select(functions, 0);
    if (type == 2 || type == 6) {
        select(keyFunctions, 1);
    } else if (type == 4 || type == 7) {
        select(keyFunctions, 2);
    } else {
        select(keyFunctions, 0);
    }
}

int CVarnicUSBDevice::GetFunctionTab() const {
    return functionTab_;
}
void CVarnicUSBDevice::SetProfileFiles() {}
std::string CVarnicUSBDevice::GetProfilePath() const {
    return {};
}
void CVarnicUSBDevice::SaveProfile() {}
void CVarnicUSBDevice::SetDefaultLightIndex(int index) {
    defaultLightIndex_ = index;
}
int CVarnicUSBDevice::GetDefaultLightIndex() const {
    return defaultLightIndex_;
}

void CVarnicUSBDevice::SetLightParameters(uint32_t w0, uint32_t w1, uint32_t w2, uint32_t w3) {
    // The 14 bytes of the effect parameters, little-endian, from four words.
    std::array<uint8_t, 16> bytes{};
    const uint32_t words[4] = {w0, w1, w2, w3};
    for (std::size_t i = 0; i < 16; ++i) {
        bytes[i] = static_cast<uint8_t>(words[i / 4] >> (8 * (i % 4)));
    }
    std::lock_guard lock(effectMutex_);
    std::memcpy(&effect_, bytes.data(), sizeof effect_);
}

void CVarnicUSBDevice::SetMusicLightInfo(uint32_t w0, uint32_t w1, uint32_t w2) {
    musicWords_ = {w0, w1, w2};
    std::array<uint8_t, 12> bytes{};
    for (std::size_t i = 0; i < 12; ++i) {
        bytes[i] = static_cast<uint8_t>(musicWords_[i / 4] >> (8 * (i % 4)));
    }
    std::memcpy(&music_, bytes.data(), sizeof music_);
}

std::array<uint32_t, 3> CVarnicUSBDevice::GetMusicLightInfo() {
    return musicWords_;
}
void CVarnicUSBDevice::SetOptionA(int value) {
    optionA_ = value;
}
void CVarnicUSBDevice::SetOptionB(int value) {
    optionB_ = value;
}
void CVarnicUSBDevice::KeyboardOperation51() {}
void CVarnicUSBDevice::KeyboardOperation52() {}

void CVarnicUSBDevice::ReadPowerRecord(bool checks) {
    if (!commandLink_.open.load()) {
        return;
    }
    if (checks && (powerSuppressed_.load() != 0 || !commandLink_.QueryReceiverState())) {
        return;
    }
    std::array<uint8_t, 6> record{};
    if (commandLink_.ReadRecord(record, 0) != kResultOk) {
        return;
    }
    record[3] = commandLink_.IsReceiverMode() ? 1 : 0;
    if (powerIndicator_ != nullptr) {
        powerIndicator_->SetPowerRecord(record);
    }
    if (m_pManager != nullptr) {
        m_pManager->PostMessage(kMsgPowerLevel, record[4], 0);
    }
}

}  // namespace vextar
