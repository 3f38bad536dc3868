#include "devicelink/device_tables.h"

#include "devicelink/hid_interface.h"

namespace vextar {

const std::array<HidInterfaceRow, kInterfaceRowCount>& InterfaceTable() {
    // vendor, product, interface, collection, kind, channel, connected,
    // usage page, usage, has partner, partner row
    static const std::array<HidInterfaceRow, kInterfaceRowCount> table = {{
        {0x320F, 0x505B, 1, 4, 1, 0x00, 0, 0xFF1C, 0x0092, 1, 2, {}},
        {0x320F, 0x505B, 1, 3, 1, 0xFF, 0, 0x000C, 0x0001, 1, 3, {}},
        {0x320F, 0x50EC, 1, 4, 9, 0x00, 0, 0xFF1C, 0x0092, 1, 0, {}},
        {0x320F, 0x50EC, 1, 3, 9, 0xFF, 0, 0x000C, 0x0001, 1, 1, {}},
        {0x320F, 0x7074, 1, 4, 2, 0x00, 0, 0xFF1C, 0x0092, 1, 6, {}},
        {0x320F, 0x7074, 1, 3, 2, 0xFF, 0, 0x000C, 0x0001, 1, 7, {}},
        {0x320F, 0x221D, 1, 4, 6, 0x00, 0, 0xFF1C, 0x0092, 1, 4, {}},
        {0x320F, 0x221D, 1, 3, 6, 0xFF, 0, 0x000C, 0x0001, 1, 5, {}},
        {0x320F, 0x1004, 1, 4, 3, 0x00, 0, 0xFF1C, 0x0092, 0, 0, {}},
        {0x320F, 0x1004, 1, 3, 3, 0xFF, 0, 0x000C, 0x0001, 0, 0, {}},
        {0x0C76, 0x1630, 3, 0, 7, 0x00, 0, 0x000C, 0x0001, 0, 0, {}},
    }};
    return table;
}

const std::array<DeviceTypeRow, kDeviceTypeCount> kDeviceTypeTable = {{
    {"XML\\CustomControlXML\\DeviceOption.xml", "tab_header_device", "device_power_switch", "mouse",
     0, 0, 0, 1, 0x320F, 0x7074, 2, 0},
    {"XML\\CustomControlXML\\DeviceOption.xml", "tab_header_device", "device_power_switch",
     "keyboard", 1, 1, -1, 0, 0x320F, 0x505B, 1, 0},
    {"XML\\CustomControlXML\\DeviceOption.xml", "tab_header_device", "device_power_switch",
     "MousePad", 2, 2, 1, 2, 0x320F, 0x1004, 3, 0},
    {"XML\\CustomControlXML\\DeviceOption.xml", "tab_header_device", "device_power_switch", "HD", 3,
     3, -1, 3, 0x0C76, 0x1630, 7, 0},
}};

const std::array<DevicePageRow, kDeviceTypeCount> kDevicePageTable = {{
    {15, 11, 1, -1, "XML\\DeviceXml\\mousedevice.xml", "zentor_light"},
    {170, 170, 0, -1, "XML\\DeviceXml\\keyboarddevice.xml", "zentor_light"},
    {15, 0, 0, -1, "XML\\DeviceXml\\mousepaddevice.xml", "zentor_light"},
    {13, 0, 0, -1, "XML\\DeviceXml\\hs6533device.xml", "zentor_light"},
}};

uint16_t ParseVendorId(std::string_view path) {
    return static_cast<uint16_t>(ParseHexAfterKey(path, "vid_"));
}
uint16_t ParseProductId(std::string_view path) {
    return static_cast<uint16_t>(ParseHexAfterKey(path, "pid_"));
}
uint16_t ParseInterfaceNumber(std::string_view path) {
    return static_cast<uint16_t>(ParseHexAfterKey(path, "&mi_"));
}
uint16_t ParseCollectionNumber(std::string_view path) {
    return static_cast<uint16_t>(ParseHexAfterKey(path, "&col"));
}

HidCandidate CandidateFromPath(std::string_view path) {
    HidCandidate c;
    c.vendorId = ParseVendorId(path);
    c.productId = ParseProductId(path);
    c.interfaceNumber = ParseInterfaceNumber(path);
    c.collectionNumber = ParseCollectionNumber(path);
    c.path = std::string(path);
    return c;
}

int FindTypeRow(int32_t vendorId, int32_t productId, int32_t kind, int32_t channel) {
    for (std::size_t i = 0; i < kDeviceTypeTable.size(); ++i) {
        const DeviceTypeRow& t = kDeviceTypeTable[i];
        if (t.vendorId == vendorId && t.productId == productId && t.kind == kind &&
            t.channel == channel) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

int FindInterfaceRow(uint16_t vendorId, uint16_t productId, uint16_t kind, uint16_t channel) {
    const auto& table = InterfaceTable();
    for (std::size_t i = 0; i < table.size(); ++i) {
        const HidInterfaceRow& r = table[i];
        if (r.vendorId == vendorId && r.productId == productId && r.kind == kind &&
            r.channel == channel) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

bool SameInterface(const HidInterfaceRow& a, const HidInterfaceRow& b) {
    return a.vendorId == b.vendorId && a.productId == b.productId &&
           a.interfaceNumber == b.interfaceNumber && a.collectionNumber == b.collectionNumber &&
           a.kind == b.kind && a.channel == b.channel && a.usagePage == b.usagePage &&
           a.usage == b.usage;
}

namespace {

bool SameAddress(const HidInterfaceRow& r, const HidCandidate& c) {
    return r.vendorId == c.vendorId && r.productId == c.productId &&
           r.collectionNumber == c.collectionNumber && r.interfaceNumber == c.interfaceNumber;
}

bool SameAddressAndUsage(const HidInterfaceRow& r, const HidCandidate& c) {
    return SameAddress(r, c) && r.usagePage == c.usagePage && r.usage == c.usage;
}

bool Free(const HidInterfaceRow& r) {
    return r.connected == 0 && r.path.empty();
}

}  // namespace

InterfaceWorkingCopy::InterfaceWorkingCopy() : rows_(InterfaceTable()) {}

HidInterfaceRow InterfaceWorkingCopy::Row(std::size_t index) const {
    std::lock_guard lock(mutex_);
    return index < rows_.size() ? rows_[index] : HidInterfaceRow{};
}

std::vector<HidInterfaceRow> InterfaceWorkingCopy::Snapshot() const {
    std::lock_guard lock(mutex_);
    return {rows_.begin(), rows_.end()};
}

bool InterfaceWorkingCopy::MatchesByPath(const HidCandidate& candidate) const {
    bool known = false;
    for (const HidInterfaceRow& r : InterfaceTable()) {
        if (SameAddress(r, candidate)) {
            known = true;
            break;
        }
    }
    if (!known) {
        return false;
    }
    std::lock_guard lock(mutex_);
    for (const HidInterfaceRow& r : rows_) {
        if (SameAddress(r, candidate) && Free(r)) {
            return true;
        }
    }
    return false;
}

bool InterfaceWorkingCopy::MatchAndBind(HidCandidate& candidate, int& row) {
    bool known = false;
    for (const HidInterfaceRow& r : InterfaceTable()) {
        if (SameAddressAndUsage(r, candidate)) {
            candidate.kind = r.kind;
            candidate.channel = r.channel;
            known = true;
            break;
        }
    }
    if (!known) {
        return false;
    }
    std::lock_guard lock(mutex_);
    for (std::size_t i = 0; i < rows_.size(); ++i) {
        HidInterfaceRow& r = rows_[i];
        if (SameAddressAndUsage(r, candidate) && Free(r)) {
            r.connected = 1;
            r.path = candidate.path;
            row = static_cast<int>(i);
            return true;
        }
    }
    return false;
}

bool InterfaceWorkingCopy::AllBound() const {
    std::lock_guard lock(mutex_);
    for (const HidInterfaceRow& r : rows_) {
        if (Free(r)) {
            return false;
        }
    }
    return true;
}

bool InterfaceWorkingCopy::PartnerConnected(int row) const {
    std::lock_guard lock(mutex_);
    if (row < 0 || static_cast<std::size_t>(row) >= rows_.size()) {
        return false;
    }
    const HidInterfaceRow& r = rows_[static_cast<std::size_t>(row)];
    if (r.hasPartner == 0 || r.partnerRow >= rows_.size()) {
        return false;
    }
    const HidInterfaceRow& p = rows_[r.partnerRow];
    return p.connected != 0 && !p.path.empty() && p.partnerRow == row;
}

bool InterfaceWorkingCopy::Unbind(int row) {
    std::lock_guard lock(mutex_);
    if (row < 0 || static_cast<std::size_t>(row) >= rows_.size()) {
        return false;
    }
    HidInterfaceRow& r = rows_[static_cast<std::size_t>(row)];
    const bool wasBound = !Free(r);
    r.connected = 0;
    r.path.clear();
    return wasBound;
}

std::vector<int> InterfaceWorkingCopy::CheckPresence(
    const std::function<bool(const std::string&)>& present) {
    std::vector<std::pair<int, std::string>> bound;
    {
        std::lock_guard lock(mutex_);
        for (std::size_t i = 0; i < rows_.size(); ++i) {
            if (rows_[i].connected != 0) {
                bound.emplace_back(static_cast<int>(i), rows_[i].path);
            }
        }
    }
    std::vector<int> lost;
    for (const auto& [index, path] : bound) {
        if (present(path)) {
            continue;
        }
        std::lock_guard lock(mutex_);
        HidInterfaceRow& r = rows_[static_cast<std::size_t>(index)];
        if (r.connected != 0 && r.path == path) {
            r.connected = 0;
            r.path.clear();
            lost.push_back(index);
        }
    }
    return lost;
}

std::vector<int> BindPresentInterfaces(InterfaceWorkingCopy& rows,
                                       const std::shared_ptr<platform::IHidBackend>& backend,
                                       bool* listed) {
    std::vector<int> bound;
    CHidInterface lister(backend);
    const bool ok = lister.EnumeratePaths();
    if (listed != nullptr) {
        *listed = ok;
    }
    if (!ok) {
        return bound;
    }
    while (std::optional<std::string> path = lister.NextPath()) {
        HidCandidate candidate = CandidateFromPath(*path);
        if (!rows.MatchesByPath(candidate)) {
            continue;
        }
        CHidInterface probe(backend);
        if (!probe.Open(*path, true, false, true, false)) {
            continue;
        }
        candidate.vendorId = probe.attributes.VendorID;
        candidate.productId = probe.attributes.ProductID;
        candidate.usagePage = probe.capabilities.UsagePage;
        candidate.usage = probe.capabilities.Usage;
        int row = -1;
        if (rows.MatchAndBind(candidate, row)) {
            bound.push_back(row);
        }
    }
    return bound;
}

bool HidPathPresent(const std::shared_ptr<platform::IHidBackend>& backend,
                    const std::string& path) {
    CHidInterface probe(backend);
    return probe.Open(path, false, false, true, false);
}

}  // namespace vextar
