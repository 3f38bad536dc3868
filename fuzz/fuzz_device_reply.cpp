// Replies come from devices: whatever bytes a device (or something that
// pretends to be one) sends back, the command link copies nothing it should
// not and never reads past a reply.

#include <algorithm>
#include <cstdint>
#include <deque>
#include <memory>
#include <vector>

#include "device/device_link.h"
#include "platform/hid_descriptor.h"
#include "sim/sim_catalog.h"

namespace {

using namespace vextar;

// A handle whose input reports are cut from the fuzz input: each report is
// one length byte (0..64) and that many bytes.
class ScriptedHandle final : public platform::IHidHandle {
  public:
    ScriptedHandle(std::deque<std::vector<uint8_t>> replies, platform::HidIdentity identity)
        : replies_(std::move(replies)), identity_(std::move(identity)) {}
    const platform::HidIdentity& Identity() const override { return identity_; }
    platform::HidIoStatus Read(std::span<uint8_t> buffer, std::size_t& transferred,
                               uint32_t) override {
        transferred = 0;
        if (replies_.empty()) {
            return platform::HidIoStatus::Timeout;
        }
        const std::vector<uint8_t> r = std::move(replies_.front());
        replies_.pop_front();
        transferred = std::min(buffer.size(), r.size());
        std::copy_n(r.begin(), transferred, buffer.begin());
        return platform::HidIoStatus::Ok;
    }
    platform::HidIoStatus Write(std::span<const uint8_t> report, std::size_t& transferred,
                                uint32_t) override {
        transferred = report.size();
        return platform::HidIoStatus::Ok;
    }
    void Cancel() override {}

  private:
    std::deque<std::vector<uint8_t>> replies_;
    platform::HidIdentity identity_;
};

class ScriptedBackend final : public platform::IHidBackend {
  public:
    explicit ScriptedBackend(std::deque<std::vector<uint8_t>> replies)
        : replies_(std::move(replies)) {
        hid::ReportDescriptor d;
        std::string error;
        hid::ParseReportDescriptor(sim::descriptors::CommandInterface(), d, error);
        identity_ = {0x320F, 0x7074, 0x100, d.collections.at(3)};
    }
    bool Enumerate(std::vector<std::string>& paths) override {
        paths = {"scripted#vid_320f&pid_7074&mi_01&col04"};
        return true;
    }
    platform::HidOpenResult Open(const std::string&, platform::HidAccess) override {
        platform::HidOpenResult r;
        r.handle = std::make_unique<ScriptedHandle>(std::move(replies_), identity_);
        return r;
    }

  private:
    std::deque<std::vector<uint8_t>> replies_;
    platform::HidIdentity identity_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) {
        return 0;
    }
    const bool receiver = (data[0] & 1U) != 0;
    std::deque<std::vector<uint8_t>> replies;
    for (std::size_t i = 1; i < size && replies.size() < 256;) {
        const std::size_t n = std::min<std::size_t>(data[i] % 65, size - i - 1);
        replies.emplace_back(data + i + 1, data + i + 1 + n);
        i += 1 + n;
    }
    auto backend = std::make_shared<ScriptedBackend>(std::move(replies));
    CDeviceLink link(backend);
    CHidInterface& hid = receiver ? link.receiverInterface : link.cableInterface;
    hid.Open("scripted#vid_320f&pid_7074&mi_01&col04", true, true, true, false);
    link.SetMode(receiver ? CDeviceLink::kModeReceiver : CDeviceLink::kModeCable);
    link.open = true;
    std::array<uint8_t, kInfoBlockSize> info{};
    std::vector<uint8_t> memory(100);
    std::vector<uint8_t> keys(33);
    std::array<uint8_t, 6> record{};
    // The sequence without its END, whose pause would only slow the fuzzer.
    link.QueryReceiverState();
    link.SendStart();
    link.ReadInfo(info);
    link.SetBlockSize(static_cast<uint16_t>(std::min<unsigned>(info[5] * 3U, 512)));
    keys.resize(link.BlockSize());
    link.ReadKeys(keys);
    link.ReadMemory(memory, info[12] | (info[13] << 8));
    link.ReadRecord(record, 0);
    return 0;
}
