#pragma once

// Where settings live. Per user: $XDG_DATA_HOME/VEXTAR/<type name>/ (default
// ~/.local/share/VEXTAR); VEXTAR_DATA_HOME replaces the whole
// ".../VEXTAR" root. Factory data: the "DefaultData" folder beside the
// executable, else <install prefix>/share/vextar/DefaultData;
// VEXTAR_DEFAULT_DATA names the folder itself. Per-user settings that are
// not a device's ("settings.json", "main.ini"): $XDG_CONFIG_HOME/VEXTAR/
// (default ~/.config/VEXTAR); VEXTAR_CONFIG_HOME names the folder itself.
// The setters win over the environment (tests point them at temporary
// folders).
//
// Every folder returned ends with "/".

#include <string>
#include <string_view>
#include <system_error>

namespace vextar::paths {

// Overrides; an empty text goes back to the environment and the defaults.
void SetDataRoot(std::string root);
void SetDefaultDataFolder(std::string folder);
void SetConfigRoot(std::string root);

// The per-user root (".../VEXTAR/"); not created.
std::string DataRoot();

// The folder of one device type ("mouse", "keyboard", "MousePad", "HD"),
// created with its parents when missing. Empty, with the reason, when the
// name is not a plain folder name or the folder cannot be made.
std::string DeviceFolder(std::string_view typeName, std::error_code& error);

// The per-user settings folder (".../VEXTAR/"); not created.
std::string ConfigRoot();

// The factory data folder; empty when none is found.
std::string DefaultDataFolder();

// DefaultData/<type name>.Json; empty when there is no factory data folder.
std::string FactoryProfilePath(std::string_view typeName);

// DefaultData/default_light.json; empty when there is no factory data folder.
std::string DefaultLightPath();

// The folder of the running executable.
std::string ExecutableFolder();

}  // namespace vextar::paths
