#include "device/mouse/varnic_mouse_device.h"

#include <algorithm>
#include <cstring>

#include "macro/macro_library.h"
#include "platform/log.h"
#include "profile/file_helpers.h"
#include "profile/paths.h"
#include "profile/profile_list.h"
#include "profile/text.h"
#include "ui/controls.h"
#include "ui/paint_manager.h"
#include "ui/widgets/widgets.h"

namespace vextar {

namespace {

template <typename T>
T* Find(ui::CControlUI& root, const std::string& name) {
    auto* container = dynamic_cast<ui::CContainerUI*>(&root);
    return container == nullptr ? nullptr : dynamic_cast<T*>(container->FindByName(name));
}

std::string Indexed(const char* prefix, int i) {
    return prefix + std::to_string(i);
}

bool ValidStage(int stage) {
    return stage >= 0 && stage < mouse::kStageCount;
}

// Walks every DeviceKeyButton below `root`.
}  // namespace

CVarnicMouseDevice::CVarnicMouseDevice(std::shared_ptr<platform::IHidBackend> backend)
    : CMouseClassDevice(std::move(backend)) {
    typeName_ = "mouse";
    SetKeyCount(mouse::kKeyCount);
    SetPowerReporting(true);
    cableReader_.hid = &notifyLink_.cableInterface;
    cableReader_.lock = &notifyLink_.transferLock;
    receiverReader_.hid = &notifyLink_.receiverInterface;
    receiverReader_.lock = &notifyLink_.receiverLock;
    ResetSlotMap();
}

CVarnicMouseDevice::~CVarnicMouseDevice() {
    CloseNotifyInterface(kKindMouse);
    CloseNotifyInterface(kKindMouseReceiver);
    StopEffectThread();
}

std::string CVarnicMouseDevice::ProfileFolder() const {
    return GetProfileFolder();
}

bool CVarnicMouseDevice::Reachable() {
    return commandLink_.open.load() && commandLink_.QueryReceiverState();
}

void CVarnicMouseDevice::ResetSlotMap() {
    // Key n of the page is slot n of the device's key table, for the keys
    // the information block says the device has.
    slotMap_.assign(kMaxKeyListEntries, mouse::kNoSlot);
    const std::size_t deviceKeys = std::min<std::size_t>(info_[5], kMaxKeyListEntries);
    for (std::size_t n = 0; n < deviceKeys; ++n) {
        slotMap_[n] = static_cast<uint8_t>(n);
    }
}

// ---- page ----

void CVarnicMouseDevice::BindPage() {
    BuildPage();
}

void CVarnicMouseDevice::BuildPage() {
    keyControls_.assign(static_cast<std::size_t>(keyCount_), nullptr);
    zoneControls_.assign(static_cast<std::size_t>(zoneCount_), nullptr);
    previews_.clear();
    logoPreview_ = nullptr;
    selectPanel_ = nullptr;
    auto* layout = Find<ui::CControlUI>(*this, "mouse_device_seting_layout");
    if (layout != nullptr) {
        selectPanel_ = ui::FindControlByClass(layout, "SelectPanel");
    }
    if (selectPanel_ != nullptr) {
        ui::ForEachKeyButton(selectPanel_, [&](ui::CDeviceKeyButtonUI* button) {
            const std::string name = button->GetName();
            const IndexedName split = SplitIndexedName(name);
            if (split.found && EqualsNoCase(split.prefix, "light_0_")) {
                const auto n = static_cast<std::size_t>(split.number);
                if (n >= previews_.size()) {
                    previews_.resize(n + 1, nullptr);
                }
                previews_[n] = button;
                button->SetLightColor(0xFF, 0xFF, 0xFF, 0xFF, true);
            } else if (split.found && EqualsNoCase(split.prefix, "key_") &&
                       split.number < keyCount_) {
                keyControls_[static_cast<std::size_t>(split.number)] = button;
            } else if (split.found && EqualsNoCase(split.prefix, "light_") &&
                       split.number < zoneCount_) {
                zoneControls_[static_cast<std::size_t>(split.number)] = button;
                button->SetLightColor(0xFF, 0xFF, 0xFF, 0xFF, true);
            }
            const IndexedName data = SplitIndexedName(button->GetUserData());
            if (data.found && EqualsNoCase(data.prefix, "light_") && data.number < zoneCount_) {
                zoneControls_[static_cast<std::size_t>(data.number)] = button;
                button->SetLightColor(0xFF, 0xFF, 0xFF, 0xFF, true);
            }
            if (EqualsNoCase(button->GetToolTip(), "logo")) {
                logoPreview_ = button;
            }
        });
    }
    // The editors (profile list, lighting, macros, key assignment, recoil)
    // bind here once they exist; the lighting editor is the one the base
    // knows of.
    if (auto* editor = Find<ui::CControlUI>(*this, "LightControlItem")) {
        SetLightingEditor(editor);
    }
    SelectSettingsTab(0);
}

void CVarnicMouseDevice::PushFrame() {
    for (std::size_t z = 0; z < previews_.size(); ++z) {
        ui::CDeviceKeyButtonUI* preview = previews_[z];
        if (preview == nullptr || !preview->IsVisible() || static_cast<int>(z) >= zoneCount_) {
            continue;
        }
        const uint32_t e = GetZoneColour(static_cast<int>(z));
        preview->SetLightColor(static_cast<uint8_t>(e), static_cast<uint8_t>(e >> 8),
                               static_cast<uint8_t>(e >> 16), static_cast<uint8_t>(e >> 24), true);
    }
    CVarnicUSBDevice::PushFrame();
}

void CVarnicMouseDevice::SelectSettingsTab(int index) {
    auto* tabs = Find<ui::CTabLayoutUI>(*this, "mouse_device_seting_layout");
    if (tabs == nullptr) {
        settingsTab_ = 0;
        return;
    }
    if (index < 0 || index >= tabs->GetCount()) {
        index = 0;
    }
    settingsTab_ = index;
    tabs->SelectItem(index);
    for (int i = 0; i < tabs->GetCount(); ++i) {
        if (auto* option = Find<ui::COptionUI>(*this, Indexed("mouse_device_seting_option_", i))) {
            option->Selected(i == index, false);
        }
    }
}

void CVarnicMouseDevice::ShowFunctionTab(int type) {
    CVarnicUSBDevice::ShowFunctionTab(type);
    if (auto* hint = Find<ui::CControlUI>(*this, "device_tishi_info")) {
        hint->SetVisible(false);
    }
}

void CVarnicMouseDevice::ShowActiveStage() {
    const int active = activeStage_.load();
    for (int i = 0; i < mouse::kStageCount; ++i) {
        const bool isActive = i == active;
        if (auto* slider = Find<ui::CSliderUI>(*this, Indexed("DPI_slider_", i))) {
            slider->SetAttribute("thumbimage", isActive ? "Control/SliderBar1_Thumb.png"
                                                        : "Control/SliderBar2_Thumb.png");
        }
        if (auto* enable = Find<ui::COptionUI>(*this, Indexed("DPI_enable_check_", i))) {
            enable->SetEnabled(!isActive);
        }
        if (auto* select = Find<ui::COptionUI>(*this, Indexed("DPI_select_check_", i))) {
            select->Selected(isActive, false);
        }
    }
}

void CVarnicMouseDevice::ShowStages() {
    for (int i = 0; i < mouse::kStageCount; ++i) {
        const DpiStage& st = stages_[static_cast<std::size_t>(i)];
        if (auto* enable = Find<ui::COptionUI>(*this, Indexed("DPI_enable_check_", i))) {
            enable->Selected(st.active != 0, false);
        }
        if (auto* layout = Find<ui::CControlUI>(*this, Indexed("DPI_layout_", i))) {
            layout->SetEnabled(st.active != 0);
        }
        if (auto* slider = Find<ui::CSliderUI>(*this, Indexed("DPI_slider_", i))) {
            slider->SetValue(static_cast<int>(st.dpiX.Get()));
        }
        if (auto* edit = Find<ui::CControlUI>(*this, Indexed("DPI_edit_", i))) {
            edit->SetText(std::to_string(GetStageEditValue(i)));
        }
        if (auto* colour = Find<ui::CControlUI>(*this, Indexed("DPI_color_option_", i))) {
            colour->SetBkColor(GetStageColour(i));
        }
    }
    ShowActiveStage();
}

void CVarnicMouseDevice::RefreshPage() {
    LoadNameLists();
    RefreshKeyNames();
    ShowStages();
    if (auto* option = Find<ui::COptionUI>(
            *this, Indexed("polling_rate_option_", std::clamp<int>(system_[5], 0, 4)))) {
        option->Selected(true, false);
    }
    Invalidate();
}

void CVarnicMouseDevice::RefreshKeyNames() {
    static constexpr const char* kKeyNames[mouse::kKeyCount] = {
        "mouse_key_left",  "mouse_key_right",   "mouse_key_middle",  "mouse_key_forward",
        "mouse_key_back",  "mouse_key_DPI_add", "mouse_key_DPI_sub", "mouse_key_DPI_loop",
        "keyboard_key_GM", "mouse_key_M8_key",  "mouse_key_fire_key"};
    auto* list = Find<ui::CListUI>(*this, "device_setkeyinfo_list");
    if (list != nullptr) {
        list->RemoveAll();
    }
    for (std::size_t k = 0; k < keys_.size() && k < mouse::kKeyCount; ++k) {
        ui::CDeviceKeyButtonUI* control = KeyControl(static_cast<int>(k));
        if (control == nullptr) {
            continue;
        }
        // The assignment's own name comes from the key assignment editor;
        // until it is bound the row shows the key code.
        char code[16];
        std::snprintf(code, sizeof code, "%02X %02X %02X", keys_[k].current.kind,
                      keys_[k].current.a, keys_[k].current.b);
        control->SetToolTip(kKeyNames[k]);
        if (list == nullptr) {
            continue;
        }
        while (list->GetCount() <= static_cast<int>(k)) {
            auto row = std::make_unique<ui::CListContainerElementUI>();
            row->SetFixedHeight(25);
            auto name = std::make_unique<ui::CLabelUI>();
            name->SetFixedWidth(200);
            name->SetTextColor(0xFFFFFFFF);
            auto value = std::make_unique<ui::CLabelUI>();
            value->SetFixedWidth(180);
            value->SetTextColor(0xFF0099FF);
            row->Add(std::move(name));
            row->Add(std::move(value));
            row->SetVisible(false);
            row->SetEnabled(false);
            list->Add(std::move(row));
        }
        auto* row = dynamic_cast<ui::CContainerUI*>(list->GetItemAt(static_cast<int>(k)));
        if (row != nullptr && row->GetCount() >= 2) {
            row->GetItemAt(0)->SetText(kKeyNames[k]);
            row->GetItemAt(1)->SetText(code);
            row->SetVisible(control->IsVisible());
        }
    }
    if (logoPreview_ != nullptr) {
        const int mode = EffectParameters().mode;
        std::string modeName;
        if (mode < mouse::kBuiltInModes && static_cast<std::size_t>(mode) < modes_.size()) {
            modeName = modes_[static_cast<std::size_t>(mode)].name;
        }
        logoPreview_->SetToolTip("Logo\nLight_Set\nOverall_Light_Set " + modeName);
    }
}

void CVarnicMouseDevice::SelectKey(int key) {
    selectedKey_ = key;
    CVarnicUSBDevice::SetOptionA(key);
    for (std::size_t k = 0; k < keys_.size(); ++k) {
        ui::CDeviceKeyButtonUI* control = KeyControl(static_cast<int>(k));
        if (control == nullptr) {
            continue;
        }
        control->SetKeySet(keys_[k].current.Packed() != keys_[k].defaults.Packed());
        control->SetSelected(static_cast<int>(k) == key);
    }
    ShowFunctionTab(1);
}

// ---- profile ----

void CVarnicMouseDevice::SetProfileFiles() {
    const std::string folder = GetProfileFolder();
    if (folder.empty()) {
        profilePath_.clear();
        return;
    }
    if (!profileId_.empty()) {
        profilePath_ = folder + profileId_ + ".Json";
        return;
    }
    ProfileListFile list(folder, GetDefaultProfilePath());
    const ProfileListFile::Status status = list.Init();
    if (status != ProfileListFile::Status::Ok && status != ProfileListFile::Status::Created) {
        profilePath_.clear();
        return;
    }
    profilePath_ = list.ProfilePathAt(static_cast<std::size_t>(std::max(list.Selected(), 0)));
}

std::string CVarnicMouseDevice::GetProfilePath() const {
    return profilePath_;
}

void CVarnicMouseDevice::LoadNameLists() {
    modes_ = ReadDefaultLightNames(ReadJsonFile(paths::DefaultLightPath()), kLightModelMouse);
}

std::vector<int> CVarnicMouseDevice::ModeCodes() const {
    std::vector<int> codes;
    codes.reserve(modes_.size());
    for (const LightModeName& m : modes_) {
        codes.push_back(m.value);
    }
    return codes;
}

int32_t CVarnicMouseDevice::LoadProfile() {
    SetProfileFiles();
    if (profilePath_.empty()) {
        return 0;
    }
    LoadNameLists();
    profile_.SetDefaultPath(GetDefaultProfilePath());
    profile_.SetProfilePath(profilePath_);
    profile_.LoadActiveSection(profilePath_);
    keys_ = profile_.GetKeyList();
    std::vector<DpiStage> stages = profile_.GetDpiStages();
    stages.resize(mouse::kStageCount);
    stages_ = std::move(stages);
    activeStage_.store(profile_.GetActiveDpiStage());
    system_ = profile_.GetMouseSystemSettings();
    const LightSetting light = profile_.GetLightInfo();
    {
        std::lock_guard lock(effectMutex_);
        effect_ = light;
    }
    return 1;
}

void CVarnicMouseDevice::SaveProfile() {
    profile_.SetDpiStages(stages_);
    profile_.SetActiveDpiStage(activeStage_.load());
    profile_.SetMouseSystemSettings(system_);
    profile_.SetLightInfo(EffectParameters());
    profile_.SetKeyList(keys_);
    profile_.Save();
}

void CVarnicMouseDevice::SetDefaultLightIndex(int index) {
    CVarnicUSBDevice::SetDefaultLightIndex(index);
}

void CVarnicMouseDevice::SetLightParameters(uint32_t w0, uint32_t w1, uint32_t w2, uint32_t w3) {
    CVarnicUSBDevice::SetLightParameters(w0, w1, w2, w3);
    profile_.SetLightInfo(EffectParameters());
}

std::array<uint32_t, 4> CVarnicMouseDevice::GetLightParameters() const {
    const LightSetting light = EffectParameters();
    std::array<uint8_t, 16> bytes{};
    std::memcpy(bytes.data(), &light, sizeof light);
    std::array<uint32_t, 4> words{};
    for (std::size_t i = 0; i < 16; ++i) {
        words[i / 4] |= static_cast<uint32_t>(bytes[i]) << (8 * (i % 4));
    }
    return words;
}

int32_t CVarnicMouseDevice::ApplyLighting() {
    const LightSetting light = profile_.GetLightInfo();
    const uint8_t previous = EffectParameters().mode;
    {
        std::lock_guard lock(effectMutex_);
        effect_ = light;
    }
    if (light.mode != previous) {
        ResetEffectBuffers();
        std::lock_guard lock(effectMutex_);
        effectState_.ring[0] = 1;
    }
    SetZoneEffects(profile_.GetLightList());
    RunZoneEffects(true);
    std::vector<EffectStep> steps = profile_.GetEffectSteps();
    customGroups_ = steps.empty() ? 0 : 1;
    player_.SetEntries(std::move(steps));
    return 1;
}

void CVarnicMouseDevice::ResetToDefaults() {
    const Json::Value factory = ReadJsonFile(GetDefaultProfilePath());
    const Json::Value& section = factory["Device"][0];
    if (!section.isObject() || profilePath_.empty()) {
        VEXTAR_LOG_ERROR("no factory mouse profile to reset to");
        return;
    }
    if (!profile_.SaveSectionTo(section, profilePath_)) {
        return;
    }
    LoadProfile();
    ApplyLighting();
    RefreshPage();
}

// ---- connect ----

int32_t CVarnicMouseDevice::ReadDeviceSetup() {
    if (!commandLink_.open.load()) {
        return kResultNoReply;
    }
    std::array<uint8_t, kInfoBlockSize> info{};
    std::vector<uint8_t> keys;
    const int32_t r = commandLink_.RunSequence([&] {
        if (const int32_t got = commandLink_.ReadInfo(info); got != kResultOk) {
            return got;
        }
        const auto size = static_cast<uint16_t>(info[5] * 3U);
        if (!commandLink_.SetBlockSize(size)) {
            return kResultBadRequest;
        }
        keys.assign(size, 0);
        return commandLink_.ReadKeys(keys);
    });
    if (r != kResultOk) {
        // Without a known key table no key may be written.
        slotMap_.assign(kMaxKeyListEntries, mouse::kNoSlot);
        return r;
    }
    info_ = info;
    std::fill(deviceKeys_.begin(), deviceKeys_.end(), 0);
    std::copy_n(keys.begin(), std::min(keys.size(), deviceKeys_.size()), deviceKeys_.begin());
    ResetSlotMap();
    scale_ = mouse::ScaleFromInfo(info_);
    for (int i = 0; i < mouse::kStageCount; ++i) {
        if (auto* slider = Find<ui::CSliderUI>(*this, Indexed("DPI_slider_", i))) {
            slider->SetMinValue(0);
            slider->SetMaxValue(scale_.highestStep);
        }
        if (auto* edit = Find<ui::CControlUI>(*this, Indexed("DPI_edit_", i))) {
            edit->SetUserData(std::to_string(scale_.highestStep * scale_.step));
        }
    }
    return kResultOk;
}

int32_t CVarnicMouseDevice::ReadCurrentProfile() {
    commandLink_.effectsPaused.store(false);
    if (!commandLink_.open.load()) {
        return kResultNoReply;
    }
    uint8_t number = 0;
    mouse::Record record{};
    const int32_t r = commandLink_.RunSequence([&] {
        if (const int32_t got = commandLink_.ReadMemory(std::span(&number, 1), 0);
            got != kResultOk) {
            return got;
        }
        return commandLink_.ReadMemory(record, number * mouse::kRecordStride);
    });
    if (r != kResultOk) {
        return r;
    }
    record[9] = 0;
    record_ = record;
    profileNumber_.store(number);
    LightSetting light = EffectParameters();
    if (const std::optional<int> mode = mouse::ModeFromDeviceCode(record[1], ModeCodes())) {
        light.mode = static_cast<uint8_t>(*mode);
    }
    light.brightness = record[2];
    light.speed = mouse::SpeedFromRecord(record[3]);
    light.multiColor = record[5];
    light.red = record[6];
    light.green = record[7];
    light.blue = record[8];
    {
        std::lock_guard lock(effectMutex_);
        effect_ = light;
    }
    if (record[12] < mouse::kStageCount) {
        activeStage_.store(record[12]);
        profile_.SetActiveDpiStage(record[12]);
    }
    profile_.SetLightInfo(light);
    profile_.Save();
    return kResultOk;
}

void CVarnicMouseDevice::OnConnected() {
    if (ReadDeviceSetup() != kResultOk) {
        return;
    }
    LoadProfile();
    ReadCurrentProfile();
    RefreshPage();
    StopEffectThread();
    StartEffectThread();
}

void CVarnicMouseDevice::OnResyncRequest() {
    ReadCurrentProfile();
    RefreshPage();
}

void CVarnicMouseDevice::ReadPowerStatus() {
    ReadPowerRecord(true);
}

int32_t CVarnicMouseDevice::IsDeviceReachable() {
    if (!commandLink_.open.load()) {
        return 0;
    }
    return commandLink_.QueryReceiverState() ? 1 : 0;
}

// ---- settings ----

int32_t CVarnicMouseDevice::WriteSettings(int profileNumber, int recordNumber, int flag,
                                          int screenWidth, int screenHeight) {
    (void)recordNumber;  // the record goes where the profile number says
    if (profileNumber < 0 || profileNumber > 0xFF) {
        return kResultBadRequest;
    }
    const std::vector<int> codes = ModeCodes();
    const std::vector<DpiStage> stages = profile_.GetDpiStages();
    const std::vector<CorrectionEntry> corrections = profile_.GetCorrectionList();
    mouse::RecordInputs in;
    in.profileNumber = profileNumber;
    in.light = profile_.GetLightInfo();
    in.modeCodes = codes;
    in.pollingIndex = static_cast<uint8_t>(profile_.GetMouseSystemSettings()[5]);
    in.activeStage = static_cast<uint8_t>(profile_.GetActiveDpiStage());
    in.stages = stages;
    in.flag = flag;
    in.screenWidth = screenWidth;
    in.screenHeight = screenHeight;
    in.corrections = corrections;
    const mouse::Record record = mouse::BuildRecord(in);
    return commandLink_.RunSequence([&] {
        return commandLink_.WriteMemory(
            record, static_cast<uint32_t>(profileNumber) * mouse::kRecordStride);
    });
}

void CVarnicMouseDevice::StoreStages() {
    profile_.SetDpiStages(stages_);
    profile_.SetActiveDpiStage(activeStage_.load());
}

void CVarnicMouseDevice::SelectDpiStage(int stage) {
    if (!ValidStage(stage)) {
        return;
    }
    activeStage_.store(stage);
    StoreStages();
    ShowActiveStage();
}

void CVarnicMouseDevice::SetDpiStages(std::span<const DpiStage> stages) {
    for (std::size_t i = 0; i < stages_.size() && i < stages.size(); ++i) {
        stages_[i] = stages[i];
    }
    StoreStages();
}

uint32_t CVarnicMouseDevice::GetStageColour(int stage) const {
    if (!ValidStage(stage)) {
        return 0;
    }
    const DpiStage& st = stages_[static_cast<std::size_t>(stage)];
    return 0xFF000000U | (static_cast<uint32_t>(st.red) << 16) |
           (static_cast<uint32_t>(st.green) << 8) | st.blue;
}

void CVarnicMouseDevice::SetStageColour(int stage, uint32_t colour) {
    if (!ValidStage(stage)) {
        return;
    }
    DpiStage& st = stages_[static_cast<std::size_t>(stage)];
    st.red = static_cast<uint8_t>(colour >> 16);
    st.green = static_cast<uint8_t>(colour >> 8);
    st.blue = static_cast<uint8_t>(colour);
    StoreStages();
    if (auto* swatch = Find<ui::CControlUI>(*this, Indexed("DPI_color_option_", stage))) {
        swatch->SetBkColor(GetStageColour(stage));
    }
}

void CVarnicMouseDevice::SetSystemStages(uint16_t w0, uint16_t w1, uint16_t w2) {
    // Double-click time, pointer speed, pointer precision.
    system_[0] = w0;
    system_[1] = w1;
    system_[2] = w2;
    profile_.SetMouseSystemSettings(system_);
}

void CVarnicMouseDevice::SetPageScroll(uint16_t value) {
    system_[3] = value;
    profile_.SetMouseSystemSettings(system_);
}

void CVarnicMouseDevice::SetPageScroll(uint16_t pageScroll, uint16_t scrollSpeed) {
    system_[3] = pageScroll;
    system_[4] = scrollSpeed;
    profile_.SetMouseSystemSettings(system_);
}

bool CVarnicMouseDevice::SetStageEnabled(int stage, bool on) {
    if (!ValidStage(stage)) {
        return false;
    }
    const auto enabled = std::count_if(stages_.begin(), stages_.end(),
                                       [](const DpiStage& s) { return s.active != 0; });
    DpiStage& st = stages_[static_cast<std::size_t>(stage)];
    if (!on && st.active != 0 && (enabled <= 1 || stage == activeStage_.load())) {
        return false;  // the last enabled stage and the active one stay on
    }
    st.active = on ? 1 : 0;
    StoreStages();
    if (auto* layout = Find<ui::CControlUI>(*this, Indexed("DPI_layout_", stage))) {
        layout->SetEnabled(on);
    }
    const auto nowEnabled = std::count_if(stages_.begin(), stages_.end(),
                                          [](const DpiStage& s) { return s.active != 0; });
    for (int i = 0; i < mouse::kStageCount; ++i) {
        if (auto* check = Find<ui::COptionUI>(*this, Indexed("DPI_enable_check_", i))) {
            const bool lastOne = nowEnabled == 1 && stages_[static_cast<std::size_t>(i)].active;
            check->SetEnabled(!lastOne && i != activeStage_.load());
        }
    }
    return true;
}

bool CVarnicMouseDevice::IsStageEnabled(int stage) const {
    return ValidStage(stage) && stages_[static_cast<std::size_t>(stage)].active != 0;
}

void CVarnicMouseDevice::SetStageSlider(int stage, uint32_t position) {
    if (!ValidStage(stage)) {
        return;
    }
    position = std::min<uint32_t>(position, scale_.highestStep);
    DpiStage& st = stages_[static_cast<std::size_t>(stage)];
    st.dpiX.Set(static_cast<uint16_t>(position));
    if (st.xy == 0) {
        st.dpiY.Set(static_cast<uint16_t>(position));
    }
    StoreStages();
    if (auto* slider = Find<ui::CSliderUI>(*this, Indexed("DPI_slider_", stage))) {
        slider->SetValue(static_cast<int>(position));
    }
    if (auto* edit = Find<ui::CControlUI>(*this, Indexed("DPI_edit_", stage))) {
        edit->SetText(std::to_string(GetStageEditValue(stage)));
    }
}

uint32_t CVarnicMouseDevice::GetStageSlider(int stage) const {
    return ValidStage(stage) ? stages_[static_cast<std::size_t>(stage)].dpiX.Get() : 0;
}

uint32_t CVarnicMouseDevice::GetStageEditValue(int stage) const {
    return mouse::PositionToDpi(scale_, GetStageSlider(stage));
}

void CVarnicMouseDevice::SetStageEditText(int stage, std::string_view text) {
    SetStageSlider(stage, mouse::EditTextToPosition(scale_, text));
}

void CVarnicMouseDevice::SetPollingRate(int index) {
    if (index < 0 || index >= mouse::kPollingRates) {
        index = 0;
    }
    system_[5] = static_cast<uint16_t>(index);
    profile_.SetMouseSystemSettings(system_);
}

// ---- keys and macros ----

namespace {

// Renumbers the macro keys of `keys` (a copy) to their first-use positions;
// keys of macros that no longer exist fall back to their default. Returns
// the macro numbers in first-use order.
std::vector<int> RenumberMacros(std::vector<KeyListEntry>& keys, std::span<const uint8_t> slots,
                                std::size_t macroCount) {
    std::vector<int> used;
    for (std::size_t k = 0; k < keys.size(); ++k) {
        if (k >= slots.size() || slots[k] == mouse::kNoSlot) {
            continue;
        }
        KeyAssignment& current = keys[k].current;
        if (!IsMacroKeyCode(current.kind)) {
            continue;
        }
        if (current.a >= macroCount) {
            const KeyAssignment& d = keys[k].defaults;
            current.entry = d.entry;
            current.kind = d.kind;
            current.a = d.a;
            current.b = d.b;
            continue;
        }
        auto at = std::find(used.begin(), used.end(), current.a);
        if (at == used.end()) {
            used.push_back(current.a);
            at = used.end() - 1;
        }
        current.a = static_cast<uint8_t>(at - used.begin());
    }
    return used;
}

std::size_t MacroCount(const std::string& folder) {
    MacroLibrary library(folder);
    library.LoadMacroList();
    return library.Entries().size();
}

}  // namespace

std::vector<int> CVarnicMouseDevice::CollectMacros() {
    std::vector<KeyListEntry> copy = keys_;
    return RenumberMacros(copy, slotMap_, MacroCount(GetProfileFolder()));
}

int32_t CVarnicMouseDevice::WriteKeyAssignments(int bank) {
    return WriteKeysFrom(bank, keys_);
}

int32_t CVarnicMouseDevice::WriteKeysFrom(int bank, std::span<const KeyListEntry> keys) {
    if (!Reachable()) {
        return commandLink_.open.load() ? kResultUnreachable : kResultNoReply;
    }
    std::array<uint8_t, kInfoBlockSize> info{};
    if (const int32_t r = commandLink_.RunSequence([&] { return commandLink_.ReadInfo(info); });
        r != kResultOk) {
        return r;  // never write a table we could not size
    }
    const std::size_t tableBytes = std::min<std::size_t>(info[5] * 3U, kMaxBlockSize);
    std::vector<uint8_t> work(deviceKeys_.begin(),
                              deviceKeys_.begin() + static_cast<std::ptrdiff_t>(tableBytes));
    std::vector<KeyListEntry> copy(keys.begin(), keys.end());
    RenumberMacros(copy, slotMap_, MacroCount(GetProfileFolder()));
    for (std::size_t k = 0; k < copy.size() && k < slotMap_.size(); ++k) {
        const uint8_t slot = slotMap_[k];
        if (slot == mouse::kNoSlot || slot * 3U + 2 >= tableBytes) {
            continue;
        }
        work[slot * 3U] = copy[k].current.kind;
        work[slot * 3U + 1] = copy[k].current.a;
        work[slot * 3U + 2] = copy[k].current.b;
    }
    const int32_t r = commandLink_.RunSequence([&] {
        if (!commandLink_.SetBlockSize(static_cast<uint16_t>(tableBytes))) {
            return kResultBadRequest;
        }
        return commandLink_.WriteKeys(work, bank);
    });
    if (r == kResultOk) {
        std::copy(work.begin(), work.end(), deviceKeys_.begin());
    }
    return r;
}

void CVarnicMouseDevice::RepairMacroReferences() {
    const std::size_t count = MacroCount(GetProfileFolder());
    bool changed = false;
    for (KeyListEntry& key : keys_) {
        if (IsMacroKeyCode(key.current.kind) && key.current.a >= count) {
            key.current.entry = key.defaults.entry;
            key.current.kind = key.defaults.kind;
            key.current.a = key.defaults.a;
            key.current.b = key.defaults.b;
            changed = true;
        }
    }
    if (changed) {
        profile_.SetKeyList(keys_);
        RefreshKeyNames();
        Invalidate();
    }
}

int32_t CVarnicMouseDevice::WriteBlob(uint8_t command,
                                      std::span<const std::vector<DeviceMacroStep>> entries,
                                      std::size_t capacity) {
    std::size_t length = 0;
    const std::vector<uint8_t> blob = mouse::BuildBlob(entries, length);
    if (const int32_t over = mouse::BlobOverflow(length, capacity); over > 0) {
        return over;
    }
    if (blob.empty()) {
        return kResultBadRequest;
    }
    const int32_t r = commandLink_.RunSequence([&] {
        return command == CMD_WRITE_MACROS ? commandLink_.WriteMacros(blob)
                                           : commandLink_.WritePatterns(blob);
    });
    if (r == kResultOk) {
        return 0;
    }
    return r < 0 ? r : kResultWriteFailed;
}

int32_t CVarnicMouseDevice::WriteMacros(std::span<const int> macros) {
    if (!Reachable()) {
        return commandLink_.open.load() ? kResultUnreachable : kResultWriteFailed;
    }
    MacroLibrary library(GetProfileFolder());
    library.LoadMacroList();
    std::vector<std::vector<DeviceMacroStep>> entries;
    for (int number : macros) {
        std::vector<DeviceMacroStep>& steps = entries.emplace_back();
        if (number < 0) {
            continue;
        }
        for (const Json::Value& step : library.LoadMacroSteps(static_cast<std::size_t>(number))) {
            steps.push_back(ToDeviceMacroStep(step));
        }
    }
    return WriteBlob(CMD_WRITE_MACROS, entries, static_cast<std::size_t>(info_[6]) * 128);
}

int32_t CVarnicMouseDevice::WritePatterns() {
    if (!Reachable()) {
        return commandLink_.open.load() ? kResultUnreachable : kResultWriteFailed;
    }
    const std::string folder = GetProfileFolder();
    std::vector<std::vector<DeviceMacroStep>> entries(mouse::kPatternCount);
    for (int n = 0; n < mouse::kPatternCount; ++n) {
        const std::string path = folder + "ShootData_" + std::to_string(n) + ".Shoot";
        for (const Json::Value& step : LoadMacroFile(path)) {
            entries[static_cast<std::size_t>(n)].push_back(ToDeviceMacroStep(step));
        }
    }
    return WriteBlob(CMD_WRITE_PATTERNS, entries, mouse::kPatternAreaBytes);
}

// ---- notifications ----

CVarnicMouseDevice::Reader& CVarnicMouseDevice::ReaderOf(int kind) {
    return kind == kKindMouseReceiver ? receiverReader_ : cableReader_;
}

bool CVarnicMouseDevice::OpenNotifyInterface(const std::string& path, int kind) {
    Reader& reader = ReaderOf(kind);
    if (reader.thread.Running()) {
        return true;
    }
    {
        std::lock_guard lock(*reader.lock);
        if (!reader.hid->Open(path, true, true, true, false)) {
            VEXTAR_LOG_ERROR("cannot open the mouse's notifications: %s",
                             reader.hid->LastError().c_str());
            return false;
        }
    }
    const bool receiver = kind == kKindMouseReceiver;
    reader.thread.Start(receiver ? "mouse receiver notifications" : "mouse notifications",
                        [this, receiver](CDeviceThread& self) { ReaderLoop(self, receiver); });
    CHidInterface* hid = reader.hid;
    reader.thread.AddWake([hid] { hid->Close(); });
    return true;
}

bool CVarnicMouseDevice::ReopenNotifyInterface(const std::string& path, int kind) {
    CloseNotifyInterface(kind);
    return OpenNotifyInterface(path, kind);
}

void CVarnicMouseDevice::CloseNotifyInterface(int kind) {
    Reader& reader = ReaderOf(kind);
    // Stop closes the interface first, which ends the reader's blocking read.
    reader.thread.Stop(CDeviceThread::kReaderStopBound);
    std::lock_guard lock(*reader.lock);
    reader.hid->Close();
}

void CVarnicMouseDevice::ReaderLoop(CDeviceThread& self, bool receiver) {
    CHidInterface& hid = receiver ? notifyLink_.receiverInterface : notifyLink_.cableInterface;
    std::vector<uint8_t> buffer(std::max<std::size_t>(hid.capabilities.InputReportByteLength, 64));
    while (!self.StopRequested()) {
        uint32_t got = 0;
        if (!hid.IsOpen() || !hid.ReadReport(buffer, got, CHidInterface::kInfinite)) {
            if (!self.Sleep(std::chrono::milliseconds(1))) {
                break;
            }
            continue;
        }
        // Decoded under the interface's lock: a Close from the UI thread
        // cannot free the entries while they are read.
        const std::optional<uint16_t> usage = hid.FirstSetUsage(std::span(buffer).first(got));
        if (usage && *usage != 0) {
            HandleNotification(*usage, receiver);
        }
    }
    VEXTAR_LOG_DEBUG("MS 设备同步线程设定退出");
}

void CVarnicMouseDevice::HandleNotification(uint16_t usage, bool receiver) {
    const mouse::NotifyAction action =
        mouse::DecodeNotification(usage, receiver, commandLink_.open.load());
    if (action.resync) {
        VEXTAR_LOG_DEBUG("接收到自动添加设备的同步信息要求");
        if (resyncRequest_) {
            resyncRequest_();
        } else if (m_pManager != nullptr) {
            m_pManager->PostMessage(kMsgMouseResync);
        }
    }
    if (action.burst && EffectParameters().mode == light::kModeReactive) {
        TriggerBurstAll();
    }
    if (action.profileNumber) {
        profileNumber_.store(*action.profileNumber);
    }
    if (action.dpiStage) {
        activeStage_.store(*action.dpiStage);
    }
    if (action.redraw && m_pManager != nullptr) {
        m_pManager->PostMessage(kMsgMouseRedraw);
    }
}

}  // namespace vextar
