#include "device/command_frame.h"

#include <algorithm>

namespace vextar {

std::string ResultText(int32_t result) {
    std::string text;
    switch (result) {
        case kResultOk:
            text = "success";
            break;
        case kResultNoReply:
            text = "device not open or no reply in time";
            break;
        case kResultWriteFailed:
            text = "writing to the device failed";
            break;
        case kResultBadRequest:
            text = "request does not fit a command frame";
            break;
        case kResultUnreachable:
            text = "receiver cannot reach its device";
            break;
        case kResultStatusFF:
            text = "device answered with an error (status 0xFF)";
            break;
        case kResultStatusFE:
            text = "device refused the request (status 0xFE)";
            break;
        case kResultWrongBank:
            text = "key tables can only be written to bank 0";
            break;
        default:
            text = "unknown result";
            break;
    }
    return text + " (" + std::to_string(result) + ")";
}

uint16_t FrameChecksum(std::span<const uint8_t, kFrameSize> frame) {
    uint32_t sum = 0;
    for (std::size_t i = 3; i < kFrameSize; ++i) {
        sum += frame[i];
    }
    return static_cast<uint16_t>(sum & 0xFFFFU);
}

Frame BuildFrame(uint8_t command, uint8_t length, uint16_t offset,
                 std::span<const uint8_t> payload) {
    Frame f{};
    f[0] = kCommandReportId;
    f[3] = command;
    f[4] = length;
    f[5] = static_cast<uint8_t>(offset & 0xFFU);
    f[6] = static_cast<uint8_t>(offset >> 8);
    const std::size_t n = std::min(payload.size(), kFramePayloadMax);
    std::copy_n(payload.begin(), n, f.begin() + kFramePayloadOffset);
    const uint16_t sum = FrameChecksum(f);
    f[1] = static_cast<uint8_t>(sum & 0xFFU);
    f[2] = static_cast<uint8_t>(sum >> 8);
    return f;
}

}  // namespace vextar
