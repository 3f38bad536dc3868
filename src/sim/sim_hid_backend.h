#pragma once

// Simulated HID devices behind the same backend interface as hidraw. Each
// open interface is a SOCK_SEQPACKET socketpair: the host end goes through the
// same node code (timed poll, report-id routing, cancel) as a hidraw node;
// the device end is served by the interface's firmware model on a thread of
// its own.

#include <cstdint>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <vector>

#include "platform/hid_backend.h"
#include "platform/hid_node.h"

namespace vextar::sim {

// Where a firmware model sends its input reports.
class SimReportSink {
  public:
    virtual ~SimReportSink() = default;
    // Byte 0 is the report id (0 when the interface numbers no reports).
    virtual bool SendInputReport(std::span<const uint8_t> report) = 0;
};

// The device side of one USB interface.
class SimFirmware {
  public:
    virtual ~SimFirmware() = default;
    // Called on the interface's device thread for every output report the
    // host writes; byte 0 is the report id.
    virtual void OnOutputReport(std::span<const uint8_t> report, SimReportSink& host) = 0;
};

// Answers every output report with the same bytes as an input report.
class EchoFirmware final : public SimFirmware {
  public:
    void OnOutputReport(std::span<const uint8_t> report, SimReportSink& host) override {
        host.SendInputReport(report);
    }
};

struct SimInterfaceSpec {
    uint8_t number = 0;
    std::vector<uint8_t> descriptor;
    std::shared_ptr<SimFirmware> firmware;  // none: output reports are swallowed
};

struct SimDeviceSpec {
    std::string name;  // unique; letters, digits, '-' and '_'
    uint16_t vendorId = 0;
    uint16_t productId = 0;
    uint16_t version = 0x0100;
    std::vector<SimInterfaceSpec> interfaces;
};

class SimHidBackend final : public platform::IHidBackend {
  public:
    SimHidBackend();
    ~SimHidBackend() override;
    SimHidBackend(const SimHidBackend&) = delete;
    SimHidBackend& operator=(const SimHidBackend&) = delete;

    // Adds a device, plugged in. False (with a reason) for a duplicate or bad
    // name, or a malformed descriptor.
    bool AddDevice(SimDeviceSpec spec, std::string& error);
    bool Plug(const std::string& name);
    // Pulls the device: open interfaces fail their waits and reads.
    bool Unplug(const std::string& name);
    [[nodiscard]] bool IsPlugged(const std::string& name) const;
    [[nodiscard]] std::vector<std::string> DeviceNames() const;
    // Sends a report from a device's interface to the host; false when no
    // host has that interface open or the device is unplugged.
    bool SendInputReport(const std::string& name, uint8_t interfaceNumber,
                         std::span<const uint8_t> report);

    bool Enumerate(std::vector<std::string>& paths) override;
    platform::HidOpenResult Open(const std::string& path, platform::HidAccess access) override;

  private:
    struct Endpoint;
    struct Interface;
    struct Device;

    Device* FindLocked(const std::string& name);
    const Device* FindLocked(const std::string& name) const;
    static std::string MakePath(const Device& d, const Interface& i, std::size_t collection);

    mutable std::mutex mutex_;
    std::vector<std::unique_ptr<Device>> devices_;
    platform::HidNodeRegistry registry_;
    unsigned nextInstance_ = 1;
};

}  // namespace vextar::sim
