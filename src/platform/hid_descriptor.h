#pragma once

// Our own HID report-descriptor parser. It turns the descriptor of one USB
// interface into its top-level collections, with the report ids, the report
// byte lengths and the button and value capabilities that report decoding
// needs. Lengths follow the convention every caller of the transport uses:
// the largest report of a type in bytes, plus one byte for the report id,
// also when the device numbers no reports (the id byte is then 0).

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace vextar::hid {

enum class ReportType : uint8_t { Input = 0, Output = 1, Feature = 2 };
inline constexpr int kReportTypeCount = 3;

// Limits of what we accept from a device. They follow the kernel's HID core,
// so a descriptor the kernel takes is taken here too.
inline constexpr std::size_t kMaxDescriptorBytes = 4096;
inline constexpr uint32_t kMaxReportSizeBits = 256;   // one field
inline constexpr uint32_t kMaxReportCount = 12288;    // fields of one main item
inline constexpr uint32_t kMaxReportBytes = 16384;    // one report, without its id
inline constexpr uint32_t kMaxUsagesPerItem = 12288;  // usages waiting for one main item
inline constexpr std::size_t kMaxCollectionDepth = 64;
inline constexpr std::size_t kMaxPushDepth = 16;
inline constexpr std::size_t kMaxTopLevelCollections = 64;

// A usage with its page: page in the high 16 bits, usage id in the low 16.
using ExtendedUsage = uint32_t;

struct UsageRun {
    ExtendedUsage first = 0;
    ExtendedUsage last = 0;  // equal to first for a single usage
    [[nodiscard]] bool IsRange() const { return first != last; }
    [[nodiscard]] uint32_t Width() const { return last - first + 1; }
};

// One main item (Input, Output or Feature) with its fields.
struct ReportField {
    ReportType type = ReportType::Input;
    uint8_t reportId = 0;    // 0 when the device numbers no reports
    uint32_t bitOffset = 0;  // of the first field, counted after the report id byte
    uint16_t bitSize = 0;    // of one field
    uint16_t count = 0;      // number of fields
    uint32_t flags = 0;      // the main item's data bits
    int32_t logicalMin = 0;
    int32_t logicalMax = 0;
    int32_t physicalMin = 0;
    int32_t physicalMax = 0;
    std::vector<UsageRun> usages;  // in declaration order

    [[nodiscard]] bool IsConstant() const { return (flags & 0x01U) != 0; }
    [[nodiscard]] bool IsArray() const { return (flags & 0x02U) == 0; }
    // The n-th usage of the item's usage sequence; the last one repeats when
    // the item has more fields than usages. 0 when it has no usages.
    [[nodiscard]] ExtendedUsage UsageAt(uint32_t index) const;
    [[nodiscard]] uint32_t UsageCount() const;
};

// A usage (or range of usages) reported as a list of active usages.
struct ButtonCap {
    uint16_t usagePage = 0;
    uint8_t reportId = 0;
    uint16_t usageMin = 0;
    uint16_t usageMax = 0;
    bool isRange = false;
    uint32_t fieldIndex = 0;  // index into TopLevelCollection::fields
};

// A usage (or range of usages) reported as a number.
struct ValueCap {
    uint16_t usagePage = 0;
    uint8_t reportId = 0;
    uint16_t usageMin = 0;
    uint16_t usageMax = 0;
    bool isRange = false;
    uint32_t fieldIndex = 0;   // index into TopLevelCollection::fields
    uint16_t firstField = 0;   // first field of the item that this cap covers
    uint16_t reportCount = 0;  // fields covered (a single usage may cover several)
};

struct TopLevelCollection {
    uint16_t usagePage = 0;
    uint16_t usage = 0;
    std::vector<uint8_t> reportIds;  // sorted; empty when the device numbers no reports
    std::array<uint32_t, kReportTypeCount> reportByteLength{};
    std::vector<ReportField> fields;  // main items in descriptor order
    std::array<std::vector<ButtonCap>, kReportTypeCount> buttonCaps;
    std::array<std::vector<ValueCap>, kReportTypeCount> valueCaps;

    [[nodiscard]] uint32_t ReportByteLength(ReportType t) const {
        return reportByteLength[static_cast<int>(t)];
    }
    [[nodiscard]] const std::vector<ButtonCap>& ButtonCaps(ReportType t) const {
        return buttonCaps[static_cast<int>(t)];
    }
    [[nodiscard]] const std::vector<ValueCap>& ValueCaps(ReportType t) const {
        return valueCaps[static_cast<int>(t)];
    }
    [[nodiscard]] bool HasReportId(uint8_t id) const;
    // Length of the usage list that GetUsages fills for one page: the number
    // of usages of that page that can be active at once.
    [[nodiscard]] uint32_t MaxUsageListLength(ReportType t, uint16_t usagePage) const;
};

struct ReportDescriptor {
    bool usesReportIds = false;
    std::vector<TopLevelCollection> collections;

    // Index of the collection that owns input (or output, feature) report
    // `id`, or -1. Without report ids every report belongs to collection 0.
    [[nodiscard]] int CollectionOfReport(ReportType type, uint8_t id) const;
};

// Parses a descriptor. On a malformed one returns false and says why in
// `error`; `out` is then left empty.
bool ParseReportDescriptor(std::span<const uint8_t> bytes, ReportDescriptor& out,
                           std::string& error);

// Decoding status, with the values of the usual HID parser interface.
enum class HidStatus : uint32_t {
    Success = 0x00110000,
    InvalidReportLength = 0xC0110003,
    UsageNotFound = 0xC0110004,
    BufferTooSmall = 0xC0110007,
    IncompatibleReportId = 0xC0110010,
};

// The active usages of `usagePage` in a report of `type` (report[0] is the
// report id). At most `capacity` usages are returned; BufferTooSmall when more
// were active. Only the first `report.size()` bytes are read.
HidStatus GetUsages(const TopLevelCollection& tlc, ReportType type, uint16_t usagePage,
                    std::span<const uint8_t> report, std::vector<uint16_t>& usages,
                    uint32_t capacity);

// The raw value of `usage` (on `usagePage`) in a report of `type`, and its
// value scaled to the physical range (the logical value, sign-extended, when
// the item gives no physical range).
HidStatus GetUsageValue(const TopLevelCollection& tlc, ReportType type, uint16_t usagePage,
                        uint8_t reportId, uint16_t usage, std::span<const uint8_t> report,
                        uint32_t& value, int32_t& scaled);

}  // namespace vextar::hid
