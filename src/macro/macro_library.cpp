#include "macro/macro_library.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <system_error>

#include "platform/log.h"
#include "profile/file_helpers.h"
#include "profile/json_access.h"
#include "profile/notices.h"
#include "profile/text.h"

namespace vextar {
namespace {

bool ReportWrite(const std::string& path, const std::error_code& error) {
    if (error) {
        PostFileNotice({kMessageFileWriteFailed, path, error.message()});
        return false;
    }
    return true;
}

}  // namespace

const char* MacroStatusText(MacroStatus status) {
    switch (status) {
        case MacroStatus::Ok:
            return "done";
        case MacroStatus::NotFound:
            return "no such macro";
        case MacroStatus::LimitReached:
            return "the list already holds 50 macros";
        case MacroStatus::BlankName:
            return "a macro name cannot be blank";
        case MacroStatus::DuplicateName:
            return "another macro has that name";
        case MacroStatus::InvalidFile:
            return "not a macro file";
        case MacroStatus::SourceUnreadable:
            return "the file cannot be read";
        case MacroStatus::FileError:
            return "a file could not be read or written";
        case MacroStatus::ListUnusable:
            return "the macro list cannot be read";
    }
    return "";
}

bool IsMacroListDocument(const Json::Value& document) {
    const Json::Value& list = json::Member(document, "MacroInfo");
    return document.isObject() && (list.isNull() || list.isArray());
}

bool IsMacroFileDocument(const Json::Value& document) {
    const Json::Value& events = json::Member(document, "Events");
    return document.isObject() && (events.isNull() || events.isArray());
}

std::vector<Json::Value> LoadMacroFile(const std::string& path) {
    std::vector<Json::Value> steps;
    if (path.empty()) {
        return steps;
    }
    const JsonFileLoad load = LoadJsonFile(path, IsMacroFileDocument);
    const Json::Value& events = json::Member(load.value, "Events");
    const std::size_t count = std::min(json::ArraySize(events), kMaxMacroSteps);
    steps.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        steps.push_back(json::Element(events, i));
    }
    return steps;
}

MacroLibrary::MacroLibrary(std::string folder) : folder_(std::move(folder)) {}

MacroStatus MacroLibrary::LoadMacroList() {
    entries_.clear();
    document_ = Json::Value(Json::objectValue);
    const JsonFileLoad load = LoadJsonFile(ListPath(), IsMacroListDocument);
    usable_ = load.state != JsonFileState::Unusable;
    if (!usable_) {
        return MacroStatus::ListUnusable;
    }
    if (load.state != JsonFileState::Loaded) {
        return MacroStatus::Ok;
    }
    document_ = load.value;
    const Json::Value& list = json::Member(document_, "MacroInfo");
    // Every element keeps its position, whatever it holds: positions are
    // the numbers key assignments use.
    for (std::size_t i = 0; i < json::ArraySize(list); ++i) {
        const Json::Value& element = json::Element(list, i);
        entries_.push_back({json::String(json::Member(element, "MacroName")),
                            json::String(json::Member(element, "Guid"))});
    }
    return MacroStatus::Ok;
}

std::optional<std::size_t> MacroLibrary::Find(std::string_view name) const {
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        if (entries_[i].name == name) {
            return i;
        }
    }
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        if (EqualsNoCase(entries_[i].name, name)) {
            return i;
        }
    }
    return std::nullopt;
}

std::string MacroLibrary::MacroFilePath(std::size_t number) const {
    if (number >= entries_.size() || !IsSafeFileName(entries_[number].guid)) {
        return {};
    }
    return folder_ + entries_[number].guid + kMacroFileExtension;
}

bool MacroLibrary::NameTaken(std::string_view name, std::optional<std::size_t> except) const {
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        if (i != except && EqualsNoCase(entries_[i].name, name)) {
            return true;
        }
    }
    return false;
}

std::string MacroLibrary::NewMacroName() const {
    for (std::size_t n = 1;; ++n) {
        std::string candidate = "macro_" + std::to_string(n);
        if (!NameTaken(candidate)) {
            return candidate;
        }
    }
}

std::string MacroLibrary::ImportedName(std::string_view path) const {
    std::string name = FileTitleOf(path);
    if (IsBlankText(name)) {
        name = "macro";
    }
    for (int counter = 1; NameTaken(name); ++counter) {
        name.append(1, '_').append(std::to_string(counter));
    }
    return name;
}

std::string MacroLibrary::NewGuid() const {
    return MakeTimeStampId([this](const std::string& id) {
        return std::any_of(entries_.begin(), entries_.end(),
                           [&](const MacroEntry& e) { return e.guid == id; }) ||
               FolderHasStem(folder_, id);
    });
}

MacroStatus MacroLibrary::WriteList() {
    return ReportWrite(ListPath(), WriteJsonFile(ListPath(), document_)) ? MacroStatus::Ok
                                                                         : MacroStatus::FileError;
}

MacroAdded MacroLibrary::AddMacro() {
    MacroAdded added;
    if ((added.status = LoadMacroList()) != MacroStatus::Ok) {
        return added;
    }
    if (entries_.size() >= kMaxMacros) {
        added.status = MacroStatus::LimitReached;
        return added;
    }
    added.name = NewMacroName();
    added.number = entries_.size();
    Json::Value entry(Json::objectValue);
    entry["MacroName"] = added.name;
    entry["Guid"] = NewGuid();
    json::MakeArray(json::SetMember(document_, "MacroInfo")).append(entry);
    if ((added.status = WriteList()) != MacroStatus::Ok) {
        LoadMacroList();
        return added;
    }
    entries_.push_back({added.name, entry["Guid"].asString()});
    return added;
}

