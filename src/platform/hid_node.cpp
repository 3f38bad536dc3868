#include "platform/hid_node.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>

#include "platform/log.h"

namespace vextar::platform {

namespace {

// Reports kept for a reader that is not reading; the oldest go first.
constexpr std::size_t kQueueSlots = 32;

using Clock = std::chrono::steady_clock;

// Milliseconds left until `deadline` for poll(), -1 for no deadline.
int PollTimeout(bool infinite, Clock::time_point deadline) {
    if (infinite) {
        return -1;
    }
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left <= 0) {
        return 0;
    }
    // Round up so that a wait never ends before its deadline.
    return static_cast<int>(std::min<long long>(left + 1, 1 << 30));
}

class IdentityHandle final : public IHidHandle {
  public:
    explicit IdentityHandle(HidIdentity identity) : identity_(std::move(identity)) {}
    const HidIdentity& Identity() const override { return identity_; }
    HidIoStatus Read(std::span<uint8_t>, std::size_t& transferred, uint32_t) override {
        transferred = 0;
        return HidIoStatus::Failed;
    }
    HidIoStatus Write(std::span<const uint8_t>, std::size_t& transferred, uint32_t) override {
        transferred = 0;
        return HidIoStatus::Failed;
    }
    void Cancel() override {}

  private:
    HidIdentity identity_;
};

}  // namespace

