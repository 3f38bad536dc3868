// vextarctl's message bus commands: send a named message to the running
// application, ask it the tool query the way the work tool does, change its
// simulated devices and ask what its window shows.

#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "app/registered_messages.h"
#include "app/sim_control.h"
#include "app/window_messages.h"
#include "cli/cli.h"
#include "cli/cli_common.h"
#include "platform/message_bus.h"

namespace vextar::cli {

std::optional<int64_t> ParseInt64(const std::string& text) {
    std::string_view digits = text;
    const bool negative = !digits.empty() && digits[0] == '-';
    if (negative) {
        digits.remove_prefix(1);
    }
    int base = 10;
    if (digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X')) {
        digits.remove_prefix(2);
        base = 16;
    }
    if (digits.empty()) {
        return std::nullopt;
    }
    // The magnitude, up to 2^63 (the most negative value).
    constexpr uint64_t kLimit = uint64_t{1} << 63;
    uint64_t value = 0;
    for (char c : digits) {
        int d = -1;
        if (c >= '0' && c <= '9') {
            d = c - '0';
        } else if (base == 16 && c >= 'a' && c <= 'f') {
            d = c - 'a' + 10;
        } else if (base == 16 && c >= 'A' && c <= 'F') {
            d = c - 'A' + 10;
        }
        if (d < 0) {
            return std::nullopt;
        }
        const auto b = static_cast<uint64_t>(base);
        if (value > (kLimit - static_cast<uint64_t>(d)) / b) {
            return std::nullopt;
        }
        value = value * b + static_cast<uint64_t>(d);
    }
    if (negative) {
        return value == kLimit ? std::numeric_limits<int64_t>::min() : -static_cast<int64_t>(value);
    }
    if (value == kLimit) {
        return std::nullopt;
    }
    return static_cast<int64_t>(value);
}

namespace {

// Connects to the running application; an error on `err` otherwise.
std::optional<platform::CMessageBusClient> ConnectToBus(std::ostream& err) {
    std::string error;
    const std::string folder = platform::RuntimeFolder(&error);
    if (folder.empty()) {
        err << "vextarctl: " << error << "\n";
        return std::nullopt;
    }
    platform::CMessageBusClient client;
    switch (client.Connect(platform::BusSocketPath(folder), &error)) {
        case platform::CMessageBusClient::ConnectStatus::Connected:
            return client;
        case platform::CMessageBusClient::ConnectStatus::NotRunning:
            err << "vextarctl: vextar is not running\n";
            return std::nullopt;
        case platform::CMessageBusClient::ConnectStatus::Failed:
            break;
    }
    err << "vextarctl: " << error << "\n";
    return std::nullopt;
}

int Send(std::span<const std::string> args, std::ostream& err) {
    if (args.empty() || args.size() > 3) {
        return UsageError(err, "usage: send NAME [WPARAM [LPARAM]]");
    }
    std::string error;
    if (!platform::ValidBusName(args[0], &error)) {
        return UsageError(err, std::string("send: ").append(error));
    }
    int64_t params[2] = {0, 0};
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::optional<int64_t> value = ParseInt64(args[i]);
        if (!value) {
            return UsageError(err,
                              std::string(i == 1 ? "WPARAM" : "LPARAM")
                                  .append(" must be a 64-bit integer (decimal or 0x hex), not '")
                                  .append(args[i])
                                  .append("'"));
        }
        params[i - 1] = *value;
    }
    std::optional<platform::CMessageBusClient> client = ConnectToBus(err);
    if (!client) {
        return kExitDeviceOrFile;
    }
    if (!client->SendMessage(args[0], params[0], params[1], &error)) {
        err << "vextarctl: " << error << "\n";
        return kExitDeviceOrFile;
    }
    return kExitOk;
}

// The answer's payload as little-endian 32-bit values, up to the last one
// that is not zero (a short last group is padded with zero bytes).
std::string PayloadValues(const std::vector<uint8_t>& payload) {
    std::vector<uint32_t> values;
    for (std::size_t i = 0; i < payload.size(); i += 4) {
        uint32_t v = 0;
        for (std::size_t k = 0; k < 4 && i + k < payload.size(); ++k) {
            v |= static_cast<uint32_t>(payload[i + k]) << (8 * k);
        }
        values.push_back(v);
    }
    while (!values.empty() && values.back() == 0) {
        values.pop_back();
    }
    std::string line;
    for (uint32_t v : values) {
        if (!line.empty()) {
            line.push_back(' ');
        }
        line.append(std::to_string(v));
    }
    return line;
}

// The first copy-data frame of kind `dwData` (of any kind when none) within
// 2 s; other frames, broadcasts above all, are skipped. Nothing, with the
// reason on `err`, when none came or the bus closed the connection.
std::optional<platform::BusCopyData> AwaitAnswer(platform::CMessageBusClient& client,
                                                 std::optional<uint32_t> dwData, const char* what,
                                                 std::ostream& err) {
    constexpr auto kAnswerWait = std::chrono::seconds(2);
    const auto deadline = std::chrono::steady_clock::now() + kAnswerWait;
    std::string error;
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            break;
        }
        std::optional<platform::BusFrame> frame =
            client.Receive(static_cast<int>(left.count()), &error);
        if (!frame) {
            if (!client.Connected()) {
                err << "vextarctl: " << error << "\n";
                return std::nullopt;
            }
            break;
        }
        auto* answer = std::get_if<platform::BusCopyData>(&*frame);
        if (answer != nullptr && (!dwData || answer->dwData == *dwData)) {
            return std::move(*answer);
        }
    }
    err << "vextarctl: vextar did not answer " << what << " within 2 s\n";
    return std::nullopt;
}

