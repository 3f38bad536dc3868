#include "macro/macro_delete.h"

#include <utility>
#include <vector>

#include <json/json.h>

#include "platform/log.h"
#include "profile/file_helpers.h"
#include "profile/json_access.h"
#include "profile/notices.h"
#include "profile/profile_data.h"

namespace vextar {
namespace {

struct PendingProfile {
    std::string path;
    Json::Value original;
    Json::Value renumbered;
};

// Puts back the profiles written so far; a failure here is logged, the
// user has already been told of the first one.
void Restore(const std::vector<PendingProfile>& written) {
    for (const PendingProfile& p : written) {
        if (const std::error_code error = WriteJsonFile(p.path, p.original)) {
            VEXTAR_LOG_ERROR("could not restore %s: %s", p.path.c_str(), error.message().c_str());
        }
    }
}

}  // namespace

RenumberCounts RenumberAfterMacroDelete(std::span<KeyListEntry> keys, std::size_t deleted) {
    RenumberCounts counts;
    for (KeyListEntry& key : keys) {
        if (!IsMacroKeyCode(key.current.kind)) {
            continue;
        }
        if (key.current.a == deleted) {
            key.current = key.defaults;
            ++counts.reset;
        } else if (key.current.a > deleted) {
            --key.current.a;
            ++counts.renumbered;
        }
    }
    return counts;
}

bool UsesMacro(std::span<const KeyListEntry> keys, std::size_t number) {
    for (const KeyListEntry& key : keys) {
        if (IsMacroKeyCode(key.current.kind) && key.current.a == number) {
            return true;
        }
    }
    return false;
}

MacroDeleteResult DeleteMacroEverywhere(MacroLibrary& library, std::size_t number,
                                        std::span<const std::string> profilePaths) {
    MacroDeleteResult result;
    if ((result.status = library.LoadMacroList()) != MacroStatus::Ok) {
        return result;
    }
    if (number >= library.Entries().size()) {
        result.status = MacroStatus::NotFound;
        return result;
    }
    result.name = library.Entries()[number].name;

    // Read every profile first.
    std::vector<PendingProfile> pending;
    for (const std::string& path : profilePaths) {
        JsonFileLoad load = LoadJsonFile(
            path, [](const Json::Value& document) { return IsProfileDocument(document, 0); });
        if (load.state == JsonFileState::Unusable) {
            result.status = MacroStatus::FileError;
            result.failedPath = path;
            return result;
        }
        if (load.state != JsonFileState::Loaded) {
            continue;
        }
        const Json::Value& section = json::Element(json::Member(load.value, "Device"), 0);
        std::vector<KeyListEntry> keys = ReadKeyList(section);
        const RenumberCounts counts = RenumberAfterMacroDelete(keys, number);
        if (!counts.Changed()) {
            continue;
        }
        result.keys.reset += counts.reset;
        result.keys.renumbered += counts.renumbered;
        Json::Value renumbered = load.value;
        WriteKeyList(renumbered["Device"][0], keys);
        pending.push_back({path, std::move(load.value), std::move(renumbered)});
    }

    std::vector<PendingProfile> written;
    for (PendingProfile& p : pending) {
        if (const std::error_code error = WriteJsonFile(p.path, p.renumbered)) {
            PostFileNotice({kMessageFileWriteFailed, p.path, error.message()});
            Restore(written);
            result.status = MacroStatus::FileError;
            result.failedPath = p.path;
            return result;
        }
        written.push_back(std::move(p));
    }
    if ((result.status = library.DeleteMacro(number)) != MacroStatus::Ok) {
        Restore(written);
        result.failedPath = library.ListPath();
        return result;
    }
    result.profilesChanged = written.size();
    return result;
}

}  // namespace vextar
