#pragma once

// Messages known by name. Every program that registers the same string gets
// the same id (0xC000..0xFFFF), so messages from other programs, which the
// message bus carries by name, are handled by the id their name resolves to.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vextar::app {

inline constexpr uint32_t kFirstRegisteredMessage = 0xC000;
inline constexpr uint32_t kLastRegisteredMessage = 0xFFFF;

// The id of a name; the same name always gives the same id. 0 for an empty
// name, or when every id is taken.
uint32_t RegisterWindowMessage(std::string_view name);
// The id of a name registered before, or 0: messages from other programs
// are known only by the names this program registered.
uint32_t FindRegisteredMessage(std::string_view name);
// The name registered for an id, or nothing.
std::optional<std::string> RegisteredMessageName(uint32_t id);

// The strings of the system's messages.
inline constexpr std::string_view kActivateInstanceName = "VEXTAR";
inline constexpr std::string_view kSettingsForwardName = "{4695579F-999A-41d4-9FAF-EFFCE93EBF15}";
inline constexpr std::string_view kLightControlBroadcastName =
    "{4695579F-999A-41d4-9FAF-EFFCE93EBF16}";
inline constexpr std::string_view kLightControlRequestName =
    "{4695579F-999A-41d4-9FAF-EFFCE93EBF17}";
inline constexpr std::string_view kToolQueryName = "{4695579F-999A-41d4-9FAF-EFFCE93EBF18}";
inline constexpr std::string_view kToolWindowTitle = "WorkTool";

// The input hook's messages, in registration order ("UWM_MOUSERBUTTONDOWN_USER_MSG"
// twice: two names for one id).
inline constexpr std::string_view kHookMessageNames[] = {
    "WM_HOOK_KEY_SINGLEKEY_MSG",       "WM_HOOK_KEY_HITKEY_MSG",
    "WM_HOOK_KEY_KBMACRO_MSG",         "WM_HOOK_KEY_MSMACRO_MSG",
    "WM_HOOK_KEY_KBMACROSINGLE_MSG",   "WM_HOOK_KEY_KBMACROPREVIOUS_MSG",
    "WM_HOOK_KEY_KBMACROLATER_MSG",    "WM_HOOK_MOU_SINGLEKEY_MSG",
    "WM_HOOK_MOU_HITKEY_MSG",          "WM_HOOK_MOU_KBMACRO_MSG",
    "WM_HOOK_MOU_MSMACRO_MSG",         "WM_HOOK_KEY_MSMACROSINGLE_MSG",
    "WM_HOOK_KEY_MSMACROPREVIOUS_MSG", "WM_HOOK_KEY_MSMACROLATER_MSG",
    "UWM_MOUSERBUTTONDOWN_USER_MSG",   "UWM_MOUSELBUTTONUP_USER_MSG",
    "UWM_MOUSELBUTTONDOWN_USER_MSG",   "UWM_MOUSERBUTTONUP_USER_MSG",
    "UWM_MOUSERBUTTONDOWN_USER_MSG",   "UWM_MOUSEMOVE_USER_MSG",
};
inline constexpr std::string_view kGameMessageNames[] = {"Game_Start", "Game_End", "Game_Kill",
                                                         "Game_Death"};

// The ids of the system's messages, registered on first use.
struct RegisteredMessages {
    uint32_t activateInstance;       // UWM_ACTIVATE_INSTANCE
    uint32_t settingsForward;        // UWM_SETTINGS_FORWARD
    uint32_t lightControlBroadcast;  // UWM_LIGHT_CONTROL_BROADCAST
    uint32_t lightControlRequest;    // UWM_LIGHT_CONTROL_REQUEST
    uint32_t toolQuery;              // UWM_TOOL_QUERY
    uint32_t hook[std::size(kHookMessageNames)];
    uint32_t game[std::size(kGameMessageNames)];

    [[nodiscard]] bool IsHook(uint32_t id) const;
    [[nodiscard]] bool IsGame(uint32_t id) const;
};
const RegisteredMessages& Messages();

}  // namespace vextar::app
