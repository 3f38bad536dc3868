#pragma once

// Access to JSON values read from files that never throws. The library's own
// accessors throw on a value of the wrong type (an integer read from a text,
// an index taken of an object); settings files are outside data, so every
// read goes through these, and a value of the wrong type reads as the
// caller's default.

#include <json/json.h>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace vextar::json {

// The member, or null when `object` is not an object or has no such member.
const Json::Value& Member(const Json::Value& object, const char* key);
// The element, or null when `array` is not an array or is shorter.
const Json::Value& Element(const Json::Value& array, std::size_t index);
// Number of elements of an array; 0 for anything else.
std::size_t ArraySize(const Json::Value& array);

// The library's integer conversion where it succeeds: integers (the low 64
// bits of a large unsigned one), booleans as 0 or 1, and real numbers within
// range, cut toward zero. Nothing for null, texts, arrays and objects.
std::optional<int64_t> IntOf(const Json::Value& value);
int64_t Int(const Json::Value& value, int64_t fallback = 0);
// The library's boolean conversion: a non-zero number is true.
bool Bool(const Json::Value& value, bool fallback = false);
// The text of a string value; `fallback` for anything else.
std::string String(const Json::Value& value, const std::string& fallback = {});
// The text form of a scalar (a string as it is, a number in decimal, true or
// false); empty for null, arrays and objects.
std::string TextForm(const Json::Value& value);

// Writing. `value` becomes an object (an array) unless it is one already, so
// a member of the wrong type is replaced rather than thrown over.
Json::Value& MakeObject(Json::Value& value);
Json::Value& MakeArray(Json::Value& value);
Json::Value& SetMember(Json::Value& object, const char* key);
Json::Value& SetElement(Json::Value& array, std::size_t index);

}  // namespace vextar::json
