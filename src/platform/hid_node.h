#pragma once

// One opened HID node (a hidraw device, or the host end of a simulated
// device): a file descriptor that carries the reports of every top-level
// collection of one USB interface. All handles on the node share that one
// descriptor; each input report is routed by its report id to the handles of
// the collection it belongs to, so a reader never sees another collection's
// reports. Waits are poll() on the node and on the handle's eventfd, which
// Cancel and the routing of other readers signal.

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/hid_backend.h"
#include "platform/unique_fd.h"

namespace vextar::platform {

class HidNodeHandle;

class HidNode {
  public:
    // `fd` must be non-blocking. Reports arrive and leave whole (hidraw, or a
    // SOCK_SEQPACKET socket), with the report id first when the descriptor
    // numbers its reports.
    HidNode(UniqueFd fd, hid::ReportDescriptor descriptor, uint16_t vendorId, uint16_t productId,
            uint16_t version);
    ~HidNode();
    HidNode(const HidNode&) = delete;
    HidNode& operator=(const HidNode&) = delete;

    // A handle on top-level collection `collection` (0-based).
    static std::unique_ptr<IHidHandle> MakeHandle(const std::shared_ptr<HidNode>& node,
                                                  std::size_t collection, HidAccess access);

    [[nodiscard]] bool Dead() const;
    [[nodiscard]] const hid::ReportDescriptor& Descriptor() const { return descriptor_; }

  private:
    friend class HidNodeHandle;

    void Attach(HidNodeHandle* h);
    void Detach(HidNodeHandle* h);
    HidIoStatus Read(HidNodeHandle& h, std::span<uint8_t> buffer, std::size_t& transferred,
                     uint32_t timeoutMs);
    HidIoStatus Write(HidNodeHandle& h, std::span<const uint8_t> report, std::size_t& transferred,
                      uint32_t timeoutMs);
    // Reads what the node has and routes it. Called with mutex_ held.
    void PumpLocked();
    void RouteLocked(std::span<const uint8_t> report);
    void MarkDeadLocked();

    UniqueFd fd_;
    hid::ReportDescriptor descriptor_;
    uint16_t vendorId_;
    uint16_t productId_;
    uint16_t version_;
    std::array<int16_t, 256> inputOwner_{};  // collection of each input report id
    std::array<std::array<bool, 256>, 3> ownsReport_{};

    mutable std::mutex mutex_;
    std::vector<HidNodeHandle*> handles_;
    std::vector<uint8_t> scratch_;  // one raw report, reused
    bool dead_ = false;
};

// Live nodes of one backend by key, so that every handle on a node shares its
// descriptor. A node lives while a handle uses it.
class HidNodeRegistry {
  public:
    using Opener = std::function<std::shared_ptr<HidNode>(HidOpenResult& failure)>;
    // The live node of `key`, or a new one from `open` (which reports failure
    // through its argument and returns null).
    std::shared_ptr<HidNode> Acquire(const std::string& key, const Opener& open,
                                     HidOpenResult& failure);

  private:
    std::mutex mutex_;
    std::map<std::string, std::weak_ptr<HidNode>> nodes_;
};

// A handle that knows only its identity: what an open with no access rights
// gives. Read and Write fail.
std::unique_ptr<IHidHandle> MakeIdentityHandle(HidIdentity identity);

}  // namespace vextar::platform
