#include "app/language.h"

#include <json/json.h>

#include <algorithm>
#include <utility>

#include "platform/log.h"
#include "profile/file_helpers.h"
#include "profile/json_access.h"
#include "profile/paths.h"
#include "ui/resource_manager.h"

namespace vextar::app {
namespace {

// Longer names are no file of ours.
constexpr std::size_t kMaxLanguageFileBytes = 1024;

void SetError(std::string* error, std::string text) {
    if (error != nullptr) {
        *error = std::move(text);
    }
}

// An integer as the file wrote it: not a real number, not a boolean.
std::optional<int64_t> ExactInt(const Json::Value& value) {
    if (value.type() == Json::intValue || (value.type() == Json::uintValue && value.isInt64())) {
        return value.asInt64();
    }
    return std::nullopt;
}

std::optional<LanguageEntry> EntryOf(const Json::Value& element, std::string& why) {
    if (!element.isObject()) {
        why = "not an object";
        return std::nullopt;
    }
    LanguageEntry entry;
    const std::optional<int64_t> id = ExactInt(json::Member(element, "Language_ID"));
    const Json::Value& name = json::Member(element, "Language_name");
    const Json::Value& file = json::Member(element, "Language_file");
    const Json::Value& text = json::Member(element, "Language_text");
    if (!id || !name.isString() || !file.isString() || !text.isString()) {
        why = "a member is missing or of the wrong type";
        return std::nullopt;
    }
    entry.id = *id;
    entry.name = name.asString();
    entry.file = file.asString();
    entry.text = text.asString();
    if (!IsPlainRelativePath(entry.file)) {
        why = "its file is not a path inside the skin folder";
        return std::nullopt;
    }
    std::replace(entry.file.begin(), entry.file.end(), '\\', '/');
    return entry;
}

}  // namespace

bool IsPlainRelativePath(std::string_view path) {
    if (path.empty() || path.size() > kMaxLanguageFileBytes ||
        path.find_first_of(std::string_view(":\0", 2)) != std::string_view::npos) {
        return false;
    }
    while (true) {
        const std::size_t separator = path.find_first_of("/\\");
        const std::string_view part = path.substr(0, separator);
        if (part.empty() || part == "." || part == "..") {
            return false;
        }
        if (separator == std::string_view::npos) {
            return true;
        }
        path.remove_prefix(separator + 1);
    }
}

std::optional<std::vector<LanguageEntry>> ParseLanguageConfig(std::string_view text,
                                                              std::string* error) {
    Json::Value document;
    if (!ParseJsonText(text, document)) {
        SetError(error, "not a JSON document");
        return std::nullopt;
    }
    const Json::Value& list = json::Member(document, "Language");
    if (!list.isArray()) {
        SetError(error, "no \"Language\" array");
        return std::nullopt;
    }
    std::vector<LanguageEntry> entries;
    for (Json::ArrayIndex i = 0; i < list.size(); ++i) {
        std::string why;
        if (std::optional<LanguageEntry> entry = EntryOf(list[i], why)) {
            entries.push_back(std::move(*entry));
        } else {
            VEXTAR_LOG_WARNING("language list: element %u left out: %s", i, why.c_str());
        }
    }
    return entries;
}

std::optional<std::vector<LanguageEntry>> ReadLanguageConfig(const std::string& path,
                                                             std::string* error) {
    const FileText file = ReadFileChecked(path);
    std::string reason;
    switch (file.status) {
        case FileReadStatus::Ok:
            if (auto entries = ParseLanguageConfig(file.text, &reason)) {
                return entries;
            }
            break;
        case FileReadStatus::Missing:
            reason = "missing";
            break;
        case FileReadStatus::Unreadable:
            reason = file.error.message();
            break;
        case FileReadStatus::TooLarge:
            reason = "too large";
            break;
    }
    std::string text = path;
    text.append(": ").append(reason);
    VEXTAR_LOG_WARNING("language list %s", text.c_str());
    SetError(error, std::move(text));
    return std::nullopt;
}

std::string LanguageConfigPath() {
    const std::string folder = paths::DefaultDataFolder();
    return folder.empty() ? std::string() : folder + kLanguageConfigFileName;
}

int ReadStoredLanguage(const ISettingsStore& store, const std::vector<LanguageEntry>& entries) {
    const std::optional<int64_t> stored = store.GetInt(kLanguageSetting);
    if (!stored) {
        return 0;
    }
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (entries[i].id == *stored) {
            return static_cast<int>(i);
        }
    }
    return 0;
}

