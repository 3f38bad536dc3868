#include "app/sim_control.h"

#include <algorithm>
#include <array>
#include <memory>

#include "app/window_messages.h"
#include "platform/log.h"
#include "sim/firmware.h"

namespace vextar::app {

namespace {

// Joins text pieces (GCC 12 warns falsely on "literal" + std::string).
template <typename... Parts>
std::string Concat(const Parts&... parts) {
    std::string out;
    (out.append(std::string_view(parts)), ...);
    return out;
}

void SetError(std::string* error, std::string text) {
    if (error != nullptr) {
        *error = std::move(text);
    }
}

std::string Error(std::string_view reason) {
    return Concat("error: ", reason);
}

bool IsPrintableAscii(std::string_view text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return c >= 0x20 && c <= 0x7E; });
}

// Whether `text` may be a command: 1 to kSimCommandMaxBytes of printable
// ASCII. The reason in `error` otherwise.
bool ValidCommandText(std::string_view text, std::string* error) {
    if (text.empty()) {
        SetError(error, "the command is empty");
        return false;
    }
    if (text.size() > kSimCommandMaxBytes) {
        SetError(error, Concat("the command is longer than ", std::to_string(kSimCommandMaxBytes),
                               " bytes"));
        return false;
    }
    if (!IsPrintableAscii(text)) {
        SetError(error, "the command is not printable ASCII text");
        return false;
    }
    return true;
}

// A whole word of decimal digits, or 0x and hex digits, up to `max`.
std::optional<uint32_t> ParseNumber(std::string_view text, uint32_t max) {
    uint32_t base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        text.remove_prefix(2);
        base = 16;
    }
    if (text.empty()) {
        return std::nullopt;
    }
    uint32_t value = 0;
    for (char c : text) {
        uint32_t digit = 0;
        if (c >= '0' && c <= '9') {
            digit = static_cast<uint32_t>(c - '0');
        } else if (base == 16 && c >= 'a' && c <= 'f') {
            digit = static_cast<uint32_t>(c - 'a' + 10);
        } else if (base == 16 && c >= 'A' && c <= 'F') {
            digit = static_cast<uint32_t>(c - 'A' + 10);
        } else {
            return std::nullopt;
        }
        if (value > (max - digit) / base) {
            return std::nullopt;
        }
        value = value * base + digit;
    }
    return value;
}

std::vector<std::string_view> Words(std::string_view text) {
    std::vector<std::string_view> words;
    while (!text.empty()) {
        const std::size_t start = text.find_first_not_of(' ');
        if (start == std::string_view::npos) {
            break;
        }
        text.remove_prefix(start);
        const std::size_t end = std::min(text.find(' '), text.size());
        words.push_back(text.substr(0, end));
        text.remove_prefix(end);
    }
    return words;
}

std::string JoinNames(const std::vector<std::string>& names) {
    std::string out;
    for (const std::string& n : names) {
        if (!out.empty()) {
            out.append(", ");
        }
        out.append(n);
    }
    return out;
}

struct VerbForm {
    std::string_view word;
    SimCommand::Verb verb;
    std::string_view usage;
};

constexpr std::array<VerbForm, 6> kVerbs = {{
    {"plug", SimCommand::Verb::Plug, "plug DEVICE"},
    {"unplug", SimCommand::Verb::Unplug, "unplug DEVICE"},
    {"link", SimCommand::Verb::Link, "link DEVICE"},
    {"unlink", SimCommand::Verb::Unlink, "unlink DEVICE"},
    {"battery", SimCommand::Verb::Battery, "battery DEVICE PERCENT [charging]"},
    {"notify", SimCommand::Verb::Notify, "notify DEVICE CODE"},
}};

}  // namespace

