#pragma once

// Reading and writing the program's settings files. Every settings file is a
// JSON document written in the library's styled form. Writes are atomic: the
// new content goes to a temporary file in the same folder, is flushed to the
// disk and renamed over the target, so a crash leaves either the old or the
// new file. A file that exists but cannot be used is moved aside, never
// overwritten (LoadJsonFile).

#include <json/json.h>

#include <cstddef>
#include <ctime>
#include <functional>
#include <string>
#include <string_view>
#include <system_error>

namespace vextar {

// No settings file is larger; a bigger one is treated as damaged.
inline constexpr std::size_t kMaxSettingsFileBytes = 16 * 1024 * 1024;

enum class FileReadStatus {
    Ok,
    Missing,     // no such file
    Unreadable,  // exists but cannot be read (permissions, a folder, an I/O error)
    TooLarge,    // larger than the cap
};

struct FileText {
    FileReadStatus status = FileReadStatus::Missing;
    std::string text;
    std::error_code error;  // for Unreadable
};

// Reads a whole file without line-end translation, at most `maxBytes`.
FileText ReadFileChecked(const std::string& path, std::size_t maxBytes = kMaxSettingsFileBytes);

// The bytes of a file; empty when it cannot be opened or read whole, or is
// larger than kMaxSettingsFileBytes.
std::string ReadTextFile(const std::string& path);

// Parses JSON text with comments collected; a UTF-8 byte-order mark is
// skipped. False (and `out` untouched) when the text is empty or does not
// parse, nesting included. Never throws.
bool ParseJsonText(std::string_view text, Json::Value& out);

// The document of a file; null when the file is missing, empty or does not
// parse.
Json::Value ReadJsonFile(const std::string& path);

// The bytes WriteJsonFile writes: the library's styled form (three-space
// indentation, right margin 74), which ends with a line end, and one extra
// line end.
std::string StyledJsonText(const Json::Value& value);

// Writes `bytes` to `path` atomically (see above). A symbolic link is
// followed and the permissions of an existing file are kept. On failure the
// old file is untouched and the reason is returned.
std::error_code WriteFileAtomic(const std::string& path, std::string_view bytes);

// WriteFileAtomic of StyledJsonText(value).
std::error_code WriteJsonFile(const std::string& path, const Json::Value& value);

enum class JsonFileState {
    Missing,    // no file: the caller starts from defaults
    Loaded,     // `value` holds the document
    KeptAside,  // the file was damaged and now is at `asidePath`; defaults follow
    Unusable,   // the file exists but can neither be used nor moved aside:
                // the caller uses defaults and must not write it
};

struct JsonFileLoad {
    JsonFileState state = JsonFileState::Missing;
    Json::Value value;
    std::string asidePath;
};

// Loads a settings document. A file that is empty, too large, does not
// parse or is refused by `valid` (wrong types at the top) is moved aside as
// "<name>.bad-<time stamp>" and the user is told (kMessageFileKeptAside); a
// file that cannot be read is reported (kMessageFileUnreadable).
JsonFileLoad LoadJsonFile(const std::string& path,
                          const std::function<bool(const Json::Value&)>& valid);

// Renames a file to "<path>.bad-<time stamp>", never over an existing file.
// Empty on failure.
std::string KeepAside(const std::string& path);

// "%d_%02d_%02d_%02d_%02d_%02d_%03d": year, month, day, hour, minute, second,
// millisecond, as in 2021_03_04_05_06_07_089.
std::string FormatTimeStampId(const std::tm& localTime, int millisecond);

// A new identifier from the local time. Identifiers made by one process
// always grow, even when the clock is set back or two calls fall in one
// millisecond; an identifier for which `taken` answers true (one that
// already names a file) is skipped.
std::string MakeTimeStampId(const std::function<bool(const std::string&)>& taken = {});

// True when `folder` holds an entry named `stem` or `stem` followed by ".".
bool FolderHasStem(const std::string& folder, std::string_view stem);

// The folder part of a path, with its trailing "/"; empty when the path
// has none.
std::string FolderOf(std::string_view path);

}  // namespace vextar
