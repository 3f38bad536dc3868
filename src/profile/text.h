#pragma once

// Small text functions shared by the whole program. Every text inside the
// program is UTF-8 in std::string; the wide forms exist for callers that
// need them.

#include <cstdint>
#include <string>
#include <string_view>

namespace vextar {

// A control name made of a prefix and a number, such as "DPI_slider_3".
struct IndexedName {
    std::string prefix;  // up to and including the last "_"
    int number = 0;      // decimal value of the rest, 0 when it is not a number
    bool found = false;  // false when the name holds no "_"
};

// Splits a name at its last "_".
IndexedName SplitIndexedName(std::string_view name);

// True when the text is empty after removing leading and trailing white space.
bool IsBlankText(std::string_view text);

// UTF-8 conversion of a whole string; malformed sequences become U+FFFD.
std::wstring Utf8ToWide(std::string_view text);
std::string WideToUtf8(std::wstring_view text);

// The file name without folder and extension: "/a/b/Fire.mac" gives "Fire".
std::string FileTitleOf(std::string_view path);

// Equality without regard to letter case (Unicode simple case folding where
// the C library knows it, ASCII otherwise).
bool EqualsNoCase(std::string_view a, std::string_view b);

// True when a name read from a file may become one file name inside a
// folder: not empty, at most 200 bytes, no "/", "\" or NUL, not "." or "..".
bool IsSafeFileName(std::string_view name);

// The value of the leading decimal digits of a text, saturated at `limit`;
// 0 when the text does not start with a digit.
uint32_t LeadingDecimal(std::string_view text, uint32_t limit);

}  // namespace vextar
