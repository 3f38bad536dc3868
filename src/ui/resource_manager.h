#pragma once

// Language texts by id. A control whose text is written "%{id}" in a layout
// shows the text of that id, and follows a reload.

#include <map>
#include <mutex>
#include <string>
#include <string_view>

#include "ui/control.h"

namespace vextar::ui {

class CResourceManager {
  public:
    static CResourceManager& Instance();

    // Loads a language file: <Language><Text id="..." value="..."/>...</Language>.
    // On failure the texts stay as they were and the reason is returned.
    bool LoadLanguage(const std::string& path, std::string* error = nullptr);
    void SetText(std::string id, std::string text);
    // Forgets every text, the file and the language name.
    void Clear();
    // The text of an id; the id itself when there is none.
    [[nodiscard]] std::string GetText(std::string_view id) const;
    [[nodiscard]] bool HasText(std::string_view id) const;
    [[nodiscard]] std::string CurrentLanguageFile() const;
    // The name of the language in use ("en", "zh_CN"); empty until set.
    void SetLanguageName(std::string name);
    [[nodiscard]] std::string GetLanguageName() const;

    // "%{id}" gives the id; anything else nothing.
    static std::string_view TextId(std::string_view text);
    // Sets every "%{id}" text of a subtree anew from the current language.
    void ReloadText(CControlUI* root) const;

  private:
    mutable std::mutex mutex_;
    std::map<std::string, std::string, std::less<>> texts_;
    std::string file_;
    std::string languageName_;
};

}  // namespace vextar::ui