std::optional<SimCommand> ParseSimCommand(std::string_view text, std::string* error) {
    if (!ValidCommandText(text, error)) {
        return std::nullopt;
    }
    const std::vector<std::string_view> words = Words(text);
    if (words.empty()) {
        SetError(error, "the command is empty");
        return std::nullopt;
    }
    const auto form = std::find_if(kVerbs.begin(), kVerbs.end(),
                                   [&](const VerbForm& f) { return f.word == words[0]; });
    if (form == kVerbs.end()) {
        SetError(error, Concat("unknown command '", words[0],
                               "' (plug, unplug, link, unlink, battery or notify)"));
        return std::nullopt;
    }
    SimCommand command;
    command.verb = form->verb;
    std::size_t least = 2;
    std::size_t most = 2;
    if (form->verb == SimCommand::Verb::Battery) {
        least = 3;
        most = 4;
    } else if (form->verb == SimCommand::Verb::Notify) {
        least = most = 3;
    }
    if (words.size() < least || words.size() > most) {
        SetError(error, Concat("usage: ", form->usage));
        return std::nullopt;
    }
    const std::vector<std::string>& catalog = sim::CatalogNames();
    if (std::find(catalog.begin(), catalog.end(), words[1]) == catalog.end()) {
        SetError(error, Concat("unknown device '", words[1], "' (", JoinNames(catalog), ")"));
        return std::nullopt;
    }
    command.device = std::string(words[1]);
    if (form->verb == SimCommand::Verb::Battery) {
        const std::optional<uint32_t> percent = ParseNumber(words[2], 255);
        if (!percent) {
            SetError(error, Concat("PERCENT must be a number from 0 to 255, not '", words[2], "'"));
            return std::nullopt;
        }
        command.percent = static_cast<uint8_t>(*percent);
        if (words.size() == 4) {
            if (words[3] != "charging") {
                SetError(error,
                         Concat("after PERCENT only 'charging' may follow, not '", words[3], "'"));
                return std::nullopt;
            }
            command.charging = true;
        }
    } else if (form->verb == SimCommand::Verb::Notify) {
        const std::optional<uint32_t> usage = ParseNumber(words[2], 0xFFFF);
        if (!usage) {
            SetError(error, Concat("CODE must be a number from 0 to 0xFFFF, not '", words[2], "'"));
            return std::nullopt;
        }
        command.usage = static_cast<uint16_t>(*usage);
    }
    return command;
}

std::optional<BusCommand> ParseBusCommand(std::span<const uint8_t> payload, std::string* error) {
    const std::string_view text(reinterpret_cast<const char*>(payload.data()), payload.size());
    const std::size_t newline = text.find('\n');
    if (newline == std::string_view::npos) {
        SetError(error, "no line feed between the reply title and the command");
        return std::nullopt;
    }
    const std::string_view title = text.substr(0, newline);
    std::string why;
    if (!platform::ValidBusName(title, &why)) {
        SetError(error, Concat("reply title: ", why));
        return std::nullopt;
    }
    const std::string_view command = text.substr(newline + 1);
    if (!ValidCommandText(command, &why)) {
        SetError(error, std::move(why));
        return std::nullopt;
    }
    return BusCommand{std::string(title), std::string(command)};
}

std::vector<uint8_t> EncodeBusCommand(const BusCommand& command) {
    if (!platform::ValidBusName(command.replyTitle, nullptr) ||
        command.replyTitle.find('\n') != std::string::npos ||
        !ValidCommandText(command.command, nullptr)) {
        return {};
    }
    std::vector<uint8_t> payload(command.replyTitle.begin(), command.replyTitle.end());
    payload.push_back('\n');
    payload.insert(payload.end(), command.command.begin(), command.command.end());
    return payload;
}

CSimControl::CSimControl(sim::SimHidBackend& backend, sim::SimDevices& devices)
    : backend_(backend), devices_(devices) {}

std::string CSimControl::Apply(std::string_view command) {
    std::string error;
    const std::optional<SimCommand> parsed = ParseSimCommand(command, &error);
    if (!parsed) {
        return Error(error);
    }
    return ApplyParsed(*parsed);
}

