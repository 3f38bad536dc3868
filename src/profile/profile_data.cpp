#include "profile/profile_data.h"

#include <algorithm>
#include <optional>

#include "platform/log.h"
#include "profile/file_helpers.h"
#include "profile/json_access.h"
#include "profile/notices.h"
#include "profile/text.h"

namespace vextar {
namespace {

using json::Element;
using json::Member;
using json::SetElement;
using json::SetMember;

uint8_t Byte(const Json::Value& value) {
    return static_cast<uint8_t>(json::Int(value));
}
uint8_t BoolByte(const Json::Value& value) {
    return json::Bool(value) ? 1 : 0;
}

// One JSON member of a byte record.
template <typename Record>
struct ByteField {
    const char* key;
    uint8_t Record::*field;
    bool boolRead;
};

template <typename Record, std::size_t N>
Record ReadBytes(const Json::Value& object, const std::array<ByteField<Record>, N>& fields) {
    Record record{};
    for (const ByteField<Record>& f : fields) {
        const Json::Value& v = Member(object, f.key);
        record.*f.field = f.boolRead ? BoolByte(v) : Byte(v);
    }
    return record;
}

template <typename Record, std::size_t N>
Json::Value WriteBytes(const Record& record, const std::array<ByteField<Record>, N>& fields) {
    Json::Value object(Json::objectValue);
    for (const ByteField<Record>& f : fields) {
        object[f.key] = static_cast<int>(record.*f.field);
    }
    return object;
}

constexpr std::array<ByteField<LightSetting>, 11> kLightInfoFields = {{
    {"SelectItem", &LightSetting::mode, false},
    {"Light", &LightSetting::brightness, false},
    {"Speed", &LightSetting::speed, false},
    {"Fx", &LightSetting::direction, false},
    {"MultiColor", &LightSetting::multiColor, true},
    {"Red", &LightSetting::red, false},
    {"Green", &LightSetting::green, false},
    {"Blue", &LightSetting::blue, false},
    {"ZZCCLedMode", &LightSetting::zzccLedMode, false},
    {"CustomGroup", &LightSetting::customGroup, false},
    {"OldLedmode", &LightSetting::previousMode, false},
}};

constexpr std::array<ByteField<LightSetting>, 8> kLightListFields = {{
    {"LEDREGMode", &LightSetting::mode, false},
    {"LEDBrightness", &LightSetting::brightness, false},
    {"LEDSpeed", &LightSetting::speed, false},
    {"LEDDirection", &LightSetting::direction, true},
    {"LEDMultiColor", &LightSetting::multiColor, true},
    {"red", &LightSetting::red, false},
    {"green", &LightSetting::green, false},
    {"blue", &LightSetting::blue, false},
}};

constexpr std::array<ByteField<EffectStep>, 8> kEffectStepFields = {{
    {"LEDREGMode", &EffectStep::mode, false},
    {"LEDBrightness", &EffectStep::brightness, false},
    {"LEDSpeed", &EffectStep::speed, false},
    {"LEDDirection", &EffectStep::direction, false},
    {"LEDMultiColor", &EffectStep::multiColor, false},
    {"red", &EffectStep::red, false},
    {"green", &EffectStep::green, false},
    {"blue", &EffectStep::blue, false},
}};

constexpr std::array<ByteField<AudioLightSetting>, 9> kAudioLightFields = {{
    {"AudioMode", &AudioLightSetting::mode, false},
    {"BkColorR", &AudioLightSetting::backRed, false},
    {"BkColorG", &AudioLightSetting::backGreen, false},
    {"BkColorB", &AudioLightSetting::backBlue, false},
    {"FgColorR", &AudioLightSetting::foreRed, false},
    {"FgColorG", &AudioLightSetting::foreGreen, false},
    {"FgColorB", &AudioLightSetting::foreBlue, false},
    {"7ColorFlags", &AudioLightSetting::sevenColour, true},
    {"ColorTypeFlags", &AudioLightSetting::colourType, true},
}};

constexpr std::array<ByteField<LightColour>, 4> kColourFields = {{
    {"Red", &LightColour::red, false},
    {"Green", &LightColour::green, false},
    {"Blue", &LightColour::blue, false},
    {"Alpha", &LightColour::alpha, false},
}};

constexpr std::array<const char*, 5> kMouseSystemKeys = {
    "DoubleClickTime", "MouseSpeed", "PointerPrecision", "ScorllPage", "WheelScorlllinse"};
constexpr std::array<const char*, 6> kKeyboardSystemKeys = {
    "Repeat", "RepeatDelay", "Key6Flag", "PollingRate", "WFlag", "WinFlag"};
constexpr std::array<const char*, 8> kHeadsetKeys = {
    "MagicEnable", "MagicType",  "EqType",           "CustomEqSeletIndex",
    "MicInSelect", "MicInValue", "MicMoniterSelect", "MicMoniterValue"};

// Integers of an object, in key order, narrowed to T; all zero when the
// object is absent.
template <typename T, std::size_t N, std::size_t M>
void ReadIntegers(const Json::Value& object, const std::array<const char*, N>& keys,
                  std::array<T, M>& out) {
    static_assert(N <= M);
    for (std::size_t i = 0; i < N; ++i) {
        out[i] = static_cast<T>(json::Int(Member(object, keys[i])));
    }
}

template <typename T, std::size_t N, std::size_t M>
void WriteIntegers(Json::Value& object, const std::array<const char*, N>& keys,
                   const std::array<T, M>& values) {
    static_assert(N <= M);
    for (std::size_t i = 0; i < N; ++i) {
        SetMember(object, keys[i]) = static_cast<Json::Int64>(values[i]);
    }
}

// The equaliser bands of one array element ("EQHzValueInfo"[slot] or
// "CustomEQHzValueInfo"[n]): stored values, or zeros written in when the
// element holds none.
std::vector<int> ReadBands(Json::Value& section, const char* key, std::size_t slot) {
    std::vector<int> values(kEqBandCount, 0);
    const Json::Value& bands = Element(Member(section, key), slot);
    if (bands.isArray()) {
        for (std::size_t i = 0; i < kEqBandCount; ++i) {
            values[i] = static_cast<int>(json::Int(Member(Element(bands, i), "value")));
        }
        return values;
    }
    Json::Value& stored = SetElement(SetMember(section, key), slot);
    stored = Json::Value(Json::arrayValue);
    for (std::size_t i = 0; i < kEqBandCount; ++i) {
        SetMember(SetElement(stored, i), "value") = 0;
    }
    return values;
}

void WriteBands(Json::Value& section, const char* key, std::size_t slot,
                std::span<const int> values) {
    Json::Value& bands = SetElement(SetMember(section, key), slot);
    for (std::size_t i = 0; i < kEqBandCount; ++i) {
        SetMember(SetElement(bands, i), "value") = i < values.size() ? values[i] : 0;
    }
}

std::optional<std::size_t> EqSlot(int type) {
    if (type == 13) {
        return std::nullopt;
    }
    return (type >= 1 && type <= 12) ? static_cast<std::size_t>(type) : 1;
}

}  // namespace

bool IsProfileDocument(const Json::Value& document, int deviceIndex) {
    if (!document.isObject()) {
        return false;
    }
    const Json::Value& device = Member(document, "Device");
    if (!device.isNull() && !device.isArray()) {
        return false;
    }
    const Json::Value& section = Element(device, static_cast<std::size_t>(deviceIndex));
    return section.isNull() || section.isObject();
}

std::vector<KeyListEntry> ReadKeyList(const Json::Value& section) {
    const Json::Value& list = Member(section, "KeyList");
    const std::size_t count = std::min(json::ArraySize(list), kMaxKeyListEntries);
    std::vector<KeyListEntry> keys(count);
    for (std::size_t i = 0; i < count; ++i) {
        const Json::Value& element = Element(list, i);
        KeyListEntry& key = keys[i];
        key.current.entry.Set(static_cast<uint16_t>(i));
        key.defaults.entry.Set(static_cast<uint16_t>(i));
        key.current.SetPacked(static_cast<uint32_t>(json::Int(Member(element, "Assignment"))));
        key.defaults.SetPacked(
            static_cast<uint32_t>(json::Int(Member(element, "DefaultAssignment"))));
    }
    return keys;
}

void WriteKeyList(Json::Value& section, std::span<const KeyListEntry> keys) {
    Json::Value& list = SetMember(section, "KeyList");
    const std::size_t count = std::min(keys.size(), kMaxKeyListEntries);
    for (std::size_t i = 0; i < count; ++i) {
        SetMember(SetElement(list, i), "Assignment") = keys[i].current.Packed();
    }
}

// ---------------------------------------------------------------------------
// CBasicProfiledata

void CBasicProfiledata::SetProfilePath(const std::string& path) {
    if (!path.empty()) {
        profilePath_ = path;
    }
}

void CBasicProfiledata::SetDefaultPath(const std::string& path) {
    if (!path.empty()) {
        defaultPath_ = path;
    }
}

bool CBasicProfiledata::SetDeviceIndex(int index) {
    if (index < 0 || index > kMaxDeviceIndex) {
        return false;
    }
    deviceIndex_ = index;
    return true;
}

Json::Value CBasicProfiledata::LoadSection(const std::string& path) {
    const auto index = static_cast<std::size_t>(deviceIndex_);
    JsonFileLoad load;
    if (!path.empty()) {
        load = LoadJsonFile(path, [this](const Json::Value& document) {
            return IsProfileDocument(document, deviceIndex_);
        });
    }
    Json::Value document =
        load.state == JsonFileState::Loaded ? std::move(load.value) : Json::objectValue;
    Json::Value section = Element(Member(document, "Device"), index);
    if (!section.isNull()) {
        return section;
    }
    // Complete the file from the factory default.
    const Json::Value defaults = defaultPath_.empty() ? Json::Value() : ReadJsonFile(defaultPath_);
    section = Element(Member(defaults, "Device"), index);
    if (!section.isObject()) {
        VEXTAR_LOG_ERROR("no factory profile section in '%s'", defaultPath_.c_str());
        return {};
    }
    if (!path.empty() && load.state != JsonFileState::Unusable) {
        SetElement(SetMember(document, "Device"), index) = section;
        WriteDocumentTo(document, path);
    }
    return section;
}

Json::Value CBasicProfiledata::LoadActiveSection(const std::string& path) {
    active_ = LoadSection(path);
    activeLoaded_ = true;
    return active_;
}

Json::Value CBasicProfiledata::LoadOtherSection(const std::string& path) {
    other_ = LoadSection(path);
    return other_;
}

Json::Value CBasicProfiledata::LoadLightConfig(const std::string& path) {
    lightConfig_ = ReadJsonFile(path);
    return lightConfig_;
}

bool CBasicProfiledata::SaveRefused(const Json::Value& section, const char* what) const {
    if (section.isNull()) {
        VEXTAR_LOG_ERROR("not saving %s: no section was loaded", what);
        return true;
    }
    return false;
}

bool CBasicProfiledata::Save() {
    if (!activeLoaded_) {
        VEXTAR_LOG_ERROR("not saving '%s': the profile was never loaded", profilePath_.c_str());
        return false;
    }
    if (SaveRefused(active_, profilePath_.c_str())) {
        return false;
    }
    return SaveSectionTo(active_, profilePath_);
}

bool CBasicProfiledata::SaveSectionTo(const Json::Value& section, const std::string& path) {
    if (path.empty()) {
        return false;
    }
    JsonFileLoad load = LoadJsonFile(path, [this](const Json::Value& document) {
        return IsProfileDocument(document, deviceIndex_);
    });
    if (load.state == JsonFileState::Unusable) {
        return false;
    }
    Json::Value document =
        load.state == JsonFileState::Loaded ? std::move(load.value) : Json::objectValue;
    SetElement(SetMember(document, "Device"), static_cast<std::size_t>(deviceIndex_)) = section;
    return WriteDocumentTo(document, path);
}

bool CBasicProfiledata::SaveOtherSectionTo(const std::string& path) {
    if (SaveRefused(other_, path.c_str())) {
        return false;
    }
    return SaveSectionTo(other_, path);
}

bool CBasicProfiledata::WriteDocumentTo(const Json::Value& document, const std::string& path) {
    const std::error_code error = WriteJsonFile(path, document);
    if (error) {
        PostFileNotice({kMessageFileWriteFailed, path, error.message()});
        return false;
    }
    return true;
}

LightSetting CBasicProfiledata::GetLightInfo() {
    lastLight_ = ReadBytes(Member(active_, "LightInfo"), kLightInfoFields);
    return lastLight_;
}

void CBasicProfiledata::SetLightInfo(const LightSetting& light) {
    SetMember(active_, "LightInfo") = WriteBytes(light, kLightInfoFields);
    lastLight_ = light;
}

AudioLightSetting CBasicProfiledata::GetAudioLightInfo() {
    audioLight_ = ReadBytes(Member(active_, "AudioLightInfo"), kAudioLightFields);
    return audioLight_;
}

void CBasicProfiledata::SetAudioLightInfo(const AudioLightSetting& audio) {
    SetMember(active_, "AudioLightInfo") = WriteBytes(audio, kAudioLightFields);
    audioLight_ = audio;
}

std::vector<LightSetting> CBasicProfiledata::GetLightList() {
    const Json::Value& list = Member(active_, "LightList");
    const std::size_t count = std::min(json::ArraySize(list), kMaxLightZones);
    lightList_.assign(count, LightSetting{});
    for (std::size_t i = 0; i < count; ++i) {
        const Json::Value& element = Element(list, i);
        if (element.isObject()) {
            lightList_[i] = ReadBytes(element, kLightListFields);
            lightList_[i].present = 1;
        }
    }
    return lightList_;
}

std::vector<EffectStep> CBasicProfiledata::GetEffectSteps() {
    effectSteps_.clear();
    const Json::Value& entry =
        Element(Element(Member(lightConfig_, "LightInfo"), static_cast<std::size_t>(deviceIndex_)),
                lastLight_.mode);
    const std::string guid = json::String(Member(entry, "Guid"));
    const std::string folder = FolderOf(lightConfigPath_.empty() ? profilePath_ : lightConfigPath_);
    if (!IsSafeFileName(guid) || folder.empty()) {
        return effectSteps_;
    }
    const Json::Value effect = ReadJsonFile(folder + guid + ".light");
    const Json::Value& list = Member(effect, "LEDEffectList");
    const std::size_t count = std::min(json::ArraySize(list), kMaxEffectSteps);
    for (std::size_t i = 0; i < count; ++i) {
        const Json::Value& element = Element(list, i);
        EffectStep step = ReadBytes(element, kEffectStepFields);
        step.time = static_cast<int32_t>(json::Int(Member(element, "Time")));
        step.cycle = static_cast<int32_t>(json::Int(Member(element, "Cyle")));
        effectSteps_.push_back(step);
    }
    return effectSteps_;
}

std::vector<KeyListEntry> CBasicProfiledata::GetKeyList() {
    keyList_ = ReadKeyList(active_);
    return keyList_;
}

std::vector<KeyListEntry> CBasicProfiledata::GetOtherKeyList() {
    otherKeyList_ = ReadKeyList(other_);
    return otherKeyList_;
}

void CBasicProfiledata::SetKeyList(std::span<const KeyListEntry> keys) {
    keyList_.assign(keys.begin(), keys.begin() + std::min(keys.size(), kMaxKeyListEntries));
    WriteKeyList(active_, keyList_);
}

void CBasicProfiledata::SetOtherKeyList(std::span<const KeyListEntry> keys) {
    otherKeyList_.assign(keys.begin(), keys.begin() + std::min(keys.size(), kMaxKeyListEntries));
    WriteKeyList(other_, otherKeyList_);
}

// ---------------------------------------------------------------------------
// CMouseProfiledata

std::vector<DpiStage> CMouseProfiledata::GetDpiStages() {
    const Json::Value& dpi = Member(active_, "DPIStages");
    if (!dpi.isObject()) {
        return dpiStages_;
    }
    const int64_t active = json::Int(Member(dpi, "StageActive"));
    activeDpiStage_ =
        active >= 0 && active < static_cast<int64_t>(kMaxDpiStages) ? static_cast<int>(active) : 0;
    const Json::Value& stages = Member(dpi, "StageDPIs");
    const std::size_t count = std::min(json::ArraySize(stages), kMaxDpiStages);
    if (dpiStages_.size() < count) {
        dpiStages_.resize(count);
    }
    for (std::size_t i = 0; i < count; ++i) {
        const Json::Value& s = Element(stages, i);
        DpiStage& stage = dpiStages_[i];
        stage.active = Byte(Member(s, "StageActive"));
        stage.xy = Byte(Member(s, "StageXY"));
        stage.dpiX.Set(static_cast<uint16_t>(json::Int(Member(s, "StageDPIX"))));
        stage.dpiY.Set(static_cast<uint16_t>(json::Int(Member(s, "StageDPIY"))));
        stage.red = Byte(Member(s, "StageColorR"));
        stage.green = Byte(Member(s, "StageColorG"));
        stage.blue = Byte(Member(s, "StageColorB"));
    }
    return dpiStages_;
}

void CMouseProfiledata::SetDpiStages(std::span<const DpiStage> stages) {
    dpiStages_.assign(stages.begin(), stages.begin() + std::min(stages.size(), kMaxDpiStages));
    Json::Value& list = SetMember(SetMember(active_, "DPIStages"), "StageDPIs");
    for (std::size_t i = 0; i < dpiStages_.size(); ++i) {
        const DpiStage& stage = dpiStages_[i];
        Json::Value& s = SetElement(list, i);
        SetMember(s, "StageActive") = stage.active;
        SetMember(s, "StageXY") = stage.xy;
        SetMember(s, "StageDPIX") = stage.dpiX.Get();
        SetMember(s, "StageDPIY") = stage.dpiY.Get();
        SetMember(s, "StageColorR") = stage.red;
        SetMember(s, "StageColorG") = stage.green;
        SetMember(s, "StageColorB") = stage.blue;
    }
}

bool CMouseProfiledata::SetActiveDpiStage(int index) {
    if (index < 0 || index >= static_cast<int>(kMaxDpiStages)) {
        return false;
    }
    activeDpiStage_ = index;
    SetMember(SetMember(active_, "DPIStages"), "StageActive") = index;
    return true;
}

MouseSystemSettings CMouseProfiledata::GetMouseSystemSettings() {
    systemSettings_ = {};
    const Json::Value& system = Member(active_, "SystemStages");
    if (system.isObject()) {
        ReadIntegers(system, kMouseSystemKeys, systemSettings_);
        systemSettings_[5] = static_cast<uint16_t>(
            json::Int(Member(Member(active_, "ReportStages"), "StageActive")));
    }
    return systemSettings_;
}

void CMouseProfiledata::SetMouseSystemSettings(const MouseSystemSettings& settings) {
    systemSettings_ = settings;
    WriteIntegers(SetMember(active_, "SystemStages"), kMouseSystemKeys, settings);
    SetMember(SetMember(active_, "ReportStages"), "StageActive") = settings[5];
}

std::vector<CorrectionEntry> CMouseProfiledata::GetCorrectionList() {
    const Json::Value& list = Member(active_, "CorrectInfo");
    const std::size_t count = std::min(json::ArraySize(list), kMaxCorrectionEntries);
    corrections_.assign(count, CorrectionEntry{});
    for (std::size_t i = 0; i < count; ++i) {
        const Json::Value& element = Element(list, i);
        CorrectionEntry& entry = corrections_[i];
        entry.pixThresh = Byte(Member(element, "CorrectPixThresh"));
        entry.minSq = Byte(Member(element, "CorrectMinSq"));
        entry.select = Byte(Member(element, "CorrectSelect"));
        entry.name = json::String(Member(element, "CorrectName"));
    }
    return corrections_;
}

// ---------------------------------------------------------------------------
// CKeyboardProfiledata

KeyboardSystemSettings CKeyboardProfiledata::GetKeyboardSystemSettings() {
    systemSettings_ = {};
    ReadIntegers(Member(active_, "SystemStages"), kKeyboardSystemKeys, systemSettings_);
    return systemSettings_;
}

void CKeyboardProfiledata::SetKeyboardSystemSettings(const KeyboardSystemSettings& settings) {
    systemSettings_ = settings;
    WriteIntegers(SetMember(active_, "SystemStages"), kKeyboardSystemKeys, settings);
}

std::vector<LightColour> CKeyboardProfiledata::GetCustomLightColors(int group, std::size_t count) {
    count = std::min(count, kMaxLightZones);
    customColours_.assign(count, LightColour{});
    if (group < 0 || group >= kMaxCustomLightGroups || active_.isNull()) {
        return customColours_;
    }
    const auto g = static_cast<std::size_t>(group);
    const Json::Value& stored =
        Element(Member(Member(active_, "CustomLightMode"), "LightColorInfo"), g);
    const bool groupStored = stored.isArray();
    for (std::size_t i = 0; i < count; ++i) {
        const Json::Value& element = Element(stored, i);
        if (groupStored && element.isObject()) {
            customColours_[i] = ReadBytes(element, kColourFields);
        } else {
            Json::Value& zero = SetElement(
                SetElement(SetMember(SetMember(active_, "CustomLightMode"), "LightColorInfo"), g),
                i);
            zero = WriteBytes(LightColour{}, kColourFields);
        }
    }
    return customColours_;
}

bool CKeyboardProfiledata::SetCustomLightColors(std::span<const LightColour> colours, int group) {
    if (group < 0 || group >= kMaxCustomLightGroups) {
        return false;
    }
    customColours_.assign(colours.begin(),
                          colours.begin() + std::min(colours.size(), kMaxLightZones));
    Json::Value& stored =
        SetElement(SetMember(SetMember(active_, "CustomLightMode"), "LightColorInfo"),
                   static_cast<std::size_t>(group));
    for (std::size_t i = 0; i < customColours_.size(); ++i) {
        Json::Value& element = SetElement(stored, i);
        for (const ByteField<LightColour>& f : kColourFields) {
            SetMember(element, f.key) = customColours_[i].*f.field;
        }
    }
    return true;
}

int CKeyboardProfiledata::GetCustomLightGroup() {
    const int64_t group =
        json::Int(Member(Member(active_, "CustomLightMode"), "CustomLightModeGroupIndex"));
    customGroup_ = group >= 0 && group < kMaxCustomLightGroups ? static_cast<int>(group) : 0;
    return customGroup_;
}

bool CKeyboardProfiledata::SetCustomLightGroup(int group) {
    if (group < 0 || group >= kMaxCustomLightGroups) {
        return false;
    }
    customGroup_ = group;
    SetMember(SetMember(active_, "CustomLightMode"), "CustomLightModeGroupIndex") = group;
    return true;
}

// ---------------------------------------------------------------------------
// CHs6533Profiledata

HeadsetSettings CHs6533Profiledata::GetHeadsetSettings() {
    settings_ = {};
    ReadIntegers(Member(active_, "SystemSetStages"), kHeadsetKeys, settings_);
    return settings_;
}

void CHs6533Profiledata::SetHeadsetSettings(const HeadsetSettings& settings) {
    settings_ = settings;
    WriteIntegers(SetMember(active_, "SystemSetStages"), kHeadsetKeys, settings);
}

std::vector<int> CHs6533Profiledata::GetEqValues(int type) {
    const std::optional<std::size_t> slot = EqSlot(type);
    if (!slot) {
        return {};
    }
    if (active_.isNull()) {
        return std::vector<int>(kEqBandCount, 0);
    }
    return ReadBands(active_, "EQHzValueInfo", *slot);
}

void CHs6533Profiledata::SetEqValues(int type, std::span<const int> values) {
    if (const std::optional<std::size_t> slot = EqSlot(type)) {
        WriteBands(active_, "EQHzValueInfo", *slot, values);
    }
}

std::vector<std::string> CHs6533Profiledata::GetCustomEqNames() {
    const Json::Value& list = Member(active_, "CustomEQNameInfo");
    const std::size_t count =
        std::min(json::ArraySize(list), static_cast<std::size_t>(kMaxCustomEqualisers));
    std::vector<std::string> names;
    names.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        names.push_back(json::String(Member(Element(list, i), "Name")));
    }
    return names;
}

void CHs6533Profiledata::SetCustomEqNames(std::span<const std::string> names) {
    Json::Value list(Json::arrayValue);
    const std::size_t count =
        std::min(names.size(), static_cast<std::size_t>(kMaxCustomEqualisers));
    for (std::size_t i = 0; i < count; ++i) {
        Json::Value entry(Json::objectValue);
        entry["Name"] = names[i];
        list.append(entry);
    }
    SetMember(active_, "CustomEQNameInfo") = list;
}

std::vector<int> CHs6533Profiledata::GetCustomEqValues(int number) {
    if (number < 0 || number >= kMaxCustomEqualisers) {
        return {};
    }
    if (active_.isNull()) {
        return std::vector<int>(kEqBandCount, 0);
    }
    return ReadBands(active_, "CustomEQHzValueInfo", static_cast<std::size_t>(number));
}

void CHs6533Profiledata::SetCustomEqValues(int number, std::span<const int> values) {
    if (number >= 0 && number < kMaxCustomEqualisers) {
        WriteBands(active_, "CustomEQHzValueInfo", static_cast<std::size_t>(number), values);
    }
}

}  // namespace vextar
