#include "sim/inline_backend.h"

#include <algorithm>

#include "sim/sim_catalog.h"

namespace vextar::sim {

namespace {

class InlineHandle final : public platform::IHidHandle {
  public:
    InlineHandle(std::shared_ptr<PeripheralModel> model, platform::HidIdentity identity)
        : model_(std::move(model)), identity_(std::move(identity)) {}
    const platform::HidIdentity& Identity() const override { return identity_; }
    platform::HidIoStatus Read(std::span<uint8_t> buffer, std::size_t& transferred,
                               uint32_t) override {
        std::lock_guard lock(mutex_);
        transferred = 0;
        if (replies_.empty()) {
            return platform::HidIoStatus::Timeout;
        }
        const SimFrame r = replies_.front();
        replies_.pop_front();
        transferred = std::min(buffer.size(), r.size());
        std::copy_n(r.begin(), transferred, buffer.begin());
        return platform::HidIoStatus::Ok;
    }
    platform::HidIoStatus Write(std::span<const uint8_t> report, std::size_t& transferred,
                                uint32_t) override {
        const SimFrame reply = model_->Handle(report);
        std::lock_guard lock(mutex_);
        replies_.push_back(reply);
        transferred = report.size();
        return platform::HidIoStatus::Ok;
    }
    void Cancel() override {}

  private:
    std::shared_ptr<PeripheralModel> model_;
    platform::HidIdentity identity_;
    std::mutex mutex_;
    std::deque<SimFrame> replies_;
};

}  // namespace

InlineHidBackend::InlineHidBackend(std::shared_ptr<PeripheralModel> model, uint16_t vendorId,
                                   uint16_t productId)
    : model_(std::move(model)) {
    hid::ReportDescriptor d;
    std::string error;
    hid::ParseReportDescriptor(descriptors::CommandInterface(), d, error);
    identity_ = {vendorId, productId, 0x0100, d.collections.at(3)};
}

bool InlineHidBackend::Enumerate(std::vector<std::string>& paths) {
    paths = {kPath};
    return true;
}

platform::HidOpenResult InlineHidBackend::Open(const std::string& path, platform::HidAccess) {
    platform::HidOpenResult r;
    if (path != kPath) {
        r.error = platform::HidOpenError::NotFound;
        r.message = "no such device";
        return r;
    }
    r.handle = std::make_unique<InlineHandle>(model_, identity_);
    return r;
}

}  // namespace vextar::sim
