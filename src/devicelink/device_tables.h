#pragma once

// The supported devices: which HID interfaces belong to which device kind and
// channel, one row per settings page, and per page its skin and sizes; the
// parsing of device paths and the rules by which a present interface is
// bound to a row of the working copy.

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "platform/hid_backend.h"

namespace vextar {

// Device kinds.
inline constexpr uint16_t kKindKeyboard = 1;
inline constexpr uint16_t kKindMouse = 2;
inline constexpr uint16_t kKindMousePad = 3;
inline constexpr uint16_t kKindMouseReceiver = 6;
inline constexpr uint16_t kKindHeadset = 7;
inline constexpr uint16_t kKindKeyboardReceiver = 9;

// Channels.
inline constexpr uint16_t kChannelCommand = 0;
inline constexpr uint16_t kChannelNotify = 255;

inline constexpr bool IsReceiverKind(uint16_t kind) {
    return kind == kKindMouseReceiver || kind == kKindKeyboardReceiver;
}

struct HidInterfaceRow {
    uint16_t vendorId = 0;
    uint16_t productId = 0;
    uint16_t interfaceNumber = 0;
    uint16_t collectionNumber = 0;
    uint16_t kind = 0;
    uint16_t channel = 0;
    uint16_t connected = 0;
    uint16_t usagePage = 0;
    uint16_t usage = 0;
    uint16_t hasPartner = 0;
    uint16_t partnerRow = 0;
    std::string path;
};

struct DeviceTypeRow {
    const char* optionSkin;
    const char* tabName;
    const char* powerSwitchName;
    const char* typeName;
    int32_t typeIndex;
    int32_t tabIndex;
    int32_t spare;
    int32_t defaultLightIndex;
    int32_t vendorId;
    int32_t productId;
    int32_t kind;
    int32_t channel;
};

struct DevicePageRow {
    int32_t zoneCount;
    int32_t keyCount;
    int32_t powerReporting;
    int32_t extra;
    const char* pageSkin;
    const char* lightFileBaseName;
};

inline constexpr std::size_t kInterfaceRowCount = 11;
inline constexpr std::size_t kDeviceTypeCount = 4;

// The constant tables; rows in this order, since the first match wins.
const std::array<HidInterfaceRow, kInterfaceRowCount>& InterfaceTable();
extern const std::array<DeviceTypeRow, kDeviceTypeCount> kDeviceTypeTable;
extern const std::array<DevicePageRow, kDeviceTypeCount> kDevicePageTable;

// Device path parsers: the hexadecimal number after "vid_", "pid_", "&mi_"
// or "&col" (any letter case), low 16 bits; 0 when absent.
uint16_t ParseVendorId(std::string_view path);
uint16_t ParseProductId(std::string_view path);
uint16_t ParseInterfaceNumber(std::string_view path);
uint16_t ParseCollectionNumber(std::string_view path);

// A present interface as discovery sees it: first from its path, then
// completed from the opened interface.
struct HidCandidate {
    uint16_t vendorId = 0;
    uint16_t productId = 0;
    uint16_t interfaceNumber = 0;
    uint16_t collectionNumber = 0;
    uint16_t usagePage = 0;
    uint16_t usage = 0;
    uint16_t kind = 0;
    uint16_t channel = 0;
    std::string path;
};

HidCandidate CandidateFromPath(std::string_view path);

int FindTypeRow(int32_t vendorId, int32_t productId, int32_t kind, int32_t channel);
int FindInterfaceRow(uint16_t vendorId, uint16_t productId, uint16_t kind, uint16_t channel);
// Same interface of the same device; connection state, partner and path aside.
bool SameInterface(const HidInterfaceRow& a, const HidInterfaceRow& b);

// The main window's working copy of the interface table. Discovery binds and
// unbinds rows while the UI thread reads them: every access takes the lock,
// and rows are handed out as copies.
class InterfaceWorkingCopy {
  public:
    InterfaceWorkingCopy();

    [[nodiscard]] std::size_t Size() const { return kInterfaceRowCount; }
    [[nodiscard]] HidInterfaceRow Row(std::size_t index) const;
    [[nodiscard]] std::vector<HidInterfaceRow> Snapshot() const;

    [[nodiscard]] bool MatchesByPath(const HidCandidate& candidate) const;
    // Completes the candidate's kind and channel from the table and binds the
    // first free matching row; false when the interface is not ours or every
    // matching row is bound already.
    bool MatchAndBind(HidCandidate& candidate, int& row);
    [[nodiscard]] bool AllBound() const;
    [[nodiscard]] bool PartnerConnected(int row) const;
    // Clears a row's connected flag and path; false when it was not bound.
    bool Unbind(int row);
    // Unbinds every bound row whose path is no longer present and returns
    // those rows in table order. `present` is called without the lock held.
    std::vector<int> CheckPresence(const std::function<bool(const std::string&)>& present);

  private:
    mutable std::mutex mutex_;
    std::array<HidInterfaceRow, kInterfaceRowCount> rows_;
};

// One pass of discovery over the present interfaces: every path that
// matches a free row is opened for reading, completed from the interface and
// bound. Returns the rows bound, in listing order; `listed` is false when the
// listing itself failed.
std::vector<int> BindPresentInterfaces(InterfaceWorkingCopy& rows,
                                       const std::shared_ptr<platform::IHidBackend>& backend,
                                       bool* listed = nullptr);

// The presence test of a bound path: an open with no access rights.
bool HidPathPresent(const std::shared_ptr<platform::IHidBackend>& backend, const std::string& path);

}  // namespace vextar
