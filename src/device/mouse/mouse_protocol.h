#pragma once

// The mouse's on-device formats, free of any page or link: the 71-byte
// profile record, the macro and recoil-pattern blob, the DPI slider and edit
// conversions, and what a consumer-control notification asks for.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "device/command_frame.h"
#include "macro/macro_records.h"
#include "profile/profile_records.h"

namespace vextar::mouse {

inline constexpr std::size_t kRecordSize = 71;
inline constexpr uint32_t kRecordStride = 128;
inline constexpr int kStageCount = 5;
inline constexpr uint8_t kNoSlot = 170;
inline constexpr int kKeyCount = 11;
inline constexpr int kBuiltInModes = 12;
inline constexpr int kPollingRates = 5;
// The sensor whose slider switches to 200-DPI steps after position 48.
inline constexpr uint16_t kSensorWideSteps = 13093;
inline constexpr int kWideStepsFrom = 48;
inline constexpr uint32_t kWideStep = 200;
// The recoil-pattern area of the mouse; the information block names only the
// macro area's size.
inline constexpr std::size_t kPatternAreaBytes = 4096;
inline constexpr int kPatternCount = 4;
inline constexpr uint16_t kBlobMark = 0x55AA;
inline constexpr std::size_t kBlobHeader = 16;

using Record = std::array<uint8_t, kRecordSize>;

// What the page's DPI controls are scaled by, from the information block.
struct DpiScale {
    uint8_t step = 0;          // byte 11
    uint16_t lowest = 0;       // bytes 14-15
    uint16_t sensor = 0;       // bytes 9-10
    uint16_t highestStep = 0;  // bytes 12-13, the slider's top position
};
DpiScale ScaleFromInfo(std::span<const uint8_t, kInfoBlockSize> info);

// Slider position → DPI shown in the stage's edit.
uint32_t PositionToDpi(const DpiScale& scale, uint32_t position);
// DPI → slider position: raised to the lowest DPI, the exact inverse of
// PositionToDpi (rounded down between two positions), clamped to the slider
// range. A step of 0 gives position 0.
uint32_t DpiToPosition(const DpiScale& scale, uint32_t dpi);
// The edit's text → slider position: its leading digits (none counts as 0).
uint32_t EditTextToPosition(const DpiScale& scale, std::string_view text);

// Speed level ↔ record byte 3 (4 − level, levels clamped to 0..4).
uint8_t SpeedToRecord(uint8_t level);
uint8_t SpeedFromRecord(uint8_t byte);

// Mode index → device code; indexes beyond the list or from 12 up (custom
// modes) send the code of mode 0. `codes` is the light-mode list's values.
uint8_t ModeToDeviceCode(int mode, std::span<const int> codes);
// Device code → mode index; nullopt when no built-in mode has it.
std::optional<int> ModeFromDeviceCode(uint8_t code, std::span<const int> codes);

struct RecordInputs {
    int profileNumber = 0;
    LightSetting light;
    std::span<const int> modeCodes;
    uint8_t pollingIndex = 0;
    uint8_t activeStage = 0;
    std::span<const DpiStage> stages;  // the first five are used
    int flag = 0;
    int screenWidth = 0;
    int screenHeight = 0;
    std::span<const CorrectionEntry> corrections;
};
Record BuildRecord(const RecordInputs& in);

// The blob of macro or pattern entries; empty when its length does not fit
// the 16-bit length field. `length` is always the full length it would have.
std::vector<uint8_t> BuildBlob(std::span<const std::vector<DeviceMacroStep>> entries,
                               std::size_t& length);
// What a blob of `length` bytes over `capacity` is told as: the number of
// 4-byte events too many, counted from 1; 0 when it fits.
int32_t BlobOverflow(std::size_t length, std::size_t capacity);

// What one notification usage asks of the page.
struct NotifyAction {
    bool resync = false;               // re-read the current profile
    bool burst = false;                // reactive burst on every zone
    std::optional<int> profileNumber;  // the device's current profile
    std::optional<int> dpiStage;       // the device's active DPI stage
    bool redraw = false;
};
NotifyAction DecodeNotification(uint16_t usage, bool receiver, bool linkOpen);

}  // namespace vextar::mouse
