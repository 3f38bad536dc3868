#pragma once

// Deleting a macro renumbers the key assignments that refer to macros by
// number (codes 'p' and 'q', the macro number in value 1): a key that used
// the deleted macro returns to its factory assignment, a key that used a
// later macro follows it down by one.

#include <cstddef>
#include <span>
#include <string>

#include "macro/macro_library.h"
#include "profile/profile_records.h"

namespace vextar {

struct RenumberCounts {
    std::size_t reset = 0;       // keys that used the deleted macro
    std::size_t renumbered = 0;  // keys that used a later one
    [[nodiscard]] bool Changed() const { return reset != 0 || renumbered != 0; }
};

// Applies the two rules to one key list (a profile's, or a device's current
// assignments).
RenumberCounts RenumberAfterMacroDelete(std::span<KeyListEntry> keys, std::size_t deleted);

// True when a key of the list plays macro `number`.
bool UsesMacro(std::span<const KeyListEntry> keys, std::size_t number);

struct MacroDeleteResult {
    MacroStatus status = MacroStatus::Ok;
    std::string name;                 // of the deleted macro
    std::size_t profilesChanged = 0;  // profile files rewritten
    RenumberCounts keys;              // over all profiles
    std::string failedPath;           // the file that stopped the delete
};

// Deletes macro `number` of the library and renumbers the "KeyList" of every
// profile file given. Every profile is read before anything is written; a
// profile that cannot be read stops the delete with nothing changed (a
// damaged one is kept aside and has nothing to renumber). If a write fails,
// the profiles already written get their old content back and the macro
// stays. The macro's file goes last, after the list no longer names it.
MacroDeleteResult DeleteMacroEverywhere(MacroLibrary& library, std::size_t number,
                                        std::span<const std::string> profilePaths);

}  // namespace vextar
