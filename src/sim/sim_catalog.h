#pragma once

// The simulated devices of the product line, with the report descriptors the
// real devices present, and the parsing of a --simulate list.

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "sim/firmware.h"
#include "sim/sim_hid_backend.h"

namespace vextar::sim {

// Report descriptors of our devices' HID interfaces.
namespace descriptors {
// Interface 0 of the mouse: a boot mouse without report ids.
std::span<const uint8_t> BootMouse();
// Interface 0 of the keyboard: a boot keyboard with its LED output report.
std::span<const uint8_t> BootKeyboard();
// Interface 1 of every 0x320F device: keyboard (id 1), system control (id 2),
// consumer control (id 3) and the vendor command collection 0xFF1C/0x92
// (id 4, 64-byte input and output reports).
std::span<const uint8_t> CommandInterface();
// The headset's interface 3: one consumer-control collection that carries
// the consumer keys (id 1), the command frames (id 4) and LED reports (0xFF).
std::span<const uint8_t> Headset();
}  // namespace descriptors

// Names a --simulate list may use, in catalogue order.
const std::vector<std::string>& CatalogNames();

// Where a device's consumer-control notifications come from: the interface
// and the report id of its consumer-control collection (a 16-bit usage
// follows the id, low byte first).
struct NotificationRoute {
    uint8_t interfaceNumber = 0;
    uint8_t reportId = 0;
};
// Nothing for a name that is not in the catalogue.
std::optional<NotificationRoute> NotificationRouteOf(std::string_view name);

struct SimOptions {
    std::string stateDir;           // keep device memory here between runs
    std::vector<FaultSpec> faults;  // by device name
};

// What the simulated devices of one list are made of, for tests.
struct SimDevices {
    // Physical devices by name ("mouse", "keyboard", "mousepad", "headset");
    // a device and its receiver share one.
    std::map<std::string, std::shared_ptr<PeripheralModel>> models;
    // Command firmware by catalogue name ("mouse-receiver"…).
    std::map<std::string, std::shared_ptr<CommandFirmware>> firmware;
};

// Adds the devices of a comma-separated list ("all" = mouse, keyboard,
// mousepad and headset). False with a reason for an unknown name, a fault
// naming a device not in the list, or a device listed twice.
bool AddSimulatedDevices(SimHidBackend& backend, const std::string& list, std::string& error,
                         const SimOptions& options = {}, SimDevices* devices = nullptr);

}  // namespace vextar::sim
