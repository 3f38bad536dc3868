// Sim commands come from any program of the user: any bytes are parsed as
// the payload of one and as a command text, and what parses is applied to
// the simulated devices of a run with every device. A payload that parses
// encodes back to the same bytes, and every answer is "ok" or "error: "
// with a reason in printable ASCII.

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "app/sim_control.h"
#include "platform/log.h"

namespace {

using namespace vextar;

struct Run {
    Run() {
        log::SetLevel(log::Level::Off);
        std::string error;
        if (!sim::AddSimulatedDevices(backend, "all,mouse-receiver,keyboard-receiver", error, {},
                                      &devices)) {
            std::abort();
        }
    }
    sim::SimHidBackend backend;
    sim::SimDevices devices;
    app::CSimControl control{backend, devices};
};

void CheckAnswer(const std::string& answer) {
    if (answer == "ok") {
        return;
    }
    constexpr std::string_view kError = "error: ";
    if (answer.size() <= kError.size() || answer.compare(0, kError.size(), kError) != 0 ||
        answer.size() > 1024 ||
        !std::all_of(answer.begin(), answer.end(), [](char c) { return c >= 0x20 && c <= 0x7E; })) {
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static Run run;
    const std::span<const uint8_t> bytes(data, size);
    std::string error;
    const std::optional<app::BusCommand> command = app::ParseBusCommand(bytes, &error);
    if (command) {
        const std::vector<uint8_t> encoded = app::EncodeBusCommand(*command);
        if (!std::equal(encoded.begin(), encoded.end(), bytes.begin(), bytes.end())) {
            std::abort();
        }
        CheckAnswer(run.control.Apply(command->command));
    } else if (error.empty()) {
        std::abort();  // a refusal always gives its reason
    }
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const std::optional<app::SimCommand> parsed = app::ParseSimCommand(text, &error);
    const std::string answer = run.control.Apply(text);
    CheckAnswer(answer);
    if (!parsed && answer != std::string("error: ").append(error)) {
        std::abort();  // Apply refuses what the grammar refuses, for the same reason
    }
    return 0;
}
