#pragma once

// Changing the simulated devices while the application runs, and telling
// what the window shows: `vextarctl sim ...` and `vextarctl status` reach the
// running application over the message bus as copy-data (kinds in
// window_messages.h). The bus thread applies and answers them here; they
// never reach the window's copy-data path.

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/message_bus.h"
#include "sim/sim_catalog.h"
#include "sim/sim_hid_backend.h"

namespace vextar::app {

// The longest command text.
inline constexpr std::size_t kSimCommandMaxBytes = 256;

// One command to the simulated devices, as text:
//   plug DEVICE | unplug DEVICE | link DEVICE | unlink DEVICE
//   battery DEVICE PERCENT [charging]      PERCENT 0..255
//   notify DEVICE CODE                     CODE 0..0xFFFF, a consumer usage
// DEVICE is a catalogue name (sim::CatalogNames()); numbers are decimal or
// 0x hex. Words are separated by spaces.
struct SimCommand {
    enum class Verb : uint8_t { Plug, Unplug, Link, Unlink, Battery, Notify };
    Verb verb = Verb::Plug;
    std::string device;
    uint8_t percent = 0;  // battery
    bool charging = false;
    uint16_t usage = 0;  // notify
    bool operator==(const SimCommand&) const = default;
};

// The command `text` stands for; nothing, with the reason, when it is not
// one. Only printable ASCII of at most kSimCommandMaxBytes is read, so a
// reason may quote the text.
std::optional<SimCommand> ParseSimCommand(std::string_view text, std::string* error);

// A copy-data payload of kind kCopySimCommand: the window title the client
// registered, a line feed, then the command text.
struct BusCommand {
    std::string replyTitle;
    std::string command;
    bool operator==(const BusCommand&) const = default;
};

// The title (a valid bus window title: 1 to 255 bytes of UTF-8 without NUL)
// and the command (1 to kSimCommandMaxBytes of printable ASCII) of a
// payload; nothing, with the reason, for anything else.
std::optional<BusCommand> ParseBusCommand(std::span<const uint8_t> payload, std::string* error);
// The payload of `command`; empty when either part breaks those limits.
std::vector<uint8_t> EncodeBusCommand(const BusCommand& command);

// Applies sim commands to the simulated devices of one run. Safe on any
// thread: the backend, the models and the receivers lock or use atomics.
class CSimControl {
  public:
    CSimControl(sim::SimHidBackend& backend, sim::SimDevices& devices);

    // "ok", or "error: REASON" (a bad command, a device that is not
    // simulated in this run, a link change of a device that is no receiver,
    // a link the receiver's --sim-fault forbids, a notification nobody
    // reads: the interface is not open, or its reader does not keep up).
    std::string Apply(std::string_view command);

  private:
    std::string ApplyParsed(const SimCommand& command);

    sim::SimHidBackend& backend_;
    sim::SimDevices& devices_;
};

// The answer to a sim command when the application does not run on
// simulated devices.
inline constexpr std::string_view kNotSimulatingAnswer = "error: not running on simulated devices";

// The bus's side of the control kinds. A sim command is applied (or, with no
// `simControl`, refused) and answered to its title with kCopySimAnswer; a
// status query is answered to its title with kCopyStatusAnswer: the lines
// `statusLines` gives, joined by line feeds. A malformed one is dropped and
// logged, as are answers that come in. True for every control kind, which
// the caller must not pass on to the window; false for every other kind.
bool AnswerControlFrame(const platform::BusCopyData& frame, CSimControl* simControl,
                        const std::function<std::vector<std::string>()>& statusLines,
                        platform::IMessageBus& bus);

}  // namespace vextar::app
