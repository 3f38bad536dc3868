#pragma once

// Basic types of the UI library: text, geometry, colours and the parsing of
// the attribute values the skins use.

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vextar::ui {

// Every text of the UI is UTF-8.
using CDuiString = std::string;

struct UiPoint {
    int x = 0;
    int y = 0;
    bool operator==(const UiPoint&) const = default;
};

struct UiSize {
    int cx = 0;
    int cy = 0;
    bool operator==(const UiSize&) const = default;
};

struct UiRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;

    bool operator==(const UiRect&) const = default;
    [[nodiscard]] int Width() const { return right - left; }
    [[nodiscard]] int Height() const { return bottom - top; }
    [[nodiscard]] bool IsEmpty() const { return right <= left || bottom <= top; }
    [[nodiscard]] bool Contains(UiPoint p) const {
        return p.x >= left && p.x < right && p.y >= top && p.y < bottom;
    }
    [[nodiscard]] bool Intersects(const UiRect& o) const { return !Intersect(o).IsEmpty(); }
    [[nodiscard]] UiRect Intersect(const UiRect& o) const {
        return {std::max(left, o.left), std::max(top, o.top), std::min(right, o.right),
                std::min(bottom, o.bottom)};
    }
    [[nodiscard]] UiRect Union(const UiRect& o) const {
        if (IsEmpty()) {
            return o;
        }
        if (o.IsEmpty()) {
            return *this;
        }
        return {std::min(left, o.left), std::min(top, o.top), std::max(right, o.right),
                std::max(bottom, o.bottom)};
    }
    [[nodiscard]] UiRect Deflate(const UiRect& by) const {
        return {left + by.left, top + by.top, right - by.right, bottom - by.bottom};
    }
    [[nodiscard]] UiPoint Center() const { return {(left + right) / 2, (top + bottom) / 2}; }
    // The rectangle between two corners given in any order.
    static UiRect FromCorners(UiPoint a, UiPoint b) {
        return {std::min(a.x, b.x), std::min(a.y, b.y), std::max(a.x, b.x), std::max(a.y, b.y)};
    }
};

// 0xAARRGGBB; alpha 0 is drawn as nothing.
using UiColor = uint32_t;

inline constexpr uint8_t ColorA(UiColor c) {
    return static_cast<uint8_t>(c >> 24);
}
inline constexpr uint8_t ColorR(UiColor c) {
    return static_cast<uint8_t>(c >> 16);
}
inline constexpr uint8_t ColorG(UiColor c) {
    return static_cast<uint8_t>(c >> 8);
}
inline constexpr uint8_t ColorB(UiColor c) {
    return static_cast<uint8_t>(c);
}
inline constexpr UiColor MakeColor(uint8_t a, uint8_t r, uint8_t g, uint8_t b) {
    return (static_cast<UiColor>(a) << 24) | (static_cast<UiColor>(r) << 16) |
           (static_cast<UiColor>(g) << 8) | b;
}

// Attribute value parsers. They never throw; malformed input gives nullopt.
// "#FF0099FF", "FF0099FF" or "0xFF0099FF"; six digits mean opaque.
std::optional<UiColor> ParseColor(std::string_view text);
// "l,t,r,b"
std::optional<UiRect> ParseRect(std::string_view text);
// "cx,cy"
std::optional<UiSize> ParseSize(std::string_view text);
std::optional<int> ParseInt(std::string_view text);
// "true" or "false" (any case); anything else is nullopt.
std::optional<bool> ParseBool(std::string_view text);

bool EqualsNoCase(std::string_view a, std::string_view b);

}  // namespace vextar::ui
