#include "profile/settings_store.h"

#include <filesystem>
#include <system_error>
#include <utility>

#include "platform/log.h"
#include "profile/file_helpers.h"
#include "profile/json_access.h"
#include "profile/notices.h"
#include "profile/paths.h"

namespace vextar {
namespace {

std::string WithSlash(std::string folder) {
    if (!folder.empty() && folder.back() != '/') {
        folder += '/';
    }
    return folder;
}

void SetError(std::string* error, std::string text) {
    if (error != nullptr) {
        *error = std::move(text);
    }
}

}  // namespace

CFileSettingsStore::CFileSettingsStore(std::string folder)
    : folder_(folder.empty() ? paths::ConfigRoot() : WithSlash(std::move(folder))) {}

void CFileSettingsStore::LoadLocked() const {
    if (loaded_) {
        return;
    }
    loaded_ = true;
    JsonFileLoad load =
        LoadJsonFile(FilePath(), [](const Json::Value& value) { return value.isObject(); });
    switch (load.state) {
        case JsonFileState::Loaded:
            document_ = std::move(load.value);
            break;
        case JsonFileState::Missing:
        case JsonFileState::KeptAside:
            document_ = Json::Value(Json::objectValue);
            break;
        case JsonFileState::Unusable:
            document_ = Json::Value(Json::objectValue);
            unusable_ = true;
            break;
    }
}

std::optional<int64_t> CFileSettingsStore::GetInt(std::string_view name) const {
    std::lock_guard lock(mutex_);
    LoadLocked();
    const Json::Value& value = json::Member(document_, std::string(name).c_str());
    // Only a number counts: a text or a boolean in its place is no setting.
    if (!value.isNumeric() || value.isBool()) {
        return std::nullopt;
    }
    return json::IntOf(value);
}

bool CFileSettingsStore::SetInt(std::string_view name, int64_t value, std::string* error) {
    if (name.empty() || name.find('\0') != std::string_view::npos) {
        SetError(error, "a setting needs a name without NUL characters");
        return false;
    }
    std::lock_guard lock(mutex_);
    LoadLocked();
    const std::string path = FilePath();
    if (unusable_) {
        SetError(error, path + ": the file cannot be read, so it is not written over");
        return false;
    }
    Json::Value document = document_;
    document[std::string(name)] = Json::Int64{value};

    std::error_code failure;
    std::filesystem::create_directories(folder_, failure);
    if (!failure) {
        failure = WriteJsonFile(path, document);
    }
    if (failure) {
        VEXTAR_LOG_WARNING("settings: %s: %s", path.c_str(), failure.message().c_str());
        PostFileNotice({kMessageFileWriteFailed, path, failure.message()});
        std::string text = path;
        text.append(": ").append(failure.message());
        SetError(error, std::move(text));
        return false;
    }
    document_ = std::move(document);
    return true;
}

}  // namespace vextar
