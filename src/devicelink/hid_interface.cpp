#include "devicelink/hid_interface.h"

#include <algorithm>
#include <cctype>
#include <mutex>

#include "platform/log.h"

namespace vextar {

using platform::HidAccess;
using platform::HidIoStatus;

uint32_t ParseHexAfterKey(std::string_view path, std::string_view key) {
    if (key.empty() || path.size() < key.size()) {
        return 0;
    }
    auto equalNoCase = [](char a, char b) {
        return std::tolower(static_cast<unsigned char>(a)) ==
               std::tolower(static_cast<unsigned char>(b));
    };
    const auto at = std::search(path.begin(), path.end(), key.begin(), key.end(), equalNoCase);
    if (at == path.end()) {
        return 0;
    }
    uint32_t value = 0;
    int digits = 0;
    for (auto it = at + static_cast<std::ptrdiff_t>(key.size()); it != path.end() && digits < 8;
         ++it, ++digits) {
        const int c = std::tolower(static_cast<unsigned char>(*it));
        uint32_t digit = 0;
        if (c >= '0' && c <= '9') {
            digit = static_cast<uint32_t>(c - '0');
        } else if (c >= 'a' && c <= 'f') {
            digit = static_cast<uint32_t>(c - 'a' + 10);
        } else {
            break;
        }
        value = value * 16 + digit;
    }
    return value;
}

CHidInterface::CHidInterface(std::shared_ptr<platform::IHidBackend> backend)
    : backend_(backend ? std::move(backend) : platform::DefaultHidBackend()) {}

CHidInterface::~CHidInterface() {
    Close();
    FreePaths();
}

bool CHidInterface::EnumeratePaths() {
    FreePaths();
    std::vector<std::string> paths;
    if (!backend_->Enumerate(paths)) {
        return false;
    }
    // Only paths we can stand for; the list stays compact, in listing order.
    std::erase_if(paths, [](const std::string& p) {
        return p.empty() || p.size() > platform::kMaxHidPathLength;
    });
    pathList = std::move(paths);
    pathCount = static_cast<uint32_t>(pathList.size());
    pathCursor = 0;
    return true;
}

std::optional<std::string> CHidInterface::NextPath() {
    if (pathCursor >= pathCount || pathCursor >= pathList.size() || pathList[pathCursor].empty()) {
        return std::nullopt;
    }
    return pathList[pathCursor++];
}

void CHidInterface::FreePaths() {
    pathList.clear();
    pathCount = 0;
    pathCursor = 0;
}

bool CHidInterface::Open(std::string_view path, bool read, bool write, bool overlappedIo,
                         bool exclusiveShare) {
    {
        std::unique_lock lock(stateMutex_);
        openForRead = read;
        openForWrite = write;
        overlapped = overlappedIo;
        exclusive = exclusiveShare;
        devicePath = std::string(path);
    }
    return Reopen();
}

bool CHidInterface::Reopen() {
    Close();
    std::unique_lock lock(stateMutex_);
    lastError_.clear();
    lastOpenError_ = platform::HidOpenError::None;
    if (devicePath.empty() || devicePath.size() > platform::kMaxHidPathLength) {
        lastOpenError_ = platform::HidOpenError::InvalidPath;
        lastError_ = devicePath.empty() ? "no device path" : "device path is too long";
        return false;
    }
    const auto access = static_cast<HidAccess>((openForRead ? 1U : 0U) | (openForWrite ? 2U : 0U));
    platform::HidOpenResult opened = backend_->Open(devicePath, access);
    if (!opened.handle) {
        lastOpenError_ = opened.error;
        lastError_ = std::move(opened.message);
        return false;
    }
    if (!LoadCaps(opened.handle->Identity())) {
        lastOpenError_ = platform::HidOpenError::Failed;
        lastError_ = "interface has no usable report layout";
        ReleaseLocked();
        return false;
    }
    interfaceNumber = ParseHexAfterKey(devicePath, "&mi_");
    collectionNumber = ParseHexAfterKey(devicePath, "&col");
    std::lock_guard handleLock(handleMutex_);
    handle_ = std::move(opened.handle);
    return true;
}

namespace {

// One entry per button cap, then one per usage of each value cap.
std::vector<HidDataEntry> BuildEntries(const hid::TopLevelCollection& tlc, hid::ReportType type) {
    std::vector<HidDataEntry> entries;
    for (const hid::ButtonCap& cap : tlc.ButtonCaps(type)) {
        HidDataEntry e;
        e.isButtonData = true;
        e.usagePage = cap.usagePage;
        e.reportId = cap.reportId;
        e.buttonData.usageMin = cap.usageMin;
        e.buttonData.usageMax = cap.usageMax;
        e.buttonData.maxUsageListLength = tlc.MaxUsageListLength(type, cap.usagePage);
        e.buttonData.usages.assign(e.buttonData.maxUsageListLength, 0);
        entries.push_back(std::move(e));
    }
    for (const hid::ValueCap& cap : tlc.ValueCaps(type)) {
        for (uint32_t u = cap.usageMin; u <= cap.usageMax; ++u) {
            HidDataEntry e;
            e.usagePage = cap.usagePage;
            e.reportId = cap.reportId;
            e.valueData.usage = static_cast<uint16_t>(u);
            entries.push_back(std::move(e));
        }
    }
    return entries;
}

}  // namespace

bool CHidInterface::LoadCaps(const platform::HidIdentity& identity) {
    collection_ = identity.collection;
    attributes = {identity.vendorId, identity.productId, identity.versionNumber};
    auto length = [&](hid::ReportType t) {
        return static_cast<uint16_t>(std::min<uint32_t>(collection_.ReportByteLength(t), 0xFFFF));
    };
    auto count = [](std::size_t n) {
        return static_cast<uint16_t>(std::min<std::size_t>(n, 0xFFFF));
    };
    capabilities.Usage = collection_.usage;
    capabilities.UsagePage = collection_.usagePage;
    capabilities.InputReportByteLength = length(hid::ReportType::Input);
    capabilities.OutputReportByteLength = length(hid::ReportType::Output);
    capabilities.FeatureReportByteLength = length(hid::ReportType::Feature);
    capabilities.NumberInputButtonCaps =
        count(collection_.ButtonCaps(hid::ReportType::Input).size());
    capabilities.NumberInputValueCaps = count(collection_.ValueCaps(hid::ReportType::Input).size());
    capabilities.NumberOutputButtonCaps =
        count(collection_.ButtonCaps(hid::ReportType::Output).size());
    capabilities.NumberOutputValueCaps =
        count(collection_.ValueCaps(hid::ReportType::Output).size());
    capabilities.NumberFeatureButtonCaps =
        count(collection_.ButtonCaps(hid::ReportType::Feature).size());
    capabilities.NumberFeatureValueCaps =
        count(collection_.ValueCaps(hid::ReportType::Feature).size());

    inputReportBuffer.assign(capabilities.InputReportByteLength, 0);
    outputReportBuffer.assign(capabilities.OutputReportByteLength, 0);
    featureReportBuffer.assign(capabilities.FeatureReportByteLength, 0);
    inputData = BuildEntries(collection_, hid::ReportType::Input);
    outputData = BuildEntries(collection_, hid::ReportType::Output);
    featureData = BuildEntries(collection_, hid::ReportType::Feature);
    return true;
}

void CHidInterface::ReleaseLocked() {
    {
        std::lock_guard handleLock(handleMutex_);
        handle_.reset();
    }
    inputReportBuffer.clear();
    outputReportBuffer.clear();
    featureReportBuffer.clear();
    inputData.clear();
    outputData.clear();
    featureData.clear();
    collection_ = hid::TopLevelCollection{};
}

std::shared_ptr<platform::IHidHandle> CHidInterface::CurrentHandle() const {
    std::lock_guard handleLock(handleMutex_);
    return handle_;
}

void CHidInterface::Close() {
    // Wake what waits first, then wait for it to leave before freeing.
    if (std::shared_ptr<platform::IHidHandle> handle = CurrentHandle()) {
        handle->Cancel();
    }
    std::unique_lock lock(stateMutex_);
    ReleaseLocked();
}

bool CHidInterface::IsOpen() const {
    return CurrentHandle() != nullptr;
}

template <typename Op>
bool CHidInterface::Transfer(std::atomic<bool>& pending, uint32_t& transferred, Op&& transfer) {
    transferred = 0;
    std::shared_lock lock(stateMutex_);
    std::shared_ptr<platform::IHidHandle> handle = CurrentHandle();
    if (!handle) {
        return false;
    }
    pending.store(true);
    std::size_t n = 0;
    const HidIoStatus status = transfer(*handle, n);
    pending.store(false);
    if (status != HidIoStatus::Ok) {
        return false;
    }
    transferred = static_cast<uint32_t>(n);
    return true;
}

bool CHidInterface::ReadReport(std::span<uint8_t> buffer, uint32_t& transferred,
                               uint32_t timeoutMs) {
    return Transfer(readPending, transferred, [&](platform::IHidHandle& h, std::size_t& n) {
        return h.Read(buffer, n, timeoutMs);
    });
}

bool CHidInterface::WriteReport(std::span<const uint8_t> report, uint32_t& transferred,
                                uint32_t timeoutMs) {
    return Transfer(writePending, transferred, [&](platform::IHidHandle& h, std::size_t& n) {
        return h.Write(report, n, timeoutMs);
    });
}

bool CHidInterface::UnpackInputReport(std::span<const uint8_t> report) {
    std::shared_lock lock(stateMutex_);
    return UnpackLocked(report);
}

std::optional<uint16_t> CHidInterface::FirstSetUsage(std::span<const uint8_t> report) {
    std::shared_lock lock(stateMutex_);
    if (!UnpackLocked(report)) {
        return std::nullopt;
    }
    for (const HidDataEntry& e : inputData) {
        if (!e.isSet) {
            continue;
        }
        if (e.isButtonData) {
            return e.buttonData.usages.empty() ? uint16_t{0} : e.buttonData.usages[0];
        }
        return e.valueData.usage;
    }
    return std::nullopt;
}

bool CHidInterface::UnpackLocked(std::span<const uint8_t> report) {
    for (HidDataEntry& e : inputData) {
        e.isSet = false;
    }
    if (report.empty()) {
        return false;
    }
    const uint8_t id = report[0];
    std::vector<uint16_t> active;
    for (HidDataEntry& e : inputData) {
        if (e.reportId != id) {
            continue;
        }
        if (e.isButtonData) {
            const hid::HidStatus status =
                hid::GetUsages(collection_, hid::ReportType::Input, e.usagePage, report, active,
                               e.buttonData.maxUsageListLength);
            e.status = static_cast<uint32_t>(status);
            std::fill(e.buttonData.usages.begin(), e.buttonData.usages.end(), 0);
            if (status == hid::HidStatus::InvalidReportLength) {
                return false;  // the report is shorter than its fields
            }
            std::size_t kept = 0;
            for (uint16_t u : active) {
                if (u >= e.buttonData.usageMin && u <= e.buttonData.usageMax &&
                    kept < e.buttonData.usages.size()) {
                    e.buttonData.usages[kept++] = u;
                }
            }
        } else {
            const hid::HidStatus status = hid::GetUsageValue(
                collection_, hid::ReportType::Input, e.usagePage, id, e.valueData.usage, report,
                e.valueData.value, e.valueData.scaledValue);
            e.status = static_cast<uint32_t>(status);
            if (status != hid::HidStatus::Success) {
                return false;
            }
        }
        e.isSet = true;
    }
    return true;
}

}  // namespace vextar
