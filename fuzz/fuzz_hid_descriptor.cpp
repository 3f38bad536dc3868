// Report descriptors come from devices: parse any bytes, then decode a
// report built from the rest of the input with every capability found.

#include <algorithm>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "platform/hid_descriptor.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace vextar::hid;
    // The first two bytes (little-endian) give the descriptor's length; the
    // bytes after the descriptor are the report.
    if (size < 2) {
        return 0;
    }
    const std::size_t wanted =
        static_cast<std::size_t>(data[0]) | (static_cast<std::size_t>(data[1]) << 8);
    const std::size_t split = std::min<std::size_t>(size - 2, wanted);
    const std::span<const uint8_t> descriptor(data + 2, split);
    const std::span<const uint8_t> report(data + 2 + split, size - 2 - split);

    ReportDescriptor parsed;
    std::string error;
    if (!ParseReportDescriptor(descriptor, parsed, error)) {
        return 0;
    }
    std::vector<uint16_t> usages;
    for (const TopLevelCollection& tlc : parsed.collections) {
        for (ReportType type : {ReportType::Input, ReportType::Output, ReportType::Feature}) {
            for (const ButtonCap& cap : tlc.ButtonCaps(type)) {
                GetUsages(tlc, type, cap.usagePage, report, usages,
                          tlc.MaxUsageListLength(type, cap.usagePage));
            }
            for (const ValueCap& cap : tlc.ValueCaps(type)) {
                uint32_t value = 0;
                int32_t scaled = 0;
                GetUsageValue(tlc, type, cap.usagePage, cap.reportId, cap.usageMin, report, value,
                              scaled);
                GetUsageValue(tlc, type, cap.usagePage, cap.reportId, cap.usageMax, report, value,
                              scaled);
            }
        }
    }
    return 0;
}
