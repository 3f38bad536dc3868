#pragma once

// The profile list of one device kind ("ProfileList.ini" in the device's
// folder, a JSON document despite its name): which profiles exist, their
// names and identifiers, and which one is selected. This is the part the
// devices and vextarctl need to find the active profile; editing the list
// belongs to the profile strip.

#include <json/json.h>

#include <cstddef>
#include <string>
#include <system_error>
#include <vector>

#include "profile/file_helpers.h"

namespace vextar {

inline constexpr const char* kProfileListFileName = "ProfileList.ini";
inline constexpr std::size_t kMaxProfiles = 50;

struct ProfileListEntry {
    std::string name;  // "profilename"
    std::string id;    // "profileUUID"; the file is <folder><id>.Json
};

// An object whose "profilelist" is absent or an array.
bool IsProfileListDocument(const Json::Value& document);

// Every profile file ("*.Json") of a device folder, listed or not, sorted.
// Empty, with the reason, when the folder cannot be read.
std::vector<std::string> ProfileFilesIn(const std::string& folder, std::error_code& error);

class ProfileListFile {
  public:
    enum class Status {
        Ok,
        Created,           // the first profile was made
        Unusable,          // the list exists but cannot be read or moved aside
        NoFactoryProfile,  // no list yet and no factory profile to make one from
        WriteFailed,       // making the first profile failed; nothing was left behind
    };

    // `folder` ends with "/".
    ProfileListFile(std::string folder, std::string factoryProfilePath);

    // Reads the list; a missing list, or a damaged one (kept aside), reads
    // as empty. Nothing is written.
    Status Read();
    // Read, and when the list holds no profile, the first profile "profile1"
    // is made from the factory profile: its file first, then the list that
    // names it.
    Status Init();

    [[nodiscard]] const std::vector<ProfileListEntry>& Entries() const { return entries_; }
    // The selected index; 0 when the stored one is out of range, -1 when the
    // list is empty.
    [[nodiscard]] int Selected() const;
    // The file of entry `index`; empty when its identifier cannot name a file.
    [[nodiscard]] std::string ProfilePathAt(std::size_t index) const;
    // The files of every entry with a usable identifier, in list order.
    [[nodiscard]] std::vector<std::string> ProfilePaths() const;
    [[nodiscard]] std::string ListPath() const { return folder_ + kProfileListFileName; }

  private:
    Status CreateFirstProfile(Json::Value document);
    Status Load(JsonFileLoad& load);
    void ReadEntries(const Json::Value& document);

    std::string folder_;
    std::string factoryPath_;
    std::vector<ProfileListEntry> entries_;
    int selected_ = -1;
};

}  // namespace vextar
