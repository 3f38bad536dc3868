#pragma once

// The macros of one device kind, kept in its profile folder: the macro list
// "macro.config" ({"MacroInfo": [{"MacroName", "Guid"}, ...]}, in list order)
// and one file "<Guid>.mac" per macro ({"Events", "Guid", "MacroName",
// "Version"}). A macro's position in the list is its number in key
// assignments, the first being 0.
//
// Every operation that changes the list reads it again first, so that
// another program's change is not undone. A damaged list or macro file is
// kept aside and reported, never overwritten; a list that can be neither
// read nor moved aside refuses every change. Write failures are reported
// (kMessageFileWriteFailed) and change nothing.

#include <json/json.h>

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "macro/macro_records.h"

namespace vextar {

enum class MacroStatus {
    Ok,
    NotFound,          // no macro with that number or name
    LimitReached,      // kMaxMacros already (kMessageMacroLimit)
    BlankName,         // a rename to a blank name
    DuplicateName,     // a rename to the name of another macro
    InvalidFile,       // an import source that is not a macro file
    SourceUnreadable,  // an import source that is missing or cannot be read
    FileError,         // a file could not be read or written
    ListUnusable,      // the macro list can be neither read nor moved aside
};

const char* MacroStatusText(MacroStatus status);

struct MacroEntry {
    std::string name;  // "MacroName"
    std::string guid;  // "Guid"
};

struct MacroAdded {
    MacroStatus status = MacroStatus::Ok;
    std::size_t number = 0;
    std::string name;
};

// A document usable as a macro list: an object whose "MacroInfo" is absent
// or an array.
bool IsMacroListDocument(const Json::Value& document);
// A document usable as a macro file: an object whose "Events" is absent or
// an array.
bool IsMacroFileDocument(const Json::Value& document);

// The steps of a macro file (at most kMaxMacroSteps); empty when the file is
// missing or damaged (then kept aside).
std::vector<Json::Value> LoadMacroFile(const std::string& path);

class MacroLibrary {
  public:
    // `folder` ends with "/".
    explicit MacroLibrary(std::string folder);

    // Reads the list. A missing list is empty; a damaged one is kept aside
    // and reads as empty.
    MacroStatus LoadMacroList();
    [[nodiscard]] const std::vector<MacroEntry>& Entries() const { return entries_; }
    // The number of the macro of that name: an exact match first, then one
    // without regard to letter case.
    [[nodiscard]] std::optional<std::size_t> Find(std::string_view name) const;
    // "<folder><Guid>.mac"; empty when the identifier cannot name a file.
    [[nodiscard]] std::string MacroFilePath(std::size_t number) const;

    // The first of "macro_1", "macro_2", ... that no macro is named.
    [[nodiscard]] std::string NewMacroName() const;
    // The import name of a file: its title, with "_1", "_2", ... appended on
    // each collision (so abc, abc_1, abc_1_2).
    [[nodiscard]] std::string ImportedName(std::string_view path) const;

    // Appends a macro with a new name and identifier; no macro file yet.
    MacroAdded AddMacro();
    // Checks that `source` is a macro file, copies it byte for byte as the
    // new macro's file, then appends the entry. A missing or invalid source
    // changes nothing.
    MacroAdded ImportMacro(const std::string& source);
    MacroStatus RenameMacro(std::size_t number, std::string_view name);
    // Removes the entry and writes the list; the macro's file is removed only
    // once the list no longer names it. Key assignments are the caller's
    // (DeleteMacroEverywhere).
    MacroStatus DeleteMacro(std::size_t number);
    // Writes the macro's file from `steps` (step objects; a null step ends
    // the list). Each "Delay" is stored as decimal text within 0..65535.
    MacroStatus SaveMacro(std::size_t number, const std::vector<Json::Value>& steps);
    [[nodiscard]] std::vector<Json::Value> LoadMacroSteps(std::size_t number) const;
    // Copies the macro's file byte for byte to `destination`.
    MacroStatus ExportMacro(std::size_t number, const std::string& destination) const;

    [[nodiscard]] std::string ListPath() const { return folder_ + kMacroListFileName; }

  private:
    bool NameTaken(std::string_view name, std::optional<std::size_t> except = {}) const;
    std::string NewGuid() const;
    MacroStatus WriteList();

    std::string folder_;
    Json::Value document_;
    std::vector<MacroEntry> entries_;
    bool usable_ = true;
};

}  // namespace vextar
