#include "profile/text.h"

#include <locale.h>
#include <climits>
#include <clocale>
#include <cwctype>

namespace vextar {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

// Decodes one UTF-8 sequence at `pos`; advances `pos` past it.
char32_t DecodeOne(std::string_view text, std::size_t& pos) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(pos);
    if (lead < 0x80) {
        ++pos;
        return lead;
    }
    int length = 0;
    char32_t code = 0;
    char32_t minimum = 0;
    if ((lead & 0xE0) == 0xC0) {
        length = 2;
        code = lead & 0x1F;
        minimum = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3;
        code = lead & 0x0F;
        minimum = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4;
        code = lead & 0x07;
        minimum = 0x10000;
    } else {
        ++pos;
        return kReplacement;
    }
    std::size_t i = pos + 1;
    for (int k = 1; k < length; ++k, ++i) {
        if (i >= text.size() || (byte(i) & 0xC0) != 0x80) {
            pos = i;  // resume at the byte that broke the sequence
            return kReplacement;
        }
        code = (code << 6) | (byte(i) & 0x3F);
    }
    pos = i;
    if (code < minimum || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
        return kReplacement;
    }
    return code;
}

void EncodeOne(char32_t code, std::string& out) {
    if (code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
        code = kReplacement;
    }
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (code >> 18));
        out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

// A UTF-8 character-type locale for case folding, made once; (locale_t)0
// when the system has none, and then only ASCII letters fold.
locale_t FoldingLocale() {
    static const locale_t locale = [] {
        locale_t l = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(0));
        return l;
    }();
    return locale;
}

char32_t Fold(char32_t c) {
    if (c < 0x80) {
        return (c >= 'A' && c <= 'Z') ? c + ('a' - 'A') : c;
    }
    const locale_t locale = FoldingLocale();
    if (locale == static_cast<locale_t>(0) || c > static_cast<char32_t>(WCHAR_MAX)) {
        return c;
    }
    return static_cast<char32_t>(towlower_l(static_cast<wint_t>(c), locale));
}

}  // namespace

IndexedName SplitIndexedName(std::string_view name) {
    IndexedName result;
    const std::size_t at = name.rfind('_');
    if (at == std::string_view::npos) {
        return result;
    }
    result.found = true;
    result.prefix = std::string(name.substr(0, at + 1));
    // The number reads like the C library's integer conversion: an optional
    // sign, then digits; anything else ends it.
    std::string_view rest = name.substr(at + 1);
    bool negative = false;
    if (!rest.empty() && (rest[0] == '-' || rest[0] == '+')) {
        negative = rest[0] == '-';
        rest.remove_prefix(1);
    }
    const uint32_t magnitude = LeadingDecimal(rest, static_cast<uint32_t>(INT_MAX));
    result.number = negative ? -static_cast<int>(magnitude) : static_cast<int>(magnitude);
    return result;
}

bool IsBlankText(std::string_view text) {
    for (char c : text) {
        if (!IsSpace(c)) {
            return false;
        }
    }
    return true;
}

std::wstring Utf8ToWide(std::string_view text) {
    std::wstring out;
    out.reserve(text.size());
    std::size_t pos = 0;
    while (pos < text.size()) {
        const char32_t code = DecodeOne(text, pos);
        if constexpr (sizeof(wchar_t) >= 4) {
            out += static_cast<wchar_t>(code);
        } else if (code >= 0x10000) {
            out += static_cast<wchar_t>(0xD800 + ((code - 0x10000) >> 10));
            out += static_cast<wchar_t>(0xDC00 + ((code - 0x10000) & 0x3FF));
        } else {
            out += static_cast<wchar_t>(code);
        }
    }
    return out;
}

std::string WideToUtf8(std::wstring_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t code = static_cast<char32_t>(text[i]);
        if constexpr (sizeof(wchar_t) < 4) {
            if (code >= 0xD800 && code <= 0xDBFF && i + 1 < text.size()) {
                const char32_t low = static_cast<char32_t>(text[i + 1]);
                if (low >= 0xDC00 && low <= 0xDFFF) {
                    code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
                    ++i;
                }
            }
        }
        EncodeOne(code, out);
    }
    return out;
}

std::string FileTitleOf(std::string_view path) {
    const std::size_t slash = path.rfind('/');
    std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
    const std::size_t dot = name.rfind('.');
    if (dot != std::string_view::npos) {
        name = name.substr(0, dot);
    }
    return std::string(name);
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
    std::size_t i = 0;
    std::size_t j = 0;
    while (i < a.size() && j < b.size()) {
        if (Fold(DecodeOne(a, i)) != Fold(DecodeOne(b, j))) {
            return false;
        }
    }
    return i == a.size() && j == b.size();
}

bool IsSafeFileName(std::string_view name) {
    if (name.empty() || name.size() > 200 || name == "." || name == "..") {
        return false;
    }
    for (char c : name) {
        if (c == '/' || c == '\\' || c == '\0') {
            return false;
        }
    }
    return true;
}

uint32_t LeadingDecimal(std::string_view text, uint32_t limit) {
    uint64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') {
            break;
        }
        value = value * 10 + static_cast<uint64_t>(c - '0');
        if (value > limit) {
            return limit;
        }
    }
    return static_cast<uint32_t>(value);
}

}  // namespace vextar
