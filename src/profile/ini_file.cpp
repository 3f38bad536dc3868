#include "profile/ini_file.h"

#include <filesystem>
#include <system_error>
#include <utility>

#include "platform/log.h"
#include "profile/file_helpers.h"

namespace vextar {
namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
constexpr std::string_view kBlanks = " \t";

std::string_view Trim(std::string_view text) {
    const std::size_t first = text.find_first_not_of(kBlanks);
    if (first == std::string_view::npos) {
        return {};
    }
    const std::size_t last = text.find_last_not_of(kBlanks);
    return text.substr(first, last - first + 1);
}

char AsciiLower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool SameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (AsciiLower(a[i]) != AsciiLower(b[i])) {
            return false;
        }
    }
    return true;
}

bool HasLineBreakOrNul(std::string_view text) {
    return text.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos;
}

void SetError(std::string* error, std::string text) {
    if (error != nullptr) {
        *error = std::move(text);
    }
}

std::string Described(const std::string& path, std::string_view reason) {
    std::string text = path;
    text.append(": ").append(reason);
    return text;
}

}  // namespace

CIniDocument::Line CIniDocument::MakeLine(std::string text, std::string end) {
    Line line;
    const std::string_view trimmed = Trim(text);
    if (!trimmed.empty() && trimmed[0] == '[') {
        if (const std::size_t close = trimmed.find(']'); close != std::string_view::npos) {
            line.kind = Kind::Section;
            line.name = Trim(trimmed.substr(1, close - 1));
        }
    } else if (!trimmed.empty() && trimmed[0] != ';' && trimmed[0] != '#') {
        if (const std::size_t equals = trimmed.find('='); equals != std::string_view::npos) {
            const std::string_view key = Trim(trimmed.substr(0, equals));
            if (!key.empty()) {
                line.kind = Kind::Value;
                line.name = key;
                line.value = Trim(trimmed.substr(equals + 1));
            }
        }
    }
    line.text = std::move(text);
    line.end = std::move(end);
    return line;
}

std::optional<CIniDocument> CIniDocument::Parse(std::string_view text, std::string* error) {
    if (text.size() > kMaxIniFileBytes) {
        SetError(error, "larger than 1 MiB");
        return std::nullopt;
    }
    CIniDocument document;
    if (text.substr(0, kByteOrderMark.size()) == kByteOrderMark) {
        document.byteOrderMark_ = true;
        text.remove_prefix(kByteOrderMark.size());
    }
    while (!text.empty()) {
        const std::size_t newline = text.find('\n');
        std::string_view content = text.substr(0, newline);
        std::string_view end;
        if (newline != std::string_view::npos) {
            end = "\n";
            if (!content.empty() && content.back() == '\r') {
                content.remove_suffix(1);
                end = "\r\n";
            }
        }
        if (content.size() > kMaxIniLineBytes) {
            SetError(error, "a line is longer than 4096 bytes");
            return std::nullopt;
        }
        document.lines_.push_back(MakeLine(std::string(content), std::string(end)));
        text.remove_prefix(newline == std::string_view::npos ? text.size() : newline + 1);
    }
    return document;
}

std::optional<std::string> CIniDocument::Get(std::string_view section, std::string_view key) const {
    section = Trim(section);
    key = Trim(key);
    bool inSection = section.empty();
    for (const Line& line : lines_) {
        if (line.kind == Kind::Section) {
            inSection = SameName(line.name, section);
        } else if (line.kind == Kind::Value && inSection && SameName(line.name, key)) {
            return line.value;
        }
    }
    return std::nullopt;
}

std::string CIniDocument::NewLineEnd() const {
    for (const Line& line : lines_) {
        if (!line.end.empty()) {
            return line.end;
        }
    }
    return "\n";
}

void CIniDocument::InsertLine(std::size_t at, std::string text) {
    const std::string end = NewLineEnd();
    if (at > 0 && lines_[at - 1].end.empty()) {
        lines_[at - 1].end = end;
    }
    lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(at), MakeLine(std::move(text), end));
}

