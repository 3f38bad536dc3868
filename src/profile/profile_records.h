#pragma once

// The fixed records that device code exchanges with the profile objects.
// Field order and widths are binding: device code copies them whole into its
// own state and into device commands. Multi-byte fields that reach a device
// are stored low byte first whatever the host's byte order.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <type_traits>

namespace vextar {

// Limits on what a file may size. Device code copies these lists into fixed
// arrays: at most 170 keys and lighting zones (the keyboard), five DPI
// stages, 16 custom light groups (the keyboard's colour page is four bits).
inline constexpr std::size_t kMaxKeyListEntries = 170;
inline constexpr std::size_t kMaxLightZones = 170;
inline constexpr std::size_t kMaxDpiStages = 5;
inline constexpr int kMaxCustomLightGroups = 16;
inline constexpr std::size_t kMaxEffectSteps = 1024;
inline constexpr std::size_t kMaxCorrectionEntries = 64;
inline constexpr int kMaxCustomEqualisers = 64;
inline constexpr std::size_t kEqBandCount = 10;
inline constexpr int kMaxDeviceIndex = 15;

// An unsigned 16-bit value, low byte first.
struct Le16 {
    uint8_t low = 0;
    uint8_t high = 0;

    [[nodiscard]] constexpr uint16_t Get() const {
        return static_cast<uint16_t>(low | (high << 8));
    }
    constexpr void Set(uint16_t value) {
        low = static_cast<uint8_t>(value & 0xFF);
        high = static_cast<uint8_t>(value >> 8);
    }
    bool operator==(const Le16&) const = default;
};

// The lighting of a device ("LightInfo"), or one element of "LightList".
struct LightSetting {
    uint8_t mode = 0;          // 0 "SelectItem" / "LEDREGMode"
    uint8_t brightness = 0;    // 1 "Light" / "LEDBrightness"
    uint8_t speed = 0;         // 2 "Speed" / "LEDSpeed"
    uint8_t direction = 0;     // 3 "Fx" / "LEDDirection"
    uint8_t multiColor = 0;    // 4 "MultiColor" / "LEDMultiColor"
    uint8_t red = 0;           // 5
    uint8_t green = 0;         // 6
    uint8_t blue = 0;          // 7
    uint8_t unstored8 = 0;     // 8, not stored in profiles
    uint8_t unstored9 = 0;     // 9, not stored in profiles
    uint8_t present = 0;       // 10, "LightList" only: 1 for an object element
    uint8_t zzccLedMode = 0;   // 11 "ZZCCLedMode"
    uint8_t customGroup = 0;   // 12 "CustomGroup"
    uint8_t previousMode = 0;  // 13 "OldLedmode"
    bool operator==(const LightSetting&) const = default;
};

// Music-reactive lighting of the keyboard ("AudioLightInfo").
struct AudioLightSetting {
    uint8_t mode = 0;
    uint8_t backRed = 0;
    uint8_t backGreen = 0;
    uint8_t backBlue = 0;
    uint8_t foreRed = 0;
    uint8_t foreGreen = 0;
    uint8_t foreBlue = 0;
    uint8_t sevenColour = 0;  // "7ColorFlags"
    uint8_t colourType = 0;   // "ColorTypeFlags"
    bool operator==(const AudioLightSetting&) const = default;
};

// One half of a key list entry: the entry number and a 3-byte key code.
struct KeyAssignment {
    Le16 entry;        // position in "KeyList"
    uint8_t kind = 0;  // code type
    uint8_t a = 0;     // value 1
    uint8_t b = 0;     // value 2
    uint8_t spare = 0;