int ToolQuery(std::span<const std::string> args, std::ostream& out, std::ostream& err) {
    if (!args.empty()) {
        return UsageError(err, "tool-query takes no arguments");
    }
    std::optional<platform::CMessageBusClient> client = ConnectToBus(err);
    if (!client) {
        return kExitDeviceOrFile;
    }
    std::string error;
    if (!client->RegisterWindow(app::kToolWindowTitle, &error) ||
        !client->SendMessage(app::kToolQueryName, 0, 0, &error)) {
        err << "vextarctl: " << error << "\n";
        return kExitDeviceOrFile;
    }
    const std::optional<platform::BusCopyData> answer =
        AwaitAnswer(*client, std::nullopt, "the tool query", err);
    if (!answer) {
        return kExitDeviceOrFile;
    }
    out << "dwData=" << answer->dwData << "\n" << PayloadValues(answer->payload) << "\n";
    return kExitOk;
}

// The window title this process answers to: one of its own, so that two
// vextarctl running at once do not take each other's answers.
std::string ReplyTitle() {
    return std::string("vextarctl-").append(std::to_string(::getpid()));
}

// Connects and registers the reply title; an error on `err` otherwise.
std::optional<platform::CMessageBusClient> ConnectAsReplyWindow(const std::string& title,
                                                                std::ostream& err) {
    std::optional<platform::CMessageBusClient> client = ConnectToBus(err);
    if (!client) {
        return std::nullopt;
    }
    std::string error;
    if (!client->RegisterWindow(title, &error)) {
        err << "vextarctl: " << error << "\n";
        return std::nullopt;
    }
    return client;
}

constexpr const char* kSimUsage =
    "usage: sim plug|unplug|link|unlink DEVICE, sim battery DEVICE PERCENT [charging] or "
    "sim notify DEVICE CODE";

int Sim(std::span<const std::string> args, std::ostream& err) {
    if (args.empty()) {
        return UsageError(err, kSimUsage);
    }
    std::string command;
    for (const std::string& a : args) {
        if (!command.empty()) {
            command.push_back(' ');
        }
        command.append(a);
    }
    // What can be checked here is a usage error; only the application knows
    // which devices it simulates.
    std::string error;
    if (!app::ParseSimCommand(command, &error)) {
        if (error.rfind("usage: ", 0) == 0) {
            return UsageError(err, std::string("usage: sim ").append(error.substr(7)));
        }
        return UsageError(err, std::string("sim: ").append(error));
    }
    const std::string title = ReplyTitle();
    std::optional<platform::CMessageBusClient> client = ConnectAsReplyWindow(title, err);
    if (!client) {
        return kExitDeviceOrFile;
    }
    if (!client->SendCopyData(app::kCopySimCommand, app::EncodeBusCommand({title, command}), 0,
                              &error)) {
        err << "vextarctl: " << error << "\n";
        return kExitDeviceOrFile;
    }
    const std::optional<platform::BusCopyData> answer =
        AwaitAnswer(*client, app::kCopySimAnswer, "the sim command", err);
    if (!answer) {
        return kExitDeviceOrFile;
    }
    const std::string text(answer->payload.begin(), answer->payload.end());
    if (text == "ok") {
        return kExitOk;
    }
    constexpr std::string_view kError = "error: ";
    if (text.rfind(kError, 0) == 0) {
        err << "vextarctl: " << text.substr(kError.size()) << "\n";
    } else {
        err << "vextarctl: unexpected answer to the sim command: " << text << "\n";
    }
    return kExitDeviceOrFile;
}

int Status(std::span<const std::string> args, std::ostream& out, std::ostream& err) {
    if (!args.empty()) {
        return UsageError(err, "status takes no arguments");
    }
    const std::string title = ReplyTitle();
    std::optional<platform::CMessageBusClient> client = ConnectAsReplyWindow(title, err);
    if (!client) {
        return kExitDeviceOrFile;
    }
    std::string error;
    const std::vector<uint8_t> payload(title.begin(), title.end());
    if (!client->SendCopyData(app::kCopyStatusQuery, payload, 0, &error)) {
        err << "vextarctl: " << error << "\n";
        return kExitDeviceOrFile;
    }
    const std::optional<platform::BusCopyData> answer =
        AwaitAnswer(*client, app::kCopyStatusAnswer, "the status query", err);
    if (!answer) {
        return kExitDeviceOrFile;
    }
    const std::string text(answer->payload.begin(), answer->payload.end());
    out << text;
    if (!text.empty() && text.back() != '\n') {
        out << "\n";
    }
    return kExitOk;
}

}  // namespace

int RunBusCommand(const std::string& command, std::span<const std::string> args, std::ostream& out,
                  std::ostream& err) {
    if (command == "send") {
        return Send(args, err);
    }
    if (command == "tool-query") {
        return ToolQuery(args, out, err);
    }
    if (command == "sim") {
        return Sim(args, err);
    }
    if (command == "status") {
        return Status(args, out, err);
    }
    return -1;
}

}  // namespace vextar::cli
