#include "platform/log.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

namespace vextar::log {
namespace {

Level LevelFromEnvironment() {
    const char* text = std::getenv("VEXTAR_LOG");
    if (text == nullptr) {
        return Level::Warning;
    }
    struct Name {
        const char* name;
        Level level;
    };
    static constexpr Name kNames[] = {{"debug", Level::Debug},
                                      {"info", Level::Info},
                                      {"warning", Level::Warning},
                                      {"error", Level::Error},
                                      {"off", Level::Off}};
    for (const Name& n : kNames) {
        if (std::strcmp(text, n.name) == 0) {
            return n.level;
        }
    }
    return Level::Warning;
}

std::atomic<Level>& StoredLevel() {
    static std::atomic<Level> level{LevelFromEnvironment()};
    return level;
}

std::mutex& OutputMutex() {
    static std::mutex m;
    return m;
}

}  // namespace

void SetLevel(Level level) {
    StoredLevel().store(level);
}
Level CurrentLevel() {
    return StoredLevel().load();
}
bool Enabled(Level level) {
    return level != Level::Off && level >= CurrentLevel();
}

void Write(Level level, const char* format, ...) {
    if (!Enabled(level)) {
        return;
    }
    static constexpr const char* kTags[] = {"debug", "info", "warning", "error", "off"};
    char line[1024];
    va_list args;
    va_start(args, format);
    std::vsnprintf(line, sizeof line, format, args);
    va_end(args);
    std::lock_guard lock(OutputMutex());
    std::fprintf(stderr, "vextar %s: %s\n", kTags[static_cast<int>(level)], line);
}

}  // namespace vextar::log