std::string CSimControl::ApplyParsed(const SimCommand& command) {
    const std::string& name = command.device;
    auto found = devices_.firmware.find(name);
    if (found == devices_.firmware.end() && command.verb == SimCommand::Verb::Plug) {
        // A device of the catalogue that this run did not start with comes
        // in new, sharing the physical device of its cable or receiver.
        std::string error;
        if (!sim::AddSimulatedDevices(backend_, name, error, {}, &devices_)) {
            return Error(error);
        }
        return "ok";
    }
    if (found == devices_.firmware.end() || !found->second) {
        std::vector<std::string> simulated;
        for (const auto& [n, firmware] : devices_.firmware) {
            simulated.push_back(n);
        }
        return Error(Concat(name, " is not simulated in this run (simulated: ",
                            simulated.empty() ? "none" : JoinNames(simulated), ")"));
    }
    const std::shared_ptr<sim::CommandFirmware>& firmware = found->second;
    switch (command.verb) {
        case SimCommand::Verb::Plug:
        case SimCommand::Verb::Unplug: {
            const bool plug = command.verb == SimCommand::Verb::Plug;
            if (!(plug ? backend_.Plug(name) : backend_.Unplug(name))) {
                return Error(Concat(name, " is not a device of the simulated backend"));
            }
            return "ok";
        }
        case SimCommand::Verb::Link:
        case SimCommand::Verb::Unlink: {
            auto* receiver = dynamic_cast<sim::ReceiverFirmware*>(firmware.get());
            if (receiver == nullptr) {
                return Error(Concat(name, " is not a receiver"));
            }
            const bool link = command.verb == SimCommand::Verb::Link;
            receiver->SetLinked(link);
            if (link && !receiver->IsLinked()) {
                return Error(Concat(name, " stays unlinked: its --sim-fault says so"));
            }
            return "ok";
        }
        case SimCommand::Verb::Battery:
            firmware->Model()->SetPower(command.percent, command.charging);
            return "ok";
        case SimCommand::Verb::Notify: {
            const std::optional<sim::NotificationRoute> route = sim::NotificationRouteOf(name);
            if (!route) {
                return Error(Concat(name, " has no notification interface"));
            }
            if (!backend_.IsPlugged(name)) {
                return Error(Concat(name, " is unplugged"));
            }
            const std::array<uint8_t, 3> report = {route->reportId,
                                                   static_cast<uint8_t>(command.usage & 0xFFU),
                                                   static_cast<uint8_t>(command.usage >> 8)};
            if (!backend_.SendInputReport(name, route->interfaceNumber, report)) {
                return Error(Concat("nobody reads the notification interface of ", name));
            }
            return "ok";
        }
    }
    return Error("unknown command");
}

bool AnswerControlFrame(const platform::BusCopyData& frame, CSimControl* simControl,
                        const std::function<std::vector<std::string>()>& statusLines,
                        platform::IMessageBus& bus) {
    switch (frame.dwData) {
        case kCopySimCommand: {
            std::string error;
            const std::optional<BusCommand> command = ParseBusCommand(frame.payload, &error);
            if (!command) {
                VEXTAR_LOG_WARNING("sim command from another program dropped: %s", error.c_str());
                return true;
            }
            const std::string answer = simControl != nullptr ? simControl->Apply(command->command)
                                                             : std::string(kNotSimulatingAnswer);
            VEXTAR_LOG_INFO("sim command \"%s\": %s", command->command.c_str(), answer.c_str());
            const std::span<const uint8_t> bytes(reinterpret_cast<const uint8_t*>(answer.data()),
                                                 answer.size());
            if (!bus.SendCopyData(command->replyTitle, kCopySimAnswer, bytes, 0)) {
                VEXTAR_LOG_WARNING("the answer to sim command \"%s\" did not reach '%s'",
                                   command->command.c_str(), command->replyTitle.c_str());
            }
            return true;
        }
        case kCopyStatusQuery: {
            const std::string_view title(reinterpret_cast<const char*>(frame.payload.data()),
                                         frame.payload.size());
            std::string error;
            if (!platform::ValidBusName(title, &error)) {
                VEXTAR_LOG_WARNING("status query dropped: reply title: %s", error.c_str());
                return true;
            }
            std::string answer;
            for (const std::string& line :
                 statusLines ? statusLines() : std::vector<std::string>{}) {
                if (answer.size() + line.size() + 1 > platform::kBusMaxPayloadBytes) {
                    VEXTAR_LOG_WARNING("status answer cut at %zu bytes", answer.size());
                    break;
                }
                if (!answer.empty()) {
                    answer.push_back('\n');
                }
                answer.append(line);
            }
            const std::span<const uint8_t> bytes(reinterpret_cast<const uint8_t*>(answer.data()),
                                                 answer.size());
            if (!bus.SendCopyData(title, kCopyStatusAnswer, bytes, 0)) {
                VEXTAR_LOG_WARNING("the status answer did not reach '%.*s'",
                                   static_cast<int>(title.size()), title.data());
            }
            return true;
        }
        case kCopySimAnswer:
        case kCopyStatusAnswer:
            VEXTAR_LOG_WARNING("copy-data kind 0x%08X is ours to send; dropped", frame.dwData);
            return true;
        default:
            return false;
    }
}

}  // namespace vextar::app
