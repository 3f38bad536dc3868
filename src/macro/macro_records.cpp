#include "macro/macro_records.h"

#include <string>

#include "profile/json_access.h"
#include "profile/text.h"

namespace vextar {

uint16_t ParseMacroDelay(std::string_view text) {
    return static_cast<uint16_t>(LeadingDecimal(text, kMaxMacroDelay));
}

uint16_t MacroStepDelay(const Json::Value& step) {
    return ParseMacroDelay(json::TextForm(json::Member(step, "Delay")));
}

bool MacroStepIsDown(const Json::Value& step) {
    return json::String(json::Member(step, "Action")) == "down";
}

DeviceMacroStep ToDeviceMacroStep(const Json::Value& step) {
    const uint16_t delay = MacroStepDelay(step);
    const auto type = static_cast<uint8_t>(json::Int(json::Member(step, "Type")) & 0x7F);
    DeviceMacroStep device;
    device.delayLow = static_cast<uint8_t>(delay & 0xFF);
    device.delayHigh = static_cast<uint8_t>(delay >> 8);
    device.typeAndAction = static_cast<uint8_t>(type | (MacroStepIsDown(step) ? 0x80 : 0));
    device.button = static_cast<uint8_t>(json::Int(json::Member(step, "Button")));
    return device;
}

Json::Value MakeMacroStep(int type, int button, bool down, uint16_t delay) {
    Json::Value step(Json::objectValue);
    step["Type"] = type;
    step["Button"] = button;
    step["Action"] = down ? "down" : "up";
    step["Delay"] = std::to_string(delay);
    return step;
}

}  // namespace vextar