MacroAdded MacroLibrary::ImportMacro(const std::string& source) {
    MacroAdded added;
    const FileText file = ReadFileChecked(source);
    if (file.status == FileReadStatus::Missing || file.status == FileReadStatus::Unreadable) {
        added.status = MacroStatus::SourceUnreadable;
        return added;
    }
    Json::Value document;
    const bool parsed = file.status == FileReadStatus::Ok && ParseJsonText(file.text, document);
    const bool saysMacro = json::Member(document, "Events").isArray() ||
                           !json::Member(document, "Guid").isNull() ||
                           !json::Member(document, "MacroName").isNull() ||
                           !json::Member(document, "Version").isNull();
    if (!parsed || !IsMacroFileDocument(document) || !saysMacro) {
        added.status = MacroStatus::InvalidFile;
        return added;
    }
    if ((added.status = LoadMacroList()) != MacroStatus::Ok) {
        return added;
    }
    if (entries_.size() >= kMaxMacros) {
        added.status = MacroStatus::LimitReached;
        return added;
    }
    added.name = ImportedName(source);
    added.number = entries_.size();
    const std::string guid = NewGuid();
    const std::string path = folder_ + guid + kMacroFileExtension;
    if (!ReportWrite(path, WriteFileAtomic(path, file.text))) {
        added.status = MacroStatus::FileError;
        return added;
    }
    Json::Value entry(Json::objectValue);
    entry["MacroName"] = added.name;
    entry["Guid"] = guid;
    json::MakeArray(json::SetMember(document_, "MacroInfo")).append(entry);
    if ((added.status = WriteList()) != MacroStatus::Ok) {
        ::unlink(path.c_str());
        LoadMacroList();
        return added;
    }
    entries_.push_back({added.name, guid});
    return added;
}

MacroStatus MacroLibrary::RenameMacro(std::size_t number, std::string_view name) {
    if (const MacroStatus status = LoadMacroList(); status != MacroStatus::Ok) {
        return status;
    }
    if (number >= entries_.size()) {
        return MacroStatus::NotFound;
    }
    if (IsBlankText(name)) {
        return MacroStatus::BlankName;
    }
    if (NameTaken(name, number)) {
        return MacroStatus::DuplicateName;
    }
    json::SetMember(json::SetElement(document_["MacroInfo"], number), "MacroName") =
        std::string(name);
    const MacroStatus status = WriteList();
    if (status == MacroStatus::Ok) {
        entries_[number].name = std::string(name);
    } else {
        LoadMacroList();
    }
    return status;
}

MacroStatus MacroLibrary::DeleteMacro(std::size_t number) {
    if (const MacroStatus status = LoadMacroList(); status != MacroStatus::Ok) {
        return status;
    }
    if (number >= entries_.size()) {
        return MacroStatus::NotFound;
    }
    const std::string path = MacroFilePath(number);
    const std::string guid = entries_[number].guid;
    Json::Value removed;
    document_["MacroInfo"].removeIndex(static_cast<Json::ArrayIndex>(number), &removed);
    if (const MacroStatus status = WriteList(); status != MacroStatus::Ok) {
        LoadMacroList();
        return status;
    }
    entries_.erase(entries_.begin() + static_cast<std::ptrdiff_t>(number));
    // A hand-edited list may give two entries one identifier: the file stays
    // while another entry names it.
    const bool stillNamed = std::any_of(entries_.begin(), entries_.end(),
                                        [&](const MacroEntry& e) { return e.guid == guid; });
    if (!path.empty() && !stillNamed && ::unlink(path.c_str()) != 0 && errno != ENOENT) {
        VEXTAR_LOG_WARNING("macro file %s was not removed: %s", path.c_str(), std::strerror(errno));
    }
    return MacroStatus::Ok;
}

MacroStatus MacroLibrary::SaveMacro(std::size_t number, const std::vector<Json::Value>& steps) {
    if (const MacroStatus status = LoadMacroList(); status != MacroStatus::Ok) {
        return status;
    }
    const std::string path = MacroFilePath(number);
    if (path.empty()) {
        return number < entries_.size() ? MacroStatus::FileError : MacroStatus::NotFound;
    }
    Json::Value document(Json::objectValue);
    document["MacroName"] = entries_[number].name;
    document["Guid"] = entries_[number].guid;
    Json::Value& events = document["Events"] = Json::Value(Json::arrayValue);
    for (std::size_t i = 0; i < steps.size() && i < kMaxMacroSteps; ++i) {
        if (!steps[i].isObject()) {
            break;
        }
        Json::Value step = steps[i];
        step["Delay"] = std::to_string(MacroStepDelay(step));
        events.append(step);
    }
    document["Version"] = kMacroFileVersion;
    return ReportWrite(path, WriteJsonFile(path, document)) ? MacroStatus::Ok
                                                            : MacroStatus::FileError;
}

std::vector<Json::Value> MacroLibrary::LoadMacroSteps(std::size_t number) const {
    return LoadMacroFile(MacroFilePath(number));
}

MacroStatus MacroLibrary::ExportMacro(std::size_t number, const std::string& destination) const {
    if (number >= entries_.size()) {
        return MacroStatus::NotFound;
    }
    const std::string path = MacroFilePath(number);
    const FileText file = path.empty() ? FileText{} : ReadFileChecked(path);
    if (file.status != FileReadStatus::Ok) {
        return MacroStatus::FileError;
    }
    return ReportWrite(destination, WriteFileAtomic(destination, file.text))
               ? MacroStatus::Ok
               : MacroStatus::FileError;
}

}  // namespace vextar
