#pragma once

#include <cstdarg>

namespace vextar::log {

enum class Level { Debug = 0, Info = 1, Warning = 2, Error = 3, Off = 4 };

// Diagnostics go to stderr, one line each, prefixed with the level. The level
// comes from VEXTAR_LOG (debug, info, warning, error, off); warnings and
// errors are shown by default.
void SetLevel(Level level);
Level CurrentLevel();
bool Enabled(Level level);

void Write(Level level, const char* format, ...) __attribute__((format(printf, 2, 3)));

#define VEXTAR_LOG_DEBUG(...) ::vextar::log::Write(::vextar::log::Level::Debug, __VA_ARGS__)
#define VEXTAR_LOG_INFO(...) ::vextar::log::Write(::vextar::log::Level::Info, __VA_ARGS__)
#define VEXTAR_LOG_WARNING(...) ::vextar::log::Write(::vextar::log::Level::Warning, __VA_ARGS__)
#define VEXTAR_LOG_ERROR(...) ::vextar::log::Write(::vextar::log::Level::Error, __VA_ARGS__)

}  // namespace vextar::log
