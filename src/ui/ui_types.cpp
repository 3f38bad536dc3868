#include "ui/ui_types.h"

#include <cctype>
#include <charconv>
#include <vector>

namespace vextar::ui {
namespace {

std::string_view Trim(std::string_view s) {
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front())) != 0) {
        s.remove_prefix(1);
    }
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back())) != 0) {
        s.remove_suffix(1);
    }
    return s;
}

std::optional<std::vector<int>> ParseInts(std::string_view text, std::size_t count) {
    std::vector<int> values;
    while (values.size() < count) {
        const std::size_t comma = text.find(',');
        const std::optional<int> v = ParseInt(text.substr(0, comma));
        if (!v) {
            return std::nullopt;
        }
        values.push_back(*v);
        if (comma == std::string_view::npos) {
            break;
        }
        text.remove_prefix(comma + 1);
    }
    if (values.size() != count) {
        return std::nullopt;
    }
    return values;
}

}  // namespace

std::optional<int> ParseInt(std::string_view text) {
    text = Trim(text);
    if (!text.empty() && text.front() == '+') {
        text.remove_prefix(1);
    }
    int value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || text.empty()) {
        return std::nullopt;
    }
    return value;
}

std::optional<UiColor> ParseColor(std::string_view text) {
    text = Trim(text);
    if (!text.empty() && text.front() == '#') {
        text.remove_prefix(1);
    } else if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        text.remove_prefix(2);
    }
    if (text.size() != 6 && text.size() != 8) {
        return std::nullopt;
    }
    uint32_t value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value, 16);
    if (ec != std::errc() || end != text.data() + text.size()) {
        return std::nullopt;
    }
    return text.size() == 6 ? (0xFF000000U | value) : value;
}

std::optional<UiRect> ParseRect(std::string_view text) {
    const auto v = ParseInts(text, 4);
    if (!v) {
        return std::nullopt;
    }
    return UiRect{(*v)[0], (*v)[1], (*v)[2], (*v)[3]};
}

std::optional<UiSize> ParseSize(std::string_view text) {
    const auto v = ParseInts(text, 2);
    if (!v) {
        return std::nullopt;
    }
    return UiSize{(*v)[0], (*v)[1]};
}

std::optional<bool> ParseBool(std::string_view text) {
    text = Trim(text);
    if (EqualsNoCase(text, "true")) {
        return true;
    }
    if (EqualsNoCase(text, "false")) {
        return false;
    }
    return std::nullopt;
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i]))) {
            return false;
        }
    }
    return true;
}

}  // namespace vextar::ui
