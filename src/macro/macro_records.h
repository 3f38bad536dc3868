#pragma once

// Macro steps as stored and as devices take them. A step is a JSON object
// {"Type", "Button", "Action", "Delay"}; it is kept whole, so members and
// step kinds this program does not interpret survive a save.

#include <json/json.h>

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace vextar {

inline constexpr std::size_t kMaxMacros = 50;        // per device kind
inline constexpr std::size_t kMaxMacroSteps = 4000;  // per macro
inline constexpr uint16_t kMaxMacroDelay = 65535;    // milliseconds
inline constexpr int kMacroFileVersion = 64;
inline constexpr const char* kMacroListFileName = "macro.config";
inline constexpr const char* kMacroFileExtension = ".mac";
// The message key of a refused 51st macro.
inline constexpr const char* kMessageMacroLimit = "message_text_30";

// Step kinds ("Type").
inline constexpr int kMacroStepMouseButton =
    1;  // "Button": 1 left, 2 right, 4 middle, 8 back, 16 forward
inline constexpr int kMacroStepMoveX = 4;     // "down" left, "up" right, "Button" pixels
inline constexpr int kMacroStepMoveY = 5;     // "down" up, "up" down
inline constexpr int kMacroStepModifier = 9;  // "Button": the HID modifier bit
inline constexpr int kMacroStepKey = 10;      // "Button": the HID keyboard usage

// Key codes whose value 1 is a macro number: 'p' plays a macro, 'q' plays it
// a number of times.
inline constexpr uint8_t kKeyCodeMacro = 0x70;
inline constexpr uint8_t kKeyCodeMacroRepeat = 0x71;
inline constexpr bool IsMacroKeyCode(uint8_t kind) {
    return kind == kKeyCodeMacro || kind == kKeyCodeMacroRepeat;
}

// The 4-byte form of a step in a device's macro download.
struct DeviceMacroStep {
    uint8_t delayLow = 0;
    uint8_t delayHigh = 0;
    uint8_t typeAndAction = 0;  // "Type" in bits 0..6, bit 7 set for "down"
    uint8_t button = 0;
    bool operator==(const DeviceMacroStep&) const = default;
};
static_assert(sizeof(DeviceMacroStep) == 4);

// The value of the leading decimal digits of a delay text, at most 65535;
// 0 when there are none ("abc", "-5", "").
uint16_t ParseMacroDelay(std::string_view text);
// The delay of a step: its "Delay" member, stored as text or as a number.
uint16_t MacroStepDelay(const Json::Value& step);
bool MacroStepIsDown(const Json::Value& step);

DeviceMacroStep ToDeviceMacroStep(const Json::Value& step);

// A new step object, with the delay written as text.
Json::Value MakeMacroStep(int type, int button, bool down, uint16_t delay);

}  // namespace vextar