class HidNodeHandle final : public IHidHandle {
  public:
    HidNodeHandle(std::shared_ptr<HidNode> node, std::size_t collection, HidAccess access)
        : node_(std::move(node)), collection_(collection), access_(access) {
        identity_.vendorId = node_->vendorId_;
        identity_.productId = node_->productId_;
        identity_.versionNumber = node_->version_;
        identity_.collection = node_->descriptor_.collections[collection];
        wake_.Reset(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
        slotSize_ =
            std::max<std::size_t>(identity_.collection.ReportByteLength(hid::ReportType::Input), 1);
        if (HasRead(access_)) {
            ring_.resize(kQueueSlots * slotSize_);
        }
        node_->Attach(this);
    }
    ~HidNodeHandle() override { node_->Detach(this); }

    const HidIdentity& Identity() const override { return identity_; }
    HidIoStatus Read(std::span<uint8_t> buffer, std::size_t& transferred,
                     uint32_t timeoutMs) override {
        transferred = 0;
        if (!HasRead(access_)) {
            return HidIoStatus::Failed;
        }
        return node_->Read(*this, buffer, transferred, timeoutMs);
    }
    HidIoStatus Write(std::span<const uint8_t> report, std::size_t& transferred,
                      uint32_t timeoutMs) override {
        transferred = 0;
        if (!HasWrite(access_)) {
            return HidIoStatus::Failed;
        }
        return node_->Write(*this, report, transferred, timeoutMs);
    }
    void Cancel() override {
        cancelled_.store(true);
        Wake();
    }

  private:
    friend class HidNode;

    void Wake() const {
        const uint64_t one = 1;
        if (wake_.Valid()) {
            [[maybe_unused]] const ssize_t n = ::write(wake_.Get(), &one, sizeof one);
        }
    }
    void DrainWake() const {
        uint64_t value = 0;
        [[maybe_unused]] const ssize_t n = ::read(wake_.Get(), &value, sizeof value);
    }
    // Queue operations, called with the node's mutex held.
    void PushLocked(std::span<const uint8_t> report) {
        if (count_ == kQueueSlots) {
            head_ = (head_ + 1) % kQueueSlots;  // drop the oldest
            --count_;
        }
        const std::size_t slot = (head_ + count_) % kQueueSlots;
        const std::size_t n = std::min(report.size(), slotSize_);
        std::copy_n(report.begin(), n,
                    ring_.begin() + static_cast<std::ptrdiff_t>(slot * slotSize_));
        lengths_[slot] = n;
        ++count_;
    }
    bool PopLocked(std::span<uint8_t> buffer, std::size_t& transferred) {
        if (count_ == 0) {
            return false;
        }
        const std::size_t n = std::min(lengths_[head_], buffer.size());
        std::copy_n(ring_.begin() + static_cast<std::ptrdiff_t>(head_ * slotSize_), n,
                    buffer.begin());
        transferred = n;
        head_ = (head_ + 1) % kQueueSlots;
        --count_;
        return true;
    }

    std::shared_ptr<HidNode> node_;
    std::size_t collection_;
    HidAccess access_;
    HidIdentity identity_;
    UniqueFd wake_;
    std::atomic<bool> cancelled_{false};
    // Received reports of this collection, guarded by the node's mutex.
    std::vector<uint8_t> ring_;
    std::array<std::size_t, kQueueSlots> lengths_{};
    std::size_t slotSize_ = 1;
    std::size_t head_ = 0;
    std::size_t count_ = 0;
};

HidNode::HidNode(UniqueFd fd, hid::ReportDescriptor descriptor, uint16_t vendorId,
                 uint16_t productId, uint16_t version)
    : fd_(std::move(fd)),
      descriptor_(std::move(descriptor)),
      vendorId_(vendorId),
      productId_(productId),
      version_(version) {
    inputOwner_.fill(-1);
    uint32_t largest = 0;
    for (std::size_t c = 0; c < descriptor_.collections.size(); ++c) {
        const hid::TopLevelCollection& tlc = descriptor_.collections[c];
        for (const hid::ReportField& f : tlc.fields) {
            ownsReport_[static_cast<int>(f.type)][f.reportId] = true;
            if (f.type == hid::ReportType::Input && inputOwner_[f.reportId] < 0) {
                inputOwner_[f.reportId] = static_cast<int16_t>(c);
            }
        }
        largest = std::max(largest, tlc.ReportByteLength(hid::ReportType::Input));
    }
    // Room for the largest report and more, so that an over-long report from
    // a misbehaving device is read whole and then cut, not split.
    scratch_.resize(std::max<std::size_t>(largest, 64) + 64);
}

HidNode::~HidNode() = default;

std::unique_ptr<IHidHandle> HidNode::MakeHandle(const std::shared_ptr<HidNode>& node,
                                                std::size_t collection, HidAccess access) {
    if (!node || collection >= node->descriptor_.collections.size()) {
        return nullptr;
    }
    return std::make_unique<HidNodeHandle>(node, collection, access);
}

bool HidNode::Dead() const {
    std::lock_guard lock(mutex_);
    return dead_;
}

void HidNode::Attach(HidNodeHandle* h) {
    std::lock_guard lock(mutex_);
    handles_.push_back(h);
}

void HidNode::Detach(HidNodeHandle* h) {
    std::lock_guard lock(mutex_);
    handles_.erase(std::remove(handles_.begin(), handles_.end(), h), handles_.end());
}

void HidNode::MarkDeadLocked() {
    if (dead_) {
        return;
    }
    dead_ = true;
    VEXTAR_LOG_DEBUG("HID node %04x:%04x is gone", vendorId_, productId_);
    for (HidNodeHandle* h : handles_) {
        h->Wake();
    }
}

void HidNode::RouteLocked(std::span<const uint8_t> report) {
    const int owner = inputOwner_[report[0]];
    if (owner < 0) {
        return;  // a report the descriptor does not declare
    }
    for (HidNodeHandle* h : handles_) {
        if (h->collection_ == static_cast<std::size_t>(owner) && HasRead(h->access_)) {
            h->PushLocked(report);
            h->Wake();
        }
    }
}

void HidNode::PumpLocked() {
    const std::size_t offset = descriptor_.usesReportIds ? 0 : 1;
    for (;;) {
        const ssize_t n = ::read(fd_.Get(), scratch_.data() + offset, scratch_.size() - offset);
        if (n > 0) {
            scratch_[0] = offset == 1 ? 0 : scratch_[0];
            RouteLocked(
                std::span<const uint8_t>(scratch_.data(), static_cast<std::size_t>(n) + offset));
            continue;
        }
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            return;
        }
        if (n < 0 && errno == EINTR) {
            continue;
        }
        MarkDeadLocked();  // end of file, or the device went away
        return;
    }
}

