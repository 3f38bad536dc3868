#include "platform/hid_descriptor.h"

#include <algorithm>
#include <cstdio>
#include <limits>
#include <optional>
#include <set>

namespace vextar::hid {
namespace {

// Item tags, by item type.
enum MainTag : uint8_t {
    kInput = 0x8,
    kOutput = 0x9,
    kCollection = 0xA,
    kFeature = 0xB,
    kEndCollection = 0xC
};
enum GlobalTag : uint8_t {
    kUsagePage = 0x0,
    kLogicalMin = 0x1,
    kLogicalMax = 0x2,
    kPhysicalMin = 0x3,
    kPhysicalMax = 0x4,
    kReportSize = 0x7,
    kReportId = 0x8,
    kReportCount = 0x9,
    kPush = 0xA,
    kPop = 0xB
};
enum LocalTag : uint8_t { kUsage = 0x0, kUsageMin = 0x1, kUsageMax = 0x2 };

struct Globals {
    uint16_t usagePage = 0;
    int32_t logicalMin = 0;
    int32_t logicalMax = 0;
    uint32_t logicalMaxRaw = 0;
    int32_t physicalMin = 0;
    int32_t physicalMax = 0;
    uint32_t physicalMaxRaw = 0;
    uint32_t reportSize = 0;
    uint32_t reportId = 0;
    uint32_t reportCount = 0;
};

// A usage as written: the page is only known at the main item when the item
// was one or two bytes long.
struct PendingUsage {
    uint32_t value = 0;
    bool explicitPage = false;
    [[nodiscard]] ExtendedUsage Resolve(uint16_t page) const {
        return explicitPage ? value : (static_cast<uint32_t>(page) << 16) | (value & 0xFFFFU);
    }
};

struct PendingRun {
    PendingUsage first;
    PendingUsage last;
};

struct Locals {
    std::vector<PendingRun> runs;
    std::optional<PendingUsage> usageMin;
    uint32_t usageItems = 0;
};

int32_t SignExtend(uint32_t value, std::size_t size) {
    switch (size) {
        case 1:
            return static_cast<int8_t>(value & 0xFFU);
        case 2:
            return static_cast<int16_t>(value & 0xFFFFU);
        default:
            return static_cast<int32_t>(value);
    }
}

// The logical and physical maxima are often written as unsigned numbers in
// one byte (255 as 0xFF): read them unsigned when the minimum is not negative.
int32_t FixMaximum(int32_t minimum, int32_t maximum, uint32_t raw) {
    if (minimum >= 0 && maximum < minimum) {
        return raw > static_cast<uint32_t>(std::numeric_limits<int32_t>::max())
                   ? std::numeric_limits<int32_t>::max()
                   : static_cast<int32_t>(raw);
    }
    return maximum;
}

class Parser {
  public:
    Parser(std::span<const uint8_t> bytes, ReportDescriptor& out, std::string& error)
        : bytes_(bytes), out_(out), error_(error) {}

    bool Run();

  private:
    bool Fail(std::size_t offset, const char* what, long long value = -1) {
        char text[160];
        if (value >= 0) {
            std::snprintf(text, sizeof text, "offset %zu: %s (%lld)", offset, what, value);
        } else {
            std::snprintf(text, sizeof text, "offset %zu: %s", offset, what);
        }
        error_ = text;
        return false;
    }

    bool Main(std::size_t at, uint8_t tag, uint32_t data);
    bool Global(std::size_t at, uint8_t tag, uint32_t data, std::size_t size);
    bool Local(std::size_t at, uint8_t tag, uint32_t data, std::size_t size);
    bool AddField(std::size_t at, ReportType type, uint32_t flags);
    bool Finish();
    std::vector<UsageRun> ResolveUsages() const;

    std::span<const uint8_t> bytes_;
    ReportDescriptor& out_;
    std::string& error_;