bool CIniDocument::Set(std::string_view section, std::string_view key, std::string_view value,
                       std::string* error) {
    section = Trim(section);
    key = Trim(key);
    value = Trim(value);
    if (HasLineBreakOrNul(section) || HasLineBreakOrNul(key) || HasLineBreakOrNul(value)) {
        SetError(error, "a line end or NUL in a name or value");
        return false;
    }
    if (key.empty() || key.find('=') != std::string_view::npos || key[0] == ';' || key[0] == '#' ||
        key[0] == '[') {
        SetError(error, "not a usable key name");
        return false;
    }
    if (section.find(']') != std::string_view::npos) {
        SetError(error, "a section name holds \"]\"");
        return false;
    }
    std::string line(key);
    line.append("=").append(value);
    if (line.size() > kMaxIniLineBytes || section.size() + 2 > kMaxIniLineBytes) {
        SetError(error, "the line would be longer than 4096 bytes");
        return false;
    }

    CIniDocument changed = *this;
    std::vector<Line>& lines = changed.lines_;
    // The first key of that name in a section of that name, and the place
    // after the last key of the first such section. Keys before any header
    // are in the section "".
    std::optional<std::size_t> existing;
    std::optional<std::size_t> insertAt;
    if (section.empty()) {
        insertAt = 0;
    }
    bool inSection = section.empty();
    bool inFirstSection = section.empty();
    for (std::size_t i = 0; i < lines.size() && !existing; ++i) {
        const Line& current = lines[i];
        if (current.kind == Kind::Section) {
            inSection = SameName(current.name, section);
            inFirstSection = inSection && !insertAt;
            if (inFirstSection) {
                insertAt = i + 1;
            }
        } else if (current.kind == Kind::Value && inSection) {
            if (SameName(current.name, key)) {
                existing = i;
            } else if (inFirstSection) {
                insertAt = i + 1;
            }
        }
    }
    if (existing) {
        lines[*existing] = MakeLine(std::move(line), lines[*existing].end);
    } else if (insertAt) {
        changed.InsertLine(*insertAt, std::move(line));
    } else {
        if (!lines.empty() && !Trim(lines.back().text).empty()) {
            changed.InsertLine(lines.size(), {});
        }
        std::string header = "[";
        header.append(section).append("]");
        changed.InsertLine(lines.size(), std::move(header));
        changed.InsertLine(lines.size(), std::move(line));
    }
    if (changed.Text().size() > kMaxIniFileBytes) {
        SetError(error, "the file would be larger than 1 MiB");
        return false;
    }
    *this = std::move(changed);
    return true;
}

std::string CIniDocument::Text() const {
    std::string text;
    if (byteOrderMark_) {
        text.append(kByteOrderMark);
    }
    for (const Line& line : lines_) {
        text.append(line.text).append(line.end);
    }
    return text;
}

std::optional<std::string> ReadIniValue(const std::string& path, std::string_view section,
                                        std::string_view key) {
    const FileText file = ReadFileChecked(path, kMaxIniFileBytes);
    if (file.status != FileReadStatus::Ok) {
        VEXTAR_LOG_DEBUG("ini %s: not read", path.c_str());
        return std::nullopt;
    }
    std::string reason;
    const std::optional<CIniDocument> document = CIniDocument::Parse(file.text, &reason);
    if (!document) {
        VEXTAR_LOG_WARNING("ini %s: %s", path.c_str(), reason.c_str());
        return std::nullopt;
    }
    return document->Get(section, key);
}

bool WriteIniValue(const std::string& path, std::string_view section, std::string_view key,
                   std::string_view value, std::string* error) {
    const FileText file = ReadFileChecked(path, kMaxIniFileBytes);
    std::optional<CIniDocument> document;
    std::string reason;
    switch (file.status) {
        case FileReadStatus::Missing:
            document = CIniDocument();
            break;
        case FileReadStatus::Ok:
            document = CIniDocument::Parse(file.text, &reason);
            break;
        case FileReadStatus::Unreadable:
            reason = file.error.message();
            break;
        case FileReadStatus::TooLarge:
            reason = "larger than 1 MiB";
            break;
    }
    if (!document) {
        SetError(error, Described(path, reason + ", so it is not written over"));
        return false;
    }
    if (!document->Set(section, key, value, &reason)) {
        SetError(error, Described(path, reason));
        return false;
    }
    std::error_code failure;
    if (const std::string folder = FolderOf(path); !folder.empty()) {
        std::filesystem::create_directories(folder, failure);
    }
    if (!failure) {
        failure = WriteFileAtomic(path, document->Text());
    }
    if (failure) {
        SetError(error, Described(path, failure.message()));
        return false;
    }
    return true;
}

}  // namespace vextar
