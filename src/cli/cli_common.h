#pragma once

// What the commands of vextarctl share: the global options, the backend
// they select, and the error helpers.

#include <memory>
#include <optional>
#include <ostream>
#include <span>
#include <string>

#include "platform/hid_backend.h"
#include "sim/sim_catalog.h"

namespace vextar::cli {

struct Options {
    std::string simulate;  // --simulate LIST
    std::string simState;  // --sim-state DIR
    std::string simFault;  // --sim-fault SPEC
    bool trace = false;    // --trace
};

// The HID backend the options select: hidraw, or the simulated devices.
// Null (with a usage error written) when the simulation options are wrong.
struct Backend {
    std::shared_ptr<platform::IHidBackend> hid;
    std::shared_ptr<sim::SimHidBackend> sim;  // when simulating
    sim::SimDevices devices;
};
std::optional<Backend> MakeBackend(const Options& options, std::ostream& err);

int UsageError(std::ostream& err, const std::string& message);
std::string Hex4(unsigned value);
// "0x1F" or "31"; nullopt unless the whole text is a number up to `max`.
std::optional<uint32_t> ParseNumber(const std::string& text, uint32_t max);
// A signed 64-bit number: decimal or 0x hex, with an optional "-"; nullopt
// unless the whole text is one within range.
std::optional<int64_t> ParseInt64(const std::string& text);

// The device commands: list, info, read, write, keys. Returns -1 when
// `command` is not one of them.
int RunDeviceCommand(const Options& options, const std::string& command,
                     std::span<const std::string> args, std::ostream& out, std::ostream& err);

// The mouse commands: dpi, polling, light, apply. Returns -1 when
// `command` is not one of them.
int RunMouseCommand(const Options& options, const std::string& command,
                    std::span<const std::string> args, std::ostream& out, std::ostream& err);

// The message bus commands: send, tool-query, sim, status. Returns -1 when
// `command` is not one of them.
int RunBusCommand(const std::string& command, std::span<const std::string> args, std::ostream& out,
                  std::ostream& err);

}  // namespace vextar::cli
