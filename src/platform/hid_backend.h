#pragma once

// The HID seam: listing the HID interfaces of the machine, opening one, and
// timed report I/O that another thread can cut short. hidraw is the real
// implementation; the simulator offers the same interface over socketpairs.

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "platform/hid_descriptor.h"

namespace vextar::platform {

inline constexpr uint32_t kHidInfinite = 0xFFFFFFFFU;
// Longest device path we hand out or accept (room for a terminator in 260).
inline constexpr std::size_t kMaxHidPathLength = 259;

enum class HidAccess : uint8_t { None = 0, Read = 1, Write = 2, ReadWrite = 3 };

inline bool HasRead(HidAccess a) {
    return (static_cast<uint8_t>(a) & 1U) != 0;
}
inline bool HasWrite(HidAccess a) {
    return (static_cast<uint8_t>(a) & 2U) != 0;
}

// What an opened interface is: its device's ids and its top-level collection.
struct HidIdentity {
    uint16_t vendorId = 0;
    uint16_t productId = 0;
    uint16_t versionNumber = 0;
    hid::TopLevelCollection collection;
};

enum class HidIoStatus : uint8_t { Ok, Timeout, Cancelled, Failed };

// One opened top-level collection. Read, Write and Cancel may be called from
// different threads; at most one reader and one writer at a time.
class IHidHandle {
  public:
    virtual ~IHidHandle() = default;
    [[nodiscard]] virtual const HidIdentity& Identity() const = 0;
    // Reads one input report of this collection into `buffer`: byte 0 is the
    // report id (0 when the device numbers no reports).
    virtual HidIoStatus Read(std::span<uint8_t> buffer, std::size_t& transferred,
                             uint32_t timeoutMs) = 0;
    // Writes one output report; byte 0 is the report id.
    virtual HidIoStatus Write(std::span<const uint8_t> report, std::size_t& transferred,
                              uint32_t timeoutMs) = 0;
    // Wakes every wait of this handle; from then on Read and Write fail.
    virtual void Cancel() = 0;
};

enum class HidOpenError : uint8_t { None, NotFound, PermissionDenied, InvalidPath, Failed };

struct HidOpenResult {
    std::unique_ptr<IHidHandle> handle;
    HidOpenError error = HidOpenError::None;
    std::string message;  // for the user when the open failed
};

class IHidBackend {
  public:
    virtual ~IHidBackend() = default;
    // Paths of all present HID interfaces, one per top-level collection, in a
    // stable order. False when the listing itself failed.
    virtual bool Enumerate(std::vector<std::string>& paths) = 0;
    // Opens a path. With HidAccess::None only the identity is read: this is
    // the cheap presence check, and it needs no permission on the node.
    virtual HidOpenResult Open(const std::string& path, HidAccess access) = 0;
};

// The backend used by interfaces that are not given one: hidraw unless the
// program chose another (the simulator). Thread-safe.
std::shared_ptr<IHidBackend> DefaultHidBackend();
void SetDefaultHidBackend(std::shared_ptr<IHidBackend> backend);

}  // namespace vextar::platform
