#include "profile/json_access.h"

#include <cmath>
#include <cstring>
#include <limits>

namespace vextar::json {
namespace {

const Json::Value& Null() {
    static const Json::Value null;
    return null;
}

}  // namespace

const Json::Value& Member(const Json::Value& object, const char* key) {
    if (!object.isObject()) {
        return Null();
    }
    const Json::Value* found = object.find(key, key + std::strlen(key));
    return found != nullptr ? *found : Null();
}

const Json::Value& Element(const Json::Value& array, std::size_t index) {
    if (!array.isArray() || index >= array.size()) {
        return Null();
    }
    return array[static_cast<Json::ArrayIndex>(index)];
}

std::size_t ArraySize(const Json::Value& array) {
    return array.isArray() ? array.size() : 0;
}

std::optional<int64_t> IntOf(const Json::Value& value) {
    switch (value.type()) {
        case Json::intValue:
            return value.asInt64();
        case Json::uintValue:
            return static_cast<int64_t>(value.asUInt64());
        case Json::booleanValue:
            return value.asBool() ? 1 : 0;
        case Json::realValue: {
            const double d = value.asDouble();
            // 2^63 exactly is the first double out of range.
            if (std::isfinite(d) && d > -9223372036854775808.0 && d < 9223372036854775808.0) {
                return static_cast<int64_t>(d);
            }
            return std::nullopt;
        }
        default:
            return std::nullopt;
    }
}

int64_t Int(const Json::Value& value, int64_t fallback) {
    return IntOf(value).value_or(fallback);
}

bool Bool(const Json::Value& value, bool fallback) {
    switch (value.type()) {
        case Json::booleanValue:
            return value.asBool();
        case Json::intValue:
            return value.asInt64() != 0;
        case Json::uintValue:
            return value.asUInt64() != 0;
        case Json::realValue:
            return value.asDouble() != 0.0 && !std::isnan(value.asDouble());
        default:
            return fallback;
    }
}

std::string String(const Json::Value& value, const std::string& fallback) {
    return value.isString() ? value.asString() : fallback;
}

std::string TextForm(const Json::Value& value) {
    switch (value.type()) {
        case Json::stringValue:
            return value.asString();
        case Json::intValue:
            return std::to_string(value.asInt64());
        case Json::uintValue:
            return std::to_string(value.asUInt64());
        case Json::realValue:
        case Json::booleanValue:
            return value.asString();
        default:
            return {};
    }
}

Json::Value& MakeObject(Json::Value& value) {
    if (!value.isObject()) {
        value = Json::Value(Json::objectValue);
    }
    return value;
}

Json::Value& MakeArray(Json::Value& value) {
    if (!value.isArray()) {
        value = Json::Value(Json::arrayValue);
    }
    return value;
}

Json::Value& SetMember(Json::Value& object, const char* key) {
    return MakeObject(object)[key];
}

Json::Value& SetElement(Json::Value& array, std::size_t index) {
    return MakeArray(array)[static_cast<Json::ArrayIndex>(index)];
}

}  // namespace vextar::json
