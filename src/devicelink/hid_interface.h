#pragma once

// CHidInterface: one opened HID interface (one top-level collection of one
// USB interface), the listing of all HID interfaces present, and timed report
// I/O that another thread can cut short with Close.

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <shared_mutex>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/hid_backend.h"

namespace vextar {

// The hexadecimal number after `key` (searched ignoring case) in a device
// path; 0 when the key is absent or no digit follows it.
uint32_t ParseHexAfterKey(std::string_view path, std::string_view key);

struct HidAttributes {
    uint16_t VendorID = 0;
    uint16_t ProductID = 0;
    uint16_t VersionNumber = 0;
};

struct HidCaps {
    uint16_t Usage = 0;
    uint16_t UsagePage = 0;
    uint16_t InputReportByteLength = 0;
    uint16_t OutputReportByteLength = 0;
    uint16_t FeatureReportByteLength = 0;
    uint16_t NumberInputButtonCaps = 0;
    uint16_t NumberInputValueCaps = 0;
    uint16_t NumberOutputButtonCaps = 0;
    uint16_t NumberOutputValueCaps = 0;
    uint16_t NumberFeatureButtonCaps = 0;
    uint16_t NumberFeatureValueCaps = 0;
};

// One decoded item of a report.
struct HidDataEntry {
    bool isButtonData = false;
    uint16_t usagePage = 0;
    uint32_t status = static_cast<uint32_t>(hid::HidStatus::Success);
    uint32_t reportId = 0;
    bool isSet = false;
    struct {
        uint32_t usageMin = 0;
        uint32_t usageMax = 0;
        uint32_t maxUsageListLength = 0;
        std::vector<uint16_t> usages;  // maxUsageListLength entries, 0-terminated when shorter
    } buttonData;
    struct {
        uint16_t usage = 0;
        uint32_t value = 0;
        int32_t scaledValue = 0;
    } valueData;
};

class CHidInterface {
  public:
    static constexpr uint32_t kInfinite = platform::kHidInfinite;

    // Uses the process's default backend unless given one.
    explicit CHidInterface(std::shared_ptr<platform::IHidBackend> backend = nullptr);
    ~CHidInterface();
    CHidInterface(const CHidInterface&) = delete;
    CHidInterface& operator=(const CHidInterface&) = delete;

    // Listing.
    bool EnumeratePaths();
    std::optional<std::string> NextPath();
    void FreePaths();

    // Opening. `overlapped` and `exclusive` are kept for callers that set
    // them; every transfer here is timed and cancellable.
    bool Open(std::string_view path, bool read, bool write, bool overlapped, bool exclusive);
    bool Reopen();
    // Safe from another thread while a read or write waits: that call returns
    // false, and nothing is freed before it has left.
    void Close();
    [[nodiscard]] bool IsOpen() const;

    bool ReadReport(std::span<uint8_t> buffer, uint32_t& transferred, uint32_t timeoutMs);
    bool WriteReport(std::span<const uint8_t> report, uint32_t& transferred, uint32_t timeoutMs);

    // Decodes `report` (byte 0 the report id, `report.size()` the bytes that
    // were transferred) into inputData. Only the entries this report set are
    // marked set afterwards.
    bool UnpackInputReport(std::span<const uint8_t> report);
    // Decodes `report` and gives the usage of the first entry it set (the
    // first active usage of a button entry): what a notification reader
    // needs, taken while the entries cannot be freed by a Close.
    std::optional<uint16_t> FirstSetUsage(std::span<const uint8_t> report);

    // Why the last Open or Reopen failed, in words for the user.
    [[nodiscard]] const std::string& LastError() const { return lastError_; }
    [[nodiscard]] platform::HidOpenError LastOpenError() const { return lastOpenError_; }

    // Listing state.
    std::vector<std::string> pathList;
    uint32_t pathCount = 0;
    uint32_t pathCursor = 0;

    // Open flags and identity.
    bool openForRead = false;
    bool openForWrite = false;
    bool overlapped = false;
    bool exclusive = false;
    std::string devicePath;
    HidAttributes attributes;
    HidCaps capabilities;
    uint32_t interfaceNumber = 0;
    uint32_t collectionNumber = 0;

    // Built when the interface opens, freed when it closes.
    std::vector<uint8_t> inputReportBuffer;
    std::vector<uint8_t> outputReportBuffer;
    std::vector<uint8_t> featureReportBuffer;
    std::vector<HidDataEntry> inputData;
    std::vector<HidDataEntry> outputData;
    std::vector<HidDataEntry> featureData;

    std::atomic<bool> readPending{false};
    std::atomic<bool> writePending{false};

  private:
    bool LoadCaps(const platform::HidIdentity& identity);
    bool UnpackLocked(std::span<const uint8_t> report);
    void ReleaseLocked();
    std::shared_ptr<platform::IHidHandle> CurrentHandle() const;
    // One read or write on the current handle, with its pending flag set.
    template <typename Op>
    bool Transfer(std::atomic<bool>& pending, uint32_t& transferred, Op&& transfer);

    std::shared_ptr<platform::IHidBackend> backend_;
    // Held shared by every read, write and decode, exclusively by open and
    // close: Close waits for the calls it cancelled before it frees anything.
    mutable std::shared_mutex stateMutex_;
    mutable std::mutex handleMutex_;  // guards handle_ itself
    std::shared_ptr<platform::IHidHandle> handle_;
    hid::TopLevelCollection collection_;
    std::string lastError_;
    platform::HidOpenError lastOpenError_ = platform::HidOpenError::None;
};

}  // namespace vextar