    Globals globals_;
    std::vector<Globals> pushed_;
    Locals locals_;
    std::size_t depth_ = 0;
    bool sawReportId_ = false;
    bool sawUnnumberedField_ = false;
    // Bits used so far by each report, per type and id.
    std::array<std::array<uint32_t, 256>, kReportTypeCount> reportBits_{};
    // Collection that owns each report id (-1: none yet).
    std::array<int, 256> idOwner_{};
    uint64_t valueUsages_ = 0;
};

std::vector<UsageRun> Parser::ResolveUsages() const {
    std::vector<UsageRun> runs;
    runs.reserve(locals_.runs.size() + (locals_.usageMin ? 1 : 0));
    for (const PendingRun& r : locals_.runs) {
        runs.push_back({r.first.Resolve(globals_.usagePage), r.last.Resolve(globals_.usagePage)});
    }
    if (locals_.usageMin) {
        // A minimum without its maximum stands for that one usage.
        const ExtendedUsage u = locals_.usageMin->Resolve(globals_.usagePage);
        runs.push_back({u, u});
    }
    return runs;
}

bool Parser::Run() {
    idOwner_.fill(-1);
    if (bytes_.size() > kMaxDescriptorBytes) {
        return Fail(0, "descriptor is longer than the largest a device may have",
                    static_cast<long long>(bytes_.size()));
    }
    std::size_t pos = 0;
    while (pos < bytes_.size()) {
        const std::size_t at = pos;
        const uint8_t prefix = bytes_[pos++];
        if (prefix == 0xFE) {
            // Long item: size byte, tag byte, data. No long items are defined;
            // skip them.
            if (bytes_.size() - pos < 2) {
                return Fail(at, "long item is truncated");
            }
            const std::size_t size = bytes_[pos];
            pos += 2;
            if (bytes_.size() - pos < size) {
                return Fail(at, "long item is truncated");
            }
            pos += size;
            continue;
        }
        static constexpr std::size_t kSizes[] = {0, 1, 2, 4};
        const std::size_t size = kSizes[prefix & 0x03U];
        const uint8_t type = (prefix >> 2) & 0x03U;
        const uint8_t tag = prefix >> 4;
        if (bytes_.size() - pos < size) {
            return Fail(at, "item is truncated");
        }
        uint32_t data = 0;
        for (std::size_t i = 0; i < size; ++i) {
            data |= static_cast<uint32_t>(bytes_[pos + i]) << (8 * i);
        }
        pos += size;
        bool ok = true;
        switch (type) {
            case 0:
                ok = Main(at, tag, data);
                break;
            case 1:
                ok = Global(at, tag, data, size);
                break;
            case 2:
                ok = Local(at, tag, data, size);
                break;
            default:
                break;  // reserved item type: ignored
        }
        if (!ok) {
            return false;
        }
    }
    return Finish();
}

bool Parser::Main(std::size_t at, uint8_t tag, uint32_t data) {
    switch (tag) {
        case kCollection: {
            if (depth_ >= kMaxCollectionDepth) {
                return Fail(at, "collections are nested too deeply");
            }
            if (depth_ == 0) {
                if (out_.collections.size() >= kMaxTopLevelCollections) {
                    return Fail(at, "too many top-level collections");
                }
                TopLevelCollection tlc;
                const std::vector<UsageRun> usages = ResolveUsages();
                if (!usages.empty()) {
                    tlc.usagePage = static_cast<uint16_t>(usages.front().first >> 16);
                    tlc.usage = static_cast<uint16_t>(usages.front().first & 0xFFFFU);
                }
                out_.collections.push_back(std::move(tlc));
            }
            ++depth_;
            break;
        }
        case kEndCollection:
            if (depth_ == 0) {
                return Fail(at, "end of a collection that was never opened");
            }
            --depth_;
            break;
        case kInput:
            if (!AddField(at, ReportType::Input, data)) {
                return false;
            }
            break;
        case kOutput:
            if (!AddField(at, ReportType::Output, data)) {
                return false;
            }
            break;
        case kFeature:
            if (!AddField(at, ReportType::Feature, data)) {
                return false;
            }
            break;
        default:
            break;  // reserved main tag: ignored
    }
    locals_ = Locals{};
    return true;
}

bool Parser::AddField(std::size_t at, ReportType type, uint32_t flags) {
    if (depth_ == 0) {
        return Fail(at, "report item outside any collection");
    }
    if (globals_.reportSize > kMaxReportSizeBits) {
        return Fail(at, "report size is larger than 256 bits", globals_.reportSize);
    }
    if (globals_.reportCount > kMaxReportCount) {
        return Fail(at, "report count is absurdly large", globals_.reportCount);
    }
    const uint8_t id = static_cast<uint8_t>(globals_.reportId);
    const int tlcIndex = static_cast<int>(out_.collections.size()) - 1;
    TopLevelCollection& tlc = out_.collections.back();
    if (id == 0) {
        sawUnnumberedField_ = true;
    }
    if (idOwner_[id] == -1) {
        idOwner_[id] = tlcIndex;
    } else if (idOwner_[id] != tlcIndex) {
        return Fail(at, "report id is used by two top-level collections", id);
    }

    uint32_t& bits = reportBits_[static_cast<int>(type)][id];
    const uint32_t added = globals_.reportSize * globals_.reportCount;  // <= 256 * 12288
    if (bits + added > kMaxReportBytes * 8U) {
        return Fail(at, "report is longer than the largest a device may send", id);
    }

    ReportField field;
    field.type = type;
    field.reportId = id;
    field.bitOffset = bits;
    field.bitSize = static_cast<uint16_t>(globals_.reportSize);
    field.count = static_cast<uint16_t>(globals_.reportCount);
    field.flags = flags;
    field.logicalMin = globals_.logicalMin;
    field.logicalMax = FixMaximum(globals_.logicalMin, globals_.logicalMax, globals_.logicalMaxRaw);
    field.physicalMin = globals_.physicalMin;
    field.physicalMax =
        FixMaximum(globals_.physicalMin, globals_.physicalMax, globals_.physicalMaxRaw);
    field.usages = ResolveUsages();
    bits += added;

    if (std::find(tlc.reportIds.begin(), tlc.reportIds.end(), id) == tlc.reportIds.end()) {
        tlc.reportIds.push_back(id);
    }
    const uint32_t fieldIndex = static_cast<uint32_t>(tlc.fields.size());
    const int t = static_cast<int>(type);
    if (!field.IsConstant() && field.count > 0 && field.bitSize > 0) {
        if (field.IsArray() || field.bitSize == 1) {
            for (const UsageRun& run : field.usages) {
                ButtonCap cap;
                cap.usagePage = static_cast<uint16_t>(run.first >> 16);
                cap.reportId = id;
                cap.usageMin = static_cast<uint16_t>(run.first & 0xFFFFU);
                cap.usageMax = static_cast<uint16_t>(run.last & 0xFFFFU);
                cap.isRange = run.IsRange();
                cap.fieldIndex = fieldIndex;
                tlc.buttonCaps[t].push_back(cap);
            }
        } else {
            uint32_t f = 0;
            for (std::size_t r = 0; r < field.usages.size() && f < field.count; ++r) {
                const UsageRun& run = field.usages[r];
                const bool last = r + 1 == field.usages.size();
                uint32_t covered = 1;
                if (run.IsRange()) {
                    covered = std::min<uint32_t>(run.Width(), field.count - f);
                } else if (last) {
                    covered = field.count - f;  // the last usage takes the remaining fields
                }
                ValueCap cap;
                cap.usagePage = static_cast<uint16_t>(run.first >> 16);
                cap.reportId = id;
                cap.usageMin = static_cast<uint16_t>(run.first & 0xFFFFU);
                cap.isRange = run.IsRange() && covered > 1;
                cap.usageMax =
                    cap.isRange ? static_cast<uint16_t>(cap.usageMin + covered - 1) : cap.usageMin;
                cap.fieldIndex = fieldIndex;
                cap.firstField = static_cast<uint16_t>(f);
                cap.reportCount = static_cast<uint16_t>(covered);
                valueUsages_ += cap.isRange ? covered : 1;
                tlc.valueCaps[t].push_back(cap);
                f += covered;
            }
            if (valueUsages_ > kMaxReportCount * 4ULL) {
                return Fail(at, "descriptor declares too many values");
            }
        }
    }
    tlc.fields.push_back(std::move(field));
    return true;
}

bool Parser::Global(std::size_t at, uint8_t tag, uint32_t data, std::size_t size) {
    switch (tag) {
        case kUsagePage:
            globals_.usagePage = static_cast<uint16_t>(data & 0xFFFFU);
            break;
        case kLogicalMin:
            globals_.logicalMin = SignExtend(data, size);
            break;
        case kLogicalMax:
            globals_.logicalMax = SignExtend(data, size);
            globals_.logicalMaxRaw = data;
            break;
        case kPhysicalMin:
            globals_.physicalMin = SignExtend(data, size);
            break;
        case kPhysicalMax:
            globals_.physicalMax = SignExtend(data, size);
            globals_.physicalMaxRaw = data;
            break;
        case kReportSize:
            globals_.reportSize = data;
            break;
        case kReportId:
            if (data == 0 || data > 255) {
                return Fail(at, "report id must be 1 to 255", data);
            }
            globals_.reportId = data;
            sawReportId_ = true;
            break;
        case kReportCount:
            globals_.reportCount = data;
            break;
        case kPush:
            if (pushed_.size() >= kMaxPushDepth) {
                return Fail(at, "push nested too deeply");
            }
            pushed_.push_back(globals_);
            break;
        case kPop:
            if (pushed_.empty()) {
                return Fail(at, "pop without push");
            }
            globals_ = pushed_.back();
            pushed_.pop_back();
            break;
        default:
            break;  // unit, unit exponent, reserved: not needed
    }
    return true;
}

bool Parser::Local(std::size_t at, uint8_t tag, uint32_t data, std::size_t size) {
    const PendingUsage usage{data, size == 4};
    switch (tag) {
        case kUsage:
        case kUsageMin:
        case kUsageMax:
            if (++locals_.usageItems > kMaxUsagesPerItem) {
                return Fail(at, "too many usages for one item");
            }
            break;
        default:
            return true;  // designators, strings, delimiters: not needed
    }
    if (tag == kUsage) {
        locals_.runs.push_back({usage, usage});
    } else if (tag == kUsageMin) {
        locals_.usageMin = usage;
    } else {
        if (!locals_.usageMin) {
            return Fail(at, "usage maximum without usage minimum");
        }
        const PendingUsage first = *locals_.usageMin;
        if (first.explicitPage != usage.explicitPage ||
            (first.explicitPage && (first.value >> 16) != (usage.value >> 16))) {
            return Fail(at, "usage range spans two usage pages");
        }
        if ((usage.value & 0xFFFFU) < (first.value & 0xFFFFU)) {
            return Fail(at, "usage maximum is below usage minimum");
        }
        locals_.runs.push_back({first, usage});
        locals_.usageMin.reset();
    }
    return true;
}

bool Parser::Finish() {
    if (depth_ != 0) {
        return Fail(bytes_.size(), "collection is never closed");
    }
    if (out_.collections.empty()) {
        return Fail(0, "descriptor declares no collection");
    }
    if (sawReportId_ && sawUnnumberedField_) {
        return Fail(0, "some reports are numbered and others are not");
    }
    out_.usesReportIds = sawReportId_;
    for (TopLevelCollection& tlc : out_.collections) {
        std::sort(tlc.reportIds.begin(), tlc.reportIds.end());
        for (const ReportField& f : tlc.fields) {
            const int t = static_cast<int>(f.type);
            const uint32_t bytes = (reportBits_[t][f.reportId] + 7) / 8;
            if (bytes > 0) {
                tlc.reportByteLength[t] = std::max(tlc.reportByteLength[t], bytes + 1);
            }
        }
        if (!sawReportId_) {
            tlc.reportIds.clear();
        }
    }
    return true;
}

uint32_t ExtractBits(std::span<const uint8_t> data, uint32_t bitPos, uint32_t count) {
    uint32_t value = 0;
    const uint32_t n = std::min<uint32_t>(count, 32);
    for (uint32_t i = 0; i < n; ++i) {
        const uint32_t p = bitPos + i;
        value |= static_cast<uint32_t>((data[p >> 3] >> (p & 7U)) & 1U) << i;
    }
    return value;
}

int32_t SignedField(uint32_t raw, uint32_t bitSize) {
    if (bitSize >= 32) {
        return static_cast<int32_t>(raw);
    }
    const uint32_t sign = 1U << (bitSize - 1);
    return static_cast<int32_t>((raw ^ sign)) - static_cast<int32_t>(sign);
}

// True when fields [first, first + n) of `field` lie inside the report.
bool FieldsFit(const ReportField& field, uint32_t first, uint32_t n, std::size_t reportBytes) {
    const uint64_t end =
        8ULL + field.bitOffset + static_cast<uint64_t>(field.bitSize) * (first + n);
    return end <= static_cast<uint64_t>(reportBytes) * 8ULL;
}

uint32_t FieldBit(const ReportField& field, uint32_t index) {
    return 8U + field.bitOffset + static_cast<uint32_t>(field.bitSize) * index;
}

}  // namespace

ExtendedUsage ReportField::UsageAt(uint32_t index) const {
    for (const UsageRun& run : usages) {
        if (index < run.Width()) {
            return run.first + index;
        }
        index -= run.Width();
    }
    return usages.empty() ? 0 : usages.back().last;
}

uint32_t ReportField::UsageCount() const {
    uint64_t n = 0;
    for (const UsageRun& run : usages) {
        n += run.Width();
    }
    return static_cast<uint32_t>(std::min<uint64_t>(n, std::numeric_limits<uint32_t>::max()));
}

bool TopLevelCollection::HasReportId(uint8_t id) const {
    return std::binary_search(reportIds.begin(), reportIds.end(), id);
}

uint32_t TopLevelCollection::MaxUsageListLength(ReportType t, uint16_t page) const {
    uint32_t length = 0;
    std::set<uint32_t> arraysCounted;
    for (const ButtonCap& cap : ButtonCaps(t)) {
        if (cap.usagePage != page) {
            continue;
        }
        const ReportField& field = fields[cap.fieldIndex];
        if (field.IsArray()) {
            if (arraysCounted.insert(cap.fieldIndex).second) {
                length += field.count;
            }
        } else {
            length += static_cast<uint32_t>(cap.usageMax - cap.usageMin) + 1;
        }
    }
    return length;
}

int ReportDescriptor::CollectionOfReport(ReportType type, uint8_t id) const {
    for (std::size_t i = 0; i < collections.size(); ++i) {
        for (const ReportField& f : collections[i].fields) {
            if (f.type == type && f.reportId == id) {
                return static_cast<int>(i);
            }
        }
    }
    return -1;
}

bool ParseReportDescriptor(std::span<const uint8_t> bytes, ReportDescriptor& out,
                           std::string& error) {
    out = ReportDescriptor{};
    error.clear();
    Parser parser(bytes, out, error);
    if (!parser.Run()) {
        out = ReportDescriptor{};
        return false;
    }
    return true;
}

HidStatus GetUsages(const TopLevelCollection& tlc, ReportType type, uint16_t usagePage,
                    std::span<const uint8_t> report, std::vector<uint16_t>& usages,
                    uint32_t capacity) {
    usages.clear();
    if (report.empty()) {
        return HidStatus::InvalidReportLength;
    }
    const uint8_t id = report[0];
    bool matched = false;
    bool overflow = false;
    auto add = [&](ExtendedUsage u) {
        if ((u >> 16) != usagePage || (u & 0xFFFFU) == 0) {
            return;
        }
        if (usages.size() >= capacity) {
            overflow = true;
            return;
        }
        usages.push_back(static_cast<uint16_t>(u & 0xFFFFU));
    };
    for (const ReportField& field : tlc.fields) {
        if (field.type != type || field.reportId != id || field.IsConstant() ||
            field.bitSize == 0 || !(field.IsArray() || field.bitSize == 1)) {
            continue;
        }
        matched = true;
        if (!FieldsFit(field, 0, field.count, report.size())) {
            return HidStatus::InvalidReportLength;
        }
        for (uint32_t i = 0; i < field.count; ++i) {
            const uint32_t raw = ExtractBits(report, FieldBit(field, i), field.bitSize);
            if (!field.IsArray()) {
                if (raw != 0) {
                    add(field.UsageAt(i));
                }
                continue;
            }
            const int64_t v =
                field.logicalMin < 0 ? SignedField(raw, field.bitSize) : static_cast<int64_t>(raw);
            if (v < field.logicalMin || v > field.logicalMax) {
                continue;  // an empty slot
            }
            const uint64_t index = static_cast<uint64_t>(v - field.logicalMin);
            if (index >= field.UsageCount()) {
                continue;
            }
            add(field.UsageAt(static_cast<uint32_t>(index)));
        }
    }
    if (!matched) {
        return HidStatus::IncompatibleReportId;
    }
    return overflow ? HidStatus::BufferTooSmall : HidStatus::Success;
}

HidStatus GetUsageValue(const TopLevelCollection& tlc, ReportType type, uint16_t usagePage,
                        uint8_t reportId, uint16_t usage, std::span<const uint8_t> report,
                        uint32_t& value, int32_t& scaled) {
    if (report.empty()) {
        return HidStatus::InvalidReportLength;
    }
    if (report[0] != reportId) {
        return HidStatus::IncompatibleReportId;
    }
    for (const ValueCap& cap : tlc.ValueCaps(type)) {
        if (cap.reportId != reportId || cap.usagePage != usagePage || usage < cap.usageMin ||
            usage > cap.usageMax) {
            continue;
        }
        const ReportField& field = tlc.fields[cap.fieldIndex];
        const uint32_t index = cap.firstField + (usage - cap.usageMin);
        if (!FieldsFit(field, index, 1, report.size())) {
            return HidStatus::InvalidReportLength;
        }
        value = ExtractBits(report, FieldBit(field, index), field.bitSize);
        const int64_t logical =
            field.logicalMin < 0 ? SignedField(value, field.bitSize) : static_cast<int64_t>(value);
        if (field.physicalMin == 0 && field.physicalMax == 0) {
            scaled = static_cast<int32_t>(logical);
        } else if (field.logicalMax <= field.logicalMin) {
            scaled = field.physicalMin;
        } else {
            // long double holds 64-bit products exactly.
            const int64_t clamped =
                std::clamp<int64_t>(logical, field.logicalMin, field.logicalMax);
            const long double span =
                static_cast<long double>(field.physicalMax) - field.physicalMin;
            const long double lspan = static_cast<long double>(field.logicalMax) - field.logicalMin;
            const long double s =
                static_cast<long double>(clamped - field.logicalMin) * span / lspan +
                field.physicalMin;
            scaled = static_cast<int32_t>(std::clamp<long double>(
                s, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()));
        }
        return HidStatus::Success;
    }
    return HidStatus::UsageNotFound;
}

}  // namespace vextar::hid
