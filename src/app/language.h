#pragma once

// The interface language. The languages offered are listed in
// "Language.config" in the factory data folder; each names a language file
// of the skin folder, loaded into the process's CResourceManager. The
// choice is kept as the language's "Language_ID" under "LANGUAGE" in the
// settings store, and each language comes with the fonts its script needs.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "profile/settings_store.h"
#include "ui/paint_manager.h"

namespace vextar::app {

inline constexpr const char* kLanguageConfigFileName = "Language.config";

struct LanguageEntry {
    int64_t id = 0;    // "Language_ID", the stored value
    std::string name;  // "Language_name", the UI library's name ("en", "zh_CN")
    std::string file;  // "Language_file", relative to the skin folder, "/"-separated
    std::string text;  // "Language_text", the name users see, in its own language

    bool operator==(const LanguageEntry&) const = default;
};

// True for a relative path that stays inside its folder: not empty, not
// absolute, no "." or ".." part, no empty part, no NUL or ":". "\" counts
// as a separator.
bool IsPlainRelativePath(std::string_view path);

// The list of "Language.config": its root object's "Language" array. An
// element that is not an object, lacks a member or has one of the wrong
// type, or names a file outside the skin folder, is left out (and logged);
// the others keep their order. Nothing, with the reason, when the text does
// not parse or has no such array.
std::optional<std::vector<LanguageEntry>> ParseLanguageConfig(std::string_view text,
                                                              std::string* error);
std::optional<std::vector<LanguageEntry>> ReadLanguageConfig(const std::string& path,
                                                             std::string* error);

// "Language.config" of the factory data folder; empty when there is none.
std::string LanguageConfigPath();

// The index of the first entry whose id is the stored "LANGUAGE"; 0 when
// nothing is stored or no entry has that id.
int ReadStoredLanguage(const ISettingsStore& store, const std::vector<LanguageEntry>& entries);

// Replaces the fonts of a window by the program's table, all in `face`.
void BuildFontTable(ui::CPaintManagerUI& manager, const std::string& face);

inline constexpr const char* kThaiFontFace = "Noto Sans Thai";
inline constexpr const char* kCjkFontFace = "Noto Sans CJK SC";

// The face the font table is rebuilt with when the language goes from
// index `currentIndex` (-1 before the first) to `newIndex`; nothing when
// the fonts stay.
std::optional<std::string> FontFaceForChange(int currentIndex, int newIndex);

class CLanguageState {
  public:
    enum class ApplyResult { Unchanged, Applied, Failed };

    CLanguageState(ISettingsStore& store, std::string configPath, std::string skinFolder);

    // Reads the list of languages into Entries(). False, with the reason,
    // when it cannot be read; the list then stays as it was.
    bool ReadConfig(std::string* error);

    // Makes language `index` of the list the current one. The list is read
    // anew and the language's file loaded before anything changes; when
    // either fails (or there is no such index) the result is Failed and the
    // texts, fonts, current index and stored choice are as they were. On
    // success the fonts follow FontFaceForChange, every "%{id}" text of
    // `manager`'s tree is set anew and the language's id is stored. A store
    // that cannot be written leaves the language applied: the result is
    // Applied, with the reason in `error`.
    ApplyResult Apply(int index, ui::CPaintManagerUI& manager, std::string* error);

    // At start: the stored language (see ReadStoredLanguage) after reading
    // the list.
    ApplyResult ApplyStored(ui::CPaintManagerUI& manager, std::string* error);

    // -1 until a language was applied.
    [[nodiscard]] int CurrentIndex() const { return current_; }
    // The list read last.
    [[nodiscard]] const std::vector<LanguageEntry>& Entries() const { return entries_; }

  private:
    ISettingsStore& store_;
    std::string configPath_;
    std::string skinFolder_;
    std::vector<LanguageEntry> entries_;
    int current_ = -1;
};

}  // namespace vextar::app
