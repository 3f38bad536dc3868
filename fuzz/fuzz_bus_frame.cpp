// Bus frames come from any program of the user: parse any bytes as one
// packet; a frame that parses must encode to the same bytes and parse back
// to the same frame.

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "platform/message_bus.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace vextar::platform;
    const std::span<const uint8_t> bytes(data, size);
    std::string error;
    const std::optional<BusFrame> frame = ParseBusFrame(bytes, &error);
    if (!frame) {
        if (error.empty()) {
            std::abort();  // a refusal always gives its reason
        }
        return 0;
    }
    const std::vector<uint8_t> encoded = EncodeBusFrame(*frame);
    if (encoded.size() != size || !std::equal(encoded.begin(), encoded.end(), bytes.begin())) {
        std::abort();
    }
    const std::optional<BusFrame> again = ParseBusFrame(encoded, &error);
    if (!again || *again != *frame) {
        std::abort();
    }
    return 0;
}
