#include "app/resources.h"

#include <pugixml.hpp>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "platform/log.h"
#include "profile/paths.h"
#include "vextar_version.h"

namespace vextar::app {

namespace {

bool IsFolder(const std::string& path) {
    std::error_code ec;
    return std::filesystem::is_directory(path, ec);
}

bool IsReadableFile(const std::string& path) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) {
        return false;
    }
    std::ifstream in(path, std::ios::binary);
    return in.good();
}

std::string WithSlash(std::string path) {
    if (!path.empty() && path.back() != '/') {
        path.push_back('/');
    }
    return path;
}

}  // namespace

std::string SkinFolder() {
    if (const char* env = std::getenv("VEXTAR_SKIN"); env != nullptr && *env != '\0') {
        return IsFolder(env) ? WithSlash(env) : std::string();
    }
    const std::string beside = paths::ExecutableFolder() + "skin";
    if (IsFolder(beside)) {
        return beside + "/";
    }
    const std::string installed = std::string(VEXTAR_INSTALL_PREFIX) + "/share/vextar/skin";
    if (IsFolder(installed)) {
        return installed + "/";
    }
    return {};
}

bool CResourceIndex::Load(const std::string& skinFolder, std::string* error) {
    items_.clear();
    const std::string path = WithSlash(skinFolder) + "res.xml";
    pugi::xml_document doc;
    const pugi::xml_parse_result result = doc.load_file(path.c_str());
    if (!result) {
        if (error != nullptr) {
            *error = path + ": " + result.description();
        }
        return false;
    }
    const pugi::xml_node res = doc.child("Res");
    if (!res) {
        if (error != nullptr) {
            *error = path + ": no <Res> element";
        }
        return false;
    }
    for (const pugi::xml_node item : res.children("Item")) {
        const std::string id = item.attribute("id").as_string();
        const std::string file = item.attribute("file").as_string();
        if (id.empty() || file.empty()) {
            VEXTAR_LOG_WARNING("res.xml: an item without id or file is skipped");
            continue;
        }
        items_[id] = file;
    }
    return true;
}

std::string CResourceIndex::Resolve(std::string_view name) const {
    if (const auto it = items_.find(name); it != items_.end()) {
        return it->second;
    }
    return std::string(name);
}

bool CResourceIndex::Has(std::string_view id) const {
    return items_.find(id) != items_.end();
}

CResourceIndex& ResourceIndex() {
    static CResourceIndex index;
    return index;
}

const std::vector<PrivateFont>& PrivateFonts() {
    static const std::vector<PrivateFont> fonts = {
        {"Font/Simplified_Chinese.ttf",
         "Noto Sans CJK SC",
         {"/usr/share/fonts/opentype/noto/NotoSansCJK-Regular.ttc"}},
        {"Font/Harrowline-Regular.otf", "Harrowline", {}},
        {"Font/NotoSansThai-Regular.ttf",
         "Noto Sans Thai",
         {"/usr/share/fonts/truetype/noto/NotoSansThai-Regular.ttf"}},
        {"Font/NotoSansCJKtc-Regular.otf",
         "Noto Sans CJK TC",
         {"/usr/share/fonts/opentype/noto/NotoSansCJK-Regular.ttc"}},
    };
    return fonts;
}

int CPrivateFonts::Load(const std::string& programFolder) {
    int loaded = 0;
    for (const PrivateFont& font : PrivateFonts()) {
        std::vector<std::string> candidates{WithSlash(programFolder) + font.relativePath};
        candidates.insert(candidates.end(), font.systemFiles.begin(), font.systemFiles.end());
        bool done = false;
        for (const std::string& file : candidates) {
            if (!IsReadableFile(file)) {
                continue;
            }
            if (const auto handle = registrar_.Add(file)) {
                handles_.push_back(*handle);
                faces_.push_back(font.face);
                ++loaded;
                done = true;
                break;
            }
        }
        if (!done) {
            VEXTAR_LOG_INFO("font face \"%s\" is not available; skipped", font.face.c_str());
        }
    }
    return loaded;
}

void CPrivateFonts::Release() {
    while (!handles_.empty()) {
        registrar_.Remove(handles_.back());
        handles_.pop_back();
        faces_.pop_back();
    }
}

}  // namespace vextar::app
