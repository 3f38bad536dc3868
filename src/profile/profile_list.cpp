#include "profile/profile_list.h"

#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "profile/file_helpers.h"
#include "profile/json_access.h"
#include "profile/notices.h"
#include "profile/text.h"

namespace vextar {

bool IsProfileListDocument(const Json::Value& document) {
    if (!document.isObject()) {
        return false;
    }
    const Json::Value& list = json::Member(document, "profilelist");
    return list.isNull() || list.isArray();
}

std::vector<std::string> ProfileFilesIn(const std::string& folder, std::error_code& error) {
    std::vector<std::string> files;
    for (std::filesystem::directory_iterator it(folder, error), end; !error && it != end;
         it.increment(error)) {
        if (it->path().extension() == ".Json" && it->is_regular_file(error)) {
            files.push_back(it->path().string());
        }
    }
    if (error) {
        return {};
    }
    std::sort(files.begin(), files.end());
    return files;
}

ProfileListFile::ProfileListFile(std::string folder, std::string factoryProfilePath)
    : folder_(std::move(folder)), factoryPath_(std::move(factoryProfilePath)) {}

ProfileListFile::Status ProfileListFile::Load(JsonFileLoad& load) {
    entries_.clear();
    selected_ = -1;
    load = LoadJsonFile(ListPath(), IsProfileListDocument);
    if (load.state == JsonFileState::Unusable) {
        return Status::Unusable;
    }
    if (load.state == JsonFileState::Loaded) {
        ReadEntries(load.value);
    }
    return Status::Ok;
}

ProfileListFile::Status ProfileListFile::Read() {
    JsonFileLoad load;
    return Load(load);
}

ProfileListFile::Status ProfileListFile::Init() {
    JsonFileLoad load;
    if (const Status status = Load(load); status != Status::Ok || !entries_.empty()) {
        return status;
    }
    // Other members of a list that holds no profile stay.
    return CreateFirstProfile(load.state == JsonFileState::Loaded ? std::move(load.value)
                                                                  : Json::objectValue);
}

ProfileListFile::Status ProfileListFile::CreateFirstProfile(Json::Value document) {
    Json::Value profile = ReadJsonFile(factoryPath_);
    if (!profile.isObject()) {
        return Status::NoFactoryProfile;
    }
    const std::string id = MakeTimeStampId(
        [this](const std::string& candidate) { return FolderHasStem(folder_, candidate); });
    profile["profilename"] = "profile1";
    profile["profileUUID"] = id;
    const std::string profilePath = folder_ + id + ".Json";
    if (const std::error_code error = WriteJsonFile(profilePath, profile)) {
        PostFileNotice({kMessageFileWriteFailed, profilePath, error.message()});
        return Status::WriteFailed;
    }
    Json::Value entry(Json::objectValue);
    entry["profilename"] = "profile1";
    entry["profileUUID"] = id;
    entry["profileislink"] = 0;
    entry["profilelinkmame"] = "";
    Json::Value& list = json::SetMember(document, "profilelist");
    list = Json::Value(Json::arrayValue);
    list.append(entry);
    document["profileselect"] = 0;
    if (const std::error_code error = WriteJsonFile(ListPath(), document)) {
        PostFileNotice({kMessageFileWriteFailed, ListPath(), error.message()});
        ::unlink(profilePath.c_str());
        return Status::WriteFailed;
    }
    entries_.clear();
    ReadEntries(document);
    return Status::Created;
}

void ProfileListFile::ReadEntries(const Json::Value& document) {
    const Json::Value& list = json::Member(document, "profilelist");
    for (std::size_t i = 0; i < json::ArraySize(list); ++i) {
        const Json::Value& element = json::Element(list, i);
        entries_.push_back({json::String(json::Member(element, "profilename")),
                            json::String(json::Member(element, "profileUUID"))});
    }
    const int64_t selected = json::Int(json::Member(document, "profileselect"));
    selected_ = entries_.empty() ? -1
                : selected >= 0 && selected < static_cast<int64_t>(entries_.size())
                    ? static_cast<int>(selected)
                    : 0;
}

int ProfileListFile::Selected() const {
    return selected_;
}

std::string ProfileListFile::ProfilePathAt(std::size_t index) const {
    if (index >= entries_.size() || !IsSafeFileName(entries_[index].id)) {
        return {};
    }
    return folder_ + entries_[index].id + ".Json";
}

std::vector<std::string> ProfileListFile::ProfilePaths() const {
    std::vector<std::string> paths;
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        if (std::string path = ProfilePathAt(i); !path.empty()) {
            paths.push_back(std::move(path));
        }
    }
    return paths;
}

}  // namespace vextar