HidIoStatus HidNode::Read(HidNodeHandle& h, std::span<uint8_t> buffer, std::size_t& transferred,
                          uint32_t timeoutMs) {
    const bool infinite = timeoutMs == kHidInfinite;
    const Clock::time_point deadline =
        Clock::now() + std::chrono::milliseconds(infinite ? 0 : timeoutMs);
    for (;;) {
        if (h.cancelled_.load()) {
            return HidIoStatus::Cancelled;
        }
        {
            std::lock_guard lock(mutex_);
            if (h.PopLocked(buffer, transferred)) {
                return HidIoStatus::Ok;
            }
            if (dead_) {
                return HidIoStatus::Failed;
            }
        }
        pollfd fds[2] = {{fd_.Get(), POLLIN, 0}, {h.wake_.Get(), POLLIN, 0}};
        const int timeout = PollTimeout(infinite, deadline);
        const int r = ::poll(fds, 2, timeout);
        if (r < 0) {
            if (errno == EINTR) {
                continue;
            }
            return HidIoStatus::Failed;
        }
        if (fds[1].revents != 0) {
            h.DrainWake();
        }
        if ((fds[0].revents & (POLLIN | POLLHUP | POLLERR)) != 0) {
            std::lock_guard lock(mutex_);
            PumpLocked();
            if ((fds[0].revents & (POLLHUP | POLLERR)) != 0 && (fds[0].revents & POLLIN) == 0) {
                MarkDeadLocked();
            }
        }
        if (r == 0 && timeout == 0) {
            // One last look: a report may have been routed to us meanwhile.
            std::lock_guard lock(mutex_);
            return h.PopLocked(buffer, transferred) ? HidIoStatus::Ok : HidIoStatus::Timeout;
        }
    }
}

HidIoStatus HidNode::Write(HidNodeHandle& h, std::span<const uint8_t> report,
                           std::size_t& transferred, uint32_t timeoutMs) {
    const uint32_t maxLength = h.identity_.collection.ReportByteLength(hid::ReportType::Output);
    if (report.empty() || report.size() > maxLength) {
        return HidIoStatus::Failed;
    }
    const uint8_t id = report[0];
    if (descriptor_.usesReportIds ? !h.identity_.collection.HasReportId(id) ||
                                        !ownsReport_[static_cast<int>(hid::ReportType::Output)][id]
                                  : id != 0) {
        return HidIoStatus::Failed;  // not an output report of this collection
    }
    const bool infinite = timeoutMs == kHidInfinite;
    const Clock::time_point deadline =
        Clock::now() + std::chrono::milliseconds(infinite ? 0 : timeoutMs);
    for (;;) {
        if (h.cancelled_.load()) {
            return HidIoStatus::Cancelled;
        }
        {
            std::lock_guard lock(mutex_);
            if (dead_) {
                return HidIoStatus::Failed;
            }
        }
        const ssize_t n = ::write(fd_.Get(), report.data(), report.size());
        if (n >= 0) {
            transferred = static_cast<std::size_t>(n);
            return static_cast<std::size_t>(n) == report.size() ? HidIoStatus::Ok
                                                                : HidIoStatus::Failed;
        }
        if (errno == EINTR) {
            continue;
        }
        if (errno != EAGAIN && errno != EWOULDBLOCK) {
            std::lock_guard lock(mutex_);
            if (errno == ENODEV || errno == EPIPE || errno == ECONNRESET || errno == EIO) {
                MarkDeadLocked();
            }
            return HidIoStatus::Failed;
        }
        pollfd fds[2] = {{fd_.Get(), POLLOUT, 0}, {h.wake_.Get(), POLLIN, 0}};
        const int timeout = PollTimeout(infinite, deadline);
        const int r = ::poll(fds, 2, timeout);
        if (r < 0 && errno != EINTR) {
            return HidIoStatus::Failed;
        }
        if (r > 0 && fds[1].revents != 0) {
            h.DrainWake();
        }
        if (r == 0 && timeout == 0) {
            return HidIoStatus::Timeout;
        }
    }
}

std::shared_ptr<HidNode> HidNodeRegistry::Acquire(const std::string& key, const Opener& open,
                                                  HidOpenResult& failure) {
    std::lock_guard lock(mutex_);
    for (auto it = nodes_.begin(); it != nodes_.end();) {
        it = it->second.expired() ? nodes_.erase(it) : std::next(it);
    }
    if (auto it = nodes_.find(key); it != nodes_.end()) {
        if (std::shared_ptr<HidNode> node = it->second.lock(); node && !node->Dead()) {
            return node;
        }
    }
    std::shared_ptr<HidNode> node = open(failure);
    if (node) {
        nodes_[key] = node;
    }
    return node;
}

std::unique_ptr<IHidHandle> MakeIdentityHandle(HidIdentity identity) {
    return std::make_unique<IdentityHandle>(std::move(identity));
}

}  // namespace vextar::platform