void BuildFontTable(ui::CPaintManagerUI& manager, const std::string& face) {
    struct FontRow {
        int id;
        int size;
        bool bold;
        bool underline;
    };
    // The sizes are pixels at 96 DPI.
    static constexpr FontRow kTable[] = {
        {0, 15, false, false}, {1, 14, false, true},   {2, 18, false, false},
        {3, 30, false, false}, {4, 16, false, false},  {5, 20, false, false},
        {6, 22, false, false}, {7, 14, false, false},  {8, 12, false, false},
        {9, 11, false, false}, {10, 10, false, false}, {11, 28, false, false},
        {50, 10, true, false}, {51, 9, false, false},
    };
    manager.RemoveAllFonts();
    // The default font has no id of its own: -1 is the manager's default.
    manager.AddFont(-1, ui::FontInfo{.face = face, .size = 14}, true);
    for (const FontRow& row : kTable) {
        manager.AddFont(
            row.id,
            ui::FontInfo{
                .face = face, .size = row.size, .bold = row.bold, .underline = row.underline},
            false);
    }
}

std::optional<std::string> FontFaceForChange(int currentIndex, int newIndex) {
    // Languages 0, 2 and 15 of the list are drawn with the Thai face. Leaving
    // one of them, or setting the first language of the run, goes to the CJK
    // face the others share; between two of the others the fonts stay.
    const auto thai = [](int index) { return index == 0 || index == 2 || index == 15; };
    if (thai(newIndex)) {
        return std::string(kThaiFontFace);
    }
    if (thai(currentIndex) || currentIndex == -1) {
        return std::string(kCjkFontFace);
    }
    return std::nullopt;
}

CLanguageState::CLanguageState(ISettingsStore& store, std::string configPath,
                               std::string skinFolder)
    : store_(store), configPath_(std::move(configPath)), skinFolder_(std::move(skinFolder)) {
    if (!skinFolder_.empty() && skinFolder_.back() != '/') {
        skinFolder_ += '/';
    }
}

bool CLanguageState::ReadConfig(std::string* error) {
    std::optional<std::vector<LanguageEntry>> entries = ReadLanguageConfig(configPath_, error);
    if (!entries) {
        return false;
    }
    entries_ = std::move(*entries);
    return true;
}

CLanguageState::ApplyResult CLanguageState::Apply(int index, ui::CPaintManagerUI& manager,
                                                  std::string* error) {
    if (index == current_) {
        return ApplyResult::Unchanged;
    }
    // Everything that can fail comes before the first change.
    std::optional<std::vector<LanguageEntry>> entries = ReadLanguageConfig(configPath_, error);
    if (!entries) {
        return ApplyResult::Failed;
    }
    if (index < 0 || static_cast<std::size_t>(index) >= entries->size()) {
        std::string text = configPath_;
        text.append(": no language number ").append(std::to_string(index));
        VEXTAR_LOG_WARNING("language: %s", text.c_str());
        SetError(error, std::move(text));
        return ApplyResult::Failed;
    }
    const LanguageEntry entry = (*entries)[static_cast<std::size_t>(index)];
    ui::CResourceManager& resources = ui::CResourceManager::Instance();
    // Loading leaves the texts as they were when the file cannot be used.
    std::string reason;
    if (!resources.LoadLanguage(skinFolder_ + entry.file, &reason)) {
        VEXTAR_LOG_WARNING("language: %s", reason.c_str());
        SetError(error, std::move(reason));
        return ApplyResult::Failed;
    }

    if (const std::optional<std::string> face = FontFaceForChange(current_, index)) {
        BuildFontTable(manager, *face);
    }
    current_ = index;
    entries_ = std::move(*entries);
    resources.SetLanguageName(entry.name);
    resources.ReloadText(manager.GetRoot());
    manager.NeedUpdate();
    if (ui::CControlUI* root = manager.GetRoot()) {
        root->Invalidate();
    }

    if (store_.GetInt(kLanguageSetting) != entry.id) {
        std::string storeError;
        if (!store_.SetInt(kLanguageSetting, entry.id, &storeError)) {
            VEXTAR_LOG_WARNING("language %s applied but not kept: %s", entry.name.c_str(),
                               storeError.c_str());
            SetError(error, std::move(storeError));
        }
    }
    return ApplyResult::Applied;
}

CLanguageState::ApplyResult CLanguageState::ApplyStored(ui::CPaintManagerUI& manager,
                                                        std::string* error) {
    if (!ReadConfig(error)) {
        return ApplyResult::Failed;
    }
    return Apply(ReadStoredLanguage(store_, entries_), manager, error);
}

}  // namespace vextar::app
