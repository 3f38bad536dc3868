#include "sim/sim_catalog.h"

#include <array>
#include <sstream>

namespace vextar::sim {

namespace descriptors {
namespace {

constexpr uint8_t kBootMouse[] = {
    0x05, 0x01, 0x09, 0x02, 0xA1, 0x01,              // Generic Desktop, Mouse, Application
    0x09, 0x01, 0xA1, 0x00,                          // Pointer, Physical
    0x05, 0x09, 0x19, 0x01, 0x29, 0x05,              // Buttons 1..5
    0x15, 0x00, 0x25, 0x01, 0x95, 0x05, 0x75, 0x01,  //
    0x81, 0x02,                                      // Input (Data, Var, Abs)
    0x95, 0x01, 0x75, 0x03, 0x81, 0x01,              // padding
    0x05, 0x01, 0x09, 0x30, 0x09, 0x31, 0x09, 0x38,  // X, Y, Wheel
    0x15, 0x81, 0x25, 0x7F, 0x75, 0x08, 0x95, 0x03,  //
    0x81, 0x06,                                      // Input (Data, Var, Rel)
    0xC0, 0xC0,
};

constexpr uint8_t kBootKeyboard[] = {
    0x05, 0x01, 0x09, 0x06, 0xA1, 0x01,              // Generic Desktop, Keyboard
    0x05, 0x07, 0x19, 0xE0, 0x29, 0xE7,              // modifiers
    0x15, 0x00, 0x25, 0x01, 0x75, 0x01, 0x95, 0x08,  //
    0x81, 0x02,                                      //
    0x95, 0x01, 0x75, 0x08, 0x81, 0x01,              // reserved byte
    0x95, 0x05, 0x75, 0x01, 0x05, 0x08, 0x19, 0x01,  // LEDs
    0x29, 0x05, 0x91, 0x02,                          //
    0x95, 0x01, 0x75, 0x03, 0x91, 0x01,              // LED padding
    0x95, 0x06, 0x75, 0x08, 0x15, 0x00, 0x25, 0x65,  // six keys
    0x05, 0x07, 0x19, 0x00, 0x29, 0x65, 0x81, 0x00,  //
    0xC0,
};

constexpr uint8_t kCommandInterface[] = {
    // Collection 1: keyboard keys, report 1.
    0x05,
    0x01,
    0x09,
    0x06,
    0xA1,
    0x01,
    0x85,
    0x01,  //
    0x05,
    0x07,
    0x19,
    0xE0,
    0x29,
    0xE7,
    0x15,
    0x00,  //
    0x25,
    0x01,
    0x75,
    0x01,
    0x95,
    0x08,
    0x81,
    0x02,  //
    0x95,
    0x01,
    0x75,
    0x08,
    0x81,
    0x01,  //
    0x95,
    0x06,
    0x75,
    0x08,
    0x15,
    0x00,
    0x25,
    0x65,  //
    0x19,
    0x00,
    0x29,
    0x65,
    0x81,
    0x00,
    0xC0,  //
    // Collection 2: system control, report 2.
    0x05,
    0x01,
    0x09,
    0x80,
    0xA1,
    0x01,
    0x85,
    0x02,  //
    0x19,
    0x81,
    0x29,
    0x83,
    0x15,
    0x00,
    0x25,
    0x01,  //
    0x75,
    0x01,
    0x95,
    0x03,
    0x81,
    0x02,  //
    0x95,
    0x05,
    0x81,
    0x01,
    0xC0,  //
    // Collection 3: consumer control, report 3.
    0x05,
    0x0C,
    0x09,
    0x01,
    0xA1,
    0x01,
    0x85,
    0x03,  //
    0x15,
    0x00,
    0x26,
    0xFF,
    0x02,
    0x19,
    0x00,
    0x2A,  //
    0xFF,
    0x02,
    0x75,
    0x10,
    0x95,
    0x01,
    0x81,
    0x00,  //
    0xC0,  //
    // Collection 4: command frames, report 4, 63 bytes each way.
    0x06,
    0x1C,
    0xFF,
    0x09,
    0x92,
    0xA1,
    0x01,
    0x85,  //
    0x04,
    0x09,
    0x01,
    0x15,
    0x00,
    0x26,
    0xFF,
    0x00,  //
    0x75,
    0x08,
    0x95,
    0x3F,
    0x81,
    0x02,
    0x09,
    0x02,  //
    0x95,
    0x3F,
    0x91,
    0x02,
    0xC0,
};

constexpr uint8_t kHeadset[] = {
    0x05, 0x0C, 0x09, 0x01, 0xA1, 0x01,              // Consumer Control
    0x85, 0x01, 0x15, 0x00, 0x26, 0xFF, 0x02,        // report 1: consumer keys
    0x19, 0x00, 0x2A, 0xFF, 0x02, 0x75, 0x10, 0x95,  //
    0x01, 0x81, 0x00,                                //
    0x85, 0x04, 0x06, 0x1C, 0xFF, 0x09, 0x01,        // report 4: command frames
    0x15, 0x00, 0x26, 0xFF, 0x00, 0x75, 0x08, 0x95,  //
    0x3F, 0x81, 0x02, 0x09, 0x02, 0x91, 0x02,        //
    0x85, 0xFF, 0x09, 0x03, 0x95, 0x10, 0x91, 0x02,  // report 0xFF: LED output
    0xC0,
};

}  // namespace

std::span<const uint8_t> BootMouse() {
    return kBootMouse;
}
std::span<const uint8_t> BootKeyboard() {
    return kBootKeyboard;
}
std::span<const uint8_t> CommandInterface() {
    return kCommandInterface;
}
std::span<const uint8_t> Headset() {
    return kHeadset;
}

}  // namespace descriptors

namespace {

std::vector<uint8_t> Copy(std::span<const uint8_t> s) {
    return {s.begin(), s.end()};
}

SimDeviceSpec Peripheral(const std::string& name, uint16_t product,
                         std::span<const uint8_t> interface0) {
    SimDeviceSpec spec;
    spec.name = name;
    spec.vendorId = 0x320F;
    spec.productId = product;
    if (!interface0.empty()) {
        spec.interfaces.push_back({0, Copy(interface0), nullptr});
    }
    spec.interfaces.push_back(
        {1, Copy(descriptors::CommandInterface()), std::make_shared<EchoFirmware>()});
    return spec;
}

}  // namespace

const std::vector<std::string>& CatalogNames() {
    static const std::vector<std::string> names = {
        "mouse", "mouse-receiver", "keyboard", "keyboard-receiver", "mousepad", "headset"};
    return names;
}

bool MakeCatalogDevice(const std::string& name, SimDeviceSpec& spec) {
    if (name == "mouse") {
        spec = Peripheral(name, 0x7074, descriptors::BootMouse());
    } else if (name == "mouse-receiver") {
        spec = Peripheral(name, 0x221D, descriptors::BootMouse());
    } else if (name == "keyboard") {
        spec = Peripheral(name, 0x505B, descriptors::BootKeyboard());
    } else if (name == "keyboard-receiver") {
        spec = Peripheral(name, 0x50EC, descriptors::BootKeyboard());
    } else if (name == "mousepad") {
        spec = Peripheral(name, 0x1004, {});
    } else if (name == "headset") {
        spec = SimDeviceSpec{};
        spec.name = name;
        spec.vendorId = 0x0C76;
        spec.productId = 0x1630;
        spec.interfaces.push_back(
            {3, Copy(descriptors::Headset()), std::make_shared<EchoFirmware>()});
    } else {
        return false;
    }
    return true;
}

bool AddSimulatedDevices(SimHidBackend& backend, const std::string& list, std::string& error) {
    std::vector<std::string> names;
    std::istringstream in(list);
    std::string item;
    while (std::getline(in, item, ',')) {
        if (item == "all") {
            for (const char* n : {"mouse", "keyboard", "mousepad", "headset"}) {
                names.emplace_back(n);
            }
        } else {
            names.push_back(item);
        }
    }
    if (names.empty()) {
        error = "the --simulate list is empty";
        return false;
    }
    for (const std::string& name : names) {
        SimDeviceSpec spec;
        if (!MakeCatalogDevice(name, spec)) {
            error = "unknown simulated device '" + name +
                    "' (known: mouse, mouse-receiver, keyboard, keyboard-receiver, mousepad, "
                    "headset, all)";
            return false;
        }
        if (!backend.AddDevice(std::move(spec), error)) {
            return false;
        }
    }
    return true;
}

}  // namespace vextar::sim
