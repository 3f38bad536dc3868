#include "profile/default_light.h"

#include <algorithm>

#include "profile/json_access.h"

namespace vextar {
namespace {

const Json::Value& ModelList(const Json::Value& document, const char* key, int model) {
    static const Json::Value none;
    return model < 0 ? none
                     : json::Element(json::Member(document, key), static_cast<std::size_t>(model));
}

}  // namespace

std::vector<LightModeName> ReadDefaultLightNames(const Json::Value& document, int model) {
    const Json::Value& list = ModelList(document, "DefaultLightName", model);
    const std::size_t count = std::min(json::ArraySize(list), kMaxLightModes);
    std::vector<LightModeName> modes(count);
    for (std::size_t i = 0; i < count; ++i) {
        const Json::Value& entry = json::Element(list, i);
        modes[i].name = json::String(json::Member(entry, "LightName"));
        modes[i].visible = json::Bool(json::Member(entry, "visible"));
        modes[i].value = static_cast<int>(json::Int(json::Member(entry, "value")));
    }
    return modes;
}

std::vector<std::string> ReadAreaLightNames(const Json::Value& document, int model) {
    const Json::Value& list = ModelList(document, "AreaLightName", model);
    const std::size_t count = std::min(json::ArraySize(list), kMaxLightModes);
    std::vector<std::string> names(count);
    for (std::size_t i = 0; i < count; ++i) {
        names[i] = json::String(json::Member(json::Element(list, i), "LightName"));
    }
    return names;
}

}  // namespace vextar
