#pragma once

// "main.ini" and other small INI files: "[SECTION]" headers, "KEY=VALUE"
// lines and ";" or "#" comment lines. Section and key names are found
// without regard to ASCII letter case; names and values are trimmed of blanks
// (spaces and tabs). A key before the first header belongs to the section
// named "". Where a key appears twice, the first one counts. Lines end with
// LF or CR LF, and the file may start with a UTF-8 byte-order mark. There
// are no quotes, escapes or comments after a value: everything after the
// first "=" is the value.
//
// Rewriting a value keeps every other byte of the file: its other lines,
// comments, line ends and byte-order mark. A file with a line longer than
// kMaxIniLineBytes, or larger than kMaxIniFileBytes, is refused whole, for
// reading and writing alike.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vextar {

inline constexpr const char* kMainIniFileName = "main.ini";
inline constexpr std::size_t kMaxIniLineBytes = 4096;
inline constexpr std::size_t kMaxIniFileBytes = 1024 * 1024;

class CIniDocument {
  public:
    // Nothing, with the reason in `error` when given, for a file over the
    // limits.
    static std::optional<CIniDocument> Parse(std::string_view text, std::string* error = nullptr);

    // The trimmed value of the first `key` of the first section named
    // `section`.
    [[nodiscard]] std::optional<std::string> Get(std::string_view section,
                                                 std::string_view key) const;

    // Replaces the first such key's line by "KEY=VALUE", or adds that line
    // after the last key of the section, or adds the section at the end.
    // Refused (false, with the reason) for a name that is empty, holds a line
    // end or NUL, a key that holds "=" or starts like a comment or header, a
    // section that holds "]", a value with a line end or NUL, and a line or
    // file that would be over the limits. The value is kept trimmed, as it
    // reads.
    bool Set(std::string_view section, std::string_view key, std::string_view value,
             std::string* error = nullptr);

    // The file's bytes; Parse(text).Text() == text.
    [[nodiscard]] std::string Text() const;

  private:
    enum class Kind { Other, Section, Value };
    struct Line {
        std::string text;  // without its line end
        std::string end;   // "\n", "\r\n", or "" for a last line without one
        Kind kind = Kind::Other;
        std::string name;   // the section or the key, trimmed
        std::string value;  // trimmed
    };

    static Line MakeLine(std::string text, std::string end);
    // The line end new lines get: that of the first line, else LF.
    [[nodiscard]] std::string NewLineEnd() const;
    void InsertLine(std::size_t at, std::string text);

    bool byteOrderMark_ = false;
    std::vector<Line> lines_;
};

// The value of a key of an INI file; nothing when the file is missing,
// unreadable, over the limits or has no such key.
std::optional<std::string> ReadIniValue(const std::string& path, std::string_view section,
                                        std::string_view key);

// Sets a value in an INI file, written atomically; the file and its folder
// are made when missing. A file that exists but cannot be read or is over
// the limits is not written over. False, with the reason, on failure, and
// the file is as it was.
bool WriteIniValue(const std::string& path, std::string_view section, std::string_view key,
                   std::string_view value, std::string* error);

}  // namespace vextar
