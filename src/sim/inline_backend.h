#pragma once

// A simulated device that answers inline: the reply to a command frame is
// ready when the write returns, with no thread and no socket in between.
// For measuring the host's own cost of an exchange.

#include <deque>
#include <memory>
#include <mutex>

#include "platform/hid_backend.h"
#include "sim/firmware.h"

namespace vextar::sim {

class InlineHidBackend final : public platform::IHidBackend {
  public:
    // One command interface of a device with `model`'s memory.
    InlineHidBackend(std::shared_ptr<PeripheralModel> model, uint16_t vendorId, uint16_t productId);
    static constexpr const char* kPath = "inline#vid_320f&pid_7074&mi_01&col04#inline#1";

    bool Enumerate(std::vector<std::string>& paths) override;
    platform::HidOpenResult Open(const std::string& path, platform::HidAccess access) override;

  private:
    std::shared_ptr<PeripheralModel> model_;
    platform::HidIdentity identity_;
};

}  // namespace vextar::sim