    // kind × 65536 + a × 256 + b, as stored in "Assignment".
    [[nodiscard]] constexpr uint32_t Packed() const {
        return (static_cast<uint32_t>(kind) << 16) | (static_cast<uint32_t>(a) << 8) | b;
    }
    constexpr void SetPacked(uint32_t value) {
        kind = static_cast<uint8_t>(value >> 16);
        a = static_cast<uint8_t>(value >> 8);
        b = static_cast<uint8_t>(value);
    }
    bool operator==(const KeyAssignment&) const = default;
};

struct KeyListEntry {
    KeyAssignment current;   // "Assignment"
    KeyAssignment defaults;  // "DefaultAssignment"
    bool operator==(const KeyListEntry&) const = default;
};

// One step of a custom light effect (an effect file's "LEDEffectList").
struct EffectStep {
    uint8_t mode = 0;        // "LEDREGMode"
    uint8_t brightness = 0;  // "LEDBrightness"
    uint8_t speed = 0;       // "LEDSpeed"
    uint8_t direction = 0;   // "LEDDirection"
    uint8_t multiColor = 0;  // "LEDMultiColor"
    uint8_t red = 0;
    uint8_t green = 0;
    uint8_t blue = 0;
    std::array<uint8_t, 8> zero{};
    int32_t time = 0;   // "Time", milliseconds
    int32_t cycle = 0;  // "Cyle"
    bool operator==(const EffectStep&) const = default;
};

// One DPI stage of the mouse, as the device record carries it.
struct DpiStage {
    uint8_t active = 0;  // "StageActive", the stage's enable flag
    uint8_t xy = 0;      // "StageXY", X and Y set apart
    Le16 dpiX;           // "StageDPIX", in DPI steps
    Le16 dpiY;           // "StageDPIY"
    uint8_t red = 0;
    uint8_t green = 0;
    uint8_t blue = 0;
    bool operator==(const DpiStage&) const = default;
};

// One entry of the mouse's read-only "CorrectInfo".
struct CorrectionEntry {
    uint8_t pixThresh = 0;  // "CorrectPixThresh"
    uint8_t minSq = 0;      // "CorrectMinSq"
    uint8_t select = 0;     // "CorrectSelect"
    std::string name;       // "CorrectName"
    bool operator==(const CorrectionEntry&) const = default;
};

// One LED of a custom light group.
struct LightColour {
    uint8_t red = 0;
    uint8_t green = 0;
    uint8_t blue = 0;
    uint8_t alpha = 0;
    bool operator==(const LightColour&) const = default;
};

// Double-click time, mouse speed, pointer precision, scroll page, wheel
// scroll lines, report-rate index.
using MouseSystemSettings = std::array<uint16_t, 6>;
// "Repeat", "RepeatDelay", "Key6Flag", "PollingRate", "WFlag", "WinFlag".
using KeyboardSystemSettings = std::array<uint16_t, 6>;
// "MagicEnable", "MagicType", "EqType", "CustomEqSeletIndex", "MicInSelect",
// "MicInValue", "MicMoniterSelect", "MicMoniterValue".
using HeadsetSettings = std::array<int32_t, 8>;

static_assert(sizeof(LightSetting) == 14 && alignof(LightSetting) == 1);
static_assert(sizeof(AudioLightSetting) == 9 && alignof(AudioLightSetting) == 1);
static_assert(sizeof(KeyAssignment) == 6 && alignof(KeyAssignment) == 1);
static_assert(sizeof(KeyListEntry) == 12 && offsetof(KeyListEntry, defaults) == 6);
static_assert(sizeof(EffectStep) == 24 && offsetof(EffectStep, time) == 16 &&
              offsetof(EffectStep, cycle) == 20);
static_assert(sizeof(DpiStage) == 9 && offsetof(DpiStage, dpiX) == 2 &&
              offsetof(DpiStage, red) == 6);
static_assert(sizeof(LightColour) == 4);
static_assert(std::is_trivially_copyable_v<LightSetting> &&
              std::is_trivially_copyable_v<AudioLightSetting> &&
              std::is_trivially_copyable_v<KeyListEntry> &&
              std::is_trivially_copyable_v<EffectStep> && std::is_trivially_copyable_v<DpiStage> &&
              std::is_trivially_copyable_v<LightColour>);

}  // namespace vextar
