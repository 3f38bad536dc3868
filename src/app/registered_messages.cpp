#include "app/registered_messages.h"

#include <algorithm>
#include <map>
#include <mutex>

namespace vextar::app {

namespace {

struct Registry {
    std::mutex mutex;
    std::map<std::string, uint32_t, std::less<>> ids;
    std::map<uint32_t, std::string> names;
    uint32_t next = kFirstRegisteredMessage;
};

Registry& TheRegistry() {
    static Registry registry;
    return registry;
}

}  // namespace

uint32_t RegisterWindowMessage(std::string_view name) {
    if (name.empty()) {
        return 0;
    }
    Registry& r = TheRegistry();
    std::lock_guard lock(r.mutex);
    if (auto it = r.ids.find(name); it != r.ids.end()) {
        return it->second;
    }
    if (r.next > kLastRegisteredMessage) {
        return 0;
    }
    const uint32_t id = r.next++;
    r.ids.emplace(std::string(name), id);
    r.names.emplace(id, std::string(name));
    return id;
}

uint32_t FindRegisteredMessage(std::string_view name) {
    Registry& r = TheRegistry();
    std::lock_guard lock(r.mutex);
    const auto it = r.ids.find(name);
    return it != r.ids.end() ? it->second : 0;
}

std::optional<std::string> RegisteredMessageName(uint32_t id) {
    Registry& r = TheRegistry();
    std::lock_guard lock(r.mutex);
    if (auto it = r.names.find(id); it != r.names.end()) {
        return it->second;
    }
    return std::nullopt;
}

bool RegisteredMessages::IsHook(uint32_t id) const {
    return id != 0 && std::find(std::begin(hook), std::end(hook), id) != std::end(hook);
}

bool RegisteredMessages::IsGame(uint32_t id) const {
    return id != 0 && std::find(std::begin(game), std::end(game), id) != std::end(game);
}

const RegisteredMessages& Messages() {
    static const RegisteredMessages messages = [] {
        RegisteredMessages m{};
        m.activateInstance = RegisterWindowMessage(kActivateInstanceName);
        m.settingsForward = RegisterWindowMessage(kSettingsForwardName);
        m.lightControlBroadcast = RegisterWindowMessage(kLightControlBroadcastName);
        m.lightControlRequest = RegisterWindowMessage(kLightControlRequestName);
        m.toolQuery = RegisterWindowMessage(kToolQueryName);
        for (std::size_t i = 0; i < std::size(kHookMessageNames); ++i) {
            m.hook[i] = RegisterWindowMessage(kHookMessageNames[i]);
        }
        for (std::size_t i = 0; i < std::size(kGameMessageNames); ++i) {
            m.game[i] = RegisterWindowMessage(kGameMessageNames[i]);
        }
        return m;
    }();
    return messages;
}

}  // namespace vextar::app
