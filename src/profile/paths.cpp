#include "profile/paths.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <utility>

#include "profile/text.h"
#include "vextar_version.h"

namespace vextar::paths {
namespace {

struct Overrides {
    std::mutex mutex;
    std::string dataRoot;
    std::string defaultData;
    std::string configRoot;
};

Overrides& TheOverrides() {
    static Overrides overrides;
    return overrides;
}

std::string WithSlash(std::string folder) {
    if (!folder.empty() && folder.back() != '/') {
        folder += '/';
    }
    return folder;
}

std::string Environment(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

std::string HomeFolder() {
    std::string home = Environment("HOME");
    if (!home.empty()) {
        return home;
    }
    const passwd* entry = ::getpwuid(::getuid());
    return entry != nullptr && entry->pw_dir != nullptr ? entry->pw_dir : "";
}

bool IsFolder(const std::string& path) {
    struct stat st {};
    return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace

void SetDataRoot(std::string root) {
    std::lock_guard lock(TheOverrides().mutex);
    TheOverrides().dataRoot = std::move(root);
}

void SetDefaultDataFolder(std::string folder) {
    std::lock_guard lock(TheOverrides().mutex);
    TheOverrides().defaultData = std::move(folder);
}

void SetConfigRoot(std::string root) {
    std::lock_guard lock(TheOverrides().mutex);
    TheOverrides().configRoot = std::move(root);
}

std::string DataRoot() {
    {
        std::lock_guard lock(TheOverrides().mutex);
        if (!TheOverrides().dataRoot.empty()) {
            return WithSlash(TheOverrides().dataRoot);
        }
    }
    if (std::string root = Environment("VEXTAR_DATA_HOME"); !root.empty()) {
        return WithSlash(root);
    }
    // XDG_DATA_HOME counts only when it is an absolute path.
    std::string base = Environment("XDG_DATA_HOME");
    if (base.empty() || base[0] != '/') {
        base = HomeFolder() + "/.local/share";
    }
    return WithSlash(base) + "VEXTAR/";
}

std::string ConfigRoot() {
    {
        std::lock_guard lock(TheOverrides().mutex);
        if (!TheOverrides().configRoot.empty()) {
            return WithSlash(TheOverrides().configRoot);
        }
    }
    if (std::string root = Environment("VEXTAR_CONFIG_HOME"); !root.empty()) {
        return WithSlash(root);
    }
    // Like XDG_DATA_HOME, XDG_CONFIG_HOME counts only when it is absolute.
    std::string base = Environment("XDG_CONFIG_HOME");
    if (base.empty() || base[0] != '/') {
        base = HomeFolder() + "/.config";
    }
    return WithSlash(base) + "VEXTAR/";
}

std::string DeviceFolder(std::string_view typeName, std::error_code& error) {
    error.clear();
    if (!IsSafeFileName(typeName)) {
        error = std::make_error_code(std::errc::invalid_argument);
        return {};
    }
    const std::string folder = DataRoot() + std::string(typeName) + "/";
    std::filesystem::create_directories(folder, error);
    if (error) {
        return {};
    }
    if (!IsFolder(folder)) {
        error = std::make_error_code(std::errc::not_a_directory);
        return {};
    }
    return folder;
}

std::string DefaultDataFolder() {
    {
        std::lock_guard lock(TheOverrides().mutex);
        if (!TheOverrides().defaultData.empty()) {
            return WithSlash(TheOverrides().defaultData);
        }
    }
    if (std::string folder = Environment("VEXTAR_DEFAULT_DATA"); !folder.empty()) {
        return WithSlash(folder);
    }
    const std::string beside = ExecutableFolder() + "DefaultData";
    if (IsFolder(beside)) {
        return beside + "/";
    }
    const std::string installed = std::string(VEXTAR_INSTALL_PREFIX) + "/share/vextar/DefaultData";
    if (IsFolder(installed)) {
        return installed + "/";
    }
    return {};
}

std::string FactoryProfilePath(std::string_view typeName) {
    const std::string folder = DefaultDataFolder();
    if (folder.empty() || !IsSafeFileName(typeName)) {
        return {};
    }
    return folder + std::string(typeName) + ".Json";
}

std::string DefaultLightPath() {
    const std::string folder = DefaultDataFolder();
    return folder.empty() ? std::string() : folder + "default_light.json";
}

std::string ExecutableFolder() {
    std::error_code error;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error) {
        return {};
    }
    return WithSlash(self.parent_path().string());
}

}  // namespace vextar::paths
