#pragma once

#include <ostream>
#include <span>
#include <string>

namespace vextar::cli {

// Exit statuses of vextarctl.
inline constexpr int kExitOk = 0;
inline constexpr int kExitDeviceOrFile = 1;
inline constexpr int kExitUsage = 2;

// Runs vextarctl with its arguments (without the program name).
int Run(std::span<const std::string> args, std::ostream& out, std::ostream& err);

}  // namespace vextar::cli
