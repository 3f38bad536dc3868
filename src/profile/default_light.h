#pragma once

// The built-in light modes of each device model, from the factory file
// "default_light.json": per mode its name (a language key), whether it is
// offered, and the code the device knows it by. The program works with the
// position in the list and sends the code.

#include <json/json.h>

#include <cstddef>
#include <string>
#include <vector>

namespace vextar {

inline constexpr const char* kDefaultLightFileName = "default_light.json";

// Model indexes ("default light index" of the device type table).
inline constexpr int kLightModelKeyboard = 0;
inline constexpr int kLightModelMouse = 1;
inline constexpr int kLightModelMousePad = 2;
inline constexpr int kLightModelHeadset = 3;

// A mode byte names the position, so no list is longer.
inline constexpr std::size_t kMaxLightModes = 256;

struct LightModeName {
    std::string name;      // "LightName"
    bool visible = false;  // "visible"
    int value = 0;         // "value", the device's mode code
};

// "DefaultLightName"[model]; empty when absent.
std::vector<LightModeName> ReadDefaultLightNames(const Json::Value& document, int model);
// "AreaLightName"[model]: the names only.
std::vector<std::string> ReadAreaLightNames(const Json::Value& document, int model);

}  // namespace vextar
