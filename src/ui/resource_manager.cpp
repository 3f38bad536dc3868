#include "ui/resource_manager.h"

#include <pugixml.hpp>

#include "ui/container.h"

namespace vextar::ui {

CResourceManager& CResourceManager::Instance() {
    static CResourceManager manager;
    return manager;
}

bool CResourceManager::LoadLanguage(const std::string& path, std::string* error) {
    pugi::xml_document doc;
    const pugi::xml_parse_result parsed = doc.load_file(path.c_str());
    if (!parsed) {
        if (error != nullptr) {
            *error = path + ": " + parsed.description();
        }
        return false;
    }
    const pugi::xml_node root = doc.child("Language");
    if (!root) {
        if (error != nullptr) {
            *error = path + ": no Language element";
        }
        return false;
    }
    std::map<std::string, std::string, std::less<>> texts;
    for (const pugi::xml_node text : root.children("Text")) {
        const char* id = text.attribute("id").value();
        if (*id != '\0') {
            texts[id] = text.attribute("value").value();
        }
    }
    std::lock_guard lock(mutex_);
    texts_ = std::move(texts);
    file_ = path;
    return true;
}

void CResourceManager::SetText(std::string id, std::string text) {
    std::lock_guard lock(mutex_);
    texts_[std::move(id)] = std::move(text);
}

void CResourceManager::Clear() {
    std::lock_guard lock(mutex_);
    texts_.clear();
    file_.clear();
    languageName_.clear();
}

std::string CResourceManager::CurrentLanguageFile() const {
    std::lock_guard lock(mutex_);
    return file_;
}

void CResourceManager::SetLanguageName(std::string name) {
    std::lock_guard lock(mutex_);
    languageName_ = std::move(name);
}

std::string CResourceManager::GetLanguageName() const {
    std::lock_guard lock(mutex_);
    return languageName_;
}

std::string CResourceManager::GetText(std::string_view id) const {
    std::lock_guard lock(mutex_);
    const auto it = texts_.find(id);
    return it != texts_.end() ? it->second : std::string(id);
}

bool CResourceManager::HasText(std::string_view id) const {
    std::lock_guard lock(mutex_);
    return texts_.find(id) != texts_.end();
}

std::string_view CResourceManager::TextId(std::string_view text) {
    if (text.size() > 3 && text.substr(0, 2) == "%{" && text.back() == '}') {
        return text.substr(2, text.size() - 3);
    }
    return {};
}

void CResourceManager::ReloadText(CControlUI* root) const {
    if (root == nullptr) {
        return;
    }
    if (!root->GetTextId().empty()) {
        root->SetText(GetText(root->GetTextId()));
    }
    if (!root->GetToolTipId().empty()) {
        root->SetToolTip(GetText(root->GetToolTipId()));
    }
    if (auto* container = dynamic_cast<CContainerUI*>(root)) {
        for (int i = 0; i < container->GetCount(); ++i) {
            ReloadText(container->GetItemAt(i));
        }
    }
}

}  // namespace vextar::ui
